// The Windows runtime: the host's GUI thread is the message thread, and the
// host's message loop delivers the framework's messages.
#include "FrameRuntime.h"

#include <juce_events/juce_events.h>

#include <memory>
#include <mutex>

namespace tavrel::vst
{

namespace
{
    std::mutex runtimeMutex;
    int references = 0;
    std::unique_ptr<juce::ScopedJuceInitialiser_GUI> frameworkSupport;

    // Makes the calling thread the message thread, if no support is up.
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

    const std::lock_guard<std::mutex> lock (runtimeMutex);
    frameworkSupport.reset();
}

FrameRuntime::Reference::Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // Support shut down with an earlier last instance starts again here.
    if (references++ == 0)
        startFrameworkSupport();
}

FrameRuntime::Reference::~Reference()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);

    // The last instance shuts the support down while the framework's timer
    // thread can still end: at detach, under the loader lock, it could not,
    // and unloading would wait for it in vain.
    if (--references == 0)
        frameworkSupport.reset();
}

FrameRuntime::HostDrivenLoop::HostDrivenLoop() {}

FrameRuntime::HostDrivenLoop::~HostDrivenLoop() {}

int FrameRuntime::referenceCount()
{
    const std::lock_guard<std::mutex> lock (runtimeMutex);
    return references;
}

} // namespace tavrel::vst
