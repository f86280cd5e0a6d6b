#include "RingMemory.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace tavrel
{

size_t RingMemory::pageSize() noexcept
{
    SYSTEM_INFO info;
    GetSystemInfo (&info);
    return (size_t) info.dwPageSize;
}

void* RingMemory::reserve (size_t bytes)
{
    // Committed pages read as zeros and join the working set only when
    // touched; the commit charge is the whole size, the memory in use is not.
    void* memory = VirtualAlloc (nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

void RingMemory::release (void* memory, size_t) noexcept
{
    VirtualFree (memory, 0, MEM_RELEASE);
}

void RingMemory::giveBack (void* memory, size_t bytes) noexcept
{
    // MEM_RESET may keep what the pages held, and decommitting then
    // committing again can fail halfway when the system runs short, leaving
    // pages the audio thread would fault on. Zeroing keeps them committed.
    std::memset (memory, 0, bytes);
}

} // namespace tavrel
