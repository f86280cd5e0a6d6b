#include "StereoRing.h"

#include <algorithm>
#include <cstring>

namespace tavrel
{

StereoRing::StereoRing()
    : ringLeft (new float[capacity]()),
      ringRight (new float[capacity]())
{
}

void StereoRing::clear() noexcept
{
    std::fill_n (ringLeft.get(), capacity, 0.0f);
    std::fill_n (ringRight.get(), capacity, 0.0f);
}

void StereoRing::copyRange (uint32_t from, uint32_t to, uint32_t count) noexcept
{
    std::memcpy (ringLeft.get() + to, ringLeft.get() + from, count * sizeof (float));
    std::memcpy (ringRight.get() + to, ringRight.get() + from, count * sizeof (float));
}

} // namespace tavrel
