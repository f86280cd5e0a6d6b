// The audio helpers both engines stand on: the fade table, the tempo grid
// arithmetic and the bypass tail.
#include "dsp/BypassTail.h"
#include "dsp/FadeTable.h"
#include "dsp/TempoGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavrel;

namespace
{

TEST (FadeTable, HoldsAQuarterPeriodOfSineSquared)
{
    const auto& table = FadeTable::shared();
    EXPECT_EQ (table.entry (0), 0.0f);
    EXPECT_EQ (table.entry (2200), 0.5f);
    EXPECT_EQ (table.entry (4399), 0.99999988f);

    for (int i = 1; i < FadeTable::size; ++i)
        ASSERT_GE (table.entry (i), table.entry (i - 1)) << i;
}

TEST (FadeTable, FractionsOutsideTheTableSelectItsLastEntry)
{
    const auto& table = FadeTable::shared();
    EXPECT_EQ (table.atFraction (0.0f), 0.0f);
    EXPECT_EQ (table.atFraction (0.5f), table.entry (2199));
    EXPECT_EQ (table.atFraction (1.0f), table.entry (4399));
    EXPECT_EQ (table.atFraction (7.0f), table.entry (4399));
    EXPECT_EQ (table.atFraction (-0.1f), table.entry (4399));
    EXPECT_EQ (table.atFraction (std::numeric_limits<float>::quiet_NaN()), table.entry (4399));
}

TEST (FadeTable, FortyFourHundredSampleFadeGains)
{
    const auto& table = FadeTable::shared();
    EXPECT_EQ (table.gainAfterSamples (0), 0.0f);
    EXPECT_EQ (table.gainAfterSamples (1), table.entry (9));
    EXPECT_EQ (table.gainAfterSamples (439), table.entry (4389));
    EXPECT_EQ (table.gainAfterSamples (440), 1.0f);
    EXPECT_EQ (table.gainAfterSamples (1 << 30), 1.0f);
}

struct PositionCase
{
    double sampleRate;
};

TEST (TempoGrid, WholeSamplePositionsSurviveTheTripThroughSeconds)
{
    for (double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 22050.0, 192000.0 })
        for (double sample = 0; sample < 3.0e6; sample += 997.0)
            ASSERT_EQ (samplePositionFor (sample / rate, rate), sample) << rate;

    EXPECT_EQ (samplePositionFor (0.5 / 44100.0, 44100.0), 0.5) << "fractions are kept";
    EXPECT_EQ (samplePositionFor (-1.0, 44100.0), 0.0);
    EXPECT_EQ (samplePositionFor (std::numeric_limits<double>::quiet_NaN(), 44100.0), 0.0);
    EXPECT_EQ (samplePositionFor (std::numeric_limits<double>::infinity(), 44100.0), 0.0);
}

TEST (TempoGrid, TrimRoundsDownInWholeSamples)
{
    EXPECT_EQ (trimSamplesFor (-5, 44100.0), -221);
    EXPECT_EQ (trimSamplesFor (5, 44100.0), 220);
    EXPECT_EQ (trimSamplesFor (10, 44100.0), 441);
    EXPECT_EQ (trimSamplesFor (-10, 44100.0), -442);
    EXPECT_EQ (trimSamplesFor (0, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ (trimSamplesFor (50, 1.0e300), 1000000000);
}

TEST (TempoGrid, BoundaryCountdownAgreesWithTestingEverySample)
{
    for (double samplesPerSlice : { 1.0, 1.5, 2.75, 1102.5, 5512.5, 11025.0, 7351.333333333, 1234.56789 })
    {
        // As the engine walks it: count once, step down, count again after
        // every boundary.
        bool recount = true;
        uint32_t countdown = 0;
        for (int64_t d = -20000; d < 20000; ++d)
        {
            double phase = std::fmod ((double) d, samplesPerSlice);
            if (phase < 0.0)
                phase += samplesPerSlice;

            if (recount)
                countdown = samplesUntilBoundary (phase, samplesPerSlice);
            recount = countdown == 0;

            ASSERT_EQ (countdown == 0, phase < 1.0) << samplesPerSlice << " at " << d;
            if (countdown > 0)
                --countdown;
        }
    }
}

TEST (TempoGrid, GridsOutsideTheUsableRangeAreRefused)
{
    SliceGrid grid;
    EXPECT_TRUE (grid.lay (88200.0, 8, 8, 2646000));
    EXPECT_EQ (grid.sliceLength, 11025);
    EXPECT_EQ (grid.ringLength, 88200u);

    EXPECT_TRUE (grid.lay (705600.0, 8, 32, 2646000));
    EXPECT_EQ (grid.ringLength, 2646000u) << "capped";

    for (double bar : { 0.0, -1.0, 31.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 1.0e15 })
        EXPECT_FALSE (grid.lay (bar, 32, 32, 2646000)) << bar;
}

TEST (BypassTail, LetsFourHundredFortyWetSamplesThroughAfterBypass)
{
    BypassTail tail;
    int wet = 0;
    while (tail.passesWet (false))
        ++wet;
    EXPECT_EQ (wet, 440);

    EXPECT_TRUE (tail.passesWet (true));
    EXPECT_EQ (tail.samplesSent(), 0u);
    EXPECT_TRUE (tail.passesWet (false)) << "a wet request starts a new tail";
}

} // namespace

// The grid counts write positions on from the position before where it can;
// every answer must still be floor(fmod(position, span)) modulo the ring.
TEST (TempoGrid, WritePositionsCountedOnAgreeWithTakingTheRemainder)
{
    const struct Case { double samplesPerBar; uint32_t division, slicesInRing, capacity; } grids[] = {
        { 88200.0, 8, 8, 2646000 },        // whole ring
        { 35280.0, 32, 128, 2646000 },     // 300 BPM, four bars of 1/32
        { 88200.5 * 4.0, 64, 64, 2646000 }, // a ring that is not a whole number of samples
        { 705600.0, 8, 32, 2646000 },      // capped: the span runs past the ring
    };

    // Blocks of several lengths, relocations back and forth, positions between samples.
    const double steps[] = { 16, 16, 4096, 1, 0, 37, -512, 88200, 3.5, 16, 1.0e6, 0.25, 16, -1.0e6, 512 };

    for (const auto& g : grids)
    {
        SliceGrid grid;
        ASSERT_TRUE (grid.lay (g.samplesPerBar, g.division, g.slicesInRing, g.capacity));
        double position = 12345.0;
        for (int pass = 0; pass < 40; ++pass)
            for (double step : steps)
            {
                position = std::fmax (0.0, position + step);
                const auto expected = (uint32_t) ((uint64_t) std::floor (std::fmod (position, grid.span)) % grid.ringLength);
                ASSERT_EQ (grid.writeIndexAt (position), expected) << g.samplesPerBar << " at " << position;
            }

        // A grid laid again at another tempo answers for its own span.
        ASSERT_TRUE (grid.lay (g.samplesPerBar * 0.75, g.division, g.slicesInRing, g.capacity));
        const auto expected = (uint32_t) ((uint64_t) std::floor (std::fmod (position, grid.span)) % grid.ringLength);
        EXPECT_EQ (grid.writeIndexAt (position), expected);
        EXPECT_EQ (grid.samplesPerSlice, g.samplesPerBar * 0.75 / g.division);
    }
}

TEST (TempoGrid, AGridLaidAgainFollowsEveryValueItIsLaidFrom)
{
    SliceGrid grid;
    ASSERT_TRUE (grid.lay (88200.0, 8, 8, 2646000));
    ASSERT_TRUE (grid.lay (88200.0, 8, 8, 2646000));
    EXPECT_EQ (grid.ringLength, 88200u);

    ASSERT_TRUE (grid.lay (88200.0, 16, 8, 2646000));
    EXPECT_EQ (grid.ringLength, 44100u);
    ASSERT_TRUE (grid.lay (88200.0, 16, 32, 2646000));
    EXPECT_EQ (grid.ringLength, 176400u);
    ASSERT_TRUE (grid.lay (88200.0, 16, 32, 1000));
    EXPECT_EQ (grid.ringLength, 1000u);
    EXPECT_FALSE (grid.lay (0.0, 16, 32, 1000));
    EXPECT_FALSE (grid.lay (0.0, 16, 32, 1000)) << "a refused grid is not kept";
    ASSERT_TRUE (grid.lay (88200.0, 16, 32, 1000));
    EXPECT_EQ (grid.ringLength, 1000u);
}
