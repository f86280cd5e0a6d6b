#include "ChangeAnnouncer.h"

#include "MessageThread.h"

#include <algorithm>
#include <memory>
#include <mutex>
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
    // Changed only when processors are made and destroyed, never on the audio
    // thread.
    std::mutex registryMutex;
    std::vector<ChangeAnnouncer*> announcers;
    std::unique_ptr<PollTimer> pollTimer;
}

ChangeAnnouncer::ChangeAnnouncer (juce::ChangeBroadcaster& broadcasterToUse)
    : broadcaster (broadcasterToUse)
{
    const std::lock_guard<std::mutex> lock (registryMutex);
    announcers.push_back (this);

    if (pollTimer == nullptr)
    {
        pollTimer = std::make_unique<PollTimer>();
        pollTimer->startTimer (pollIntervalMs);
    }
}

ChangeAnnouncer::~ChangeAnnouncer()
{
    std::unique_ptr<PollTimer> lastTimer;
    {
        const std::lock_guard<std::mutex> lock (registryMutex);
        announcers.erase (std::remove (announcers.begin(), announcers.end(), this), announcers.end());
        if (announcers.empty())
            lastTimer = std::move (pollTimer);
    }
    // Stopped outside the lock: its callback takes the lock too.
    lastTimer.reset();
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
    for (auto* announcer : announcers)
        announcer->postIfPending();
}

void ChangeAnnouncer::postIfPending()
{
    if (pending.exchange (false, std::memory_order_relaxed))
        broadcaster.sendChangeMessage();
}

} // namespace tavrel
