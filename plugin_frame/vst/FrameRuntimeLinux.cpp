// The Linux runtime: a background message thread while no editor is open.
//
// A host may end its process (exit) with instances still open, or unload the
// library under one. Both used to crash: the runtime's state lived in static
// objects, whose destructors shut the framework down from the process's exit
// handlers, after the framework's own function-local statics (the list of
// DeletedAtShutdown objects, the holder of the current-thread records) were
// already destroyed, and while the background thread still delivered
// messages. One of those was the asynchronous start of the framework's timer
// thread, pending since the first timer was started: the new thread read the
// destroyed holder and died. So here:
// - the state has no destructor; what an open instance holds at exit is left
//   to the end of the process;
// - an exit handler, registered once the framework is up (so it runs before
//   the destructors of the framework's statics), parks the background thread
//   after its current message: nothing of ours runs from then on, and the
//   thread keeps the framework's current-thread holder alive for any thread
//   still starting;
// - while any instance is open the library holds a reference to itself, so
//   a host's dlclose cannot unmap code that its instances and our threads
//   still run.
#include "FrameRuntime.h"

#include "MessageThread.h"

#include <juce_events/juce_events.h>

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

extern "C" int __cxa_atexit (void (*function) (void*), void* argument, void* library);
extern "C" void* __dso_handle; // this library's own handle, from the C runtime

namespace juce
{
// Part of the framework's Linux message loop; declared there without a header.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace tavrel::vst
{

namespace
{
    // How long the exit handler waits for the message thread to finish the
    // message it delivers; a delivery blocked in a quitting host gives up.
    constexpr int exitParkTimeoutMilliseconds = 2000;

    // Wakes a message loop that sleeps in poll(), so it notices it should stop.
    struct WakeUpMessage : juce::CallbackMessage
    {
        void messageCallback() override {}
    };

    class BackgroundMessageThread : private juce::Thread
    {
    public:
        BackgroundMessageThread() : juce::Thread ("Tavrel Message Thread") {}

        ~BackgroundMessageThread() override { stop(); }

        void start()
        {
            if (isThreadRunning())
                return;

            running.reset();
            left.reset();
            startThread();
            running.wait (-1); // the caller may rely on the new identity at once
        }

        void stop()
        {
            // A parked thread never ends: there is nothing to wait for.
            if (! isThreadRunning() || parkWhenLeaving.load (std::memory_order_relaxed))
                return;

            askToLeaveLoop();

            // The framework's own stopThread looks every 2 ms whether the
            // thread has ended, and every instance a host makes stops this
            // thread once (HostDrivenLoop): that wait was nearly all of an
            // instance's start-up. The thread says when it has left its
            // loop; what remains of its end takes microseconds.
            left.wait (-1);
            while (isThreadRunning())
                std::this_thread::yield();
        }

        // At process exit: the thread finishes the message it delivers, then
        // waits for the end of the process without touching anything.
        void park()
        {
            if (! isThreadRunning())
                return;

            parkWhenLeaving.store (true, std::memory_order_relaxed);
            askToLeaveLoop();
            parked.wait (exitParkTimeoutMilliseconds);
        }

    private:
        void askToLeaveLoop()
        {
            signalThreadShouldExit();
            (new WakeUpMessage())->post();
        }

        void run() override
        {
            MessageThread::takeHere();
            running.signal();

            // Blocks in poll() until a message or a timer's wake-up arrives.
            while (! threadShouldExit())
                juce::dispatchNextMessageOnSystemQueue (false);

            left.signal();

            if (parkWhenLeaving.load (std::memory_order_relaxed))
            {
                parked.signal();
                juce::WaitableEvent().wait (-1);
            }
        }

        juce::WaitableEvent running, left, parked;
        std::atomic<bool> parkWhenLeaving { false };
    };

    // Trivially destructible on purpose: nothing here runs at exit. The
    // objects are made with the first reference and deleted with the last.
    std::mutex runtimeMutex;
    int references = 0;
    int hostDrivenLoops = 0;
    bool processIsExiting = false;
    bool exitHandlerRegistered = false;
    juce::ScopedJuceInitialiser_GUI* frameworkSupport = nullptr;
    BackgroundMessageThread* messageThread = nullptr; // none when the framework was running before us
    void* libraryHold = nullptr;

    void takeMessageThreadHere()
    {
        MessageThread::takeHere();
    }

    void parkForExit()
    {
        const std::lock_guard<std::mutex> lock (runtimeMutex);
        if (messageThread == nullptr)
            return;

        processIsExiting = true;
        messageThread->park();
    }

    // Run by exit() and by the dlclose that unloads this library (which,
    // with the hold below, only comes once every instance has closed).
    // Registered for this library by name: a plain atexit, as sanitizers
    // intercept it, would outlive the library and be called after it is
    // unloaded.
    void registerExitHandler()
    {
        if (! exitHandlerRegistered)
            exitHandlerRegistered = __cxa_atexit ([] (void*) { parkForExit(); }, nullptr, &__dso_handle) == 0;
    }

    // A reference to this library of its own, as long as instances live.
    void* holdThisLibrary()
    {
        Dl_info info {};
        if (dladdr (reinterpret_cast<void*> (&holdThisLibrary), &info) == 0 || info.dli_fname == nullptr)
            return nullptr;

        return dlopen (info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    }
}

FrameRuntime::Reference::Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    if (references++ > 0 || processIsExiting)
        return;

    const bool frameworkAlreadyRunning = juce::MessageManager::getInstanceWithoutCreating() != nullptr;
    frameworkSupport = new juce::ScopedJuceInitialiser_GUI();

    if (! frameworkAlreadyRunning)
    {
        libraryHold = holdThisLibrary();
        messageThread = new BackgroundMessageThread();
        messageThread->start();
        registerExitHandler();
    }
}

FrameRuntime::Reference::~Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // A process that is ending keeps what it has: its threads are parked.
    if (--references > 0 || processIsExiting)
        return;

    if (messageThread != nullptr)
    {
        // Shut down from the thread that is left, with nothing else dispatching.
        delete messageThread;
        messageThread = nullptr;
        takeMessageThreadHere();
    }

    delete frameworkSupport;
    frameworkSupport = nullptr;
    MessageThread::forget();

    // The host still holds the library it calls us through.
    if (libraryHold != nullptr)
        dlclose (std::exchange (libraryHold, nullptr));
}

FrameRuntime::HostDrivenLoop::HostDrivenLoop()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // A message thread that is not ours keeps its identity.
    if (++hostDrivenLoops > 1 || messageThread == nullptr || processIsExiting)
        return;

    messageThread->stop();
    takeMessageThreadHere();
}

FrameRuntime::HostDrivenLoop::~HostDrivenLoop()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    if (--hostDrivenLoops == 0 && messageThread != nullptr && ! processIsExiting)
        messageThread->start();
}

int FrameRuntime::referenceCount()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);
    return references;
}

void FrameRuntime::dispatchFrameworkMessages()
{
    // The framework's Linux queue holds only its own messages and the events
    // of its own X connection.
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}

} // namespace tavrel::vst
