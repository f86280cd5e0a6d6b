#include "RealtimeGuard.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <pthread.h>

#include <cstdint>
#include <cstdlib>
#include <new>

extern "C"
{
    void* __libc_memalign (size_t, size_t);
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void __libc_free (void*);
}

namespace
{
    thread_local bool watching = false;
    thread_local int allocationCount = 0;
    thread_local int lockCount = 0;

    // The loaded segments of the library a guard is limited to; none: the
    // whole thread counts.
    struct Segment { uintptr_t start, end; };
    constexpr int maxSegments = 16;
    thread_local Segment segments[maxSegments];
    thread_local int segmentCount = 0;

    bool inLibrary (const void* address) noexcept
    {
        const auto a = reinterpret_cast<uintptr_t> (address);
        for (int i = 0; i < segmentCount; ++i)
            if (a >= segments[i].start && a < segments[i].end)
                return true;
        return false;
    }

    // Whether this event counts: always for a whole-thread guard, otherwise
    // when a frame of the library is on the stack. The stack walk may itself
    // allocate (the unwinder loads on first use), so nothing is watched during it.
    bool counts() noexcept
    {
        if (! watching)
            return false;
        if (segmentCount == 0)
            return true;

        watching = false;
        void* frames[128];
        const int depth = backtrace (frames, 128);
        bool found = false;
        for (int i = 0; i < depth && ! found; ++i)
            found = inLibrary (frames[i]);
        watching = true;
        return found;
    }

    void noteAllocation() noexcept
    {
        if (counts())
            ++allocationCount;
    }

    // The loaded segments of the library (or program) whose code holds the address.
    void findSegmentsOf (const void* addressInLibrary)
    {
        segmentCount = 0;
        dl_iterate_phdr ([] (dl_phdr_info* library, size_t, void* wanted) -> int
        {
            const auto address = reinterpret_cast<uintptr_t> (wanted);
            bool holds = false;
            for (int i = 0; i < library->dlpi_phnum; ++i)
            {
                const auto& header = library->dlpi_phdr[i];
                const auto start = library->dlpi_addr + header.p_vaddr;
                holds = holds || (header.p_type == PT_LOAD && address >= start && address < start + header.p_memsz);
            }
            if (! holds)
                return 0;

            for (int i = 0; i < library->dlpi_phnum && segmentCount < maxSegments; ++i)
                if (library->dlpi_phdr[i].p_type == PT_LOAD)
                {
                    const auto start = library->dlpi_addr + library->dlpi_phdr[i].p_vaddr;
                    segments[segmentCount++] = { start, start + library->dlpi_phdr[i].p_memsz };
                }
            return 1;
        }, const_cast<void*> (addressInLibrary));
    }

    using LockFunction = int (*) (pthread_mutex_t*);
    LockFunction realMutexLock = nullptr;
    LockFunction realMutexTryLock = nullptr;

    __attribute__ ((constructor (101))) void resolveLockFunctions()
    {
        realMutexLock = (LockFunction) dlsym (RTLD_NEXT, "pthread_mutex_lock");
        realMutexTryLock = (LockFunction) dlsym (RTLD_NEXT, "pthread_mutex_trylock");
    }
}

extern "C"
{
    __attribute__ ((visibility ("default"))) void* malloc (size_t size)
    {
        noteAllocation();
        return __libc_malloc (size);
    }

    __attribute__ ((visibility ("default"))) void* calloc (size_t count, size_t size)
    {
        noteAllocation();
        return __libc_calloc (count, size);
    }

    __attribute__ ((visibility ("default"))) void* realloc (void* block, size_t size)
    {
        noteAllocation();
        return __libc_realloc (block, size);
    }

    __attribute__ ((visibility ("default"))) void free (void* block)
    {
        __libc_free (block);
    }

    __attribute__ ((visibility ("default"))) int pthread_mutex_lock (pthread_mutex_t* mutex)
    {
        if (counts())
            ++lockCount;
        return realMutexLock (mutex);
    }

    __attribute__ ((visibility ("default"))) int pthread_mutex_trylock (pthread_mutex_t* mutex)
    {
        if (counts())
            ++lockCount;
        return realMutexTryLock (mutex);
    }
}

// operator new and delete of libstdc++ end in malloc and free, which are
// counted above; replacing them as well keeps the count independent of that.
void* operator new (size_t size)
{
    noteAllocation();
    if (void* p = __libc_malloc (size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new[] (size_t size) { return operator new (size); }
void* operator new (size_t size, const std::nothrow_t&) noexcept
{
    noteAllocation();
    return __libc_malloc (size ? size : 1);
}
void* operator new[] (size_t size, const std::nothrow_t& tag) noexcept { return operator new (size, tag); }
void* operator new (size_t size, std::align_val_t alignment)
{
    noteAllocation();
    if (void* p = __libc_memalign ((size_t) alignment, size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[] (size_t size, std::align_val_t alignment) { return operator new (size, alignment); }
void operator delete (void* p, std::align_val_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, std::align_val_t) noexcept { __libc_free (p); }
void operator delete (void* p, size_t, std::align_val_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t, std::align_val_t) noexcept { __libc_free (p); }
void operator delete (void* p) noexcept { __libc_free (p); }
void operator delete[] (void* p) noexcept { __libc_free (p); }
void operator delete (void* p, size_t) noexcept { __libc_free (p); }
void operator delete[] (void* p, size_t) noexcept { __libc_free (p); }

namespace tavrel::test
{

RealtimeGuard::RealtimeGuard()
{
    segmentCount = 0;
    allocationCount = 0;
    lockCount = 0;
    watching = true;
}

RealtimeGuard::RealtimeGuard (const void* addressInLibrary)
{
    findSegmentsOf (addressInLibrary);
    if (segmentCount == 0)
        std::abort(); // not a loaded library: nothing could ever count
    allocationCount = 0;
    lockCount = 0;
    watching = true;
}

RealtimeGuard::~RealtimeGuard()
{
    watching = false;
    segmentCount = 0;
}

int RealtimeGuard::allocations() const { return allocationCount; }
int RealtimeGuard::locks() const { return lockCount; }

} // namespace tavrel::test
