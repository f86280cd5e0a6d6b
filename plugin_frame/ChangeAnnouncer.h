#pragma once

#include <juce_events/juce_events.h>

#include <atomic>

namespace tavrel
{

// Posts a processor's change broadcasts from whatever thread a parameter write
// arrives on. Posting into the framework's message queue allocates and locks,
// which the host's audio thread (where automation plays back) must never do:
// there the write only raises a flag, and one timer on the message thread,
// shared by every instance, turns raised flags into broadcasts within a few
// milliseconds. On the message thread the broadcast is posted at once.
class ChangeAnnouncer
{
public:
    static constexpr int pollIntervalMs = 10;

    explicit ChangeAnnouncer (juce::ChangeBroadcaster& broadcasterToUse);
    ~ChangeAnnouncer();

    ChangeAnnouncer (const ChangeAnnouncer&) = delete;
    ChangeAnnouncer& operator= (const ChangeAnnouncer&) = delete;

    void announce() noexcept;

    // Posts every raised flag of every instance now, so that a host's idle
    // call delivers what its writes changed without waiting for the timer.
    // Not for the audio thread.
    static void postAllPending();

private:
    void postIfPending();

    juce::ChangeBroadcaster& broadcaster;
    std::atomic<bool> pending { false };
};

} // namespace tavrel
