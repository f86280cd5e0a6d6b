#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace juce
{
// Part of the framework's Linux message loop; declared there without a header.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace tavrel::test
{

// Runs the test thread's message loop (it is the message thread) until the
// condition holds or the time is up; true when the condition held.
inline bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs = 2000)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }
    return true;
}

} // namespace tavrel::test
