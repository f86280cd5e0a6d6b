#include "MessageThread.h"

#include <juce_events/juce_events.h>

#include <atomic>

namespace tavrel::MessageThread
{

namespace
{
    std::atomic<juce::Thread::ThreadID> recorded { nullptr };
}

void takeHere()
{
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    recorded.store (juce::Thread::getCurrentThreadId(), std::memory_order_relaxed);
}

void forget() noexcept
{
    recorded.store (nullptr, std::memory_order_relaxed);
}

bool isCurrent() noexcept
{
    if (const auto messageThread = recorded.load (std::memory_order_relaxed))
        return messageThread == juce::Thread::getCurrentThreadId();

    const auto* messageManager = juce::MessageManager::getInstanceWithoutCreating();
    return messageManager != nullptr && messageManager->currentThreadHasLockedMessageManager();
}

} // namespace tavrel::MessageThread
