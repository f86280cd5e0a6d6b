// The slicer's block process as a host drives it: what is recorded, where the
// slice boundaries fall, which slice each mode plays, and when the output is
// wet or dry.
#include "SlicerEngine.h"
#include "SlicerRig.h"
#include "dsp/FadeTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

constexpr size_t bar120 = 88200; // samples per bar at 120 BPM, 44.1 kHz
constexpr size_t slice8 = 11025; // 1/8 bar

StereoSignal noise (size_t length, uint32_t seed = 1)
{
    std::mt19937 gen (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    StereoSignal s (length);
    for (size_t i = 0; i < length; ++i)
    {
        s.left[i] = dist (gen);
        s.right[i] = dist (gen);
    }
    return s;
}

float fade (int count) { return FadeTable::shared().gainAfterSamples (count); }

// Gain of sample n of a slice of `length` samples.
float sliceGain (int n, int length) { return std::min (fade (length - n), fade (n)); }

std::vector<size_t> exactZeros (const std::vector<float>& samples, size_t from, size_t to)
{
    std::vector<size_t> zeros;
    for (size_t i = from; i < to; ++i)
        if (samples[i] == 0.0f)
            zeros.push_back (i);
    return zeros;
}

TEST (SlicerProcess, BypassPassesTheInputOnceTheFirstFadeInHasPlayed)
{
    SlicerRig rig;
    rig.play (120.0);
    const auto in = noise (2 * bar120);
    const auto out = rig.process (in);

    EXPECT_EQ (out.left[0], 0.0f);
    for (size_t i = 0; i < 440; ++i)
    {
        ASSERT_EQ (out.left[i], fade ((int) i) * in.left[i]) << i;
        ASSERT_EQ (out.right[i], fade ((int) i) * in.right[i]) << i;
    }
    for (size_t i = 440; i < in.size(); ++i)
    {
        ASSERT_EQ (out.left[i], in.left[i]) << i;
        ASSERT_EQ (out.right[i], in.right[i]) << i;
    }
}

TEST (SlicerProcess, LiveSlicesPlayTheInputWithoutDelayThroughTheVoiceGains)
{
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.play (120.0);
    const auto in = noise (2 * bar120);
    const auto out = rig.process (in, 1000);

    for (size_t i = 0; i < in.size(); ++i)
    {
        const float gain = sliceGain ((int) (i % slice8), (int) slice8);
        ASSERT_EQ (out.left[i], gain * in.left[i]) << i;
        ASSERT_EQ (out.right[i], gain * in.right[i]) << i;
    }
    EXPECT_NEAR (sliceGain ((int) slice8 - 1, (int) slice8), 1.03e-5f, 0.01e-5f);
}

TEST (SlicerProcess, FractionalSliceLengthsLetSomeSlicesStartOneSampleLater)
{
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.slicer.setParameter (SlicerParameters::sizeIndex, 0.75f); // 1/16 bar: 5512.5 samples
    rig.play (120.0);
    const auto out = rig.process (StereoSignal::ramp (bar120));

    // Each voice plays 5512 samples; a boundary that comes one sample later
    // leaves one sample without a voice before it.
    std::vector<size_t> expected;
    for (int k = 0; k < 16; ++k)
    {
        const auto boundary = (size_t) std::ceil (k * 5512.5);
        if (k > 0 && boundary > expected.back() + 5512)
            expected.push_back (boundary - 1);
        expected.push_back (boundary);
    }
    EXPECT_EQ (exactZeros (out.left, 0, bar120), expected);
    EXPECT_EQ (expected[5], 16538u);

    // Grid slice 3 starts at 3 x 5512 = 16536, two samples behind the write
    // position: 500 samples in, the voice reads what was recorded 2 samples ago.
    EXPECT_EQ (out.left[16538 + 500], (float) (16536 + 500 + 1));
}

TEST (SlicerProcess, LiveSlicesStayWithTheRecordingWhenABarIsNotAWholeNumberOfSamples)
{
    // 88,200.5 samples a bar: counted on within a block, the write position
    // wraps half a sample early each pass, and the next block re-derives it
    // one sample back. The voices must move with it, or they read the ring a
    // position ahead of the recording, where it still holds the previous pass.
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.play (60.0 * 44100.0 * 4.0 / 88200.5);
    const auto in = StereoSignal::ramp (6 * bar120);
    const auto out = rig.process (in, 1000);

    // A voice starts on the last of a run of silent samples (a slice that
    // begins a sample late leaves a gap before it).
    std::vector<size_t> starts;
    for (auto zero : exactZeros (out.left, bar120, in.size()))
    {
        if (! starts.empty() && starts.back() + 1 == zero)
            starts.back() = zero;
        else
            starts.push_back (zero);
    }
    ASSERT_GT (starts.size(), 30u);
    for (size_t k = 0; k + 1 < starts.size(); ++k)
        for (size_t i = starts[k] + 440; i + 441 < starts[k] + slice8; ++i)
            ASSERT_LT (in.left[i] - out.left[i], 16.0f) << "sample " << i << " read " << out.left[i];
}

struct TrimCase
{
    float trimValue;
    int trimSamples; // at 44.1 kHz
};

TEST (SlicerProcess, TrimShiftsTheGridByWholeSamples)
{
    const TrimCase cases[] = { { 0.6f, 441 }, { 0.4f, -442 }, { 0.45f, -221 }, { 0.55f, 220 }, { 1.0f, 2205 }, { 0.0f, -2206 } };

    for (const auto& c : cases)
    {
        SlicerRig rig;
        rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
        rig.slicer.setParameter (SlicerParameters::trimIndex, c.trimValue);
        rig.play (120.0);
        const auto out = rig.process (StereoSignal (2 * bar120, 1.0f));

        // The first boundary still falls at 0 and takes the trim over; in the
        // second bar, the whole ring holds input and only boundaries are silent.
        std::vector<size_t> expected;
        for (int k = 0; k < 8; ++k)
            expected.push_back (bar120 + (size_t) (((int) (k * slice8) + c.trimSamples + (int) bar120) % (int) bar120));
        std::sort (expected.begin(), expected.end());

        EXPECT_EQ (exactZeros (out.left, bar120, 2 * bar120), expected) << "trim value " << c.trimValue;
    }
}

TEST (SlicerProcess, NegativeTrimReplaysTheInputOneSliceLate)
{
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.slicer.setParameter (SlicerParameters::trimIndex, 0.4f); // -442 samples
    rig.play (120.0);
    const auto in = StereoSignal::ramp (2 * bar120);
    const auto out = rig.process (in);

    const size_t boundary = 2 * slice8 - 442;
    EXPECT_EQ (out.left[boundary], 0.0f);
    EXPECT_EQ (out.left[boundary + 600], in.left[boundary + 600 - slice8]);
}

// Slices played at the first boundaries by a new processor from song
// position 0, eight slices a bar.
struct ModeOrder
{
    int mode;
    std::vector<int> slices;
};

TEST (SlicerProcess, EachModePlaysItsSliceOrder)
{
    const ModeOrder orders[] = {
        { 0, { 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7 } },
        { 1, { 0, 7, 6, 5, 4, 3, 2, 1, 0, 7, 6, 5, 4, 3, 2, 1 } },
        { 3, { 0, 1, 3, 5, 7, 1, 3, 5, 7, 1, 3, 5, 7, 1, 3, 5 } },
        { 4, { 0, 1, 2, 4, 5, 7, 0, 1, 2, 4, 5, 7, 0, 1, 2, 4 } },
        { 5, { 0, 1, 2, 3, 5, 6, 7, 1, 2, 3, 5, 6, 7, 1, 2, 3 } },
        { 6, { 0, 1, 2, 3, 4, 6, 7, 0, 1, 2, 3, 4, 6, 7, 0, 1 } },
        { 7, { 0, 3, 6, 1, 4, 7, 2, 5, 0, 3, 6, 1, 4, 7, 2, 5 } },
        { 8, { 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4, 0, 4 } },
        { 9, { 0, 5, 2, 7, 4, 1, 6, 3, 0, 5, 2, 7, 4, 1, 6, 3 } },
        { 10, { 0, 6, 4, 2, 0, 6, 4, 2, 0, 6, 4, 2, 0, 6, 4, 2 } },
        { 11, { 0, 0, 1, 3, 2, 4, 5, 7, 6, 0, 1, 3, 2, 4, 5, 7 } },
        { 12, { 0, 0, 1, 2, 2, 4, 5, 6, 6, 0, 1, 2, 2, 4, 5, 6 } },
        { 13, { 0, 1, 0, 2, 3, 5, 4, 6, 7, 1, 0, 2, 3, 5, 4, 6 } },
        { 14, { 0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7 } },
    };

    for (const auto& order : orders)
    {
        SlicerRig rig;
        rig.slicer.setParameter (SlicerParameters::modeIndex, (float) order.mode / 14.0f);
        rig.play (120.0);
        const auto out = rig.process (StereoSignal::ramp (2 * bar120));

        for (size_t k = 0; k < order.slices.size(); ++k)
        {
            const size_t probe = k * slice8 + 500;
            const auto played = (size_t) order.slices[k];
            const size_t gridSlice = k % 8;

            // In the first pass, slices ahead of the write position are not
            // recorded yet; everywhere else the ramp names the sample read.
            if (k < 8 && played > gridSlice)
                EXPECT_EQ (out.left[probe], 0.0f) << "mode " << order.mode << " boundary " << k;
            else
                EXPECT_EQ (((size_t) out.left[probe] - 1) % bar120, played * slice8 + 500)
                    << "mode " << order.mode << " boundary " << k;
        }
    }
}

TEST (SlicerProcess, RandomModeDrawsSlicesOfTheRing)
{
    // The engine with a known seed: every boundary plays the next draw of the
    // standard minimal-standard generator, modulo the eight slices.
    const uint32_t seed = 20261210;
    SlicerParameters params;
    params.write (2, 1.0f);
    SlicerEngine engine (params, seed);

    auto in = StereoSignal::ramp (6 * bar120);
    auto out = in;
    for (size_t start = 0; start < in.size(); start += 512)
    {
        const int n = (int) std::min<size_t> (512, in.size() - start);
        const TransportState transport { true, 120.0, (double) start / 44100.0, true };
        engine.process (out.left.data() + start, out.right.data() + start, n, transport, 44100.0);
    }

    std::minstd_rand draws (seed);
    std::set<size_t> drawn;
    for (size_t k = 0; k < 48; ++k)
    {
        const auto slice = (size_t) (draws() % 8);
        const size_t probe = k * slice8 + 500;
        drawn.insert (slice);

        // In the first pass, slices ahead of the write position are not recorded yet.
        if (k < 8 && slice > k)
            EXPECT_EQ (out.left[probe], 0.0f) << "boundary " << k;
        else
            EXPECT_EQ (((size_t) out.left[probe] - 1) % bar120, slice * slice8 + 500) << "boundary " << k;
    }
    EXPECT_GE (drawn.size(), 6u) << "the seed draws most slices";
}

TEST (SlicerProcess, ReverseReadsEachSliceBackwards)
{
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.slicer.setParameter (SlicerParameters::reverseIndex, 1.0f);
    rig.play (120.0);
    const auto out = rig.process (StereoSignal::ramp (2 * bar120));

    for (size_t k = 0; k < 8; ++k)
    {
        const size_t position = (k + 1) * slice8 - 500; // 500 samples before the slice's end
        EXPECT_EQ (out.left[bar120 + k * slice8 + 500], (float) (position + 1)) << "slice " << k;
    }
}

TEST (SlicerProcess, HoldReplaysOneSlicePositionRefreshedEveryPass)
{
    SlicerRig rig;
    rig.slicer.setParameter (7, 1.0f); // "Play 3rd"
    rig.slicer.setParameter (SlicerParameters::holdIndex, 1.0f);
    rig.play (120.0);
    const auto out = rig.process (StereoSignal::ramp (2 * bar120));

    for (size_t k = 0; k < 16; ++k)
        EXPECT_EQ (out.left[k * slice8 + 500], k < 8 ? 501.0f : (float) (bar120 + 501)) << k;
}

TEST (SlicerProcess, StoppedTransportSilencesWetModesUntilABoundaryReleasesThem)
{
    SlicerRig rig;
    rig.slicer.setParameter (3, 1.0f); // "Skip 2nd"
    rig.play (120.0);
    const auto in = noise (bar120);
    rig.process (in);

    rig.stop();
    auto out = rig.process (in);
    EXPECT_EQ (exactZeros (out.left, 0, out.size()).size(), out.size()) << "stopped: silence";

    rig.slicer.setParameter (0, 1.0f); // back to bypass while stopped: still latched in mode 3
    out = rig.process (in);
    EXPECT_EQ (exactZeros (out.left, 0, out.size()).size(), out.size());

    // Playing again from the bar line: the first boundary latches bypass,
    // 440 wet samples follow, then the input is dry.
    rig.play (120.0, 1.0 * bar120 / 44100.0);
    out = rig.process (in);
    EXPECT_NE (out.left[439], in.left[439]);
    for (size_t i = 440; i < in.size(); ++i)
        ASSERT_EQ (out.left[i], in.left[i]) << i;
}

TEST (SlicerProcess, MissingTimeInfoBehavesLikeAStoppedTransport)
{
    for (int mode : { 0, 3 })
    {
        SlicerRig rig;
        rig.slicer.setParameter (mode, 1.0f);
        rig.loseTimeInfo();
        const auto in = noise (4000);
        const auto out = rig.process (in);

        for (size_t i = 0; i < in.size(); ++i)
        {
            const float expected = (mode == 0 && i >= 440) ? in.left[i] : 0.0f;
            ASSERT_EQ (out.left[i], expected) << "mode " << mode << " sample " << i;
        }
    }
}

TEST (SlicerProcess, SliceCountChangesAtTheNextBoundary)
{
    SlicerRig rig;
    rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);
    rig.play (120.0);
    const auto out = rig.process (StereoSignal (bar120, 1.0f), 1000, [&] (size_t start)
    {
        if (start == 20000)
            rig.slicer.setParameter (SlicerParameters::sizeIndex, 0.75f); // 1/16 bar
    });

    // Eighth-bar boundaries up to the change, then the 1/16 grid: 22050, 27563, ...
    const std::vector<size_t> expected = { 0, 11025, 22050, 27563, 33075, 38588, 44100 };
    auto zeros = exactZeros (out.left, 0, 44101);
    zeros.erase (std::remove (zeros.begin(), zeros.end(), 27562u), zeros.end()); // gap after a 5512-sample voice
    zeros.erase (std::remove (zeros.begin(), zeros.end(), 38587u), zeros.end());
    EXPECT_EQ (zeros, expected);
    EXPECT_EQ (rig.slicer.engineState().divisionInForce(), 16u);
}

TEST (SlicerProcess, GrowingTheRingCopiesItsFirstBarIntoTheNewBars)
{
    SlicerRig rig;
    rig.play (120.0);
    const size_t boundary = bar120 + 2 * slice8; // the first boundary after the write below
    rig.process (StereoSignal::ramp (boundary + 1), 1000, [&] (size_t start)
    {
        if (start == 100000)
            rig.slicer.setParameter (SlicerParameters::bufLenIndex, 0.5f); // 3 bars
    });

    const auto& ring = rig.slicer.engineState().recording();
    EXPECT_EQ (rig.slicer.engineState().barsInForce(), 3u);
    for (size_t i = 0; i < bar120; ++i)
    {
        ASSERT_EQ (ring.left()[bar120 + i], ring.left()[i]) << i;
        ASSERT_EQ (ring.right()[2 * bar120 + i], ring.right()[i]) << i;
    }
    EXPECT_EQ (ring.left()[2 * slice8], (float) (boundary + 1)) << "recorded before the copy";

    // From the next block on, the write position follows the three-bar ring.
    rig.process (StereoSignal (1, 7.0f));
    EXPECT_EQ (ring.left()[boundary + 1], 7.0f);
}

TEST (SlicerProcess, RingLengthIsCappedAndBarsBeyondTheCapAreNotCopied)
{
    SlicerRig rig;
    rig.play (15.0); // 705,600 samples a bar: four bars would overrun the ring
    const size_t barAt15 = 705600, sliceAt15 = 88200;
    const auto in = StereoSignal::ramp (sliceAt15 + 1);
    rig.process (in, 4096, [&] (size_t start)
    {
        if (start == 4096 * 10)
            rig.slicer.setParameter (SlicerParameters::bufLenIndex, 1.0f);
    });

    const auto& ring = rig.slicer.engineState().recording();
    EXPECT_EQ (ring.left()[barAt15 + 1000], 1001.0f);
    EXPECT_EQ (ring.left()[2 * barAt15 + 1000], 1001.0f);
    EXPECT_EQ (ring.left()[3 * barAt15 + 1000], 0.0f) << "a fourth bar would end beyond the ring";

    // The write position wraps at the cap of 2,646,000 samples.
    rig.play (15.0, 2646000.5 / 44100.0);
    rig.process (StereoSignal (1, 5.0f));
    EXPECT_EQ (ring.left()[0], 5.0f);
}

// Four bars at 15 BPM would need 2,822,400 samples: the write position wraps
// at the ring's end (2,646,000) and begins again at the four-bar line, while
// a sounding voice keeps its ring positions.
struct CappedBarLine
{
    int mode;
    size_t recordedAt; // the song sample whose audio the voice reads at song sample 2,823,656
};

TEST (SlicerProcess, VoicesKeepTheirRingPositionsWhereACappedRingMeetsTheBarLine)
{
    const CappedBarLine cases[] = {
        // "Backwards" plays slice 0 from the four-bar line on: ring position
        // 0 is where the write position begins again after the first block.
        { 1, 2823656 },
        // Live slices play the grid slice of the counted write position,
        // 2 (ring position 176,400), whose later part holds the first pass.
        { 14, 176400 + 1256 },
    };

    for (const auto& c : cases)
    {
        SlicerRig rig;
        rig.slicer.setParameter (SlicerParameters::modeIndex, (float) c.mode / 14.0f);
        rig.slicer.setParameter (SlicerParameters::bufLenIndex, 1.0f);
        rig.play (15.0);
        const size_t probe = 2823656; // 1256 samples after the four-bar line, in the third block past it
        const auto in = StereoSignal::ramp (probe + 2000);
        const auto out = rig.process (in);

        EXPECT_EQ (rig.slicer.engineState().ringLengthInForce(), 2646000u);
        for (size_t k = 0; k < 1000; k += 111)
        {
            const size_t t = probe + k;
            if (out.left[t] != in.left[c.recordedAt + k])
            {
                ADD_FAILURE() << "mode " << c.mode << ": song sample " << t << " read the audio of song sample "
                              << (long) out.left[t] - 1 << " instead of " << c.recordedAt + k;
                break;
            }
        }
    }
}

TEST (SlicerProcess, OneChannelRecordsIntoBothRingsAndFeedsEveryOutput)
{
    const auto in = noise (bar120 / 2, 7);

    SlicerRig stereo;
    stereo.slicer.setParameter (9, 1.0f);
    stereo.play (120.0);
    StereoSignal both = in;
    both.right = both.left;
    const auto expected = stereo.process (both);

    SlicerRig mono;
    mono.slicer.setParameter (9, 1.0f);
    mono.host.play (120.0);
    std::vector<float> work = in.left;
    StereoSignal out (in.size());
    for (size_t start = 0; start < in.size(); start += 512)
    {
        const int n = (int) std::min<size_t> (512, in.size() - start);
        mono.host.position.timeInSeconds = (double) start / 44100.0;
        float* inputs[] = { work.data() + start };
        float* outputs[] = { out.left.data() + start, out.right.data() + start };
        juce::AudioBuffer<float> inBuffer (inputs, 1, n), outBuffer (outputs, 2, n);
        juce::MidiBuffer midi;
        mono.slicer.processBlock (inBuffer, outBuffer, false, midi);
    }

    EXPECT_EQ (out.left, expected.left);
    EXPECT_EQ (out.right, expected.left);
}

TEST (SlicerProcess, NoInputChannelsGivesSilentOutput)
{
    SlicerRig rig;
    rig.play (120.0);
    StereoSignal out (256, 3.0f);
    float* outputs[] = { out.left.data(), out.right.data() };
    juce::AudioBuffer<float> inBuffer (nullptr, 0, 256), outBuffer (outputs, 2, 256);
    juce::MidiBuffer midi;
    rig.slicer.processBlock (inBuffer, outBuffer, false, midi);
    EXPECT_EQ (out.left, std::vector<float> (256, 0.0f));
    EXPECT_EQ (out.right, std::vector<float> (256, 0.0f));
}

TEST (SlicerProcess, ReleasingResourcesSilencesSlicesNotRecordedSince)
{
    auto secondBarSlice = [] (bool release)
    {
        SlicerRig rig;
        rig.slicer.setParameter (8, 1.0f); // "Play 4th": 0, 4, 0, 4, ...
        rig.play (120.0);
        const auto out = rig.process (StereoSignal::ramp (bar120 + 2 * slice8), 1000, [&] (size_t start)
        {
            if (release && start == 89000) // early in bar 2
                rig.slicer.releaseResources();
        });
        // Bar 2, boundary 1 plays slice 4, last recorded in bar 1.
        return std::vector<float> (out.left.begin() + (long) (bar120 + slice8), out.left.end());
    };

    const auto kept = secondBarSlice (false);
    const auto released = secondBarSlice (true);
    EXPECT_EQ (kept[500], (float) (4 * slice8 + 501));
    EXPECT_EQ (released, std::vector<float> (released.size(), 0.0f));
}

struct HostileTempo
{
    double bpm;
    double sampleRate;
};

TEST (SlicerProcess, TemposWithoutAUsableGridRecordNothingAndStaySafe)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const HostileTempo cases[] = {
        { 0.0, 44100 }, { -120.0, 44100 }, { nan, 44100 }, { inf, 44100 }, { 1.0e9, 44100 },
        { 1.0e-300, 44100 }, { 120.0, 1.0 }, { 2.0e6, 44100 },
    };

    for (const auto& c : cases)
    {
        for (int mode : { 0, 1, 2, 14 })
        {
            SlicerRig rig;
            rig.slicer.setParameter (mode, 1.0f);
            rig.slicer.setParameter (SlicerParameters::modeIndex, (float) mode / 14.0f);
            rig.slicer.setPlayConfiguration (c.sampleRate, 512);
            rig.play (c.bpm);
            const auto in = noise (3000);
            const auto out = rig.process (in);

            for (size_t i = 0; i < in.size(); ++i)
            {
                const float expected = (mode == 0 && i >= 440) ? in.left[i] : 0.0f;
                ASSERT_EQ (out.left[i], expected) << "bpm " << c.bpm << " rate " << c.sampleRate << " mode " << mode;
            }
        }
    }
}

// Follows the ring as a block process leaves it, to tell which value a voice
// read at each sample: a position written earlier in the block holds that
// block's input, any other what the ring held before the block.
class RingWitness
{
public:
    RingWitness (const StereoRing& watched, uint32_t length) : ring (watched), before (watched.left(), watched.left() + length) {}

    // After a block of input `in`: where the block began writing, found from
    // the ring (each input value is unique).
    void blockDone (const float* in, int n)
    {
        blockInput.assign (in, in + n);
        const float* left = ring.left();
        firstWrite = (uint32_t) (std::find (left, left + before.size(), in[0]) - left);
    }

    uint32_t writePosition (int i) const { return (firstWrite + (uint32_t) i) % (uint32_t) before.size(); }

    float valueReadAt (uint32_t position, int i) const
    {
        const auto ringLength = (uint32_t) before.size();
        const uint32_t writtenAt = (position + ringLength - firstWrite) % ringLength;
        return writtenAt <= (uint32_t) i ? blockInput[writtenAt] : before[position];
    }

    void nextBlock() { before.assign (ring.left(), ring.left() + before.size()); }

private:
    const StereoRing& ring;
    std::vector<float> before, blockInput;
    uint32_t firstWrite = 0;
};

struct HostileTrim
{
    float trimValue;
    int trimSamples;
    bool reverse;
};

TEST (SlicerProcess, HostileSongPositionsAndTrimsStayInsideTheRing)
{
    // 1/32 bar at 300 BPM (1102.5 samples a slice, voices of 1102) with 4
    // bars (a ring of 141,120) and the largest trims: the trim spans two
    // slices, so start positions run past the ring's ends and must wrap.
    // Live slices play the grid slice: each voice starts at slice
    // (writePosition / 1102) modulo 128, times 1102, plus the trim, modulo
    // the ring.
    const HostileTrim trims[] = { { 1.0f, 2205, false }, { 1.0f, 2205, true }, { 0.0f, -2206, false }, { 0.0f, -2206, true } };
    // 139,000 samples in, the grid's last slice begins near the ring's end.
    const double positions[] = { -5.0, 1.0e12, std::numeric_limits<double>::quiet_NaN(), 3.3, 0.0,
                                 139000.0 / 44100.0, 1.0e300 };
    constexpr uint32_t ringLength = 141120;
    constexpr int sliceLength = 1102;

    for (const auto& trim : trims)
    {
        SlicerRig rig;
        rig.slicer.setParameter (SlicerParameters::sizeIndex, 1.0f);
        rig.slicer.setParameter (SlicerParameters::bufLenIndex, 1.0f);
        rig.slicer.setParameter (SlicerParameters::trimIndex, trim.trimValue);
        rig.slicer.setParameter (SlicerParameters::reverseIndex, trim.reverse ? 1.0f : 0.0f);
        rig.slicer.setParameter (SlicerParameters::modeIndex, 1.0f);

        // A bar and a half from the song's start fills the ring and takes the
        // trim over at the first boundary; the checks begin after it.
        rig.play (300.0);
        const auto warmUp = StereoSignal::ramp (ringLength + 1000);
        rig.process (warmUp, (int) warmUp.size());
        ASSERT_EQ (rig.slicer.engineState().ringLengthInForce(), ringLength);
        RingWitness witness (rig.slicer.engineState().recording(), ringLength);

        float nextValue = (float) warmUp.size() + 1.0f;
        int64_t voiceStart = -1; // none sounding that the checks know of
        int voiceSample = 0;
        size_t checked = 0;

        for (double seconds : positions)
        {
            rig.play (300.0, seconds);
            for (int block = 0; block < 80; ++block)
            {
                StereoSignal in (512);
                for (size_t i = 0; i < in.size(); ++i)
                    in.left[i] = in.right[i] = nextValue++;
                const auto out = rig.process (in);
                witness.blockDone (in.left.data(), (int) in.size());

                for (int i = 0; i < (int) in.size(); ++i)
                {
                    const uint32_t write = witness.writePosition (i);
                    double phase = std::fmod ((double) ((int64_t) write - trim.trimSamples), 1102.5);
                    if (phase < 0.0)
                        phase += 1102.5;
                    if (phase < 1.0)
                    {
                        const int64_t slice = (write / sliceLength) % 128; // of the 4 x 32 slices
                        voiceStart = (slice * sliceLength + trim.trimSamples + ringLength) % ringLength;
                        voiceSample = 0;
                    }

                    if (voiceStart < 0)
                        continue; // the warm-up's voice

                    float expected = 0.0f;
                    if (voiceSample < sliceLength)
                    {
                        const int64_t offset = trim.reverse ? sliceLength - voiceSample : voiceSample;
                        const auto position = (uint32_t) ((voiceStart + offset) % ringLength);
                        expected = sliceGain (voiceSample, sliceLength) * witness.valueReadAt (position, i);
                        ++voiceSample;
                    }
                    ASSERT_EQ (out.left[(size_t) i], expected)
                        << "trim " << trim.trimSamples << (trim.reverse ? " reverse" : " forward") << ", song at "
                        << seconds << " s, block " << block << " sample " << i << ", voice sample " << voiceSample;
                    ++checked;
                }
                witness.nextBlock();
            }
        }
        EXPECT_GT (checked, 150000u) << "samples checked";
    }
}

} // namespace
