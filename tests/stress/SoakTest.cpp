// Many instances and many loads in one process: the heap, the threads and
// the open files return to where they were, and an unloaded library is
// unmapped. The sanitizer build adds LeakSanitizer's check at exit on top.
#include "LoadedPlugins.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
 #define TAVREL_SANITIZER_HEAP 1
// The sanitizers' allocator replaces glibc's, whose statistics then say nothing.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

// When a thread finds the main heap busy, malloc gives it an arena of its
// own and keeps it: tens of megabytes of address space that no leak of ours
// explains, and that appear only when threads happen to collide. One arena
// keeps the address-space check about the plug-ins' own mappings.
[[maybe_unused]] const int oneMallocArena = mallopt (M_ARENA_MAX, 1);

// Bytes the heap holds for the program, small blocks and mapped ones alike.
size_t heapBytesInUse()
{
#ifdef TAVREL_SANITIZER_HEAP
    return __sanitizer_get_current_allocated_bytes();
#else
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// The process's address space and resident memory, from /proc/self/statm.
struct Memory
{
    size_t mappedBytes = 0, residentBytes = 0;
};

Memory memoryInUse()
{
    std::ifstream statm ("/proc/self/statm");
    size_t mappedPages = 0, residentPages = 0;
    statm >> mappedPages >> residentPages;
    const auto page = (size_t) sysconf (_SC_PAGESIZE);
    return { mappedPages * page, residentPages * page };
}

int countEntries (const char* directory)
{
    int count = 0;
    if (auto* dir = opendir (directory))
    {
        while (auto* entry = readdir (dir))
            count += entry->d_name[0] != '.';
        closedir (dir);
    }
    return count;
}

// Mappings of the given file; the count of all mappings is no measure, as
// malloc maps and unmaps its arenas and large blocks as it sees fit.
int mappingsOf (const char* path)
{
    std::ifstream maps ("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline (maps, line);)
        count += line.find (path) != std::string::npos;
    return count;
}

struct ProcessFootprint
{
    size_t heapBytes = heapBytesInUse();
    size_t mappedBytes = memoryInUse().mappedBytes;
    int threads = countEntries ("/proc/self/task");
    int openFiles = countEntries ("/proc/self/fd");
};

enum class Loads { one, many };

void expectBackTo (const ProcessFootprint& before, const char* what, Loads loads)
{
    const ProcessFootprint after;
    // The sanitizer runtimes keep bookkeeping of their own for every load of
    // an instrumented library; there LeakSanitizer's check at exit judges.
    bool compareHeap = true;
#ifdef TAVREL_SANITIZER_HEAP
    compareHeap = loads == Loads::one;
#else
    (void) loads;
#endif

    // A leak of one processor or of 300 bytes per round shows well above
    // this; the framework's one-time state does not. The rings are mapped
    // apart from the heap: a leaked pair shows as 21 MB more address space.
    if (compareHeap)
    {
        EXPECT_LE (after.heapBytes, before.heapBytes + 256 * 1024) << what << ": heap grew from " << before.heapBytes;
        EXPECT_LE (after.mappedBytes, before.mappedBytes + 16 * 1024 * 1024) << what << ": address space grew from " << before.mappedBytes;
    }
    EXPECT_EQ (after.threads, before.threads) << what;
    EXPECT_EQ (after.openFiles, before.openFiles) << what;
}

// One instance's life as a host gives it: open, resume, blocks with a
// parameter write and a chunk round trip in between, suspend, close.
void liveOneInstance (const PluginLibrary& library, TestHost& host, int round)
{
    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);
    effect.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect.dispatch (effMainsChanged, 0, 1);

    host.play (120.0, 4096.0 * round);
    StereoBlock in (512, 0.25f), out (512);
    for (int block = 0; block < 3; ++block)
    {
        effect->setParameter (effect.get(), (round + block) % 4, 1.0f);
        effect.processReplacing (in.channels(), out.channels(), 512);
        host.time.samplePos += 512;
    }

    void* address = nullptr;
    const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
    if (size > 0)
    {
        std::string chunk (static_cast<const char*> (address), (size_t) size);
        effect.dispatch (effSetChunk, 0, size, chunk.data());
    }

    effect.dispatch (effMainsChanged, 0, 0);
    ASSERT_EQ (effect.close(), 1);
    host.clearNotices(); // the host's record of them would grow with every round
}

class Soak : public ::testing::TestWithParam<LoadedPlugin>
{
};

TEST_P (Soak, AThousandInstancesInOneLoadLeaveNothingBehind)
{
    TestHost host;
    PluginLibrary library { GetParam().path };
    ASSERT_TRUE (library.isLoaded());

    // Another instance stays open throughout, as in a host's project, so
    // the library's runtime stays up and only the instances come and go.
    OpenEffect resident { library.create() };
    for (int round = 0; round < 10; ++round)
        liveOneInstance (library, host, round);

    const ProcessFootprint before;
    for (int round = 10; round < 1000; ++round)
    {
        liveOneInstance (library, host, round);
        if (HasFatalFailure())
            return;
    }
    expectBackTo (before, "after 990 more instances", Loads::one);

    const auto memory = memoryInUse();
    std::printf ("%s after 1000 instances: %.1f MB resident, %.1f MB mapped\n", GetParam().name,
                 (double) memory.residentBytes / (1024.0 * 1024.0), (double) memory.mappedBytes / (1024.0 * 1024.0));
}

TEST_P (Soak, AHundredLoadsAndUnloadsLeaveNothingBehind)
{
    TestHost host;
    const auto loadUseUnload = [&] (int round)
    {
        PluginLibrary library { GetParam().path };
        ASSERT_TRUE (library.isLoaded());
        liveOneInstance (library, host, round);
    };

    loadUseUnload (0); // the process's own one-time state: locale, dynamic loader, thread caches
    const ProcessFootprint before;
    for (int round = 1; round <= 100; ++round)
    {
        loadUseUnload (round);
        if (HasFatalFailure())
            return;
        ASSERT_EQ (dlopen (GetParam().path, RTLD_NOW | RTLD_NOLOAD), nullptr) << "still loaded after round " << round;
        ASSERT_EQ (mappingsOf (GetParam().path), 0) << "still mapped after round " << round;
    }
    expectBackTo (before, "after 100 loads", Loads::many);
}

INSTANTIATE_TEST_SUITE_P (BothPlugins, Soak, ::testing::Values (zintrak, morlune), pluginName);

} // namespace
