// The Windows runtime: the thread that loaded the library (the host's GUI
// thread) is the message thread for as long as the library stays loaded, and
// the host's message loop delivers the framework's messages.
#include "FrameRuntime.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <windows.h>

#include <memory>
#include <mutex>

namespace juce
{
// The framework's hidden message window, owned by the message thread.
extern HWND juce_messageWindowHandle;
}

namespace tavrel::vst
{

namespace
{
    std::mutex runtimeMutex;
    int references = 0;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> frameworkSupport;

    // Makes the calling thread the message thread, if no support is up.
    // Only the loading thread does, at attach.
    void startFrameworkSupport()
    {
        if (frameworkSupport == nullptr)
            frameworkSupport = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
    }
}

void FrameRuntime::attachLibrary (void* moduleHandle)
{
    juce::Process::setCurrentModuleInstanceHandle (moduleHandle);

    const std::lock_guard<std::mutex> lock (runtimeMutex);
    startFrameworkSupport();
}

void FrameRuntime::detachLibrary (bool processIsTerminating)
{
    // When the process ends, its other threads are gone already and nothing
    // is left to tidy; waiting for them could only hang.
    if (processIsTerminating)
        return;

    // What is left once the last instance has gone is the message manager
    // and its hidden window: no thread to wait for under the loader lock.
    const std::lock_guard<std::mutex> lock (runtimeMutex);
    frameworkSupport.reset();
}

FrameRuntime::Reference::Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);
    ++references;
}

FrameRuntime::Reference::~Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // The last instance ends the framework's threads (its timer thread) and
    // what it keeps for windows, while they can still end: at detach, under
    // the loader lock, they could not, and unloading would wait for them in
    // vain. The message manager stays, and with it the loading thread as the
    // message thread: starting it again on whichever thread makes the next
    // instance would move the framework's messages into the queue of a
    // thread that may never pump them.
    if (--references == 0 && frameworkSupport != nullptr)
        juce::DeletedAtShutdown::deleteAll();
}

FrameRuntime::HostDrivenLoop::HostDrivenLoop() {}

FrameRuntime::HostDrivenLoop::~HostDrivenLoop() {}

// The calling thread's queue is the host's: its own windows' messages, the
// WM_QUIT it posted to end its loop, input meant for it. Dispatching them
// here would run the host's window procedures inside its call to us (which
// may close the instance under our feet), swallow its quit, and drop its
// input while a modal component of ours is up. So only the messages posted
// to the framework's hidden window are taken, and our own windows' pending
// repaints are painted; the host's loop delivers everything else.
void FrameRuntime::dispatchFrameworkMessages()
{
    MSG message;
    while (juce::juce_messageWindowHandle != nullptr
           && PeekMessageW (&message, juce::juce_messageWindowHandle, 0, 0, PM_REMOVE))
    {
        DispatchMessageW (&message);
    }

    // UpdateWindow paints through the window procedure directly, taking
    // nothing from the host's queue.
    for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
        if (auto* peer = juce::ComponentPeer::getPeer (i))
            UpdateWindow ((HWND) peer->getNativeHandle());
}

int FrameRuntime::referenceCount()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);
    return references;
}

} // namespace tavrel::vst
