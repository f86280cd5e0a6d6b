#include "RealtimeGuard.h"

#include <dlfcn.h>
#include <pthread.h>

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

    void noteAllocation() noexcept
    {
        if (watching)
            ++allocationCount;
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
        if (watching)
            ++lockCount;
        return realMutexLock (mutex);
    }

    __attribute__ ((visibility ("default"))) int pthread_mutex_trylock (pthread_mutex_t* mutex)
    {
        if (watching)
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
    allocationCount = 0;
    lockCount = 0;
    watching = true;
}

RealtimeGuard::~RealtimeGuard() { watching = false; }

int RealtimeGuard::allocations() const { return allocationCount; }
int RealtimeGuard::locks() const { return lockCount; }

} // namespace tavrel::test
