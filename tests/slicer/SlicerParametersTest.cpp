// The slicer's parameter set as hosts and listeners observe it: stored values
// after writes, texts, the radio group and the change broadcasts it posts.
#include "SlicerFilter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

using tavrel::SlicerFilter;
using tavrel::SlicerParameters;

namespace
{

// The parameter set itself: its write says whether the change asks for a
// broadcast, which the processor then posts.
class SlicerParameterTest : public ::testing::Test
{
protected:
    // Returns the number of broadcasts the write asks for.
    int write (int index, float value) { return params.write (index, value) ? 1 : 0; }

    float stored (int index) const { return params.read (index); }
    std::string text (int index) const { return params.text (index); }
    int mode() const { return params.mode.load(); }
    bool hold() const { return params.hold.load(); }

    int togglesOn() const
    {
        int on = 0;
        for (int i = 0; i < SlicerParameters::toggleCount; ++i)
            on += stored (i) > 0.5f ? 1 : 0;
        return on;
    }

    SlicerParameters params;
};

TEST_F (SlicerParameterTest, NewProcessorShowsItsInitialValues)
{
    EXPECT_EQ (SlicerParameters::count, 20);
    EXPECT_FLOAT_EQ (stored (15), 0.5f);
    EXPECT_EQ (text (15), "1/8 bar");
    EXPECT_EQ (stored (16), 0.45f);
    EXPECT_EQ (text (16), "-5 ms");
    EXPECT_EQ (stored (0), 0.0f);
    EXPECT_EQ (text (0), "Off");
    EXPECT_EQ (text (14), "Bypass");
    EXPECT_EQ (text (17), "Off");
    EXPECT_EQ (text (18), "Off");
    EXPECT_EQ (text (19), "1 bar");
    EXPECT_EQ (mode(), 0);
    EXPECT_EQ (params.pendingTrimMs.load(), 0);

    for (int i : { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17, 18, 19 })
        EXPECT_EQ (stored (i), 0.0f) << "index " << i;
}

TEST_F (SlicerParameterTest, NamesAreExactAndOutOfRangeIndicesAreInert)
{
    const char* names[] = { "Bypass", "Backwards", "Random", "Skip 2nd", "Skip 3rd", "Skip 4th", "Skip 5th",
                            "Play 3rd", "Play 4th", "Play 5th", "Play 6th", "O:1243", "O:1233", "O:2134",
                            "Mode", "Size", "Trim", "Hold", "Reverse", "BufLen" };
    for (int i = 0; i < 20; ++i)
        EXPECT_STREQ (SlicerParameters::name (i), names[i]);

    for (int bad : { 20, -1, 1000, std::numeric_limits<int>::min() })
    {
        EXPECT_STREQ (SlicerParameters::name (bad), "");
        EXPECT_EQ (text (bad), "");
        EXPECT_EQ (stored (bad), 0.0f);
        EXPECT_EQ (write (bad, 1.0f), 0);
    }
    EXPECT_EQ (mode(), 0);
}

TEST_F (SlicerParameterTest, SwitchingAToggleOnMakesItTheOnlyOneAndMovesMode)
{
    EXPECT_EQ (write (3, 1.0f), 1);
    EXPECT_EQ (mode(), 3);
    EXPECT_EQ (stored (3), 1.0f);
    EXPECT_EQ (togglesOn(), 1);
    EXPECT_EQ (stored (14), 3.0f * tavrel::oneFourteenth);
    EXPECT_EQ (text (14), "Skip 2nd");

    EXPECT_EQ (write (3, 1.0f), 0) << "an unchanged group broadcasts nothing";
}

TEST_F (SlicerParameterTest, AnyToggleWrittenOffFallsBackToBypass)
{
    write (3, 1.0f);
    EXPECT_EQ (write (5, 0.0f), 1);
    EXPECT_EQ (mode(), 0);
    EXPECT_EQ (stored (0), 1.0f);
    EXPECT_EQ (stored (3), 0.0f);
    EXPECT_EQ (stored (14), 0.0f);
    EXPECT_EQ (togglesOn(), 1);
}

TEST_F (SlicerParameterTest, HalfWayValueChangesNoModeButReleasesHold)
{
    write (3, 1.0f);
    write (17, 1.0f);
    ASSERT_TRUE (hold());

    write (7, 0.5f);
    EXPECT_EQ (mode(), 3);
    EXPECT_EQ (stored (3), 1.0f);
    EXPECT_FALSE (hold());
    EXPECT_EQ (stored (17), 0.0f);
    EXPECT_EQ (text (17), "Off");
}

TEST_F (SlicerParameterTest, ModeAtTopPositionLeavesTogglesAndHoldAlone)
{
    write (4, 1.0f);
    write (17, 1.0f);

    EXPECT_EQ (write (14, 1.0f), 0);
    EXPECT_EQ (mode(), 14);
    EXPECT_EQ (stored (14), 1.0f);
    EXPECT_EQ (text (14), "Live Slices");
    EXPECT_EQ (stored (4), 1.0f);
    EXPECT_TRUE (hold());

    write (2, 0.5f);
    EXPECT_TRUE (hold()) << "at the top position a toggle write keeps Hold";
}

TEST_F (SlicerParameterTest, ModeBelowTopSwitchesThatToggleOn)
{
    for (int k = 0; k < 14; ++k)
    {
        write (14, (float) k / 14.0f);
        EXPECT_EQ (mode(), k);
        EXPECT_EQ (stored (k), 1.0f);
        EXPECT_EQ (togglesOn(), 1);
        EXPECT_EQ (stored (14), (float) k * tavrel::oneFourteenth);
        EXPECT_EQ (text (14), SlicerParameters::name (k)) << "position " << k;
    }
}

struct GridCase
{
    int index;
    float written;
    float storedValue;
    const char* shown;
};

TEST_F (SlicerParameterTest, GridAndOptionWritesQuantiseAndBroadcast)
{
    const GridCase cases[] = {
        { 15, 0.3f, 0.25f, "1/4 bar" },
        { 15, 1.0f, 1.0f, "1/32 bar" },
        { 15, 0.0f, 0.0f, "1/2 bar" },
        { 15, 0.6f, 0.5f, "1/8 bar" },
        { 15, 0.7f, 0.75f, "1/16 bar" },
        { 16, 0.0f, 0.0f, "-50 ms" },
        { 16, 1.0f, 1.0f, "+50 ms" },
        { 16, 0.5f, 0.5f, "0 ms" },
        { 16, std::nextafter (0.5f, 1.0f), std::nextafter (0.5f, 1.0f), "+0 ms" },
        { 16, 0.62f, 0.62f, "+12 ms" },
        { 16, 0.45f, 0.45f, "-5 ms" },
        { 17, 0.7f, 1.0f, "On" },
        { 17, 0.5f, 0.0f, "Off" },
        { 18, 0.51f, 1.0f, "On" },
        { 18, 0.2f, 0.0f, "Off" },
        { 19, 1.0f, 1.0f, "4 bar" },
        { 19, 0.5f, 2.0f * tavrel::oneThird, "3 bar" },
        { 19, 0.2f, tavrel::oneThird, "2 bar" },
        { 19, 0.0f, 0.0f, "1 bar" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (write (c.index, c.written), 1) << "index " << c.index << " value " << c.written;
        EXPECT_EQ (stored (c.index), c.storedValue) << "index " << c.index << " value " << c.written;
        EXPECT_EQ (text (c.index), c.shown) << "index " << c.index << " value " << c.written;
    }
}

TEST_F (SlicerParameterTest, DerivedValuesFollowTheWrites)
{
    const auto& p = params;

    write (15, 0.3f);
    EXPECT_EQ (p.pendingDivision.load(), 4u);
    write (15, 1.0f);
    EXPECT_EQ (p.pendingDivision.load(), 32u);
    write (16, 0.0f);
    EXPECT_EQ (p.pendingTrimMs.load(), -50);
    write (16, 1.0f);
    EXPECT_EQ (p.pendingTrimMs.load(), 50);
    write (16, 0.45f);
    EXPECT_EQ (p.pendingTrimMs.load(), -5);
    write (19, 0.5f);
    EXPECT_EQ (p.pendingBars.load(), 3u);
    write (18, 1.0f);
    EXPECT_TRUE (p.reverse.load());
}

TEST_F (SlicerParameterTest, QuantisedFractionsReadBackAsTheirOwnPosition)
{
    // Nearest-float fractions would put 3/14 below 3/14 and show the wrong toggle.
    for (int k = 0; k <= 14; ++k)
    {
        write (14, (float) k / 14.0f);
        EXPECT_EQ ((int) std::floor ((double) stored (14) * 14.0), k);
    }
    for (int t = 0; t <= 3; ++t)
    {
        write (19, (float) t / 3.0f);
        EXPECT_EQ ((int) std::floor ((double) stored (19) * 3.0), t);
    }
}

TEST_F (SlicerParameterTest, ValuesThatAreNotNumbersOrOutOfRangeAreTamed)
{
    const float inf = std::numeric_limits<float>::infinity();

    write (14, 5.0f);
    EXPECT_EQ (mode(), 14);
    EXPECT_EQ (stored (14), 1.0f);

    write (14, -3.0f);
    EXPECT_EQ (mode(), 0);
    EXPECT_EQ (stored (0), 1.0f);

    write (15, inf);
    EXPECT_EQ (stored (15), 1.0f) << "infinity is above 1 like any other large value";
    EXPECT_EQ (text (15), "1/32 bar");
    write (15, -inf);
    EXPECT_EQ (text (15), "1/2 bar");
    write (15, 7.0f);
    EXPECT_EQ (stored (15), 1.0f);
    EXPECT_EQ (text (15), "1/32 bar");

    write (19, -1.0f);
    EXPECT_EQ (text (19), "1 bar");

    for (int i = 0; i < 20; ++i)
    {
        EXPECT_TRUE (std::isfinite (stored (i))) << i;
        EXPECT_GE (stored (i), 0.0f) << i;
        EXPECT_LE (stored (i), 1.0f) << i;
    }
}

// A host that writes NaN has a bug; the kindest answer is to change nothing,
// not to switch the plug-in's mode, release Hold or ask for a broadcast.
TEST_F (SlicerParameterTest, InfinitiesClampAndNotANumberChangesNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    EXPECT_EQ (write (3, inf), 1);
    EXPECT_EQ (mode(), 3) << "+inf switches a toggle on, as 7.0 does";
    EXPECT_EQ (stored (3), 1.0f);
    EXPECT_EQ (write (17, inf), 1);
    EXPECT_TRUE (hold());
    EXPECT_EQ (write (18, inf), 1);
    EXPECT_EQ (text (18), "On");
    EXPECT_EQ (write (16, inf), 1);
    EXPECT_EQ (text (16), "+50 ms");

    std::array<float, SlicerParameters::count> before;
    for (int i = 0; i < SlicerParameters::count; ++i)
        before[(size_t) i] = stored (i);

    for (int i = 0; i < SlicerParameters::count; ++i)
    {
        EXPECT_EQ (write (i, nan), 0) << i;
        EXPECT_EQ (write (i, -nan), 0) << i;
    }
    for (int i = 0; i < SlicerParameters::count; ++i)
        EXPECT_EQ (stored (i), before[(size_t) i]) << i;
    EXPECT_EQ (mode(), 3);
    EXPECT_TRUE (hold());
    EXPECT_TRUE (params.reverse.load());
    EXPECT_EQ (params.pendingTrimMs.load(), 50);
    EXPECT_EQ (params.pendingDivision.load(), 8u);
    EXPECT_EQ (params.pendingBars.load(), 1u);

    EXPECT_EQ (write (3, -inf), 1);
    EXPECT_EQ (mode(), 0) << "-inf switches the lit toggle off, as -1.0 does";
    EXPECT_EQ (stored (0), 1.0f);
    write (14, inf);
    EXPECT_EQ (mode(), 14);
}

// The processor around the parameter set, as the frame calls it.
TEST (SlicerFilterParameters, ProcessorPassesThroughTheParameterSetAndHasNoPrograms)
{
    SlicerFilter slicer;
    EXPECT_EQ (slicer.getNumParameters(), 20);
    EXPECT_EQ (slicer.getParameterName (1), "Backwards");
    slicer.setParameter (15, 0.3f);
    EXPECT_EQ (slicer.getParameter (15), 0.25f);
    EXPECT_EQ (slicer.getParameterText (15), "1/4 bar");
    EXPECT_EQ (slicer.getParameterText (99), "");

    EXPECT_EQ (slicer.getNumPrograms(), 0);
    EXPECT_EQ (slicer.getCurrentProgram(), 0);
    slicer.setCurrentProgram (3);
    slicer.changeProgramName (0, "x");
    EXPECT_EQ (slicer.getCurrentProgram(), 0);
    EXPECT_EQ (slicer.getProgramName (0), "");
}

} // namespace
