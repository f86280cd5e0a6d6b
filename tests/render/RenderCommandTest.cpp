// tavrel-render as its users run it: the built command, the built plug-ins,
// small generated WAV files in a scratch folder.
#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

namespace
{

struct CommandResult
{
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

CommandResult runRenderer (const juce::StringArray& arguments)
{
    juce::StringArray command { TAVREL_RENDER_PATH };
    command.addArray (arguments);

    juce::ChildProcess process;
    if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return {};

    CommandResult result;
    result.output = process.readAllProcessOutput().toStdString();
    process.waitForProcessToFinish (60000);
    result.exitCode = (int) process.getExitCode();
    return result;
}

juce::AudioBuffer<float> readWav (const juce::File& file, double* sampleRate = nullptr)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (file.createInputStream().release(), true));
    if (reader == nullptr)
        return {};

    juce::AudioBuffer<float> buffer ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);
    if (sampleRate != nullptr)
        *sampleRate = reader->sampleRate;
    return buffer;
}

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        stream.get(), sampleRate, (unsigned int) buffer.getNumChannels(), 32, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release();
    writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

// A second of two different tones with some movement, so reordering shows.
juce::AudioBuffer<float> testSignal (int numSamples, double sampleRate)
{
    juce::AudioBuffer<float> buffer (2, numSamples);
    for (int i = 0; i < numSamples; ++i)
    {
        const double t = i / sampleRate;
        buffer.setSample (0, i, (float) (0.5 * std::sin (6.2831853 * 220.0 * t) * (0.5 + 0.5 * std::sin (6.2831853 * 3.0 * t))));
        buffer.setSample (1, i, (float) (0.4 * std::sin (6.2831853 * 331.0 * t + 0.3) * (t - std::floor (t))));
    }
    return buffer;
}

// The columns of --list from the given offset (16: value and text, 29: text), by index.
std::map<int, std::string> listedColumns (const std::string& output, int from)
{
    std::map<int, std::string> texts;
    juce::StringArray lines;
    lines.addLines (juce::String (output));

    for (const auto& line : lines)
    {
        const auto first = line.trimStart();
        if (line.length() > from && first.isNotEmpty() && juce::CharacterFunctions::isDigit (first[0]))
            texts[line.substring (0, 4).trim().getIntValue()] = line.substring (from).trim().toStdString();
    }
    return texts;
}

std::map<int, std::string> listedTexts (const std::string& output) { return listedColumns (output, 29); }

class RenderCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = juce::File::createTempFile ("render-test");
        ASSERT_TRUE (folder.createDirectory());
        input = folder.getChildFile ("in.wav");
        signal = testSignal (44100, 44100.0);
        writeWav (input, signal, 44100.0);
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::String path (const char* name) const { return folder.getChildFile (name).getFullPathName(); }

    CommandResult render (juce::StringArray arguments)
    {
        arguments.insert (0, ZINTRAK_PLUGIN_PATH);
        return runRenderer (arguments);
    }

    juce::StringArray filesInFolder() const
    {
        juce::StringArray names;
        for (const auto& f : folder.findChildFiles (juce::File::findFiles, false))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }

    juce::File folder, input;
    juce::AudioBuffer<float> signal;
};

} // namespace

//==============================================================================
TEST_F (RenderCommand, BypassPassesTheInputAfterTheTailWhateverTheBlockSize)
{
    for (const char* block : { "512", "1", "333", "4096" })
    {
        const auto result = render ({ input.getFullPathName(), "-o", path ("out.wav"), "--bits", "32", "--block", block });
        ASSERT_EQ (result.exitCode, 0) << result.output;

        double rate = 0.0;
        const auto out = readWav (folder.getChildFile ("out.wav"), &rate);
        ASSERT_EQ (out.getNumChannels(), 2);
        ASSERT_EQ (out.getNumSamples(), signal.getNumSamples());
        EXPECT_EQ (rate, 44100.0);

        int differing = 0;
        for (int c = 0; c < 2; ++c)
            for (int i = 440; i < out.getNumSamples(); ++i)
                differing += out.getSample (c, i) != signal.getSample (c, i) ? 1 : 0;
        EXPECT_EQ (differing, 0) << "block " << block;
    }
}

TEST_F (RenderCommand, WetModeFollowsTheTransport)
{
    const auto stopped = render ({ input.getFullPathName(), "-o", path ("stopped.wav"), "--stopped", "--set", "Backwards=On" });
    ASSERT_EQ (stopped.exitCode, 0) << stopped.output;
    const auto silent = readWav (folder.getChildFile ("stopped.wav"));
    ASSERT_EQ (silent.getNumSamples(), signal.getNumSamples());
    EXPECT_EQ (silent.getMagnitude (0, silent.getNumSamples()), 0.0f);

    // Two bars at 120 bpm: the second plays the first bar's slices backwards
    // (the first bar's own later slices are not recorded yet, so it is quiet).
    const auto twoBars = testSignal (4 * 44100, 44100.0);
    writeWav (folder.getChildFile ("long.wav"), twoBars, 44100.0);

    const auto playing = render ({ path ("long.wav"), "-o", path ("playing.wav"), "--bits", "32",
                                   "--tempo", "120", "--set", "Backwards=On", "--set", "Size=1/8 bar" });
    ASSERT_EQ (playing.exitCode, 0) << playing.output;
    const auto wet = readWav (folder.getChildFile ("playing.wav"));
    ASSERT_EQ (wet.getNumSamples(), twoBars.getNumSamples());

    const int bar = 2 * 44100;
    EXPECT_GT (wet.getRMSLevel (0, bar, bar), 0.05f);
    double difference = 0.0;
    for (int i = bar; i < 2 * bar; ++i)
        difference += std::abs (wet.getSample (0, i) - twoBars.getSample (0, i));
    EXPECT_GT (difference / bar, 0.01);
}

TEST_F (RenderCommand, ParametersAreSetByNameIndexOrText)
{
    const struct { const char* setting; int index; const char* text; } cases[] = {
        { "Backwards=On", 1, "On" },          // longer than the eight characters hosts get
        { "Bypass=On", 0, "On" },             // "off" writes re-assert it once on: found all the same
        { "Size=1/16 bar", 15, "1/16 bar" },
        { "16=0.75", 16, "+25 ms" },
        { "trim=-50 ms", 16, "-50 ms" },
        { "BUFLEN=3 bar", 19, "3 bar" },
        { "Mode=Skip 3rd", 14, "Skip 3rd" },
        { "Reverse=1", 18, "On" },
        { "15=0", 15, "1/2 bar" },
    };

    for (const auto& c : cases)
    {
        const auto result = render ({ "--set", c.setting, "--list" });
        ASSERT_EQ (result.exitCode, 0) << c.setting << "\n" << result.output;
        EXPECT_EQ (listedTexts (result.output)[c.index], c.text) << c.setting;
    }

    // Settings apply in order, each through the plug-in's own rules.
    const auto both = render ({ "--set", "Skip 2nd=On", "--set", "Hold=On", "--list" });
    auto texts = listedTexts (both.output);
    EXPECT_EQ (texts[3], "On");
    EXPECT_EQ (texts[14], "Skip 2nd");
    EXPECT_EQ (texts[17], "On");
}

TEST_F (RenderCommand, SharedNameIsRefusedWithTheIndicesThatCarryIt)
{
    const auto ambiguous = runRenderer ({ MORLUNE_PLUGIN_PATH, "--set", "Size=1/16 bar", "--list" });
    EXPECT_NE (ambiguous.exitCode, 0);
    EXPECT_NE (ambiguous.output.find ("ambiguous: parameters 5 and 7"), std::string::npos) << ambiguous.output;

    const auto byIndex = runRenderer ({ MORLUNE_PLUGIN_PATH, "--set", "7=1/16 bar", "--set", "5=25 %", "--list" });
    ASSERT_EQ (byIndex.exitCode, 0) << byIndex.output;
    auto texts = listedTexts (byIndex.output);
    EXPECT_EQ (texts[7], "1/16 bar");
    EXPECT_EQ (texts[5], "25 %");
}

TEST_F (RenderCommand, SavedChunkLoadsBackTheSameParameters)
{
    const auto saved = render ({ "--set", "O:1233=On", "--set", "Hold=On", "--set", "Trim=+12 ms", "--set", "BufLen=4 bar",
                                 "--save-chunk", path ("state.chunk"), "--list" });
    ASSERT_EQ (saved.exitCode, 0) << saved.output;

    const auto chunk = folder.getChildFile ("state.chunk");
    juce::MemoryBlock bytes;
    ASSERT_TRUE (chunk.loadFileAsData (bytes));
    ASSERT_GT (bytes.getSize(), 10u);
    EXPECT_EQ (std::memcmp (bytes.getData(), "VC2!", 4), 0);

    const auto loaded = render ({ "--load-chunk", path ("state.chunk"), "--list" });
    ASSERT_EQ (loaded.exitCode, 0) << loaded.output;

    const auto before = listedTexts (saved.output);
    EXPECT_EQ (before.size(), 20u);
    EXPECT_EQ (listedTexts (loaded.output), before);
    EXPECT_EQ (before.at (16), "+12 ms");
    EXPECT_EQ (before.at (17), "On");

    EXPECT_EQ (listedColumns (loaded.output, 16), listedColumns (saved.output, 16)); // the values as well
}

TEST_F (RenderCommand, BadInputFailsWithAMessageAndLeavesNoFile)
{
    folder.getChildFile ("fake.so").replaceWithText ("not a library");
    folder.getChildFile ("text.wav").replaceWithText ("RIFF? no");
    const juce::String plugin = ZINTRAK_PLUGIN_PATH;

    const struct { juce::StringArray arguments; const char* message; } cases[] = {
        { { plugin, path ("missing.wav"), "-o", path ("out.wav") }, "does not exist" },
        { { plugin, path ("text.wav"), "-o", path ("out.wav") }, "is not a WAV" },
        { { path ("fake.so"), "-o", path ("out.wav") }, "is not a loadable plug-in" },
        { { path ("nothing.so"), "-o", path ("out.wav") }, "does not exist" },
        { { plugin, "-o", path ("out.wav"), "--set", "Wobble=1" }, "unknown parameter \"Wobble\"" },
        { { plugin, "-o", path ("out.wav"), "--set", "20=1" }, "out of range" },
        { { plugin, "-o", path ("out.wav"), "--set", "Size=huge" }, "never shows \"huge\"" },
        { { plugin, "-o", path ("out.wav"), "--set", "Size=2" }, "out of range" },
        { { plugin, "-o", path ("out.wav"), "--set", "Size" }, "NAME=VALUE" },
        { { plugin, "-o", path ("out.wav"), "--tempo", "fast" }, "--tempo expects" },
        { { plugin, "-o", path ("out.wav"), "--tempo", "-1" }, "--tempo expects" },
        { { plugin, "-o", path ("out.wav"), "--block", "0" }, "--block expects" },
        { { plugin, "-o", path ("out.wav"), "--bits", "20" }, "--bits expects" },
        { { plugin, "-o", path ("out.wav"), "--wobble" }, "unknown option" },
        { { plugin, "-o" }, "needs a value" },
        { { plugin }, "nothing to do" },
        { { "-o", path ("out.wav") }, "no plug-in" },
        { { plugin, input.getFullPathName(), "--rate", "48000", "-o", path ("out.wav") }, "own sample rate" },
        { { plugin, "-o", path ("out.wav"), "--load-chunk", path ("none.chunk") }, "cannot be read" },
        { { plugin, "-o", path ("no/such/folder/out.wav") }, "does not exist" },
        { { plugin, "--save-chunk", path ("state.chunk"), "--set", "Hold=maybe" }, "never shows" },
    };

    const auto filesBefore = filesInFolder();

    for (const auto& c : cases)
    {
        const auto result = runRenderer (c.arguments);
        EXPECT_NE (result.exitCode, 0) << c.arguments.joinIntoString (" ");
        EXPECT_NE (result.output.find (c.message), std::string::npos)
            << c.arguments.joinIntoString (" ") << "\n" << result.output;
        EXPECT_EQ (filesInFolder(), filesBefore) << c.arguments.joinIntoString (" ");
    }

    // An output that exists already is kept as it was when the render fails.
    folder.getChildFile ("out.wav").replaceWithText ("earlier render");
    EXPECT_NE (render ({ input.getFullPathName(), "-o", path ("out.wav"), "--set", "Size=huge" }).exitCode, 0);
    EXPECT_EQ (folder.getChildFile ("out.wav").loadFileAsString(), "earlier render");
}

TEST_F (RenderCommand, GeneratedLoopRunsWithoutFiles)
{
    const auto first = render ({ "-o", path ("loop.wav"), "--tempo", "100", "--rate", "48000", "--bits", "32", "--progress" });
    ASSERT_EQ (first.exitCode, 0) << first.output;
    EXPECT_NE (first.output.find ("100%"), std::string::npos);

    double rate = 0.0;
    const auto loop = readWav (folder.getChildFile ("loop.wav"), &rate);
    EXPECT_EQ (rate, 48000.0);
    ASSERT_EQ (loop.getNumSamples(), 4 * 4 * 60 * 48000 / 100); // four bars of four beats at 100 bpm

    // Each beat starts with a hit: louder than the last stretch before it.
    const int beat = 60 * 48000 / 100;
    for (int b = 4; b < 16; b += 4)
        EXPECT_GT (loop.getRMSLevel (0, b * beat + 480, 2400), loop.getRMSLevel (0, b * beat - 4800, 2400)) << "beat " << b;
    EXPECT_LE (loop.getMagnitude (0, loop.getNumSamples()), 1.0f);

    const auto second = render ({ "-o", path ("again.wav"), "--tempo", "100", "--rate", "48000", "--bits", "32" });
    ASSERT_EQ (second.exitCode, 0) << second.output;
    const auto again = readWav (folder.getChildFile ("again.wav"));
    ASSERT_EQ (again.getNumSamples(), loop.getNumSamples());
    for (int i = 0; i < loop.getNumSamples(); i += 97)
        ASSERT_EQ (again.getSample (1, i), loop.getSample (1, i)) << "sample " << i;
}

TEST_F (RenderCommand, HostReportsTheTransportAndDrivesTheEffectInOrder)
{
    // A mono file feeds both inputs; the probe passes input 1 through.
    juce::AudioBuffer<float> mono (1, 1000);
    for (int i = 0; i < mono.getNumSamples(); ++i)
        mono.setSample (0, i, (float) i / 1000.0f);
    writeWav (folder.getChildFile ("mono.wav"), mono, 44100.0);

    const auto log = folder.getChildFile ("probe.log");
    setenv ("RENDER_PROBE_LOG", log.getFullPathName().toRawUTF8(), 1);

    const struct { bool stopped; int flags; } transports[] = {
        { false, 0x400 | 0x200 | 0x800 | 0x2000 | 2 }, // tempo, quarter notes, bars, time signature, playing
        { true, 0x400 | 0x200 | 0x800 | 0x2000 },
    };

    for (const auto& transport : transports)
    {
        log.deleteFile();
        juce::StringArray arguments { RENDER_PROBE_PATH, path ("mono.wav"), "-o", path ("probe.wav"), "--bits", "32",
                                      "--block", "100", "--tempo", "90", "--start", "2" };
        if (transport.stopped)
            arguments.add ("--stopped");

        const auto result = runRenderer (arguments);
        ASSERT_EQ (result.exitCode, 0) << result.output;

        const auto out = readWav (folder.getChildFile ("probe.wav"));
        ASSERT_EQ (out.getNumSamples(), 1000);

        for (int block = 0; block < 10; ++block)
        {
            const float* header = out.getReadPointer (0, block * 100);
            const double position = 2.0 * 44100.0 + block * 100;
            EXPECT_EQ (header[0], (float) position) << "block " << block;
            EXPECT_EQ (header[1], 44100.0f);
            EXPECT_EQ (header[2], 90.0f);
            EXPECT_EQ (header[3], (float) (position / 44100.0 * 90.0 / 60.0));
            EXPECT_EQ ((int) header[4], transport.flags);
            EXPECT_EQ (header[5], 2400.0f);
        }

        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ (out.getSample (1, i), mono.getSample (0, i)) << "sample " << i;

        juce::StringArray requests;
        requests.addLines (log.loadFileAsString().trim());
        EXPECT_EQ (requests.joinIntoString (","), "0 0,10 0,11 100,12 1,12 0,1 0"); // open .. close
    }

    unsetenv ("RENDER_PROBE_LOG");
}
