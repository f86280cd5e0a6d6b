// The rings come from the system as zero pages and are cleared only as far as
// they were written: what was never written and what was cleared both read
// as silence, wherever the clear kept pages and wherever it gave them back.
#include "dsp/StereoRing.h"
#include "dsp/TempoGrid.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavrel;

namespace
{

long silentFrames (const StereoRing& ring)
{
    const auto silent = [&] (const float* channel) { return std::count (channel, channel + ring.capacity(), 0.0f); };
    return std::min (silent (ring.left()), silent (ring.right()));
}

// Records a ramp of non-zero samples into [0, length).
void recordInto (StereoRing& ring, uint32_t length)
{
    ring.noteSpanInUse (length);
    for (uint32_t i = 0; i < length; ++i)
        ring.record (i, 1.0f + (float) i, -1.0f - (float) i);
}

} // namespace

TEST (StereoRing, ANewRingReadsAsSilenceOverItsWholeCapacity)
{
    const StereoRing ring;
    EXPECT_EQ (ring.capacity(), 2646000u);
    EXPECT_EQ (silentFrames (ring), (long) ring.capacity());
    EXPECT_EQ (ring.spanWritten(), 0u);
}

TEST (StereoRing, ClearingSilencesWhatWasWrittenWhateverSpanItKeeps)
{
    // Spans on and off page boundaries, kept spans shorter, equal and longer.
    const struct Case { uint32_t written; uint32_t kept; } cases[] = {
        { 88200, 88200 }, { 88200, 0 }, { 352800, 88200 }, { 352800, 1 },
        { 1024, 1023 }, { 2646000, 35280 }, { 5000, 2646000 },
    };

    StereoRing ring;
    for (const auto& c : cases)
    {
        recordInto (ring, c.written);
        ring.clear (c.kept);
        EXPECT_EQ (silentFrames (ring), (long) ring.capacity()) << c.written << " written, " << c.kept << " kept";
        EXPECT_EQ (ring.spanWritten(), std::min (c.written, c.kept));

        // Pages given back take recording again.
        ring.record (c.written - 1, 0.5f, 0.25f);
        EXPECT_EQ (ring.left()[c.written - 1], 0.5f);
        EXPECT_EQ (ring.right()[c.written - 1], 0.25f);
        ring.noteSpanInUse (c.written);
        ring.clear (0);
    }
}

TEST (StereoRing, ClearingReachesCopiedBarsBeyondTheSpanNoted)
{
    StereoRing ring;
    recordInto (ring, 1000);
    ring.copyRange (0, 200000, 1000); // a bar copied ahead of the grid that will use it
    ring.clear (1000);
    EXPECT_EQ (silentFrames (ring), (long) ring.capacity());
}

TEST (StereoRing, TheGridIsCappedAtTheCapacityOfTheRingItIsLaidOver)
{
    const StereoRing small (10000);
    SliceGrid grid;
    ASSERT_TRUE (grid.lay (88200.0, 8, 8, small.capacity()));
    EXPECT_EQ (grid.ringLength, 10000u);
    EXPECT_EQ (grid.sliceLength, 11025);
}
