#include "StereoRing.h"
#include "RingMemory.h"

#include <algorithm>
#include <cstring>

namespace tavrel
{

namespace
{
    size_t wholePages (size_t bytes) noexcept
    {
        const size_t page = RingMemory::pageSize();
        return (bytes + page - 1) / page * page;
    }
}

StereoRing::StereoRing (uint32_t capacityInFrames)
    : frames (capacityInFrames),
      channelBytes (wholePages ((size_t) capacityInFrames * sizeof (float))),
      ringLeft (static_cast<float*> (RingMemory::reserve (2 * channelBytes))),
      ringRight (ringLeft + channelBytes / sizeof (float))
{
}

StereoRing::~StereoRing()
{
    RingMemory::release (ringLeft, 2 * channelBytes);
}

// Why zero the kept span rather than give it all back: a host suspends and
// resumes around every engine stop or setting change, and recording resumes
// over the same span. Given back, each of its pages would fault again on the
// audio thread (a page allocation in the kernel, per 4 KB, during the first
// pass after every resume); zeroed, resume costs the audio thread nothing.
// Only what the current grid no longer reaches (after a slower tempo or more
// bars) is given back, so residency follows the span in use.
void StereoRing::clear (uint32_t spanToKeep) noexcept
{
    const uint32_t written = extent.load (std::memory_order_relaxed);
    const uint32_t kept = std::min (spanToKeep, written);
    const size_t keptBytes = wholePages ((size_t) kept * sizeof (float));
    const size_t writtenBytes = wholePages ((size_t) written * sizeof (float));

    for (float* channel : { ringLeft, ringRight })
    {
        std::memset (channel, 0, keptBytes);
        if (writtenBytes > keptBytes)
            RingMemory::giveBack (reinterpret_cast<char*> (channel) + keptBytes, writtenBytes - keptBytes);
    }

    extent.store (kept, std::memory_order_relaxed);
}

void StereoRing::copyRange (uint32_t from, uint32_t to, uint32_t count) noexcept
{
    noteSpanInUse (to + count);
    std::memcpy (ringLeft + to, ringLeft + from, count * sizeof (float));
    std::memcpy (ringRight + to, ringRight + from, count * sizeof (float));
}

} // namespace tavrel
