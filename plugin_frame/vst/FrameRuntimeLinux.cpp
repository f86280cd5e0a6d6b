// The Linux runtime: a background message thread while no editor is open.
#include "FrameRuntime.h"

#include "MessageThread.h"

#include <juce_events/juce_events.h>

#include <memory>
#include <mutex>

namespace juce
{
// Part of the framework's Linux message loop; declared there without a header.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace tavrel::vst
{

namespace
{
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
            startThread();
            running.wait (-1); // the caller may rely on the new identity at once
        }

        void stop()
        {
            if (! isThreadRunning())
                return;

            signalThreadShouldExit();
            (new WakeUpMessage())->post();
            stopThread (-1);
        }

    private:
        void run() override
        {
            MessageThread::takeHere();
            running.signal();

            // Blocks in poll() until a message or a timer's wake-up arrives.
            while (! threadShouldExit())
                juce::dispatchNextMessageOnSystemQueue (false);
        }

        juce::WaitableEvent running;
    };

    std::mutex runtimeMutex;
    int references = 0;
    int hostDrivenLoops = 0;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> frameworkSupport;
    std::unique_ptr<BackgroundMessageThread> messageThread; // none when the framework was running before us

    void takeMessageThreadHere()
    {
        MessageThread::takeHere();
    }
}

FrameRuntime::Reference::Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    if (references++ > 0)
        return;

    const bool frameworkAlreadyRunning = juce::MessageManager::getInstanceWithoutCreating() != nullptr;
    frameworkSupport = std::make_unique<juce::ScopedJuceInitialiser_GUI>();

    if (! frameworkAlreadyRunning)
    {
        messageThread = std::make_unique<BackgroundMessageThread>();
        messageThread->start();
    }
}

FrameRuntime::Reference::~Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    if (--references > 0)
        return;

    if (messageThread != nullptr)
    {
        // Shut down from the thread that is left, with nothing else dispatching.
        messageThread.reset();
        takeMessageThreadHere();
    }

    frameworkSupport.reset();
    MessageThread::forget();
}

FrameRuntime::HostDrivenLoop::HostDrivenLoop()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // A message thread that is not ours keeps its identity.
    if (++hostDrivenLoops > 1 || messageThread == nullptr)
        return;

    messageThread->stop();
    takeMessageThreadHere();
}

FrameRuntime::HostDrivenLoop::~HostDrivenLoop()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    if (--hostDrivenLoops == 0 && messageThread != nullptr)
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
