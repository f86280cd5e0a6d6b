// What only the Windows build shows: the thread that loaded the library is
// its message thread, and the framework's messages (change broadcasts, the
// timer that announces writes from other threads) wait in that thread's
// queue until the host pumps it, or until its idle call.
#include "MessagePump.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

bool contains (const std::vector<TestHost::Notice>& notices, TestHost::Notice wanted)
{
    return std::find (notices.begin(), notices.end(), wanted) != notices.end();
}

// A window of the host's own, and the messages it and its loop post to
// themselves: they are the host's to deliver, whatever the plug-in does.
constexpr UINT hostWindowMessage = WM_APP + 1;
constexpr UINT hostThreadMessage = WM_APP + 2;

class HostMessageWindow
{
public:
    HostMessageWindow()
    {
        WNDCLASSA windowClass {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA (nullptr);
        windowClass.lpszClassName = "TavrelHostMessages";
        RegisterClassA (&windowClass);
        handle = CreateWindowExA (0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
        calls = 0;
    }

    ~HostMessageWindow() { DestroyWindow (handle); }

    HWND handle = nullptr;
    static inline int calls = 0; // of hostWindowMessage

private:
    static LRESULT CALLBACK procedure (HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == hostWindowMessage)
            ++calls;
        return DefWindowProcA (window, message, wParam, lParam);
    }
};

// What the host will find in its queue: its own messages, in order; the
// framework's are handed on as a host's loop would.
std::vector<UINT> takeTheHostsMessages()
{
    std::vector<UINT> taken;
    MSG message;
    while (PeekMessageA (&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.message == hostWindowMessage || message.message == hostThreadMessage || message.message == WM_QUIT)
            taken.push_back (message.message);
        else
            DispatchMessageA (&message);
    }
    return taken;
}

struct Announcement
{
    const char* plugin;
    int index; // a radio-group toggle; toggle 0, "Bypass", is in the same group
};

class HiddenListener : public ::testing::TestWithParam<Announcement>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (library.isLoaded());
        ASSERT_NE (effect.get(), nullptr);
        pumpMessagesFor (50); // whatever is said about the initial state
        host.clearNotices();
    }

    void expectTheGroupAnnounced()
    {
        const auto& row = GetParam();
        const auto notices = host.notices();
        EXPECT_TRUE (contains (notices, { row.index, 1.0f, true }));
        EXPECT_TRUE (contains (notices, { 0, 0.0f, true })) << "the whole group is announced";
        for (const auto& notice : notices)
            EXPECT_TRUE (notice.fromCallingThread) << "index " << notice.index << ": not on the loading thread";
    }

    TestHost host;
    PluginLibrary library { GetParam().plugin };
    OpenEffect effect { library.create() };
};

TEST_P (HiddenListener, AnnouncesAWriteOfTheLoadingThreadWhenTheHostPumps)
{
    const auto& row = GetParam();
    effect->setParameter (effect.get(), row.index, 1.0f);
    EXPECT_EQ (host.automateCount, 0) << "delivered before the host pumped its messages";

    ASSERT_TRUE (pumpMessagesUntil ([this] { return host.automateCount > 0; }));
    pumpMessages();
    expectTheGroupAnnounced();
}

TEST_P (HiddenListener, AnnouncesAWriteOfAnotherThreadWhenTheHostPumps)
{
    const auto& row = GetParam();
    std::thread audioThread ([&] { effect->setParameter (effect.get(), row.index, 1.0f); });
    audioThread.join();

    ASSERT_TRUE (pumpMessagesUntil ([this] { return host.automateCount > 0; }));
    pumpMessages();
    expectTheGroupAnnounced();
}

TEST_P (HiddenListener, IdleDeliversWhatIsPendingBeforeItReplies)
{
    const auto& row = GetParam();
    effect->setParameter (effect.get(), row.index, 1.0f);
    EXPECT_EQ (effect.dispatch (effEditIdle), 0);
    expectTheGroupAnnounced();
}

// The idle request runs the framework's own work only: a message the host
// posted to its window or its thread, and the WM_QUIT that ends its loop,
// stay in its queue, in order, and its window procedure does not run inside
// our call.
TEST_P (HiddenListener, IdleLeavesTheHostsOwnMessagesInItsQueue)
{
    HostMessageWindow hostWindow;
    ASSERT_NE (hostWindow.handle, nullptr);
    const auto thread = GetCurrentThreadId();

    effect->setParameter (effect.get(), GetParam().index, 1.0f);
    ASSERT_TRUE (PostMessageA (hostWindow.handle, hostWindowMessage, 0, 0));
    ASSERT_TRUE (PostThreadMessageA (thread, hostThreadMessage, 0, 0));
    ASSERT_TRUE (PostThreadMessageA (thread, WM_QUIT, 0, 0));

    EXPECT_EQ (effect.dispatch (effEditIdle), 0);
    EXPECT_EQ (HostMessageWindow::calls, 0) << "the host's window procedure ran inside the idle request";
    expectTheGroupAnnounced();

    EXPECT_EQ (takeTheHostsMessages(), (std::vector<UINT> { hostWindowMessage, hostThreadMessage, WM_QUIT }));
}

INSTANTIATE_TEST_SUITE_P (Plugins, HiddenListener,
                          ::testing::Values (Announcement { ZINTRAK_PATH, 3 }, // "Skip 2nd"
                                             Announcement { MORLUNE_PATH, 1 })); // "Loop"

// The host may call main on another thread than the one that loaded the
// library: the loading thread stays the message thread.
TEST (LibraryAttach, TheLoadingThreadStaysTheMessageThread)
{
    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    AEffect* record = nullptr;
    std::thread otherThread ([&] { record = library.create(); });
    otherThread.join();
    OpenEffect effect { record };
    ASSERT_NE (effect.get(), nullptr);
    pumpMessagesFor (50);
    host.clearNotices();

    effect->setParameter (effect.get(), 3, 1.0f);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return host.automateCount > 0; }));
    for (const auto& notice : host.notices())
        EXPECT_TRUE (notice.fromCallingThread) << "index " << notice.index << ": not on the loading thread";
}

// A host that closes every instance and makes the next one on a worker
// thread: the loading thread is still the message thread, so a write from
// yet another thread (announced through the adapter's timer, which also
// frees a held chunk) reaches the host through the loading thread's pumping
// and idle calls, and a chunk request there waits for no one.
TEST (LibraryAttach, TheLoadingThreadStaysTheMessageThreadAfterTheLastInstanceClosed)
{
    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    {
        OpenEffect first { library.create() };
        ASSERT_NE (first.get(), nullptr);
        pumpMessagesFor (20);
    }

    AEffect* record = nullptr;
    std::thread worker ([&] { record = library.create(); });
    worker.join();
    OpenEffect effect { record };
    ASSERT_NE (effect.get(), nullptr);
    pumpMessagesFor (50);
    host.clearNotices();

    std::thread audioThread ([&] { effect->setParameter (effect.get(), 3, 1.0f); });
    audioThread.join();
    ASSERT_TRUE (pumpMessagesUntil ([&] { return host.automateCount > 0; }))
        << "the framework's messages went to the worker's queue";
    for (const auto& notice : host.notices())
        EXPECT_TRUE (notice.fromCallingThread) << "index " << notice.index << ": not on the loading thread";

    host.clearNotices();
    std::thread secondWrite ([&] { effect->setParameter (effect.get(), 4, 1.0f); });
    secondWrite.join();
    EXPECT_TRUE (idleUntil (effect, [&] { return host.automateCount > 0; }));

    void* chunk = nullptr;
    EXPECT_GT (effect.dispatch (effGetChunk, 0, 0, &chunk), 0);
    EXPECT_NE (chunk, nullptr);
}

// Loading, opening, closing and unloading again and again, as a host that
// scans its plug-ins does, leaves the process able to do it once more.
TEST (LibraryLifetime, LoadsAndUnloadsRepeatedly)
{
    TestHost host;
    for (int round = 0; round < 5; ++round)
    {
        PluginLibrary library { round % 2 == 0 ? ZINTRAK_PATH : MORLUNE_PATH };
        ASSERT_TRUE (library.isLoaded()) << "round " << round;
        OpenEffect effect { library.create() };
        ASSERT_NE (effect.get(), nullptr) << "round " << round;
        effect.dispatch (effMainsChanged, 0, 1);
        StereoBlock in (512, 0.5f), out (512);
        effect.processReplacing (in.channels(), out.channels(), 512);
        pumpMessages();
        EXPECT_EQ (effect.close(), 1);
    }
}

} // namespace
