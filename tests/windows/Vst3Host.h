#pragma once

// The host side of VST3 as a Windows host drives a bundle, written against
// the SDK's interface headers only: the binary inside the bundle loaded with
// LoadLibrary, its factory, the component and its controller connected, the
// host's own objects (stream, parameter queues, component handler, plug-in
// frame) and blocks with the host's transport.
//
// The host's objects live as long as the host does: their reference counts
// are kept for the plug-in's sake, and none is deleted on its last release.

#include <windows.h>

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace tavrel::test::vst3
{

using namespace Steinberg;

inline bool sameId (const TUID a, const TUID b) { return std::memcmp (a, b, sizeof (TUID)) == 0; }

// The plug-in's 16-character strings, which hold ASCII here.
inline std::string narrow (const Vst::TChar* text)
{
    std::string result;
    for (; *text != 0; ++text)
        result += (char) *text;
    return result;
}

// The SDK's interfaces have no virtual destructor: their objects are released,
// never deleted through them, and the host's are never deleted by the plug-in.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// An object of the host's, offering one interface. Its reference count is
// kept for the plug-in's sake; the host owns it.
template <typename Interface>
class HostObject : public Interface
{
public:
    explicit HostObject (const TUID& interfaceId) : ownId (interfaceId) {}

    tresult PLUGIN_API queryInterface (const TUID requested, void** object) override
    {
        if (! sameId (requested, FUnknown_iid) && ! sameId (requested, ownId))
            return (*object = nullptr, kNoInterface);
        *object = static_cast<Interface*> (this);
        addRef();
        return kResultOk;
    }

    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; }

private:
    const TUID& ownId;
    std::atomic<uint32> references { 1 };
};

//==============================================================================
// A stream in memory, seekable and sizeable, as hosts pass to getState and
// setState.
class MemoryStream : public IBStream, public ISizeableStream
{
public:
    MemoryStream() = default;
    explicit MemoryStream (std::vector<char> content) : bytes (std::move (content)) {}

    const std::vector<char>& data() const { return bytes; }

    tresult PLUGIN_API queryInterface (const TUID requested, void** object) override
    {
        if (sameId (requested, FUnknown_iid) || sameId (requested, IBStream_iid))
            *object = static_cast<IBStream*> (this);
        else if (sameId (requested, ISizeableStream_iid))
            *object = static_cast<ISizeableStream*> (this);
        else
            return (*object = nullptr, kNoInterface);
        addRef();
        return kResultOk;
    }

    uint32 PLUGIN_API addRef() override { return ++references; }
    uint32 PLUGIN_API release() override { return --references; }

    tresult PLUGIN_API read (void* buffer, int32 numBytes, int32* numBytesRead) override
    {
        const auto count = (size_t) std::max<int64> (0, std::min<int64> (numBytes, (int64) bytes.size() - position));
        if (count > 0)
            std::memcpy (buffer, bytes.data() + position, count);
        position += (int64) count;
        if (numBytesRead != nullptr)
            *numBytesRead = (int32) count;
        return kResultOk;
    }

    tresult PLUGIN_API write (void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        if (numBytes < 0 || buffer == nullptr)
            return kInvalidArgument;
        if ((size_t) position + (size_t) numBytes > bytes.size())
            bytes.resize ((size_t) position + (size_t) numBytes);
        std::memcpy (bytes.data() + position, buffer, (size_t) numBytes);
        position += numBytes;
        if (numBytesWritten != nullptr)
            *numBytesWritten = numBytes;
        return kResultOk;
    }

    tresult PLUGIN_API seek (int64 offset, int32 mode, int64* result) override
    {
        const int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? position : (int64) bytes.size();
        if (base + offset < 0)
            return kInvalidArgument;
        position = base + offset;
        if (result != nullptr)
            *result = position;
        return kResultTrue;
    }

    tresult PLUGIN_API tell (int64* result) override
    {
        if (result == nullptr)
            return kInvalidArgument;
        *result = position;
        return kResultTrue;
    }

    tresult PLUGIN_API getStreamSize (int64& size) override
    {
        size = (int64) bytes.size();
        return kResultOk;
    }

    tresult PLUGIN_API setStreamSize (int64 size) override
    {
        bytes.resize ((size_t) size);
        return kResultOk;
    }

private:
    std::vector<char> bytes;
    int64 position = 0;
    std::atomic<uint32> references { 1 };
};

//==============================================================================
// The parameter changes a host hands over with a block: one queue a
// parameter, its points in order.
class ParameterChanges : public HostObject<Vst::IParameterChanges>
{
public:
    ParameterChanges() : HostObject (Vst::IParameterChanges_iid) {}

    void add (Vst::ParamID id, Vst::ParamValue value)
    {
        int32 index = 0;
        int32 point = 0;
        if (auto* queue = addParameterData (id, index))
            queue->addPoint (0, value, point);
    }

    void clear() { used = 0; }

    int32 PLUGIN_API getParameterCount() override { return used; }

    Vst::IParamValueQueue* PLUGIN_API getParameterData (int32 index) override
    {
        return index >= 0 && index < used ? &queues[(size_t) index] : nullptr;
    }

    Vst::IParamValueQueue* PLUGIN_API addParameterData (const Vst::ParamID& id, int32& index) override
    {
        for (index = 0; index < used; ++index)
            if (queues[(size_t) index].id == id)
                return &queues[(size_t) index];
        if (used == (int32) queues.size())
            return nullptr;
        auto& queue = queues[(size_t) used];
        index = used++;
        queue.id = id;
        queue.points.clear();
        return &queue;
    }

private:
    struct Queue : public HostObject<Vst::IParamValueQueue>
    {
        Queue() : HostObject (Vst::IParamValueQueue_iid) {}

        Vst::ParamID PLUGIN_API getParameterId() override { return id; }
        int32 PLUGIN_API getPointCount() override { return (int32) points.size(); }

        tresult PLUGIN_API getPoint (int32 index, int32& sampleOffset, Vst::ParamValue& value) override
        {
            if (index < 0 || index >= (int32) points.size())
                return kResultFalse;
            sampleOffset = points[(size_t) index].first;
            value = points[(size_t) index].second;
            return kResultTrue;
        }

        tresult PLUGIN_API addPoint (int32 sampleOffset, Vst::ParamValue value, int32& index) override
        {
            index = (int32) points.size();
            points.emplace_back (sampleOffset, value);
            return kResultTrue;
        }

        Vst::ParamID id = 0;
        std::vector<std::pair<int32, Vst::ParamValue>> points;
    };

    std::vector<Queue> queues = std::vector<Queue> (64);
    int32 used = 0;
};

//==============================================================================
// What the controller tells the host: edits, in order, and restart requests.
class ComponentHandler : public HostObject<Vst::IComponentHandler>
{
public:
    ComponentHandler() : HostObject (Vst::IComponentHandler_iid) {}

    enum class Kind { begin, perform, end };

    struct Edit
    {
        Kind kind;
        Vst::ParamID id;
        Vst::ParamValue value;
    };

    std::vector<Edit> edits() const
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return log;
    }

    void clear()
    {
        const std::lock_guard<std::mutex> lock (mutex);
        log.clear();
    }

    tresult PLUGIN_API beginEdit (Vst::ParamID id) override { return note (Kind::begin, id, 0.0); }
    tresult PLUGIN_API performEdit (Vst::ParamID id, Vst::ParamValue value) override { return note (Kind::perform, id, value); }
    tresult PLUGIN_API endEdit (Vst::ParamID id) override { return note (Kind::end, id, 0.0); }
    tresult PLUGIN_API restartComponent (int32) override { return kResultOk; }

private:
    tresult note (Kind kind, Vst::ParamID id, Vst::ParamValue value)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        log.push_back ({ kind, id, value });
        return kResultOk;
    }

    mutable std::mutex mutex;
    std::vector<Edit> log;
};

//==============================================================================
// The host application the component and controller are initialised with.
class HostApplication : public HostObject<Vst::IHostApplication>
{
public:
    HostApplication() : HostObject (Vst::IHostApplication_iid) {}

    tresult PLUGIN_API getName (Vst::String128 name) override
    {
        const char* ours = "Tavrel test host";
        size_t i = 0;
        for (; ours[i] != 0; ++i)
            name[i] = (Vst::TChar) ours[i];
        name[i] = 0;
        return kResultOk;
    }

    // Messages and attribute lists are not offered: the component and the
    // controller are connected directly.
    tresult PLUGIN_API createInstance (TUID, TUID, void** object) override
    {
        *object = nullptr;
        return kResultFalse;
    }
};

//==============================================================================
// The host's frame around an editor view: size requests are granted.
class PlugFrame : public HostObject<IPlugFrame>
{
public:
    PlugFrame() : HostObject (IPlugFrame_iid) {}

    std::vector<ViewRect> requests;

    tresult PLUGIN_API resizeView (IPlugView* view, ViewRect* newSize) override
    {
        if (view == nullptr || newSize == nullptr)
            return kInvalidArgument;
        requests.push_back (*newSize);
        return view->onSize (newSize);
    }
};

#pragma GCC diagnostic pop

//==============================================================================
// A bundle's binary loaded as a Windows host loads it: the DLL in the
// bundle's folder for the host's own architecture, InitDll, the factory; on
// destruction the factory released, ExitDll and FreeLibrary.
class Module
{
public:
    static constexpr const char* binaryFolder = sizeof (void*) == 8 ? "x86_64-win" : "x86-win";

    // <bundle>/Contents/<architecture>-win/<bundle's file name>
    static std::string binaryOf (const std::string& bundlePath)
    {
        const auto name = bundlePath.substr (bundlePath.find_last_of ("/\\") + 1);
        return bundlePath + "/Contents/" + binaryFolder + "/" + name;
    }

    explicit Module (const std::string& bundlePath) : library (LoadLibraryA (binaryOf (bundlePath).c_str()))
    {
        if (library == nullptr)
            return;
        using Entry = bool (*)();
        using GetFactory = IPluginFactory* (PLUGIN_API*)();
        exitDll = reinterpret_cast<Entry> (symbol ("ExitDll"));
        const auto initDll = reinterpret_cast<Entry> (symbol ("InitDll"));
        const auto getFactory = reinterpret_cast<GetFactory> (symbol ("GetPluginFactory"));
        if (initDll == nullptr || exitDll == nullptr || getFactory == nullptr || ! initDll())
            return;
        factory = getFactory();
    }

    ~Module()
    {
        if (factory != nullptr)
            factory->release();
        if (exitDll != nullptr)
            exitDll();
        if (library != nullptr)
            FreeLibrary (library);
    }

    Module (const Module&) = delete;
    Module& operator= (const Module&) = delete;

    IPluginFactory* getFactory() const { return factory; }

    // The first class of the category, or false when the factory has none.
    bool findClass (const char* category, PClassInfo& found) const
    {
        for (int32 i = 0; factory != nullptr && i < factory->countClasses(); ++i)
            if (factory->getClassInfo (i, &found) == kResultOk && std::strcmp (found.category, category) == 0)
                return true;
        return false;
    }

private:
    void* symbol (const char* name) const { return reinterpret_cast<void*> (GetProcAddress (library, name)); }

    HMODULE library;
    bool (*exitDll)() = nullptr;
    IPluginFactory* factory = nullptr;
};

//==============================================================================
// One instance as a host holds it: the component and its controller, made
// by the factory, initialised, connected, the controller told the
// component's state; stereo in and out, prepared for blocks.
class Plugin
{
public:
    explicit Plugin (const Module& module)
    {
        PClassInfo componentClass;
        auto* factory = module.getFactory();
        if (factory == nullptr || ! module.findClass (kVstAudioEffectClass, componentClass))
            return;

        if (factory->createInstance (componentClass.cid, Vst::IComponent_iid, (void**) &component) != kResultOk
            || component == nullptr || component->initialize (&host) != kResultOk)
            return;
        component->queryInterface (Vst::IAudioProcessor_iid, (void**) &processor);

        TUID controllerClass {};
        if (component->getControllerClassId (controllerClass) != kResultOk
            || factory->createInstance (controllerClass, Vst::IEditController_iid, (void**) &controller) != kResultOk
            || controller == nullptr || controller->initialize (&host) != kResultOk)
            return;

        component->queryInterface (Vst::IConnectionPoint_iid, (void**) &componentPoint);
        controller->queryInterface (Vst::IConnectionPoint_iid, (void**) &controllerPoint);
        if (componentPoint != nullptr && controllerPoint != nullptr)
        {
            componentPoint->connect (controllerPoint);
            controllerPoint->connect (componentPoint);
        }
        controller->setComponentHandler (&handler);

        MemoryStream state;
        component->getState (&state);
        state.seek (0, IBStream::kIBSeekSet, nullptr);
        controller->setComponentState (&state);
    }

    ~Plugin()
    {
        if (active)
        {
            processor->setProcessing (false);
            component->setActive (false);
        }
        if (componentPoint != nullptr && controllerPoint != nullptr)
        {
            componentPoint->disconnect (controllerPoint);
            controllerPoint->disconnect (componentPoint);
        }
        for (FUnknown* point : { (FUnknown*) componentPoint, (FUnknown*) controllerPoint })
            if (point != nullptr)
                point->release();
        if (controller != nullptr)
        {
            controller->setComponentHandler (nullptr);
            controller->terminate();
            controller->release();
        }
        if (processor != nullptr)
            processor->release();
        if (component != nullptr)
        {
            component->terminate();
            component->release();
        }
    }

    Plugin (const Plugin&) = delete;
    Plugin& operator= (const Plugin&) = delete;

    bool isReady() const { return processor != nullptr && controller != nullptr && componentPoint != nullptr; }

    // Stereo in and out at the rate and block size, active and processing.
    bool prepare (double sampleRate, int32 blockSize)
    {
        Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample32, blockSize, sampleRate };
        Vst::SpeakerArrangement in = Vst::SpeakerArr::kStereo, out = Vst::SpeakerArr::kStereo;
        if (processor->setupProcessing (setup) != kResultOk
            || processor->setBusArrangements (&in, 1, &out, 1) != kResultTrue
            || component->activateBus (Vst::kAudio, Vst::kInput, 0, true) != kResultOk
            || component->activateBus (Vst::kAudio, Vst::kOutput, 0, true) != kResultOk
            || component->setActive (true) != kResultOk)
            return false;
        processor->setProcessing (true);
        return active = true;
    }

    // The parameter's ID, as the controller lists it at that index.
    Vst::ParamID parameterId (int32 index) const
    {
        Vst::ParameterInfo info {};
        controller->getParameterInfo (index, info);
        return info.id;
    }

    // A host's write of a parameter, as its automation does it: the
    // controller is told at once, the processor with the next block.
    void write (int32 index, double value)
    {
        const auto id = parameterId (index);
        controller->setParamNormalized (id, value);
        pendingWrites.add (id, value);
    }

    // One block of two channels, in place; the context, or none.
    tresult process (float* left, float* right, int32 length, Vst::ProcessContext* context)
    {
        float* channels[2] { left, right };
        Vst::AudioBusBuffers in, out;
        in.numChannels = out.numChannels = 2;
        in.channelBuffers32 = out.channelBuffers32 = channels;

        Vst::ProcessData data;
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = length;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &out;
        data.inputParameterChanges = &pendingWrites;
        data.outputParameterChanges = &sentBack;
        data.processContext = context;

        const auto result = processor->process (data);
        pendingWrites.clear();
        sentBack.clear();
        return result;
    }

    // The component's state, as a host saves it in a project.
    std::vector<char> state() const
    {
        MemoryStream stream;
        component->getState (&stream);
        return stream.data();
    }

    // A state restored as a host reopens a project: into the component, then
    // the controller told. The component's answer.
    tresult restore (const std::vector<char>& saved)
    {
        MemoryStream forComponent (saved), forController (saved);
        const auto result = component->setState (&forComponent);
        controller->setComponentState (&forController);
        return result;
    }

    Vst::IComponent* component = nullptr;
    Vst::IAudioProcessor* processor = nullptr;
    Vst::IEditController* controller = nullptr;
    ComponentHandler handler;

private:
    HostApplication host;
    ParameterChanges pendingWrites, sentBack;
    Vst::IConnectionPoint* componentPoint = nullptr;
    Vst::IConnectionPoint* controllerPoint = nullptr;
    bool active = false;
};

//==============================================================================
// The settings chunk inside the component's state: JUCE's client writes the
// processor's chunk, then a trailer of its own: 8 zero bytes, its private
// data, their size in 8 bytes, and its marker.
inline std::vector<char> chunkOfComponentState (const std::vector<char>& state)
{
    const std::string marker = "JUCEPrivateData";
    const auto size = state.size();
    if (size < marker.size() + 16 || std::string (state.end() - (long) marker.size(), state.end()) != marker)
        return state;

    uint64_t privateSize = 0;
    std::memcpy (&privateSize, state.data() + size - marker.size() - 8, 8);
    if (privateSize > size - marker.size() - 16)
        return {};
    return std::vector<char> (state.begin(), state.end() - (long) (marker.size() + 16 + privateSize));
}

} // namespace tavrel::test::vst3
