#include "ChangeAnnouncer.h"

#include "MessageThread.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace tavrel
{

namespace
{
    struct PollTimer : juce::Timer
    {
        void timerCallback() override { ChangeAnnouncer::postAllPending(); }
    };

    // Every live announcer, and the timer that polls them while there is any.
    struct Registry
    {
        std::vector<ChangeAnnouncer*> announcers;
        PollTimer pollTimer;
    };

    // Made with the first announcer and deleted with the last, never by a
    // static destructor: a host that ends its process with instances open
    // may still call them while the exit handlers run. Changed only when
    // processors are made and destroyed, never on the audio thread.
    std::mutex registryMutex;
    Registry* registry = nullptr;
}

ChangeAnnouncer::ChangeAnnouncer (juce::ChangeBroadcaster& broadcasterToUse)
    : broadcaster (broadcasterToUse)
{
    const std::lock_guard<std::mutex> lock (registryMutex);

    if (registry == nullptr)
    {
        registry = new Registry();
        registry->pollTimer.startTimer (pollIntervalMs);
    }

    registry->announcers.push_back (this);
}

ChangeAnnouncer::~ChangeAnnouncer()
{
    std::unique_ptr<Registry> lastRegistry;
    {
        const std::lock_guard<std::mutex> lock (registryMutex);
        auto& announcers = registry->announcers;
        announcers.erase (std::remove (announcers.begin(), announcers.end(), this), announcers.end());
        if (announcers.empty())
            lastRegistry.reset (std::exchange (registry, nullptr));
    }
    // Its timer is stopped outside the lock: the callback takes the lock too.
    lastRegistry.reset();
}

void ChangeAnnouncer::announce() noexcept
{
    // This test takes no lock, and stays right while the frame moves the
    // message thread.
    if (MessageThread::isCurrent())
        broadcaster.sendChangeMessage();
    else
        pending.store (true, std::memory_order_relaxed);
}

void ChangeAnnouncer::postAllPending()
{
    const std::lock_guard<std::mutex> lock (registryMutex);
    if (registry != nullptr)
        for (auto* announcer : registry->announcers)
            announcer->postIfPending();
}

void ChangeAnnouncer::postIfPending()
{
    if (pending.exchange (false, std::memory_order_relaxed))
        broadcaster.sendChangeMessage();
}

} // namespace tavrel
