// The VST3 bundles as a Windows host sees them, through the SDK's interfaces
// only (Vst3Host.h): the factory's classes, the parameter list, blocks with
// a transport, and state. The VST 2.4 DLL of the same width is the reference
// for sound and for the settings chunk; the Linux build's format host test
// holds the same expectations through JUCE's own VST3 hosting.
#include "LooperParameters.h"
#include "MessagePump.h"
#include "MorluneIdentity.h"
#include "SlicerParameters.h"
#include "TestHost.h"
#include "Vst3Host.h"
#include "ZintrakIdentity.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace tavrel::test;
using namespace tavrel::test::vst3;
using tavrel::IdentityRecord;
using tavrel::ParameterInfo;

namespace
{

// One plug-in: its bundle, its VST 2.4 DLL, and what its record and table declare.
struct Bundle
{
    const char* label;
    const char* bundlePath;
    const char* vst2Path;
    const IdentityRecord& identity;
    const ParameterInfo* table;
    int parameterCount;
};

void PrintTo (const Bundle& bundle, std::ostream* out) { *out << bundle.label; }

const Bundle bundles[] = {
    { "Zintrak", ZINTRAK_VST3_PATH, ZINTRAK_VST2_PATH, tavrel::zintrakIdentity, tavrel::SlicerParameters::table,
      tavrel::SlicerParameters::count },
    { "Morlune", MORLUNE_VST3_PATH, MORLUNE_VST2_PATH, tavrel::morluneIdentity, tavrel::LooperParameters::table,
      tavrel::LooperParameters::count },
};

// The mode toggles lead both tables; "Mode" follows them.
int toggleCount (const Bundle& bundle)
{
    int n = 0;
    while (bundle.table[n].kind == ParameterInfo::Kind::toggle)
        ++n;
    return n;
}

constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

// Two channels of a whole run.
struct Signal
{
    explicit Signal (int length) : left ((size_t) length), right ((size_t) length) {}
    int length() const { return (int) left.size(); }
    std::vector<float> left, right;
};

// Distinct values at every sample, so a replayed slice shows where it came from.
Signal rampSignal (int length)
{
    Signal signal (length);
    for (int i = 0; i < length; ++i)
    {
        signal.left[(size_t) i] = (float) ((i % 8192) + 1) / 8192.0f;
        signal.right[(size_t) i] = -(float) ((i % 4096) + 1) / 4096.0f;
    }
    return signal;
}

//==============================================================================
// The VST 2.4 DLL of the same plug-in, as the reference.
class Vst2Reference
{
public:
    explicit Vst2Reference (const char* path) : library (path), effect (library.create())
    {
        if (effect.get() == nullptr)
            return;
        effect.dispatch (tavrel::vst::effSetSampleRate, 0, 0, nullptr, (float) sampleRate);
        effect.dispatch (tavrel::vst::effSetBlockSize, 0, blockSize);
        effect.dispatch (tavrel::vst::effMainsChanged, 0, 1);
    }

    bool isLoaded() const { return effect.get() != nullptr; }
    void setParameter (int index, float value) { effect->setParameter (effect.get(), index, value); }

    Signal play (const Signal& signal, double bpm)
    {
        Signal result (signal.length());
        StereoBlock in ((size_t) blockSize), out ((size_t) blockSize);
        for (int start = 0; start + blockSize <= signal.length(); start += blockSize)
        {
            host.play (bpm, (double) start);
            std::copy_n (signal.left.begin() + start, blockSize, in.left.begin());
            std::copy_n (signal.right.begin() + start, blockSize, in.right.begin());
            effect.processReplacing (in.channels(), out.channels(), blockSize);
            std::copy_n (out.left.begin(), blockSize, result.left.begin() + start);
            std::copy_n (out.right.begin(), blockSize, result.right.begin() + start);
        }
        return result;
    }

    void playSilence (int blocks)
    {
        StereoBlock in ((size_t) blockSize), out ((size_t) blockSize);
        host.stop();
        for (int i = 0; i < blocks; ++i)
            effect.processReplacing (in.channels(), out.channels(), blockSize);
    }

    std::vector<char> chunk()
    {
        void* data = nullptr;
        const auto size = effect.dispatch (tavrel::vst::effGetChunk, 0, 0, &data);
        return data != nullptr && size > 0 ? std::vector<char> ((char*) data, (char*) data + size) : std::vector<char>();
    }

    void setChunk (const std::vector<char>& chunk)
    {
        effect.dispatch (tavrel::vst::effSetChunk, 0, (intptr_t) chunk.size(), const_cast<char*> (chunk.data()));
    }

private:
    TestHost host;
    PluginLibrary library;
    OpenEffect effect;
};

//==============================================================================
class Vst3Bundle : public ::testing::TestWithParam<Bundle>
{
protected:
    void SetUp() override
    {
        ASSERT_NE (module.getFactory(), nullptr) << Module::binaryOf (GetParam().bundlePath);
        ASSERT_TRUE (plugin->isReady());
        ASSERT_TRUE (plugin->prepare (sampleRate, blockSize));
    }

    std::unique_ptr<Plugin> load()
    {
        auto made = std::make_unique<Plugin> (module);
        if (made->isReady())
            made->prepare (sampleRate, blockSize);
        return made;
    }

    // A transport at 120 bpm in 4/4, at a sample position, as a host sends it.
    static Steinberg::Vst::ProcessContext transport (int64_t samplePosition, bool playing)
    {
        using Context = Steinberg::Vst::ProcessContext;
        Context context {};
        context.state = Context::kTempoValid | Context::kTimeSigValid | Context::kProjectTimeMusicValid
                      | (playing ? Context::kPlaying : 0);
        context.sampleRate = sampleRate;
        context.projectTimeSamples = samplePosition;
        context.tempo = 120.0;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;
        context.projectTimeMusic = (double) samplePosition / sampleRate * context.tempo / 60.0;
        return context;
    }

    Signal play (Plugin& instance, const Signal& signal)
    {
        Signal result = signal;
        for (int start = 0; start + blockSize <= signal.length(); start += blockSize)
        {
            auto context = transport (start, true);
            instance.process (result.left.data() + start, result.right.data() + start, blockSize, &context);
        }
        return result;
    }

    // One block with the transport stopped, then the plug-in's messages
    // delivered as a host's loop would: parameter writes reach the plug-in
    // with a block, and the group announcement they cause with a later one.
    void processSilence (Plugin& instance)
    {
        StereoBlock block ((size_t) blockSize);
        auto context = transport (0, false);
        instance.process (block.left.data(), block.right.data(), blockSize, &context);
        pumpMessagesFor (100);
    }

    void deliver (Plugin& instance)
    {
        for (int i = 0; i < 3; ++i)
            processSilence (instance);
    }

    double hostValue (Plugin& instance, int index)
    {
        return instance.controller->getParamNormalized (instance.parameterId (index));
    }

    Module module { GetParam().bundlePath };
    std::unique_ptr<Plugin> plugin = std::make_unique<Plugin> (module);
};

// Class IDs go into hosts' projects: the factory's are the ones the identity
// record wrote down, in the SDK's byte order for this platform.
TEST_P (Vst3Bundle, FactoryOffersTheIdentityRecordsClasses)
{
    const auto& identity = GetParam().identity;
    auto* factory = module.getFactory();

    Steinberg::PFactoryInfo factoryInfo {};
    ASSERT_EQ (factory->getFactoryInfo (&factoryInfo), Steinberg::kResultOk);
    EXPECT_STREQ (factoryInfo.vendor, identity.vendor);
    ASSERT_EQ (factory->countClasses(), 2);

    const auto& c = identity.vst3ComponentId;
    const auto& e = identity.vst3ControllerId;
    const Steinberg::TUID componentId = INLINE_UID (c[0], c[1], c[2], c[3]);
    const Steinberg::TUID controllerId = INLINE_UID (e[0], e[1], e[2], e[3]);

    Steinberg::PClassInfo component, controller;
    ASSERT_TRUE (module.findClass (kVstAudioEffectClass, component));
    ASSERT_TRUE (module.findClass (kVstComponentControllerClass, controller));
    EXPECT_STREQ (component.name, identity.effectName);
    EXPECT_TRUE (sameId (component.cid, componentId));
    EXPECT_TRUE (sameId (controller.cid, controllerId));

    Steinberg::TUID controllerOfTheComponent {};
    ASSERT_EQ (plugin->component->getControllerClassId (controllerOfTheComponent), Steinberg::kResultOk);
    EXPECT_TRUE (sameId (controllerOfTheComponent, controllerId));

    // The second factory interface: an effect, its vendor and version.
    Steinberg::IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->queryInterface (Steinberg::IPluginFactory2_iid, (void**) &factory2), Steinberg::kResultOk);
    for (int32_t i = 0; i < factory2->countClasses(); ++i)
    {
        Steinberg::PClassInfo2 info {};
        ASSERT_EQ (factory2->getClassInfo2 (i, &info), Steinberg::kResultOk);
        EXPECT_STREQ (info.subCategories, "Fx") << info.category;
        EXPECT_STREQ (info.vendor, identity.vendor) << info.category;
        EXPECT_STREQ (info.version, identity.versionString) << info.category;
    }
    factory2->release();
}

// The table's parameters in its order, by their full names, then the
// client's own bypass switch.
TEST_P (Vst3Bundle, ListsTheParameterTableThenTheHostsBypass)
{
    const auto& bundle = GetParam();
    ASSERT_EQ (plugin->controller->getParameterCount(), bundle.parameterCount + 1);

    for (int i = 0; i < bundle.parameterCount; ++i)
    {
        const auto& expected = bundle.table[i];
        SCOPED_TRACE (expected.fullName);
        Steinberg::Vst::ParameterInfo info {};
        ASSERT_EQ (plugin->controller->getParameterInfo (i, info), Steinberg::kResultOk);

        EXPECT_EQ (narrow (info.title), expected.fullName);
        EXPECT_EQ (info.stepCount, expected.kind == ParameterInfo::Kind::continuous ? 0 : expected.steps);
        EXPECT_NEAR (info.defaultNormalizedValue, expected.defaultValue, 1.0e-6);
        EXPECT_NEAR (plugin->controller->getParamNormalized (info.id), expected.defaultValue, 1.0e-6);
        EXPECT_NE (info.flags & Steinberg::Vst::ParameterInfo::kCanAutomate, 0);
        EXPECT_EQ (info.flags & Steinberg::Vst::ParameterInfo::kIsBypass, 0);
    }

    Steinberg::Vst::ParameterInfo bypass {};
    ASSERT_EQ (plugin->controller->getParameterInfo (bundle.parameterCount, bypass), Steinberg::kResultOk);
    EXPECT_NE (bypass.flags & Steinberg::Vst::ParameterInfo::kIsBypass, 0);
    EXPECT_EQ (bypass.stepCount, 1);
}

// The same input, transport and settings chunk through both DLLs: the same samples.
TEST_P (Vst3Bundle, PlaysAModeAsTheVst2DllDoes)
{
    Vst2Reference reference (GetParam().vst2Path);
    ASSERT_TRUE (reference.isLoaded());

    // The slicer's "Backwards" and the looper's "Loop", written by the host;
    // the write, then its group announcement, reach each plug-in with a
    // stopped block.
    const int mode = 1;
    reference.setParameter (mode, 1.0f);
    reference.playSilence (2);
    plugin->write (mode, 1.0);
    deliver (*plugin);
    // The rest of the group followed in the host's view: Bypass off, "Mode" there.
    const int modeIndex = toggleCount (GetParam());
    EXPECT_EQ (hostValue (*plugin, 0), 0.0);
    EXPECT_NEAR (hostValue (*plugin, modeIndex), (double) mode / modeIndex, 1.0e-6);
    const auto primed = plugin->state();
    ASSERT_EQ (chunkOfComponentState (primed), reference.chunk()) << "the settings differ before playing";

    // Both restore those settings, as a reopened project would: a restore
    // writes every parameter, so both start from the same history.
    reference.setChunk (chunkOfComponentState (primed));
    ASSERT_EQ (plugin->restore (primed), Steinberg::kResultTrue);
    deliver (*plugin);

    const auto signal = rampSignal (blockSize * 400);
    const auto expected = reference.play (signal, 120.0);
    const auto actual = play (*plugin, signal);

    int differing = 0, firstDifference = -1;
    for (int i = 0; i < signal.length(); ++i)
        if (expected.left[(size_t) i] != actual.left[(size_t) i] || expected.right[(size_t) i] != actual.right[(size_t) i])
            if (differing++ == 0)
                firstDifference = i;

    EXPECT_EQ (differing, 0) << "first at sample " << firstDifference;
    // And the mode did something: the output is not the input.
    EXPECT_NE (actual.left[blockSize * 300], signal.left[blockSize * 300]);
}

// A saved state restores in a second instance, which shows the values and
// saves the same bytes again.
TEST_P (Vst3Bundle, StateRoundTripsWithinTheFormat)
{
    const int last = GetParam().parameterCount - 1; // "BufLen" and the looper's "Trim"
    plugin->write (2, 1.0);
    plugin->write (last, 1.0);
    deliver (*plugin);

    const auto saved = plugin->state();
    ASSERT_FALSE (chunkOfComponentState (saved).empty());
    ASSERT_LT (chunkOfComponentState (saved).size(), saved.size()) << "no trailer of the client's";

    auto second = load();
    ASSERT_TRUE (second->isReady());
    ASSERT_EQ (second->restore (saved), Steinberg::kResultTrue);
    deliver (*second);
    EXPECT_EQ (hostValue (*second, 2), 1.0);
    EXPECT_EQ (hostValue (*second, last), 1.0);

    EXPECT_EQ (second->state(), saved);
}

// A chunk the VST 2.4 DLL saved, given as the whole component state (a
// host's project converted from VST 2.4 carries no trailer), restores; the
// chunk this format then saves restores in the VST 2.4 DLL: the same bytes
// each way.
TEST_P (Vst3Bundle, StateCrossesFromAndToTheVst2Dll)
{
    const auto& bundle = GetParam();
    std::vector<char> vst2Chunk;
    {
        Vst2Reference reference (bundle.vst2Path);
        ASSERT_TRUE (reference.isLoaded());
        reference.setParameter (2, 1.0f);
        reference.setParameter (bundle.parameterCount - 1, 1.0f);
        vst2Chunk = reference.chunk();
    }
    ASSERT_FALSE (vst2Chunk.empty());

    ASSERT_EQ (plugin->restore (vst2Chunk), Steinberg::kResultTrue);
    deliver (*plugin);
    EXPECT_EQ (hostValue (*plugin, 2), 1.0);
    EXPECT_EQ (hostValue (*plugin, bundle.parameterCount - 1), 1.0);

    const auto formatChunk = chunkOfComponentState (plugin->state());
    EXPECT_EQ (formatChunk, vst2Chunk);

    Vst2Reference fresh (bundle.vst2Path);
    ASSERT_TRUE (fresh.isLoaded());
    fresh.setChunk (formatChunk);
    EXPECT_EQ (fresh.chunk(), vst2Chunk);
}

// A state that is no settings chunk, or none at all, leaves the settings.
TEST_P (Vst3Bundle, DamagedStateLeavesTheSettings)
{
    plugin->write (2, 1.0);
    deliver (*plugin);
    const auto before = chunkOfComponentState (plugin->state());

    const std::string garbage = "not a settings chunk";
    for (const auto& damaged : { std::vector<char> (garbage.begin(), garbage.end()), std::vector<char> (3, '\xff'),
                                 std::vector<char>() })
    {
        SCOPED_TRACE (damaged.size());
        plugin->restore (damaged);
        deliver (*plugin);
        EXPECT_EQ (hostValue (*plugin, 2), 1.0);
        EXPECT_EQ (chunkOfComponentState (plugin->state()), before);
    }
}

INSTANTIATE_TEST_SUITE_P (Bundles, Vst3Bundle, ::testing::ValuesIn (bundles),
                          [] (const auto& testInfo) { return std::string (testInfo.param.label); });

} // namespace
