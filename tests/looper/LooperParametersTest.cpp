// The looper's parameter set as hosts observe it: stored values after writes,
// texts, the radio group and which writes ask for a change broadcast.
#include "BroadcastCounter.h"
#include "LooperFilter.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using tavrel::LooperFilter;
using tavrel::LooperParameters;

namespace
{

enum Index
{
    bypass = 0, loop = 1, alternating = 2, mode = 3, start = 4,
    loopSize = 5, modulation = 6, sliceSize = 7, trim = 8
};

std::string text (const LooperParameters& p, int index) { return p.text (index); }

TEST (LooperParameters, NewSetShowsItsInitialValues)
{
    LooperFilter looper;
    EXPECT_EQ (looper.getNumParameters(), 9);

    const char* names[] = { "Bypass", "Loop", "Alternating", "Mode", "Start", "Size", "Modulation", "Size", "Trim" };
    const float initial[] = { 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.33333334f, 0.45f };
    const char* texts[] = { "Off", "Off", "Off", "Bypass", "0 %", "50 %", "Off", "1/4 bar", "-5 ms" };

    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ (looper.getParameterName (i), names[i]) << i;
        EXPECT_EQ (looper.getParameter (i), initial[i]) << i;
        EXPECT_EQ (looper.getParameterText (i), texts[i]) << i;
    }

    const auto& p = looper.parameters();
    EXPECT_EQ (p.selection.load(), 0);
    EXPECT_EQ (p.pendingDivision.load(), 4u);
    EXPECT_EQ (p.pendingTrimMs.load(), -5);
}

TEST (LooperParameters, OutOfRangeIndicesAreInert)
{
    LooperFilter looper;
    for (int index : { -1, 9, 1000, std::numeric_limits<int>::min() })
    {
        looper.setParameter (index, 1.0f);
        EXPECT_EQ (looper.getParameter (index), 0.0f);
        EXPECT_TRUE (looper.getParameterName (index).isEmpty());
        EXPECT_TRUE (looper.getParameterText (index).isEmpty());
    }
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ (looper.getParameter (i), LooperParameters().read (i)) << i;
}

struct ValueCase
{
    int index;
    float written;
    float stored;
    const char* text;
};

class LooperValueWrite : public ::testing::TestWithParam<ValueCase> {};

TEST_P (LooperValueWrite, StoresTheQuantisedValueShowsItsTextAndBroadcasts)
{
    const auto c = GetParam();
    LooperParameters p;
    EXPECT_TRUE (p.write (c.index, c.written));
    EXPECT_EQ (p.read (c.index), c.stored);
    EXPECT_EQ (text (p, c.index), c.text);
}

INSTANTIATE_TEST_SUITE_P (Table, LooperValueWrite, ::testing::Values (
    ValueCase { start, 1.0f, 0.875f, "87 %" },
    ValueCase { start, 0.07f, 0.0f, "0 %" },
    ValueCase { start, 0.2f, 0.125f, "12 %" },
    ValueCase { loopSize, 0.1f, 0.1f, "10 %" },
    ValueCase { loopSize, 0.005f, 0.01f, "1 %" },
    ValueCase { loopSize, 0.0f, 0.01f, "1 %" },
    ValueCase { loopSize, 0.3f, 0.25f, "25 %" },
    ValueCase { loopSize, 1.0f, 0.875f, "87 %" },
    ValueCase { modulation, 0.51f, 0.5f, "Off" },
    ValueCase { modulation, 0.75f, 0.75f, "+50 %" },
    ValueCase { modulation, 0.25f, 0.25f, "-50 %" },
    ValueCase { modulation, 1.0f, 1.0f, "+100 %" },
    ValueCase { modulation, 0.0f, 0.0f, "-100 %" },
    ValueCase { sliceSize, 0.0f, 0.0f, "1/1 bar" },
    ValueCase { sliceSize, 0.5f, 0.5f, "1/8 bar" },
    ValueCase { sliceSize, 1.0f, 1.0000000f, "1/64 bar" },
    ValueCase { trim, 0.0f, 0.0f, "-50 ms" },
    ValueCase { trim, 1.0f, 1.0f, "+50 ms" },
    ValueCase { trim, 0.5f, 0.5f, "0 ms" },
    ValueCase { trim, 0.503f, 0.503f, "+0 ms" },
    // Host input beyond [0, 1], infinities included, is clamped.
    ValueCase { trim, 7.0f, 1.0f, "+50 ms" },
    ValueCase { trim, std::numeric_limits<float>::infinity(), 1.0f, "+50 ms" },
    ValueCase { start, -std::numeric_limits<float>::infinity(), 0.0f, "0 %" },
    ValueCase { loopSize, std::numeric_limits<float>::infinity(), 0.875f, "87 %" },
    ValueCase { modulation, -std::numeric_limits<float>::infinity(), 0.0f, "-100 %" },
    ValueCase { sliceSize, std::numeric_limits<float>::infinity(), 1.0f, "1/64 bar" }));

// A host that writes NaN has a bug; the kindest answer is to change nothing,
// not to switch the plug-in's mode or ask for a broadcast.
TEST (LooperParameters, InfinitiesClampAndNotANumberChangesNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    LooperParameters p;
    EXPECT_TRUE (p.write (loop, inf));
    EXPECT_EQ (p.selection.load(), 1) << "+inf switches a button on, as 7.0 does";
    EXPECT_EQ (p.read (loop), 1.0f);
    p.write (sliceSize, 0.5f);
    p.write (trim, 0.7f);

    std::vector<float> before;
    for (int i = 0; i < LooperParameters::count; ++i)
        before.push_back (p.read (i));

    for (int i = 0; i < LooperParameters::count; ++i)
    {
        EXPECT_FALSE (p.write (i, nan)) << i;
        EXPECT_FALSE (p.write (i, -nan)) << i;
    }
    for (int i = 0; i < LooperParameters::count; ++i)
        EXPECT_EQ (p.read (i), before[(size_t) i]) << i;
    EXPECT_EQ (p.selection.load(), 1);
    EXPECT_EQ (p.pendingDivision.load(), 8u);
    EXPECT_EQ (p.pendingTrimMs.load(), 20);

    EXPECT_TRUE (p.write (loop, -inf));
    EXPECT_EQ (p.selection.load(), 0) << "-inf switches the lit button off, as -1.0 does";
    EXPECT_EQ (p.read (bypass), 1.0f);
}

TEST (LooperParameters, SliceSizeAndTrimSetThePendingGrid)
{
    LooperParameters p;
    const std::pair<float, uint32_t> divisions[] = { { 0.0f, 1 }, { 0.17f, 2 }, { 0.33f, 4 }, { 0.5f, 8 },
                                                    { 0.66f, 16 }, { 0.84f, 32 }, { 1.0f, 64 } };
    for (auto [value, division] : divisions)
    {
        p.write (sliceSize, value);
        EXPECT_EQ (p.pendingDivision.load(), division) << value;
        EXPECT_EQ (p.read (sliceSize), (float) std::log2 (division) * 0.16666667f) << value;
    }

    const std::pair<float, int32_t> trims[] = { { 0.0f, -50 }, { 0.45f, -5 }, { 0.5f, 0 }, { 0.55f, 5 }, { 1.0f, 50 } };
    for (auto [value, ms] : trims)
    {
        p.write (trim, value);
        EXPECT_EQ (p.pendingTrimMs.load(), ms) << value;
    }
}

// One step of a group scenario: the write, whether it asks for a broadcast,
// and the buttons, "Mode" and selection afterwards.
struct GroupStep
{
    int index;
    float value;
    bool broadcasts;
    float buttons[3];
    float modeValue;
    int selection;
};

void runGroupScenario (const std::vector<GroupStep>& steps)
{
    LooperParameters p;
    int n = 0;
    for (const auto& s : steps)
    {
        SCOPED_TRACE ("step " + std::to_string (n++));
        EXPECT_EQ (p.write (s.index, s.value), s.broadcasts);
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ (p.read (b), s.buttons[b]) << "button " << b;
        EXPECT_EQ (p.read (mode), s.modeValue);
        EXPECT_EQ (p.selection.load(), s.selection);
    }
}

constexpr float third = 0.33333334f;
constexpr float twoThirds = 0.6666667f;

TEST (LooperParameters, SwitchingAButtonOnSelectsItAndOffFallsBackToBypass)
{
    runGroupScenario ({
        { loop, 1.0f, true, { 0, 1, 0 }, third, 1 },
        { loop, 1.0f, false, { 0, 1, 0 }, third, 1 },          // already on: nothing
        { alternating, 0.0f, true, { 1, 0, 0 }, 0.0f, 0 },     // any "off" while Loop is on
        { bypass, 0.0f, true, { 1, 0, 0 }, 0.0f, 0 },          // re-asserts Bypass
        { alternating, 0.5f, false, { 1, 0, 0 }, 0.0f, 0 },    // exactly 0.5 is neither
        { alternating, 0.8f, true, { 0, 0, 1 }, twoThirds, 2 },
    });
}

TEST (LooperParameters, ModeSelectsTheNearestButtonOrTheTopPosition)
{
    runGroupScenario ({
        { mode, 0.4f, true, { 0, 1, 0 }, third, 1 },
        { mode, 0.7f, true, { 0, 0, 1 }, twoThirds, 2 },
        { mode, 0.9f, false, { 0, 0, 1 }, 1.0f, 3 },           // top: buttons unchanged
        { alternating, 1.0f, false, { 0, 0, 1 }, 1.0f, 2 },    // already on: "Mode" stays top
        { loop, 1.0f, true, { 0, 1, 0 }, third, 1 },
        { mode, 0.0f, true, { 1, 0, 0 }, 0.0f, 0 },
    });

    LooperParameters p;
    p.write (mode, 0.9f);
    EXPECT_EQ (p.text (mode), "Tavrel Looper");
    EXPECT_EQ (p.text (bypass), "Off");
}

TEST (LooperParameters, FirstBypassOnFromTheInitialStateSwitchesItsButtonOn)
{
    // Bypass is selected although its button reads 0 at first.
    runGroupScenario ({
        { bypass, 1.0f, true, { 1, 0, 0 }, 0.0f, 0 },
    });
}

using tavrel::test::BroadcastCounter;

TEST (LooperFilterBroadcasts, AWritePostsABroadcastExactlyWhenTheSetAsksForOne)
{
    LooperFilter looper;
    BroadcastCounter counter;
    looper.addChangeListener (&counter);

    // Delivers until quiet: the hidden listener answers group changes with
    // writes of its own, which broadcast again.
    auto settle = [&] { for (int i = 0; i < 4; ++i) looper.dispatchPendingMessages(); };

    const struct { int index; float value; int broadcasts; } writes[] = {
        { start, 0.3f, 1 }, { loop, 1.0f, 1 }, { loop, 1.0f, 0 }, { mode, 1.0f, 0 },
        { trim, 0.2f, 1 }, { modulation, 0.5f, 1 }, { 12, 1.0f, 0 }, { -3, 0.0f, 0 } };

    for (const auto& w : writes)
    {
        settle();
        const int before = counter.count;
        looper.setParameter (w.index, w.value);
        looper.dispatchPendingMessages();
        EXPECT_EQ (counter.count - before, w.broadcasts) << "index " << w.index;
    }

    looper.removeChangeListener (&counter);
}

} // namespace
