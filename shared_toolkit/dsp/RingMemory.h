#pragma once

#include <cstddef>

namespace tavrel
{

// Memory for the recording rings, taken from the system as zero-filled
// virtual memory: a page becomes resident when it is first written (reading
// an untouched page gives zeros and costs no memory), so an instance holds
// only the span of the ring its tempo and bar count use, and reserving costs
// no time however large the ring's cap. Huge pages are declined: one write
// would make two megabytes resident at once.
//
// Each platform implements this in RingMemory_<platform>.cpp. Sizes are in
// bytes; give back takes whole pages, so callers align with pageSize().
namespace RingMemory
{
    size_t pageSize() noexcept;

    // Zero-filled memory of at least `bytes`; throws std::bad_alloc.
    void* reserve (size_t bytes);
    void release (void* memory, size_t bytes) noexcept;

    // Makes whole pages read as zeros again and, where the system can do so
    // safely (Linux), gives their memory back; the next write to each given
    // back page takes a page fault. `memory` and `bytes` are
    // multiples of pageSize().
    void giveBack (void* memory, size_t bytes) noexcept;
}

} // namespace tavrel
