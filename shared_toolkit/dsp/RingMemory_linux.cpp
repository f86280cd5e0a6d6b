#include "RingMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <new>

namespace tavrel
{

size_t RingMemory::pageSize() noexcept
{
    static const size_t size = (size_t) sysconf (_SC_PAGESIZE);
    return size;
}

void* RingMemory::reserve (size_t bytes)
{
    // Private anonymous pages read as zeros until written. No swap space is
    // set aside for the untouched part, which most instances never write.
    void* memory = mmap (nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();

    madvise (memory, bytes, MADV_NOHUGEPAGE);
    return memory;
}

void RingMemory::release (void* memory, size_t bytes) noexcept
{
    munmap (memory, bytes);
}

void RingMemory::giveBack (void* memory, size_t bytes) noexcept
{
    // Private anonymous pages read as zeros after this, as when reserved.
    madvise (memory, bytes, MADV_DONTNEED);
}

} // namespace tavrel
