// What only a loaded library shows: its audio path allocates nothing and
// takes only the processing lock, change broadcasts reach their listeners on
// the library's own message thread, and it loads and unloads without trace.
#include "RealtimeGuard.h"
#include "TestHost.h"
#include "ThreadCount.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

TEST (ZintrakRealtime, TheBlockAllocatesNothingAndTakesOnlyTheProcessingLock)
{
    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);

    host.play (120.0);
    effect->setParameter (effect.get(), 2, 1.0f); // Random: voices start at every boundary
    effect->setParameter (effect.get(), 15, 1.0f); // 32 slices per bar
    effect.dispatch (effMainsChanged, 0, 1);

    StereoBlock in (512, 0.25f), out (512);
    for (int block = 0; block < 4; ++block) // warm up outside the guard
        effect.processReplacing (in.channels(), out.channels(), 512);

    for (int block = 0; block < 200; ++block)
    {
        host.time.samplePos += 512;
        RealtimeGuard guard;
        effect.processReplacing (in.channels(), out.channels(), 512);
        ASSERT_EQ (guard.allocations(), 0) << "block " << block;
        ASSERT_EQ (guard.locks(), 1) << "block " << block;
    }

    // A block that resumes by itself is no different.
    effect.dispatch (effMainsChanged, 0, 0);
    {
        RealtimeGuard guard;
        effect.processReplacing (in.channels(), out.channels(), 512);
        EXPECT_EQ (guard.allocations(), 0);
        EXPECT_EQ (guard.locks(), 1);
    }
}

// The probe library's processor answers a write to parameter 0 with a
// host-notifying write of the same value to parameter 1, from its change
// listener, that is on the library's message thread.
TEST (PluginMessageThread, ChangeBroadcastsArriveWithoutAnEditor)
{
    TestHost host;
    PluginLibrary library { PROBE_PLUGIN_PATH };
    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);

    for (int round = 1; round <= 3; ++round)
    {
        host.clearNotices();
        effect->setParameter (effect.get(), 0, 0.25f * (float) round);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (2);
        while (host.automateCount == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));

        std::this_thread::sleep_for (std::chrono::milliseconds (20)); // a second notice would be a fault
        EXPECT_EQ (effect->getParameter (effect.get(), 1), 0.25f * (float) round);
        const auto notices = host.notices();
        ASSERT_EQ (notices.size(), 1u) << "round " << round;
        EXPECT_EQ (notices[0].index, 1);
        EXPECT_EQ (notices[0].value, 0.25f * (float) round);
        EXPECT_FALSE (notices[0].fromCallingThread) << "delivered on the library's message thread";
    }
}

TEST (PluginMessageThread, IdleDeliversWhatIsPendingBeforeItReplies)
{
    TestHost host;
    PluginLibrary library { PROBE_PLUGIN_PATH };
    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);

    for (int round = 1; round <= 20; ++round)
    {
        host.clearNotices();
        const float value = 0.01f * (float) round;
        effect->setParameter (effect.get(), 0, value);
        EXPECT_EQ (effect.dispatch (effEditIdle), 0);
        ASSERT_EQ (effect->getParameter (effect.get(), 1), value) << "round " << round;
        ASSERT_EQ (host.notices().size(), 1u) << "round " << round;
    }
}

TEST (PluginMessageThread, InstancesShareTheLibrarysMessageThread)
{
    TestHost host;
    PluginLibrary library { PROBE_PLUGIN_PATH };
    OpenEffect first { library.create() };
    {
        OpenEffect second { library.create() };
        second->setParameter (second.get(), 0, 0.5f);
        second.dispatch (effEditIdle);
        EXPECT_EQ (second->getParameter (second.get(), 1), 0.5f);
    }

    // The first instance keeps its message thread after the second closed.
    first->setParameter (first.get(), 0, 0.75f);
    first.dispatch (effEditIdle);
    EXPECT_EQ (first->getParameter (first.get(), 1), 0.75f);
}

TEST (PluginMessageThread, TheSlicersListenerAnnouncesAHostWriteFromTheMessageThread)
{
    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);
    effect.dispatch (effEditIdle); // whatever the listener says about the initial state
    host.clearNotices();

    effect->setParameter (effect.get(), 3, 1.0f); // "Skip 2nd"
    effect.dispatch (effEditIdle);

    const auto notices = host.notices();
    ASSERT_FALSE (notices.empty());
    EXPECT_NE (std::find (notices.begin(), notices.end(), TestHost::Notice { 3, 1.0f, false }), notices.end());
    for (const auto& notice : notices)
        EXPECT_FALSE (notice.fromCallingThread) << "index " << notice.index;
}

void playOneSession (const char* path, int iteration)
{
    TestHost host;
    host.play (120.0, 512.0 * iteration);
    PluginLibrary library { path };
    ASSERT_TRUE (library.isLoaded());

    OpenEffect effect { library.create() };
    ASSERT_NE (effect.get(), nullptr);
    effect.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect.dispatch (effMainsChanged, 0, 1);

    StereoBlock in (256, 0.1f), out (256);
    for (int block = 0; block < 4; ++block)
        effect.processReplacing (in.channels(), out.channels(), 256);

    effect->setParameter (effect.get(), 0, 1.0f); // a change broadcast left pending at close
    void* chunk = nullptr;
    effect.dispatch (effGetChunk, 0, 0, &chunk); // and a chunk left for the timer
    effect.dispatch (effMainsChanged, 0, 0);
    ASSERT_EQ (effect.close(), 1);
}

TEST (PluginLibraryLifetime, LoadsAndUnloadsManyTimes)
{
    for (const char* path : { ZINTRAK_PATH, PROBE_PLUGIN_PATH })
    {
        for (int iteration = 0; iteration < 60; ++iteration)
        {
            playOneSession (path, iteration);
            ASSERT_EQ (dlopen (path, RTLD_NOW | RTLD_NOLOAD), nullptr)
                << path << " still loaded after round " << iteration;
        }
    }
}

TEST (PluginLibraryLifetime, AnInstanceMadeAndClosedLeavesNoThreadBehind)
{

    const int before = threadCount();
    {
        TestHost host;
        PluginLibrary library { ZINTRAK_PATH };
        OpenEffect effect { library.create() };
        EXPECT_GT (threadCount(), before) << "the library runs its message loop";
        effect.close();
        EXPECT_EQ (threadCount(), before);
    }
    EXPECT_EQ (threadCount(), before);
}

} // namespace
