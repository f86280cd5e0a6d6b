// Zintrak.so in an independent host: JUCE's own VST2 hosting loads it, reads
// its identity and parameters, plays it against a transport, and moves its
// state. Headless: no editor window is opened.
#include "HostPlayHead.h"
#include "dsp/FadeTable.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using TestPlayHead = tavrel::test::HostPlayHead;

class JuceHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, ZINTRAK_PATH);
        ASSERT_EQ (found.size(), 1);
        description = *found[0];

        juce::String error;
        plugin = format.createInstanceFromDescription (description, 44100.0, 512, error);
        ASSERT_NE (plugin, nullptr) << error;
        plugin->setPlayHead (&playHead);
    }

    juce::AudioProcessorParameter& parameter (int index) { return *plugin->getParameters()[index]; }

    // Plays the signal block by block, advancing the play head.
    juce::AudioBuffer<float> play (const juce::AudioBuffer<float>& signal, int blockSize = 512)
    {
        juce::AudioBuffer<float> result (2, signal.getNumSamples());
        juce::MidiBuffer midi;

        for (int start = 0; start < signal.getNumSamples(); start += blockSize)
        {
            const int n = juce::jmin (blockSize, signal.getNumSamples() - start);
            juce::AudioBuffer<float> block (2, n);
            for (int c = 0; c < 2; ++c)
                block.copyFrom (c, 0, signal, c, start, n);

            plugin->processBlock (block, midi);

            for (int c = 0; c < 2; ++c)
                result.copyFrom (c, start, block, c, 0, n);
            playHead.samplePosition += n;
        }

        return result;
    }

    static juce::AudioBuffer<float> testSignal (int length)
    {
        juce::AudioBuffer<float> signal (2, length);
        for (int i = 0; i < length; ++i)
        {
            signal.setSample (0, i, std::sin (0.01f * (float) i));
            signal.setSample (1, i, 0.5f * std::cos (0.017f * (float) i));
        }
        return signal;
    }

    juce::VSTPluginFormat format;
    juce::PluginDescription description;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
    TestPlayHead playHead;
};

TEST_F (JuceHost, SeesTheIdentity)
{
    EXPECT_EQ (description.descriptiveName, "Tavrel Slicer"); // JUCE names the plug-in after its file
    EXPECT_EQ (description.name, "Zintrak");
    EXPECT_EQ (description.manufacturerName, "Tavrel Software");
    EXPECT_EQ (description.uniqueId, 0x5A6E5476);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (plugin->getNumPrograms(), 0);
    EXPECT_EQ (plugin->getLatencySamples(), 0);
}

TEST_F (JuceHost, SeesTheParametersAndTheirTexts)
{
    ASSERT_EQ (plugin->getParameters().size(), 20);
    EXPECT_EQ (parameter (0).getName (100), "Bypass");
    EXPECT_EQ (parameter (1).getName (100), "Backward");
    EXPECT_EQ (parameter (19).getName (100), "BufLen");
    EXPECT_EQ (parameter (15).getValue(), 0.5f);
    EXPECT_EQ (parameter (16).getCurrentValueAsText(), "-5 ms");
    EXPECT_TRUE (parameter (3).isAutomatable());

    parameter (15).setValue (1.0f);
    EXPECT_EQ (parameter (15).getValue(), 1.0f);
}

TEST_F (JuceHost, PlaysThroughTheFadeInAtTheInitialSettings)
{
    plugin->prepareToPlay (44100.0, 512);
    const auto in = testSignal (8192);
    const auto out = play (in);

    for (int c = 0; c < 2; ++c)
    {
        for (int i = 0; i < 440; ++i)
            ASSERT_EQ (out.getSample (c, i), tavrel::FadeTable::shared().gainAfterSamples (i) * in.getSample (c, i))
                << "channel " << c << " sample " << i;
        for (int i = 440; i < in.getNumSamples(); ++i)
            ASSERT_EQ (out.getSample (c, i), in.getSample (c, i)) << "channel " << c << " sample " << i;
    }

    plugin->releaseResources();
}

TEST_F (JuceHost, FallsSilentInAWetModeWhenTheTransportStops)
{
    parameter (1).setValue (1.0f); // Backwards
    playHead.playing = false;
    plugin->prepareToPlay (44100.0, 512);
    const auto out = play (testSignal (4096));
    EXPECT_EQ (out.getMagnitude (0, out.getNumSamples()), 0.0f);
    plugin->releaseResources();
}

// The host's time record as the plug-in reads it: tempo, position and the
// playing flag where the published layout has them. A wet mode records and
// replays while the transport plays, and falls silent when it stops.
TEST_F (JuceHost, PlaysAWetModeWhileTheTransportPlays)
{
    parameter (1).setValue (1.0f); // Backwards
    plugin->prepareToPlay (44100.0, 512);
    const auto in = testSignal (44100 * 2);
    const auto out = play (in);

    // From the second slice of the first bar on, the voices replay the ring.
    const int from = 11025 + 440, to = in.getNumSamples();
    EXPECT_GT (out.getMagnitude (0, from, to - from), 0.1f) << "silent: the plug-in did not see the transport playing";
    int replayed = 0;
    for (int i = from; i < to; ++i)
        replayed += out.getSample (0, i) != in.getSample (0, i) ? 1 : 0;
    EXPECT_GT (replayed, (to - from) / 2) << "the output is the input: the mode did not play";
    plugin->releaseResources();
}

TEST_F (JuceHost, StateRoundTrips)
{
    juce::MemoryBlock state;
    plugin->getStateInformation (state);
    ASSERT_FALSE (state.isEmpty()) << "an empty state would lose every setting of a saved project";

    parameter (15).setValue (1.0f);
    parameter (17).setValue (1.0f);
    plugin->setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_EQ (parameter (15).getValue(), 0.5f);
    EXPECT_EQ (parameter (17).getValue(), 0.0f);

    // A second round trip gives back the same bytes. (The first may not: the
    // slicer's listener switches "Bypass" on after its first change.)
    const auto bytes = [] (const juce::MemoryBlock& block)
    {
        return std::string (static_cast<const char*> (block.getData()), block.getSize());
    };
    juce::MemoryBlock again, onceMore;
    plugin->getStateInformation (again);
    plugin->setStateInformation (again.getData(), (int) again.getSize());
    plugin->getStateInformation (onceMore);
    EXPECT_EQ (bytes (onceMore), bytes (again));
}

} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
