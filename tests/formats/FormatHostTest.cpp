// The VST3 and LV2 bundles in an independent host: JUCE's own VST3 and LV2
// hosting loads each one from plugins/, and the VST 2.4 library of the same
// plug-in, loaded through its effect record, is the reference for sound and
// state.
#include "HostPlayHead.h"
#include "LooperParameters.h"
#include "MessageLoop.h"
#include "MorluneIdentity.h"
#include "RealtimeGuard.h"
#include "SlicerParameters.h"
#include "TestHost.h"
#include "Vst2Reference.h"
#include "ZintrakIdentity.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <dlfcn.h>

#include <pluginterfaces/base/ipluginbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>

// Last: Xlib's macros would break what comes before.
#include "LampClicks.h"
#include "X11HostWindow.h"

namespace
{

using tavrel::IdentityRecord;
using tavrel::ParameterInfo;

enum class Format { vst3, lv2 };

// One plug-in in one format, with what its table and record declare.
struct Bundle
{
    const char* label;
    Format format;
    const char* bundlePath;
    const char* vst2Path;
    const IdentityRecord& identity;
    const ParameterInfo* table;
    int parameterCount;
    // The text the core gives for a value written to a new parameter set.
    std::function<std::string (int, float)> coreText;
};

template <typename Parameters>
std::string coreTextOf (int index, float value)
{
    Parameters parameters;
    parameters.write (index, value);
    return parameters.text (index);
}

// Named by its label where a test reports its parameter.
void PrintTo (const Bundle& bundle, std::ostream* out) { *out << bundle.label; }

const Bundle bundles[] = {
    { "ZintrakVST3", Format::vst3, ZINTRAK_VST3_PATH, ZINTRAK_VST2_PATH, tavrel::zintrakIdentity,
      tavrel::SlicerParameters::table, tavrel::SlicerParameters::count, coreTextOf<tavrel::SlicerParameters> },
    { "MorluneVST3", Format::vst3, MORLUNE_VST3_PATH, MORLUNE_VST2_PATH, tavrel::morluneIdentity,
      tavrel::LooperParameters::table, tavrel::LooperParameters::count, coreTextOf<tavrel::LooperParameters> },
    { "ZintrakLV2", Format::lv2, ZINTRAK_LV2_PATH, ZINTRAK_VST2_PATH, tavrel::zintrakIdentity,
      tavrel::SlicerParameters::table, tavrel::SlicerParameters::count, coreTextOf<tavrel::SlicerParameters> },
    { "MorluneLV2", Format::lv2, MORLUNE_LV2_PATH, MORLUNE_VST2_PATH, tavrel::morluneIdentity,
      tavrel::LooperParameters::table, tavrel::LooperParameters::count, coreTextOf<tavrel::LooperParameters> },
};

constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

using TestPlayHead = tavrel::test::HostPlayHead;

// Distinct values at every sample, so a replayed slice shows where it came from.
juce::AudioBuffer<float> rampSignal (int length)
{
    juce::AudioBuffer<float> signal (2, length);
    for (int i = 0; i < length; ++i)
    {
        signal.setSample (0, i, (float) ((i % 8192) + 1) / 8192.0f);
        signal.setSample (1, i, -(float) ((i % 4096) + 1) / 4096.0f);
    }
    return signal;
}

//==============================================================================
// The VST 2.4 build of the same plug-in, as the reference: whole signals
// block by block, chunks as memory blocks.
class Vst2Reference : public tavrel::test::Vst2Reference
{
public:
    explicit Vst2Reference (const char* path) : tavrel::test::Vst2Reference (path, sampleRate, blockSize) {}

    juce::AudioBuffer<float> play (const juce::AudioBuffer<float>& signal, double bpm, bool playing = true)
    {
        juce::AudioBuffer<float> result (2, signal.getNumSamples());
        for (int start = 0; start + blockSize <= signal.getNumSamples(); start += blockSize)
        {
            run (signal.getReadPointer (0, start), signal.getReadPointer (1, start), bpm, playing, start);
            result.copyFrom (0, start, left().data(), blockSize);
            result.copyFrom (1, start, right().data(), blockSize);
        }
        return result;
    }

    void playSilence (int blocks)
    {
        const std::vector<float> silence ((size_t) blockSize);
        for (int i = 0; i < blocks; ++i)
            run (silence.data(), silence.data(), 120.0, false, 0);
    }

    juce::MemoryBlock chunk()
    {
        const auto bytes = tavrel::test::Vst2Reference::chunk();
        return juce::MemoryBlock (bytes.data(), bytes.size());
    }

    void setChunk (const juce::MemoryBlock& block)
    {
        const auto* bytes = static_cast<const char*> (block.getData());
        tavrel::test::Vst2Reference::setChunk (std::vector<char> (bytes, bytes + block.getSize()));
    }
};

//==============================================================================
// The plug-in's settings chunk inside each format's host state. JUCE's VST3
// host keeps the component state (the chunk, then the client's own trailer)
// in base64 in an XML element; its LV2 host keeps the plug-in's state string
// (the chunk in base64) in a Turtle document.
juce::MemoryBlock decodeBase64 (const juce::String& text)
{
    juce::MemoryBlock block;
    block.fromBase64Encoding (text);
    return block;
}

juce::String lv2StateText (const juce::MemoryBlock& hostState)
{
    return juce::String::fromUTF8 (static_cast<const char*> (hostState.getData()), (int) hostState.getSize());
}

const std::regex lv2StateString { R"re(StateString>\s+"([^"]*)")re" };

juce::MemoryBlock chunkInHostState (Format format, const juce::MemoryBlock& hostState)
{
    if (format == Format::vst3)
    {
        const auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
        if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
            return {};
        auto state = decodeBase64 (xml->getChildByName ("IComponent")->getAllSubText());

        // The client's trailer: 8 zero bytes, its private data, their size,
        // then its marker.
        const juce::String marker ("JUCEPrivateData");
        const auto size = state.getSize();
        const auto markerLength = (size_t) marker.length();
        if (size >= markerLength + 8
            && juce::String (static_cast<const char*> (state.getData()) + size - markerLength, markerLength) == marker)
        {
            juce::uint64 privateSize = 0;
            state.copyTo (&privateSize, (int) (size - markerLength - 8), 8);
            state.setSize (size - markerLength - 8 - (size_t) privateSize - 8);
        }
        return state;
    }

    const auto text = lv2StateText (hostState).toStdString();
    std::smatch match;
    if (! std::regex_search (text, match, lv2StateString))
        return {};
    return decodeBase64 (juce::String (match[1].str()));
}

// A host state that carries the given chunk, made from a state the host wrote.
juce::MemoryBlock hostStateWithChunk (Format format, const juce::MemoryBlock& hostState, const juce::MemoryBlock& chunk)
{
    if (format == Format::vst3)
    {
        auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
        if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
            return {};
        auto* component = xml->getChildByName ("IComponent");
        component->deleteAllTextElements();
        component->addTextElement (chunk.toBase64Encoding());
        juce::MemoryBlock result;
        juce::AudioProcessor::copyXmlToBinary (*xml, result);
        return result;
    }

    const auto text = lv2StateText (hostState).toStdString();
    std::smatch match;
    if (! std::regex_search (text, match, lv2StateString))
        return {};
    const auto replaced = text.substr (0, (size_t) match.position (1)) + chunk.toBase64Encoding().toStdString()
                        + text.substr ((size_t) (match.position (1) + match.length (1)));
    return juce::MemoryBlock (replaced.data(), replaced.size() + 1);
}

//==============================================================================
// A folder holding only the LV2 bundles, as an LV2 path entry.
juce::File lv2Folder()
{
    static const juce::File folder = []
    {
        auto made = juce::File::getSpecialLocation (juce::File::tempDirectory)
                        .getNonexistentChildFile ("tavrel-lv2-", "", false);
        made.createDirectory();
        for (const auto* path : { ZINTRAK_LV2_PATH, MORLUNE_LV2_PATH })
            juce::File (path).createSymbolicLink (made.getChildFile (juce::File (path).getFileName()), true);
        return made;
    }();
    return folder;
}

// The plug-in binary inside a bundle, and an address of its code once a host
// has loaded it (its format's entry point).
juce::File binaryOf (const Bundle& bundle)
{
    const auto name = juce::String (bundle.identity.productName) + ".so";
    const juce::File folder (bundle.bundlePath);
    return bundle.format == Format::vst3 ? folder.getChildFile ("Contents/x86_64-linux").getChildFile (name)
                                         : folder.getChildFile (name);
}

const void* codeOfTheLoadedBinary (const Bundle& bundle)
{
    void* handle = dlopen (binaryOf (bundle).getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return nullptr;
    const void* entry = dlsym (handle, bundle.format == Format::vst3 ? "GetPluginFactory" : "lv2_descriptor");
    dlclose (handle); // the host's own reference keeps it loaded
    return entry;
}

// The mode toggles lead both tables; "Mode" follows them.
int toggleCount (const Bundle& bundle)
{
    int n = 0;
    while (bundle.table[n].kind == ParameterInfo::Kind::toggle)
        ++n;
    return n;
}

class FormatHost : public ::testing::TestWithParam<Bundle>
{
protected:
    void SetUp() override
    {
        const auto& bundle = GetParam();
        juce::OwnedArray<juce::PluginDescription> found;

        if (bundle.format == Format::vst3)
        {
            vst3.findAllTypesForFile (found, bundle.bundlePath);
        }
        else
        {
            lv2.searchPathsForPlugins (juce::FileSearchPath (lv2Folder().getFullPathName()), false, false);
            lv2.findAllTypesForFile (found, bundle.identity.lv2Uri);
        }

        ASSERT_EQ (found.size(), 1) << bundle.bundlePath;
        description = *found[0];
        plugin = load();
        ASSERT_NE (plugin, nullptr);
        tableOrder = inTableOrder (*plugin);
        ASSERT_EQ ((int) tableOrder.size(), bundle.parameterCount);
    }

    // The host's parameters in the table's order, found by their full names:
    // JUCE's LV2 host lists the plug-in's parameters in an order of its own.
    // Both hosts add a bypass switch of their own, also named "Bypass" (the
    // VST3 client's parameter; LV2's "enabled" port), which is not ours.
    std::vector<juce::AudioProcessorParameter*> inTableOrder (juce::AudioPluginInstance& instance) const
    {
        std::vector<juce::AudioProcessorParameter*> ordered;
        for (int i = 0; i < GetParam().parameterCount; ++i)
            for (auto* p : instance.getParameters())
                if (p != instance.getBypassParameter() && p->getName (100) == GetParam().table[i].fullName)
                {
                    ordered.push_back (p);
                    break;
                }
        return ordered;
    }

    std::unique_ptr<juce::AudioPluginInstance> load()
    {
        juce::String error;
        auto& format = GetParam().format == Format::vst3 ? static_cast<juce::AudioPluginFormat&> (vst3)
                                                         : static_cast<juce::AudioPluginFormat&> (lv2);
        auto instance = format.createInstanceFromDescription (description, sampleRate, blockSize, error);
        EXPECT_NE (instance, nullptr) << error;
        if (instance != nullptr)
        {
            instance->setPlayHead (&playHead);
            instance->setPlayConfigDetails (2, 2, sampleRate, blockSize);
            instance->prepareToPlay (sampleRate, blockSize);
        }
        return instance;
    }

    // The parameters the plug-in declares; a VST3 host also sees the
    // client's own bypass parameter after them.
    juce::AudioProcessorParameter& parameter (int index) { return *tableOrder[(size_t) index]; }

    juce::AudioBuffer<float> play (const juce::AudioBuffer<float>& signal)
    {
        juce::AudioBuffer<float> result (2, signal.getNumSamples());
        juce::MidiBuffer midi;

        for (int start = 0; start + blockSize <= signal.getNumSamples(); start += blockSize)
        {
            juce::AudioBuffer<float> block (2, blockSize);
            for (int c = 0; c < 2; ++c)
                block.copyFrom (c, 0, signal, c, start, blockSize);
            playHead.samplePosition = start;
            plugin->processBlock (block, midi);
            for (int c = 0; c < 2; ++c)
                result.copyFrom (c, start, block, c, 0, blockSize);
        }
        return result;
    }

    // One block with the transport stopped: LV2 parameter writes and state
    // restores reach the plug-in with a block, and the values it then sends
    // reach the host with the next.
    void processSilence (juce::AudioPluginInstance& instance)
    {
        const bool wasPlaying = playHead.playing;
        playHead.playing = false;
        juce::AudioBuffer<float> block (2, blockSize);
        block.clear();
        juce::MidiBuffer midi;
        instance.processBlock (block, midi);
        playHead.playing = wasPlaying;
    }

    // Stopped blocks and message loop turns until the condition holds: LV2
    // writes travel with blocks, announcements through two message threads,
    // and a loaded machine may take its time. False when it never held.
    bool deliverUntil (const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
        for (;;)
        {
            processSilence (*plugin);
            const auto until = juce::Time::getMillisecondCounter() + 20;
            tavrel::test::runMessageLoopUntil ([until] { return juce::Time::getMillisecondCounter() > until; }, 100);
            if (condition())
                return true;
            if (juce::Time::getMillisecondCounter() > deadline)
                return false;
        }
    }

    // Lets the plug-in's own message thread and ours deliver what is pending.
    static void settle()
    {
        const auto until = juce::Time::getMillisecondCounter() + 200;
        tavrel::test::runMessageLoopUntil ([until] { return juce::Time::getMillisecondCounter() > until; }, 1000);
    }

    // A toggle written in both builds; the write, then the group announcement
    // it causes, reach each with stopped blocks.
    void selectInBoth (Vst2Reference& reference, int toggle)
    {
        reference.setParameter (toggle, 1.0f);
        reference.playSilence (2);
        parameter (toggle).setValueNotifyingHost (1.0f);
        processSilence (*plugin);
        settle();
        processSilence (*plugin);
    }

    juce::VST3PluginFormat vst3;
    juce::LV2PluginFormat lv2;
    juce::PluginDescription description;
    TestPlayHead playHead;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    std::vector<juce::AudioProcessorParameter*> tableOrder;
};

TEST_P (FormatHost, SeesTheIdentity)
{
    const auto& identity = GetParam().identity;

    EXPECT_EQ (description.name, identity.effectName);
    EXPECT_EQ (description.manufacturerName, identity.vendor);
    // JUCE's LV2 host does not read the version (doap:revision) into its description.
    if (GetParam().format == Format::vst3)
    {
        EXPECT_EQ (description.version, identity.versionString);
    }
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());

    if (GetParam().format == Format::lv2)
    {
        EXPECT_EQ (description.fileOrIdentifier, identity.lv2Uri);
    }
}

TEST_P (FormatHost, SeesTheParameterTableWithStepsAndTexts)
{
    const auto& bundle = GetParam();
    auto& parameters = plugin->getParameters();

    // Beside the table's parameters, only the host's bypass switch (the VST3
    // client's own parameter, the LV2 bundle's "enabled" port).
    juce::StringArray extra;
    for (auto* p : parameters)
        if (std::find (tableOrder.begin(), tableOrder.end(), p) == tableOrder.end())
            extra.add (p->getName (100) + (p == plugin->getBypassParameter() ? " (host bypass)" : ""));
    EXPECT_EQ (extra.joinIntoString (", "), "Bypass (host bypass)");

    for (int i = 0; i < bundle.parameterCount; ++i)
    {
        const auto& info = bundle.table[i];
        auto& p = parameter (i);
        SCOPED_TRACE (info.fullName);

        EXPECT_EQ (p.getName (100), info.fullName);
        EXPECT_NEAR (p.getDefaultValue(), info.defaultValue, 1.0e-6); // LV2 metadata has six digits
        EXPECT_NEAR (p.getValue(), info.defaultValue, 1.0e-6);
        // JUCE's hosted parameters tell a toggle by its two steps.
        EXPECT_EQ (p.isDiscrete(), info.kind != ParameterInfo::Kind::continuous);
        if (info.kind != ParameterInfo::Kind::continuous)
        {
            EXPECT_EQ (p.getNumSteps(), info.positions());
        }

        // Every position of a discrete parameter is labelled with the core's
        // text; LV2 has no texts for continuous values.
        if (info.kind != ParameterInfo::Kind::continuous)
        {
            for (int step = 0; step <= info.steps; ++step)
            {
                const float value = (float) step / (float) info.steps;
                EXPECT_EQ (p.getText (value, 100).toStdString(), bundle.coreText (i, value)) << "position " << step;
            }
        }
        else if (bundle.format == Format::vst3)
        {
            EXPECT_EQ (p.getCurrentValueAsText().toStdString(), bundle.coreText (i, info.defaultValue));
        }
    }
}

// A host that automates one mode toggle hears the rest of the radio group
// follow, as edits of the parameters the plug-in wrote: every other toggle
// off and "Mode" at the toggle's position, in the host's own view.
TEST_P (FormatHost, HostWriteOfOneToggleLeavesTheGroupConsistentInTheHostsView)
{
    const auto& bundle = GetParam();
    const int toggles = toggleCount (bundle);
    const int modeIndex = toggles;

    for (const int lit : { 2, 1, 0 })
    {
        SCOPED_TRACE ("toggle " + std::to_string (lit));
        parameter (lit).setValueNotifyingHost (1.0f);
        const auto modeValue = (float) lit / (float) toggles;
        deliverUntil ([&] { return std::abs (parameter (modeIndex).getValue() - modeValue) < 1.0e-6f; });

        for (int i = 0; i < toggles; ++i)
            EXPECT_EQ (parameter (i).getValue(), i == lit ? 1.0f : 0.0f) << bundle.table[i].fullName;
        EXPECT_NEAR (parameter (modeIndex).getValue(), (float) lit / (float) toggles, 1.0e-6);
    }
}

// The same input, tempo and settings through both builds: the same samples.
TEST_P (FormatHost, PlaysAModeAsTheVst2BuildDoes)
{
    const auto& bundle = GetParam();
    Vst2Reference reference (bundle.vst2Path);
    ASSERT_TRUE (reference.isLoaded());

    // The slicer's "Backwards" and the looper's "Loop", at 120 bpm, playing.
    const int mode = 1;
    selectInBoth (reference, mode);
    EXPECT_EQ (parameter (mode).getValue(), 1.0f);
    juce::MemoryBlock primed;
    plugin->getStateInformation (primed);
    EXPECT_EQ (chunkInHostState (bundle.format, primed), reference.chunk()) << "the settings differ before playing";

    // Then both restore those settings, as a project reopened in either host
    // would: a restore writes every parameter. Without it the two would start
    // from different histories, since JUCE's LV2 host writes every parameter
    // with its first block, and a new slicer keeps its trim at 0 ms until
    // "Trim" is first written (its text shows the stored -5 ms all along).
    reference.setChunk (chunkInHostState (bundle.format, primed));
    plugin->setStateInformation (primed.getData(), (int) primed.getSize());
    processSilence (*plugin);
    settle();
    processSilence (*plugin);

    const auto signal = rampSignal (blockSize * 400);
    const auto expected = reference.play (signal, 120.0);
    const auto actual = play (signal);

    int differing = 0, firstDifference = -1;
    for (int i = 0; i < signal.getNumSamples(); ++i)
        for (int c = 0; c < 2; ++c)
            if (expected.getSample (c, i) != actual.getSample (c, i))
            {
                if (differing++ == 0)
                    firstDifference = i;
            }

    EXPECT_EQ (differing, 0) << "first at sample " << firstDifference;
    // And the mode did something: the output is not the input.
    EXPECT_NE (actual.getSample (0, blockSize * 300), signal.getSample (0, blockSize * 300));
}

// With no play head the engines act as with a stopped VST 2.4 transport: in
// a wet mode, the same samples as the VST 2.4 build stopped.
TEST_P (FormatHost, PlaysAsStoppedWithoutATransport)
{
    Vst2Reference reference (GetParam().vst2Path);
    ASSERT_TRUE (reference.isLoaded());
    plugin->setPlayHead (nullptr);

    selectInBoth (reference, 1);

    const auto signal = rampSignal (blockSize * 40);
    const auto expected = reference.play (signal, 120.0, false);
    const auto actual = play (signal);

    for (int i = 0; i < signal.getNumSamples(); i += 7)
        ASSERT_EQ (actual.getSample (0, i), expected.getSample (0, i)) << i;
}

TEST_P (FormatHost, StateRoundTripsWithinTheFormat)
{
    const auto& bundle = GetParam();
    const int last = bundle.parameterCount - 1; // "BufLen" and the looper's "Trim"
    parameter (2).setValueNotifyingHost (1.0f);
    parameter (last).setValueNotifyingHost (1.0f);
    juce::MidiBuffer midi;
    juce::AudioBuffer<float> block (2, blockSize);
    plugin->processBlock (block, midi); // LV2 parameters arrive with a block
    settle();

    juce::MemoryBlock saved;
    plugin->getStateInformation (saved);
    const auto chunk = chunkInHostState (bundle.format, saved);
    ASSERT_GT (chunk.getSize(), 0u);

    auto second = load();
    ASSERT_NE (second, nullptr);
    second->setStateInformation (saved.getData(), (int) saved.getSize());
    for (int i = 0; i < 4; ++i) // LV2 restores with a block and reports back over the next ones
    {
        processSilence (*second);
        settle();
    }
    // The host shows the restored values.
    const auto secondParameters = inTableOrder (*second);
    EXPECT_EQ (secondParameters[2]->getValue(), 1.0f);
    EXPECT_EQ (secondParameters[(size_t) last]->getValue(), 1.0f);

    juce::MemoryBlock again;
    second->getStateInformation (again);
    EXPECT_EQ (chunkInHostState (bundle.format, again), chunk);
}

// A chunk the VST 2.4 build saved restores in this format, and the chunk this
// format then saves restores in the VST 2.4 build: the same bytes each way.
TEST_P (FormatHost, StateCrossesFromAndToTheVst2Build)
{
    const auto& bundle = GetParam();
    Vst2Reference reference (bundle.vst2Path);
    ASSERT_TRUE (reference.isLoaded());
    reference.setParameter (2, 1.0f);
    reference.setParameter (bundle.parameterCount - 1, 1.0f);
    const auto vst2Chunk = reference.chunk();
    ASSERT_GT (vst2Chunk.getSize(), 0u);

    juce::MemoryBlock hostState;
    plugin->getStateInformation (hostState);
    const auto carrying = hostStateWithChunk (bundle.format, hostState, vst2Chunk);
    ASSERT_GT (carrying.getSize(), 0u);
    plugin->setStateInformation (carrying.getData(), (int) carrying.getSize());
    for (int i = 0; i < 4; ++i)
    {
        processSilence (*plugin);
        settle();
    }

    EXPECT_EQ (parameter (2).getValue(), 1.0f);
    EXPECT_EQ (parameter (bundle.parameterCount - 1).getValue(), 1.0f);

    juce::MemoryBlock saved;
    plugin->getStateInformation (saved);
    const auto formatChunk = chunkInHostState (bundle.format, saved);
    EXPECT_EQ (formatChunk, vst2Chunk);

    Vst2Reference fresh (bundle.vst2Path);
    fresh.setChunk (formatChunk);
    EXPECT_EQ (fresh.chunk(), vst2Chunk);
}

TEST_P (FormatHost, DamagedStateLeavesTheSettings)
{
    const auto& bundle = GetParam();
    parameter (2).setValueNotifyingHost (1.0f);
    juce::MidiBuffer midi;
    juce::AudioBuffer<float> block (2, blockSize);
    plugin->processBlock (block, midi);
    settle();

    juce::MemoryBlock hostState;
    plugin->getStateInformation (hostState);
    const char garbage[] = "not a settings chunk";
    const auto damaged = hostStateWithChunk (bundle.format, hostState, juce::MemoryBlock (garbage, sizeof (garbage)));
    plugin->setStateInformation (damaged.getData(), (int) damaged.getSize());
    processSilence (*plugin);
    settle();
    processSilence (*plugin);

    EXPECT_EQ (parameter (2).getValue(), 1.0f);
}

// Every mode through the host's audio path: while the plug-in's code runs,
// no allocation, and no lock but the processing locks (the client's own
// around the block, and the frame's inside it). The host's own work around
// the call (its parameter queues and event lists) is its business.
TEST_P (FormatHost, BlocksInEveryModeAllocateNothingAndTakeOnlyTheProcessingLocks)
{
    if (! TAVREL_REALTIME_GUARD)
        GTEST_SKIP() << "the sanitizers own malloc and the mutex functions here";

    const auto& bundle = GetParam();
    const auto* pluginCode = codeOfTheLoadedBinary (bundle);
    ASSERT_NE (pluginCode, nullptr) << "the host has not loaded " << binaryOf (bundle).getFullPathName();

    const int toggles = toggleCount (bundle);
    juce::MidiBuffer midi;
    juce::AudioBuffer<float> block (2, blockSize);

    for (int mode = 0; mode < toggles; ++mode)
    {
        parameter (mode).setValueNotifyingHost (1.0f);
        block.clear();
        // Outside the guard: the write, then the group announcement it
        // causes, reach the plug-in with a block each, the second playing.
        processSilence (*plugin);
        settle();
        plugin->processBlock (block, midi);
        settle();
        plugin->processBlock (block, midi);

        for (int i = 0; i < 40; ++i)
        {
            playHead.samplePosition += blockSize;
            for (int c = 0; c < 2; ++c)
                juce::FloatVectorOperations::fill (block.getWritePointer (c), 0.25f, blockSize);

            tavrel::test::RealtimeGuard guard (pluginCode);
            plugin->processBlock (block, midi);
            const int allocations = guard.allocations(), locks = guard.locks();
            ASSERT_EQ (allocations, 0) << "mode " << mode << ", block " << i;
            ASSERT_EQ (locks, 2) << "mode " << mode << ", block " << i;
        }
    }
}

// JUCE's LV2 host embeds the plug-in's window in two windows of its own. Now
// and then, on a busy machine, the inner one keeps its first size, 1 x 1,
// while the plug-in's window inside it has its 350 x 615, mapped: the host
// then shows nothing of it. That is the host's own layout going wrong, so
// the test, as the host, gives each window at least the size of the windows
// it holds. Where the host laid itself out, this changes nothing.
void growEmbeddingWindowsToTheirContents (Display* display, Window window)
{
    XWindowAttributes own {};
    XGetWindowAttributes (display, window, &own);
    int width = own.width, height = own.height;

    for (const auto child : tavrel::test::X11HostWindow::childrenOf (display, window))
    {
        growEmbeddingWindowsToTheirContents (display, child);
        XWindowAttributes inner {};
        if (XGetWindowAttributes (display, child, &inner) && inner.map_state == IsViewable)
        {
            width = std::max (width, inner.x + inner.width);
            height = std::max (height, inner.y + inner.height);
        }
    }

    if (width != own.width || height != own.height)
        XResizeWindow (display, window, (unsigned) width, (unsigned) height);
    XSync (display, False);
}

// The editor in the host's window: its fixed size, its lamps following the
// host's automation while it is open, a click on a lamp told to the host as
// edits of the toggle and of "Mode", and not one X error on any connection.
TEST_P (FormatHost, EditorInTheHostsWindowFollowsAutomationAndSendsClicksAsEdits)
{
    using tavrel::test::X11Host;
    const auto& bundle = GetParam();
    auto& x11 = X11Host::instance();
    ASSERT_TRUE (x11.isAvailable());
    X11Host::takeErrors();

    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    editor->addToDesktop (0);
    editor->setVisible (true);
    settle();
    EXPECT_EQ (editor->getWidth(), 350);
    EXPECT_EQ (editor->getHeight(), 615);
    EXPECT_FALSE (editor->isResizable());
    ASSERT_NE (editor->getPeer(), nullptr);
    const auto window = (Window) (uintptr_t) editor->getPeer()->getNativeHandle();
    growEmbeddingWindowsToTheirContents (x11.display(), window);
    settle();

    const auto& lamp = bundle.identity.code == std::string ("ZnTv") ? tavrel::test::zintrakRandomLamp
                                                                     : tavrel::test::morluneLoopLamp;
    const int toggle = lamp.writes[0].index;
    const int modeIndex = toggleCount (bundle);
    // The lamp picture's 56 x 29 pixels at the button's corner, as shown.
    const auto lampPicture = [&]
    {
        return tavrel::test::X11HostWindow::captureOf (x11.display(), window).getClippedImage ({ lamp.x, lamp.y, 56, 29 });
    };
    const auto pixelsBrighter = [] (const juce::Image& than, const juce::Image& image)
    {
        int count = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                count += image.getPixelAt (x, y).getBrightness() > than.getPixelAt (x, y).getBrightness() + 0.15f ? 1 : 0;
        return count;
    };

    // The host's automation lights the lamp's toggle, then Bypass again.
    const auto dark = lampPicture().createCopy();
    parameter (toggle).setValueNotifyingHost (1.0f);
    EXPECT_TRUE (deliverUntil ([&] { return pixelsBrighter (dark, lampPicture()) > 50; }))
        << "the lamp did not light for the host's write";
    parameter (0).setValueNotifyingHost (1.0f);
    EXPECT_TRUE (deliverUntil ([&] { return pixelsBrighter (dark, lampPicture()) == 0; }))
        << "the lamp stayed lit after the host's write of Bypass";

    // A click on the lamp: the host hears its toggle and "Mode", each as an edit.
    struct Gestures : juce::AudioProcessorParameter::Listener
    {
        void parameterValueChanged (int, float) override {}
        void parameterGestureChanged (int index, bool starting) override
        {
            if (starting)
                begun.insert (index);
        }
        std::set<int> begun;
    } gestures;
    for (auto* p : { &parameter (toggle), &parameter (modeIndex) })
        p->addListener (&gestures);

    x11.movePointerTo (window, lamp.centreX(), lamp.centreY());
    settle();
    x11.setButton (true);
    settle();
    x11.setButton (false);
    const auto modeValue = (float) toggle / (float) modeIndex;
    EXPECT_TRUE (deliverUntil ([&] { return parameter (toggle).getValue() == 1.0f
                                            && std::abs (parameter (modeIndex).getValue() - modeValue) < 1.0e-6f; }))
        << "the host heard " << parameter (toggle).getValue() << " and \"Mode\" " << parameter (modeIndex).getValue();
    // LV2 has no gestures yet: JUCE's client sends none.
    if (bundle.format == Format::vst3)
    {
        EXPECT_EQ (gestures.begun, (std::set<int> { parameter (toggle).getParameterIndex(), parameter (modeIndex).getParameterIndex() }));
    }
    for (auto* p : { &parameter (toggle), &parameter (modeIndex) })
        p->removeListener (&gestures);

    // For the record: the editor as the host shows it.
    const auto shot = juce::File (SCREENSHOT_DIR).getChildFile (juce::String (bundle.label).toLowerCase() + "-editor.png");
    shot.getParentDirectory().createDirectory();
    shot.deleteFile();
    juce::FileOutputStream stream (shot);
    juce::PNGImageFormat().writeImageToStream (tavrel::test::X11HostWindow::captureOf (x11.display(), window), stream);

    editor.reset();
    settle();
    EXPECT_EQ (X11Host::takeErrors(), std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P (Bundles, FormatHost, ::testing::ValuesIn (bundles),
                          [] (const auto& testInfo) { return std::string (testInfo.param.label); });

//==============================================================================
// The class IDs the VST3 factory offers are the ones the identity records
// wrote down: hosts store them in projects.
constexpr const char* audioModuleClass = "Audio Module Class";

using GetFactory = Steinberg::IPluginFactory* (*)();
using ModuleEntry = bool (*) (void*);
using ModuleExit = bool (*)();

std::array<uint32_t, 4> classIdWords (const Steinberg::TUID cid)
{
    std::array<uint32_t, 4> words {};
    for (size_t w = 0; w < 4; ++w)
        for (size_t b = 0; b < 4; ++b)
            words[w] = (words[w] << 8) | (uint8_t) cid[w * 4 + b];
    return words;
}

TEST (Vst3Factory, OffersTheClassIdsOfTheIdentityRecords)
{
    for (const auto* bundle : { &bundles[0], &bundles[1] })
    {
        SCOPED_TRACE (bundle->label);
        tavrel::test::PluginLibrary library (binaryOf (*bundle).getFullPathName().toRawUTF8());
        auto entry = reinterpret_cast<ModuleEntry> (library.symbol ("ModuleEntry"));
        auto exit = reinterpret_cast<ModuleExit> (library.symbol ("ModuleExit"));
        auto getFactory = reinterpret_cast<GetFactory> (library.symbol ("GetPluginFactory"));
        ASSERT_TRUE (entry != nullptr && exit != nullptr && getFactory != nullptr);
        ASSERT_TRUE (entry (nullptr));

        auto* factory = getFactory();
        ASSERT_NE (factory, nullptr);
        Steinberg::PFactoryInfo factoryInfo;
        factory->getFactoryInfo (&factoryInfo);
        EXPECT_STREQ (factoryInfo.vendor, bundle->identity.vendor);

        std::map<std::string, std::array<uint32_t, 4>> classes;
        for (int i = 0; i < factory->countClasses(); ++i)
        {
            Steinberg::PClassInfo info;
            ASSERT_EQ (factory->getClassInfo (i, &info), Steinberg::kResultOk);
            classes[info.category] = classIdWords (info.cid);
            if (std::string (info.category) == audioModuleClass)
            {
                EXPECT_STREQ (info.name, bundle->identity.effectName);
            }
        }

        const auto& component = bundle->identity.vst3ComponentId;
        const auto& controller = bundle->identity.vst3ControllerId;
        EXPECT_EQ (classes[audioModuleClass], (std::array<uint32_t, 4> { component[0], component[1], component[2], component[3] }));
        EXPECT_EQ (classes["Component Controller Class"], (std::array<uint32_t, 4> { controller[0], controller[1], controller[2], controller[3] }));

        factory->release();
        exit();
    }
}

} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    // Before any framework talks to the server: the host's error handler and
    // the window manager's atoms a bare Xvfb lacks.
    tavrel::test::X11Host::instance();
    const juce::ScopedJuceInitialiser_GUI juce;
    const int result = RUN_ALL_TESTS();
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
