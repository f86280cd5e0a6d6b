// The looper's block process as a host drives it: recording locked to the
// song position, the slice grid, the loop structure of each slice, the wet and
// dry decision, and the degenerate transports a host may report.
#include "LooperReference.h"
#include "LooperRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

constexpr int beat = 22050; // 120 BPM at 44.1 kHz
constexpr int bar = 4 * beat;

const FadeTable& fades = FadeTable::shared();

// Gain of the k-th sample of a voice's life: the first sample of a voice
// already has two samples elapsed.
float fadeInGain (int k) { return fades.gainAfterSamples (k + 2); }

// Boundaries show in a wet output as a voice starting on live input: a silent
// sample (the previous voice ended) and then the fade-in.
std::vector<size_t> boundariesIn (const StereoSignal& in, const StereoSignal& out, size_t from = 0)
{
    std::vector<size_t> found;
    for (size_t t = from; t + 2 < in.size(); ++t)
        if (out.left[t] == fadeInGain (0) * in.left[t] && out.left[t + 1] == fadeInGain (1) * in.left[t + 1]
            && out.left[t + 2] == fadeInGain (2) * in.left[t + 2])
            found.push_back (t);
    return found;
}

// Loop selected, "Trim" at 0 ms and in force, the song at time 0: the trim is
// taken over at the first boundary, so a bar is played first and the host
// then relocates.
void startLoopingOnTheBeat (LooperRig& rig, int button = LooperParameters::loopButton)
{
    rig.select (button);
    rig.looper.setParameter (LooperParameters::trimIndex, 0.5f);
    rig.play (120.0);
    rig.process (StereoSignal (bar, 0.25f));
    rig.play (120.0, 0.0);
}

TEST (LooperProcess, GridAt120BpmHasQuarterBarSlicesAndAOneBarRing)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    const auto in = loopRamp (2 * bar);
    const auto out = rig.process (in, 441);

    EXPECT_EQ (rig.looper.engineState().sliceLengthInForce(), 22050);
    EXPECT_EQ (rig.looper.engineState().ringLengthInForce(), 88200u);
    EXPECT_EQ (rig.looper.engineState().trimMsInForce(), 0);
    EXPECT_EQ (boundariesIn (in, out), (std::vector<size_t> { 0, 22050, 44100, 66150, 88200, 110250, 132300, 154350 }));
}

TEST (LooperProcess, LoopModePlaysTheFirstHalfOfEachBeatLiveThenRepeatsIt)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    const auto in = loopRamp (2 * bar);
    const auto out = rig.process (in, 512);

    for (size_t t = 0; t < in.size(); ++t)
    {
        const int k = (int) (t % beat); // sample of the beat's voice
        const size_t beatStart = t - (size_t) k;
        float expectedLeft, expectedRight;

        if (k < 440)
        {
            expectedLeft = fadeInGain (k) * in.left[t];
            expectedRight = fadeInGain (k) * in.right[t];
        }
        else if (k == 11023 || k == 11024 || k == beat - 1)
        {
            expectedLeft = expectedRight = 0.0f; // turn points; the voice has ended
        }
        else if (k < 11025 - 441)
        {
            expectedLeft = in.left[t];
            expectedRight = in.right[t];
        }
        else if (k >= 11025 + 440 && k < 2 * 11025 - 441 && k < beat - 441)
        {
            // The repeat of the window recorded earlier in this beat.
            expectedLeft = in.left[beatStart + (size_t) (k - 11025)];
            expectedRight = in.right[beatStart + (size_t) (k - 11025)];
        }
        else
        {
            continue; // inside a fade; the voice tests pin those gains down
        }

        ASSERT_EQ (out.left[t], expectedLeft) << "sample " << t;
        ASSERT_EQ (out.right[t], expectedRight) << "sample " << t;
    }
}

TEST (LooperProcess, TrimShiftsTheGridBySamplesRoundedDown)
{
    // -5 ms is -221 samples at 44.1 kHz; a new processor starts with it.
    LooperRig rig;
    rig.select (LooperParameters::loopButton);
    rig.play (120.0);
    const auto in = loopRamp (bar + 1000);

    // +5 ms (220 samples), written now, takes over at the first boundary, which
    // therefore comes again 441 samples later.
    rig.looper.setParameter (LooperParameters::trimIndex, 0.55f);
    const auto out = rig.process (in);
    EXPECT_EQ (boundariesIn (in, out), (std::vector<size_t> { 21829, 22270, 44320, 66370, 88420 }));
}

TEST (LooperProcess, DivisionChangesWaitForTheNextBoundaryOfTheCurrentGrid)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    const auto in = loopRamp (3 * bar);

    const auto out = rig.process (in, 500, [&] (size_t start)
    {
        if (start == 5000)
            rig.looper.setParameter (LooperParameters::sliceSizeIndex, 0.5f); // eighths
        if (start == 115000)
            rig.looper.setParameter (LooperParameters::sliceSizeIndex, 0.0f); // whole bars
    });

    const auto found = boundariesIn (in, out);
    const std::vector<size_t> expected { 0, 22050, 33075, 44100, 55125, 66150, 77175, 88200, 99225,
                                         110250, /* whole bars from 121275 */ 176400 };
    EXPECT_EQ (found, expected);

    // At the change to whole bars (3/8 into the bar) the voice starts at the
    // beginning of the bar, behind the write position: it plays the bar from
    // its start, turns at its middle, and is cut off unfaded at the bar line.
    const size_t change = 121275;
    EXPECT_EQ (out.left[change], fadeInGain (0) * in.left[bar]);
    EXPECT_EQ (out.left[change + 1000], in.left[bar + 1000]);
    EXPECT_EQ (out.left[2 * bar - 1], in.left[bar + 11024]);
}

TEST (LooperProcess, StoppedTransportIsSilentUnlessBypassedAndRecordsNothing)
{
    const StereoSignal in (4000, 0.5f);

    LooperRig looping;
    looping.select (LooperParameters::loopButton);
    looping.stop();
    const auto silent = looping.process (in);
    EXPECT_EQ (silent.left, std::vector<float> (in.size(), 0.0f));
    EXPECT_EQ (silent.right, std::vector<float> (in.size(), 0.0f));

    // A new processor is in Bypass: 440 samples of (silent) tail, then dry.
    LooperRig bypassed;
    bypassed.loseTimeInfo();
    const auto dry = bypassed.process (in, 100);
    for (size_t t = 0; t < in.size(); ++t)
        ASSERT_EQ (dry.left[t], t < 440 ? 0.0f : 0.5f) << t;

    const auto& recording = bypassed.looper.engineState().recording();
    const float* ring = recording.left();
    EXPECT_EQ (std::count (ring, ring + recording.capacity(), 0.0f), (long) recording.capacity());
}

TEST (LooperProcess, SwitchingFromLoopToBypassKeepsLoopingUntilTheNextBoundary)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    const auto in = loopRamp (bar);
    const size_t switchAt = 37000; // a block start

    const auto out = rig.process (in, 500, [&] (size_t start)
    {
        if (start == switchAt)
            rig.select (LooperParameters::bypassButton);
    });

    // Still the repeat of the window up to the boundary at the next beat ...
    for (size_t t = switchAt; t < 2 * beat - 441; ++t)
        ASSERT_EQ (out.left[t], in.left[t - 11025]) << t;

    // ... then a plain voice fades the live input in during the tail, and dry.
    for (size_t t = 2 * beat; t < in.size(); ++t)
    {
        const size_t k = t - 2 * beat;
        ASSERT_EQ (out.left[t], k < 440 ? fadeInGain ((int) k) * in.left[t] : in.left[t]) << t;
    }
}

TEST (LooperProcess, BypassToLoopSendsThePlainVoiceAtOnce)
{
    LooperRig rig;
    rig.looper.setParameter (LooperParameters::trimIndex, 0.5f);
    rig.play (120.0);
    const auto in = loopRamp (bar);
    const auto out = rig.process (in, 500, [&] (size_t start)
    {
        if (start == 30000)
            rig.select (LooperParameters::loopButton);
    });

    // Dry before; after the switch the plain voice, which is the live input
    // away from the slice edges, until the looping slice begins.
    EXPECT_EQ (out.left[29999], in.left[29999]);
    for (size_t t = 30000; t < 44100 - 441; ++t)
        ASSERT_EQ (out.left[t], in.left[t]) << t;
    EXPECT_EQ (out.left[44099], 0.0f);
    EXPECT_EQ (out.left[44100 + 11025 + 1000], in.left[44100 + 1000]);
}

TEST (LooperProcess, AMonoInputIsProcessedAsTwoIdenticalChannels)
{
    const auto stereoIn = loopRamp (bar, 0.0f);

    LooperRig stereo;
    startLoopingOnTheBeat (stereo);
    const auto expected = stereo.process (stereoIn, 512);

    LooperRig mono;
    startLoopingOnTheBeat (mono);
    std::vector<float> channel = stereoIn.left, outLeft (bar), outRight (bar);
    for (int start = 0; start < bar; start += 512)
    {
        const int n = std::min (512, bar - start);
        mono.host.position.timeInSeconds = start / 44100.0;
        float* in[] = { channel.data() + start };
        float* out[] = { outLeft.data() + start, outRight.data() + start };
        juce::AudioBuffer<float> inBuffer (in, 1, n), outBuffer (out, 2, n);
        juce::MidiBuffer midi;
        mono.looper.processBlock (inBuffer, outBuffer, false, midi);
    }

    EXPECT_EQ (outLeft, expected.left);
    EXPECT_EQ (outRight, expected.left);

    const float* left = mono.looper.engineState().recording().left();
    const float* right = mono.looper.engineState().recording().right();
    EXPECT_TRUE (std::equal (left, left + bar, right));
}

TEST (LooperProcess, HostPositionJumpCutsTheRunningVoiceAtTheNewBoundary)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    const auto in = loopRamp (bar);
    const size_t jumpAt = 27000; // a block start, 4950 samples into the second beat

    const auto out = rig.process (in, 500, [&] (size_t start)
    {
        if (start == jumpAt)
            rig.songPosition = 3.0 * beat - 2050; // 2050 samples before a beat
    });

    // The old voice plays on from its old ring positions, which still hold
    // what the warm-up bar recorded there, at full gain (no fade-out was
    // coming), and is cut off where the new position reaches the beat.
    const size_t cut = jumpAt + 2050;
    for (size_t t = jumpAt; t < cut; ++t)
        ASSERT_EQ (out.left[t], 0.25f) << t;
    EXPECT_EQ (boundariesIn (in, out, jumpAt).front(), cut);
}

TEST (LooperProcess, ATempoWithoutAGridRecordsNothingAndOutputsSilence)
{
    const double tempos[] = { 0.0, -120.0, std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), 1.0e9, 1.0e-300 };
    for (double bpm : tempos)
    {
        for (int button : { LooperParameters::loopButton, LooperParameters::bypassButton })
        {
            LooperRig rig;
            rig.select (button);
            rig.looper.setParameter (LooperParameters::sliceSizeIndex, 1.0f);
            rig.play (bpm);
            const StereoSignal in (3000, 0.5f);
            const auto out = rig.process (in);

            for (size_t t = 0; t < in.size(); ++t)
                ASSERT_EQ (out.left[t], button == LooperParameters::bypassButton && t >= 440 ? 0.5f : 0.0f)
                    << "tempo " << bpm << " sample " << t;

            const auto& recording = rig.looper.engineState().recording();
            const float* ring = recording.left();
            EXPECT_EQ (std::count (ring, ring + recording.capacity(), 0.0f), (long) recording.capacity()) << bpm;
        }
    }
}

TEST (LooperProcess, TinyAndHugeGridsStayInsideTheRings)
{
    // Tempos just around a one-sample slice, above 4,800 BPM where the ring is
    // shorter than the largest trim, and below 3 BPM where the ring is capped;
    // trims longer than the whole ring; each division. Every sample must be
    // the literal reference's: the voice reads the ring position its slice
    // start, reduced into the ring, and its loop give.
    const double tempos[] = { 2.9, 3.0, 1500.0, 2600.0, 2756.0, 2757.0, 4000.0, 6000.0 };
    for (double bpm : tempos)
    {
        LooperRig rig;
        rig.select (LooperParameters::alternatingButton);
        rig.looper.setParameter (LooperParameters::modulationIndex, 0.0f);
        ReferenceLooper reference (rig.looper.parameters());
        rig.play (bpm, 1.2345);
        const auto in = loopRamp (80 * 256); // whole blocks of 256

        for (size_t start = 0; start < in.size(); start += 256)
        {
            rig.looper.setParameter (LooperParameters::sliceSizeIndex, (float) ((start / 256) % 7) / 6.0f);
            rig.looper.setParameter (LooperParameters::trimIndex, (float) ((start / 256) % 5) / 4.0f);

            const TransportState transport { true, bpm, rig.songPosition / rig.sampleRate, true };
            StereoSignal block (256);
            std::copy (in.left.begin() + (long) start, in.left.begin() + (long) start + 256, block.left.begin());
            std::copy (in.right.begin() + (long) start, in.right.begin() + (long) start + 256, block.right.begin());
            auto expected = block;
            reference.process (expected.left.data(), expected.right.data(), 256, transport, rig.sampleRate);

            const auto out = rig.process (block, 256);
            for (size_t t = 0; t < 256; ++t)
            {
                ASSERT_TRUE (std::isfinite (out.left[t])) << bpm;
                ASSERT_EQ (out.left[t], expected.left[t]) << bpm << " BPM, sample " << start + t;
                ASSERT_EQ (out.right[t], expected.right[t]) << bpm << " BPM, sample " << start + t;
            }
        }
    }
}

TEST (LooperProcess, ABarLongerThanTheRingUsesTheWholeRing)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    rig.play (3.0);
    const auto in = loopRamp (3528000 + 20000);
    const auto out = rig.process (in, 4096);

    EXPECT_EQ (rig.looper.engineState().ringLengthInForce(), 2646000u);
    EXPECT_EQ (rig.looper.engineState().sliceLengthInForce(), 882000);

    // Slices of 882000 samples: the fourth begins where the ring wraps and
    // the new bar where the song reaches it; each loops its own first half.
    EXPECT_EQ (boundariesIn (in, out), (std::vector<size_t> { 0, 882000, 1764000, 2646000, 3528000 }));
    EXPECT_EQ (out.left[2646000 + 441000 + 5000], in.left[2646000 + 5000]);

    // The new bar's slice began at ring position 882000, where the write
    // position had counted to. From the next block on the write position
    // starts again at the bar line while the voice reads on from 882000 + k,
    // which still holds the first bar's audio.
    EXPECT_EQ (out.left[3528000 + 10000], in.left[882000 + 10000]);
}

// A bar longer than the ring: the write position wraps at the ring's end and
// begins again at the host's bar line. A sounding voice keeps its ring
// positions through both.
struct CappedBarLine
{
    double bpm;
    double sampleRate;
    size_t songSample; // in the first blocks after the bar line
    size_t recordedAt; // the song sample whose audio the voice reads there
};

TEST (LooperProcess, VoicesKeepTheirRingPositionsWhereACappedRingMeetsTheBarLine)
{
    const CappedBarLine cases[] = {
        // 4,233,600 samples a bar: the slice that began at ring position
        // 1,058,400 (song sample 3,704,400) repeats the first half it played.
        { 2.5, 44100.0, 4235264, 3706064 },
        // 2,880,000 samples a bar: the slice that began where the ring wrapped
        // (song sample 2,646,000) plays on into positions still holding the
        // first pass.
        { 8.0, 96000.0, 2890000, 244000 },
    };

    for (const auto& c : cases)
    {
        LooperRig rig;
        rig.sampleRate = c.sampleRate;
        rig.looper.setPlayConfiguration (c.sampleRate, 4096);
        startLoopingOnTheBeat (rig);
        rig.play (c.bpm);
        const auto in = loopRamp (c.songSample + 2000);
        const auto out = rig.process (in, 4096);

        for (size_t k = 0; k < 1000; k += 111)
        {
            const size_t t = c.songSample + k;
            if (out.left[t] != in.left[c.recordedAt + k])
            {
                ADD_FAILURE() << c.bpm << " BPM: song sample " << t << " read the audio of song sample "
                              << (long) out.left[t] - 1 << " instead of " << c.recordedAt + k;
                break;
            }
        }
    }
}

TEST (LooperProcess, VoicesStayWithTheLiveInputWhenTheBarIsNotAWholeNumberOfSamples)
{
    // 88200.5 samples to the bar: the write position, taken from the song
    // position at every block, falls a sample behind the one counted on
    // through a bar line. The voice playing the live input must not end up a
    // sample ahead of it, reading what was recorded a bar earlier.
    for (int blockSize : { 1000, 4096, 333 })
    {
        LooperRig rig;
        rig.select (LooperParameters::loopButton);
        rig.looper.setParameter (LooperParameters::trimIndex, 0.5f);
        const double bpm = 60.0 * 44100.0 * 4.0 / 88200.5;
        rig.play (bpm);
        const auto in = loopRamp (6 * bar);
        const auto out = rig.process (in, blockSize);

        // Live stretches: full gain, well inside the first half of each slice.
        // A slice starts up to a sample per preceding slice of the bar behind
        // the write position (the fractions of the slice length), never ahead.
        size_t live = 0;
        for (size_t t = 0; t < in.size(); ++t)
        {
            const double slicePosition = std::fmod ((double) t, 88200.5 / 4.0);
            if (t > 30000 && slicePosition > 600.0 && slicePosition < 10000.0)
            {
                const float behind = in.left[t] - out.left[t]; // the ramp counts samples
                ASSERT_TRUE (behind >= 0.0f && behind <= 3.0f)
                    << "block size " << blockSize << " sample " << t << " behind by " << behind;
                ++live;
            }
        }
        EXPECT_GT (live, 200000u);
    }
}

TEST (LooperProcess, BuffersWithoutChannelsOrSamplesAreHarmless)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    juce::MidiBuffer midi;

    std::vector<float> outLeft (256, 3.0f), outRight (256, 3.0f);
    float* out[] = { outLeft.data(), outRight.data() };
    juce::AudioBuffer<float> noInput (nullptr, 0, 256), output (out, 2, 256);
    rig.looper.processBlock (noInput, output, false, midi);
    EXPECT_EQ (outLeft, std::vector<float> (256, 0.0f));
    EXPECT_EQ (outRight, std::vector<float> (256, 0.0f));

    juce::AudioBuffer<float> empty (out, 2, 0);
    rig.looper.processBlock (empty, empty, false, midi);

    // The grid carries on as before.
    const auto in = loopRamp (beat);
    const auto result = rig.process (in);
    EXPECT_EQ (boundariesIn (in, result).front(), 0u);
}

TEST (LooperProcess, ResourceReleaseClearsTheRecording)
{
    LooperRig rig;
    startLoopingOnTheBeat (rig);
    rig.process (StereoSignal (bar, 0.5f));
    const auto& recording = rig.looper.engineState().recording();
    const float* ring = recording.left();
    EXPECT_EQ (ring[100], 0.5f);

    rig.looper.releaseResources();
    EXPECT_EQ (std::count (ring, ring + recording.capacity(), 0.0f), (long) recording.capacity());
    EXPECT_EQ (rig.looper.engineState().latchedSelectionInForce(), 1); // the rest carries on
}

} // namespace
