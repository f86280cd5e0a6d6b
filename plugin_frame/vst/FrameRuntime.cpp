#include "FrameRuntime.h"

#include "ChangeAnnouncer.h"

#include <juce_events/juce_events.h>

namespace tavrel::vst
{

void FrameRuntime::runDueTimersAndMessages()
{
    auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    if (messageManager == nullptr)
        return;

    // Parameter writes from threads other than the message thread wait for a
    // timer to post their change broadcasts; post them now, so that what is
    // delivered below includes them.
    ChangeAnnouncer::postAllPending();

    if (messageManager->isThisTheMessageThread())
    {
        dispatchFrameworkMessages();
        juce::Timer::callPendingTimersSynchronously();
        return;
    }

    // The lock is granted once the message thread has delivered everything
    // posted before it, so only the timers are left to run here.
    const juce::MessageManagerLock messageThreadLock;
    juce::Timer::callPendingTimersSynchronously();
}

} // namespace tavrel::vst
