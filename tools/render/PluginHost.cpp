#include "PluginHost.h"

#include <dlfcn.h>

#include <cmath>

namespace tavrel::render
{

//==============================================================================
std::shared_ptr<PluginLibrary> PluginLibrary::open (const juce::File& file, juce::String& error)
{
    if (! file.existsAsFile())
    {
        error = "plug-in library " + file.getFullPathName().quoted() + " does not exist";
        return {};
    }

    // Local binding keeps the plug-in's symbols out of ours, as in any host.
    void* handle = dlopen (file.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* reason = dlerror();
        error = file.getFileName().quoted() + " is not a loadable plug-in library"
                + (reason != nullptr ? " (" + juce::String (reason) + ")" : juce::String());
        return {};
    }

    auto entry = (EntryPoint) dlsym (handle, "VSTPluginMain");
    if (entry == nullptr)
        entry = (EntryPoint) dlsym (handle, "main");

    if (entry == nullptr)
    {
        dlclose (handle);
        error = file.getFileName().quoted() + " is not a VST 2.4 plug-in: it exports neither VSTPluginMain nor main";
        return {};
    }

    return std::shared_ptr<PluginLibrary> (new PluginLibrary (handle, entry, file));
}

PluginLibrary::PluginLibrary (void* h, EntryPoint e, const juce::File& f) : handle (h), entry (e), location (f) {}

PluginLibrary::~PluginLibrary() { dlclose (handle); }

//==============================================================================
std::unique_ptr<PluginInstance> PluginInstance::create (std::shared_ptr<PluginLibrary> library, juce::String& error)
{
    vst::AEffect* effect = library->entryPoint() (hostCallback);

    if (effect == nullptr)
    {
        error = library->file().getFileName().quoted() + " made no plug-in instance";
        return {};
    }

    if (effect->magic != vst::effectMagic || effect->dispatcher == nullptr)
    {
        error = library->file().getFileName().quoted() + " returned something that is not a VST 2.4 effect";
        return {};
    }

    if ((effect->flags & vst::effFlagsCanReplacing) == 0 || effect->processReplacing == nullptr)
    {
        effect->dispatcher (effect, vst::effClose, 0, 0, nullptr, 0.0f);
        error = library->file().getFileName().quoted() + " cannot process replacing, which this renderer needs";
        return {};
    }

    if (effect->numInputs < 0 || effect->numOutputs <= 0 || effect->numParams < 0)
    {
        effect->dispatcher (effect, vst::effClose, 0, 0, nullptr, 0.0f);
        error = library->file().getFileName().quoted() + " reports no usable audio outputs";
        return {};
    }

    return std::unique_ptr<PluginInstance> (new PluginInstance (std::move (library), effect));
}

PluginInstance::PluginInstance (std::shared_ptr<PluginLibrary> library, vst::AEffect* e)
    : owner (std::move (library)), effect (e)
{
    effect->user = this;
    dispatch (vst::effOpen);
}

PluginInstance::~PluginInstance()
{
    if (processing)
        stopProcessing();

    dispatch (vst::effClose);
}

intptr_t TAVREL_VST_CALL PluginInstance::hostCallback (vst::AEffect* effect, int32_t opcode, int32_t,
                                                       intptr_t, void*, float)
{
    if (opcode == vst::audioMasterVersion)
        return vst::vstVersion;

    // The entry point may call before the record is ours to find.
    auto* instance = effect != nullptr ? static_cast<PluginInstance*> (effect->user) : nullptr;

    if (opcode == vst::audioMasterGetTime && instance != nullptr && instance->processing)
        return reinterpret_cast<intptr_t> (&instance->timeInfo);

    return 0;
}

intptr_t PluginInstance::dispatch (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return effect->dispatcher (effect, opcode, index, value, ptr, opt);
}

juce::String PluginInstance::textReply (int32_t opcode, int index)
{
    // Far larger than any limit of the interface, for plug-ins that overrun it.
    char text[512] = {};
    dispatch (opcode, index, 0, text);
    text[sizeof (text) - 1] = 0;
    return juce::String (juce::CharPointer_UTF8 (text)).trim();
}

juce::String PluginInstance::effectName()
{
    return textReply (vst::effGetEffectName, 0);
}

juce::String PluginInstance::parameterName (int index) { return textReply (vst::effGetParamName, index); }
juce::String PluginInstance::parameterText (int index) { return textReply (vst::effGetParamDisplay, index); }

float PluginInstance::getParameter (int index)
{
    return effect->getParameter (effect, index);
}

void PluginInstance::setParameter (int index, float value)
{
    effect->setParameter (effect, index, value);
    idle();
}

void PluginInstance::idle()
{
    // A reply may itself cause one more round (a radio group announced back
    // to the host, say); three rounds leave nothing pending.
    for (int i = 0; i < 3; ++i)
        dispatch (vst::effEditIdle);
}

juce::MemoryBlock PluginInstance::getChunk()
{
    if (! keepsSettingsInChunks())
        return {};

    void* data = nullptr;
    const auto size = dispatch (vst::effGetChunk, 0, 0, &data);

    if (data == nullptr || size <= 0)
        return {};

    return juce::MemoryBlock (data, (size_t) size);
}

void PluginInstance::setChunk (const juce::MemoryBlock& chunk)
{
    dispatch (vst::effSetChunk, 0, (intptr_t) chunk.getSize(), const_cast<void*> (chunk.getData()));
    idle();
}

void PluginInstance::copySettingsTo (PluginInstance& other)
{
    if (keepsSettingsInChunks())
    {
        other.setChunk (getChunk());
        return;
    }

    for (int i = 0; i < numParameters(); ++i)
        other.setParameter (i, getParameter (i));
}

void PluginInstance::startProcessing (const Transport& newTransport, int maxBlockSize)
{
    transport = newTransport;
    samplesProcessed = 0;
    dispatch (vst::effSetSampleRate, 0, 0, nullptr, (float) transport.sampleRate);
    dispatch (vst::effSetBlockSize, 0, maxBlockSize);
    dispatch (vst::effMainsChanged, 0, 1);
    processing = true;
}

void PluginInstance::updateTimeInfo()
{
    const double samplePosition = std::round (transport.startSeconds * transport.sampleRate) + (double) samplesProcessed;
    const double quarterNotes = samplePosition / transport.sampleRate * transport.tempo / 60.0;

    timeInfo = {};
    timeInfo.samplePos = samplePosition;
    timeInfo.sampleRate = transport.sampleRate;
    timeInfo.ppqPos = quarterNotes;
    timeInfo.tempo = transport.tempo;
    timeInfo.barStartPos = std::floor (quarterNotes / 4.0) * 4.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = vst::kVstTempoValid | vst::kVstPpqPosValid | vst::kVstBarsValid | vst::kVstTimeSigValid
                     | (transport.playing ? vst::kVstTransportPlaying : 0);
}

void PluginInstance::process (float* const* inputs, float* const* outputs, int numSamples)
{
    updateTimeInfo();
    effect->processReplacing (effect, const_cast<float**> (inputs), const_cast<float**> (outputs), numSamples);
    samplesProcessed += numSamples;
}

void PluginInstance::stopProcessing()
{
    dispatch (vst::effMainsChanged, 0, 0);
    processing = false;
}

} // namespace tavrel::render
