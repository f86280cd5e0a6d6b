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
