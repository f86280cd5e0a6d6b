// One loop voice on its own: the ring positions it reads and the gains it
// gives, sample by sample, in each movement.
#include "LoopVoice.h"

#include <gtest/gtest.h>

#include <vector>

using tavrel::FadeTable;
using tavrel::LoopVoice;

namespace
{

struct Reading
{
    uint32_t position;
    float gain;
};

// A voice in a pool of its own, stepped through its whole life.
struct VoiceRun
{
    explicit VoiceRun (LoopVoice::Settings settings)
    {
        voice = pool.firstFree();
        voice->start (settings);
        while (pool.firstActive() != nullptr)
        {
            const auto tap = voice->step();
            readings.push_back ({ tap.position, tap.gain });
            fadeLengths.push_back (voice->fadeLength);
        }
    }

    std::vector<uint32_t> positions() const
    {
        std::vector<uint32_t> p;
        for (auto& r : readings)
            p.push_back (r.position);
        return p;
    }

    tavrel::VoicePool<LoopVoice, 2> pool;
    LoopVoice* voice = nullptr;
    std::vector<Reading> readings;
    std::vector<int32_t> fadeLengths;
};

LoopVoice::Settings slice (int32_t movement, float start, float size, float modulation = 0.5f,
                           int32_t length = 22050, uint32_t ringStart = 0, uint32_t ringLength = 88200)
{
    return { ringStart, length, ringLength, movement, start, size, modulation };
}

const FadeTable& table = FadeTable::shared();

// Positions 0 .. last, then passes over [from, to] forwards, up to `count`.
std::vector<uint32_t> loopPositions (uint32_t from, uint32_t to, size_t count)
{
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i <= to && p.size() < count; ++i)
        p.push_back (i);
    while (p.size() < count)
        for (uint32_t i = from; i <= to && p.size() < count; ++i)
            p.push_back (i);
    return p;
}

std::vector<uint32_t> alternatingPositions (uint32_t from, uint32_t to, size_t count)
{
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i <= to && p.size() < count; ++i)
        p.push_back (i);
    while (p.size() < count)
    {
        for (uint32_t i = to - 1; i + 1 > from && i < to && p.size() < count; --i)
            p.push_back (i);
        for (uint32_t i = from + 1; i <= to && p.size() < count; ++i)
            p.push_back (i);
    }
    return p;
}

TEST (LoopVoice, LoopModeRepeatsTheWindowAndFadesToZeroAtEveryTurn)
{
    VoiceRun run (slice (LoopVoice::loop, 0.0f, 0.5f));
    ASSERT_EQ (run.readings.size(), 22049u); // a voice lives sliceLength - 1 samples
    EXPECT_EQ (run.voice->loopStart, 0);
    EXPECT_EQ (run.voice->loopEnd, 11024);
    EXPECT_EQ (run.positions(), loopPositions (0, 11024, 22049));
    EXPECT_EQ (run.fadeLengths.back(), 440);

    const auto& r = run.readings;
    EXPECT_EQ (r[0].gain, table.entry (19));     // elapsed 2 after the first step
    EXPECT_EQ (r.back().position, 11023u);       // the life ends on a turn
    EXPECT_EQ (r[11023].gain, 0.0f);
    EXPECT_EQ (r[11024].gain, 0.0f);
    EXPECT_EQ (r[11025].gain, table.entry (9));  // position 0 read again, just after the turn

    // Every read of the window after the first pass, away from the voice's
    // end, has the gain of its place in the window: a fade-out into the turn
    // point and a fade-in after it, each 440 samples.
    for (size_t n = 11025; n + 440 < r.size(); ++n)
    {
        const int q = (int) r[n].position;
        const float expected = q == 11024 ? 0.0f
                                          : std::min (table.gainAfterSamples (11023 - q), table.gainAfterSamples (q + 1));
        ASSERT_EQ (r[n].gain, expected) << "sample " << n << " position " << q;
    }
}

TEST (LoopVoice, AlternatingModeRunsBackAndForthOverTheWindow)
{
    VoiceRun run (slice (LoopVoice::alternating, 0.0f, 0.5f));
    EXPECT_EQ (run.positions(), alternatingPositions (0, 11024, 22049));

    // Both turn points get zero gain; a reversal is a dip, not a jump.
    const auto& r = run.readings;
    for (size_t n = 1; n + 1 < r.size(); ++n)
    {
        const bool turnPoint = r[n].position == 11024 || (r[n].position == 0 && n > 11024);
        EXPECT_TRUE (! turnPoint || r[n].gain < table.entry (10)) << n;
    }
}

TEST (LoopVoice, TopModePositionMovesAsAlternating)
{
    VoiceRun top (slice (LoopVoice::alternatingFromTop, 0.25f, 0.125f));
    VoiceRun alternating (slice (LoopVoice::alternating, 0.25f, 0.125f));
    EXPECT_EQ (top.positions(), alternating.positions());
}

TEST (LoopVoice, ReadPositionsFollowTheRingStartAndWrapAtTheRingEnd)
{
    VoiceRun run (slice (LoopVoice::plain, 0.0f, 0.5f, 0.5f, 1000, 88000, 88200));
    const auto p = run.positions();
    EXPECT_EQ (p[0], 88000u);
    EXPECT_EQ (p[199], 88199u);
    EXPECT_EQ (p[200], 0u);
    EXPECT_EQ (p.back(), 798u);
}

TEST (LoopVoice, WindowEndIsLimitedToTheSlice)
{
    VoiceRun run (slice (LoopVoice::loop, 0.875f, 0.875f));
    EXPECT_EQ (run.voice->loopStart, (int32_t) (22049 * 0.875f));
    EXPECT_EQ (run.voice->loopEnd, 22049);
}

TEST (LoopVoice, FadeLengthIsLoweredToHalfTheWindowAndNeverRaised)
{
    // A 100-sample window: fades of 50 from the first step on.
    VoiceRun hundred (slice (LoopVoice::loop, 0.0f, 0.1f, 0.5f, 1001));
    EXPECT_EQ (hundred.voice->loopEnd, 100);
    EXPECT_EQ (hundred.fadeLengths.front(), 50);
    EXPECT_EQ (hundred.fadeLengths.back(), 50);

    VoiceRun empty (slice (LoopVoice::loop, 0.5f, 0.0f, 0.5f, 1001));
    EXPECT_EQ (empty.fadeLengths.front(), 1);

    // Growing window (modulation above the centre): the fades stay as short
    // as the window was at its shortest.
    VoiceRun growing (slice (LoopVoice::loop, 0.0f, 0.5f, 0.75f));
    EXPECT_EQ (growing.fadeLengths.front(), 440);
    VoiceRun fromZero (slice (LoopVoice::loop, 0.0f, 0.5f, 1.0f));
    for (int32_t f : fromZero.fadeLengths)
        ASSERT_EQ (f, 1);
}

TEST (LoopVoice, FullUpwardModulationStartsWithAnEmptyWindowThatGrows)
{
    VoiceRun run (slice (LoopVoice::loop, 0.0f, 0.5f, 1.0f));
    const auto& r = run.readings;

    // At first the window has no length: the voice holds at its start, silent.
    EXPECT_EQ (r[0].position, 0u);
    EXPECT_EQ (r[0].gain, 0.0f);
    EXPECT_EQ (r[1].position, 0u);

    // It keeps catching up with the end, which grows by half a sample per
    // sample, and turning back: each catch-up takes twice as long as the one
    // before, so the furthest position reached lies between a quarter and a
    // half of the slice.
    uint32_t furthest = 0;
    int turns = 0;
    for (size_t n = 1; n < r.size(); ++n)
    {
        furthest = std::max (furthest, r[n].position);
        turns += r[n].position == 0 && r[n - 1].position > 0 ? 1 : 0;
        ASSERT_LE (r[n].position, r[n - 1].position + 1) << n;
    }
    EXPECT_GE (furthest, 5512u);
    EXPECT_LE (furthest, 11024u);
    EXPECT_GE (turns, 5);
}

TEST (LoopVoice, FullDownwardModulationShrinksTheWindowToNothing)
{
    VoiceRun run (slice (LoopVoice::loop, 0.25f, 0.5f, 0.0f));
    const auto& r = run.readings;
    const uint32_t windowStart = (uint32_t) (22049 * 0.25f);

    // Over the last 50 samples the window is at most 25 samples long.
    for (size_t n = r.size() - 50; n < r.size(); ++n)
        EXPECT_LE (r[n].position, windowStart + 25) << n;
    EXPECT_EQ (run.voice->loopEnd, run.voice->loopStart);
}

TEST (LoopVoice, PlainModeReadsTheSliceOnceWithFadesAtBothEnds)
{
    VoiceRun run (slice (LoopVoice::plain, 0.0f, 0.01f));
    const auto& r = run.readings;
    ASSERT_EQ (r.size(), 22049u);

    for (uint32_t n = 0; n < r.size(); ++n)
    {
        ASSERT_EQ (r[n].position, n);
        const int32_t remaining = n + 1 < r.size() ? 22049 - 1 - (int32_t) n : 1;
        const int32_t elapsed = 22050 - remaining;
        const float expected = std::min (table.gainAfterSamples (remaining), table.gainAfterSamples (elapsed));
        ASSERT_EQ (r[n].gain, expected) << n;
    }
    EXPECT_EQ (run.fadeLengths.back(), 440); // a tiny window has no say without looping
}

TEST (LoopVoice, SingleSampleSliceEndsAtOnceAndIsSilent)
{
    VoiceRun run (slice (LoopVoice::alternating, 0.875f, 0.875f, 1.0f, 1, 5, 10));
    ASSERT_EQ (run.readings.size(), 1u);
    EXPECT_EQ (run.readings[0].position, 5u);
    EXPECT_EQ (run.readings[0].gain, 0.0f);
}

} // namespace
