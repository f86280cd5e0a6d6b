#pragma once

#include <cstdint>
#include <memory>

namespace tavrel
{

// The two recording rings of a processor: 60 seconds at 44.1 kHz each, fixed
// in samples whatever the sample rate. Allocated and zeroed once, at
// construction; the audio path only indexes them.
class StereoRing
{
public:
    static constexpr uint32_t capacity = 2646000;

    StereoRing();

    void clear() noexcept;

    void record (uint32_t index, float left, float right) noexcept
    {
        ringLeft[index] = left;
        ringRight[index] = right;
    }

    // Copies [from, from + count) of both rings to [to, to + count); the caller
    // keeps both ranges inside the capacity and apart.
    void copyRange (uint32_t from, uint32_t to, uint32_t count) noexcept;

    const float* left() const noexcept  { return ringLeft.get(); }
    const float* right() const noexcept { return ringRight.get(); }

private:
    std::unique_ptr<float[]> ringLeft, ringRight;
};

} // namespace tavrel
