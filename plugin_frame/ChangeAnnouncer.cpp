#include "ChangeAnnouncer.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace tavrel
{

namespace
{
    // Every live announcer; changed only when processors are made and
    // destroyed, never on the audio thread.
    std::mutex registryMutex;
    std::vector<ChangeAnnouncer*>& registry()
    {
        static std::vector<ChangeAnnouncer*> announcers;
        return announcers;
    }
}

ChangeAnnouncer::ChangeAnnouncer (juce::ChangeBroadcaster& broadcasterToUse)
    : broadcaster (broadcasterToUse)
{
    {
        const std::lock_guard<std::mutex> lock (registryMutex);
        registry().push_back (this);
    }
    startTimer (pollIntervalMs);
}

ChangeAnnouncer::~ChangeAnnouncer()
{
    stopTimer();
    const std::lock_guard<std::mutex> lock (registryMutex);
    auto& announcers = registry();
    announcers.erase (std::remove (announcers.begin(), announcers.end(), this), announcers.end());
}

void ChangeAnnouncer::announce() noexcept
{
    // Unlike isThisTheMessageThread(), this test takes no lock.
    const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();

    if (messageManager != nullptr && messageManager->currentThreadHasLockedMessageManager())
        broadcaster.sendChangeMessage();
    else
        pending.store (true, std::memory_order_relaxed);
}

void ChangeAnnouncer::postAllPending()
{
    const std::lock_guard<std::mutex> lock (registryMutex);
    for (auto* announcer : registry())
        announcer->postIfPending();
}

void ChangeAnnouncer::timerCallback()
{
    postIfPending();
}

void ChangeAnnouncer::postIfPending()
{
    if (pending.exchange (false, std::memory_order_relaxed))
        broadcaster.sendChangeMessage();
}

} // namespace tavrel
