#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavrel
{

// The two recording rings of a processor: by default 60 seconds at 44.1 kHz
// each, fixed in samples whatever the sample rate.
//
// The rings are reserved at construction as zero-filled virtual memory
// (RingMemory.h): construction costs no clearing, untouched positions read as
// silence, and only the span a tempo and bar count actually write becomes
// resident. The audio thread takes one minor page fault on first writing each
// page of that span, during the first pass over it; after that it only
// indexes memory. Nothing here allocates after construction.
class StereoRing
{
public:
    static constexpr uint32_t fullCapacity = 2646000;

    explicit StereoRing (uint32_t capacityInFrames = fullCapacity);
    ~StereoRing();

    StereoRing (const StereoRing&) = delete;
    StereoRing& operator= (const StereoRing&) = delete;

    uint32_t capacity() const noexcept { return frames; }

    // The writer says how far into the ring it records: every record() index
    // is below the largest length noted since the last clear().
    void noteSpanInUse (uint32_t length) noexcept
    {
        if (length > extent.load (std::memory_order_relaxed))
            extent.store (length, std::memory_order_relaxed);
    }

    // Forgets the recording, touching only the span written since the last
    // clear. The first `spanToKeep` frames stay resident (zeroed), so that
    // recording on at the same tempo takes no page faults; memory beyond them
    // is given back.
    void clear (uint32_t spanToKeep) noexcept;

    void record (uint32_t index, float left, float right) noexcept
    {
        ringLeft[index] = left;
        ringRight[index] = right;
    }

    // Copies [from, from + count) of both rings to [to, to + count); the caller
    // keeps both ranges inside the capacity and apart.
    void copyRange (uint32_t from, uint32_t to, uint32_t count) noexcept;

    const float* left() const noexcept  { return ringLeft; }
    const float* right() const noexcept { return ringRight; }

    // Frames from the start that may hold audio or be resident.
    uint32_t spanWritten() const noexcept { return extent.load (std::memory_order_relaxed); }

private:
    uint32_t frames;
    size_t channelBytes; // a whole number of pages
    float* ringLeft;
    float* ringRight;     // channelBytes after ringLeft, in the same reservation
    std::atomic<uint32_t> extent { 0 };
};

} // namespace tavrel
