#pragma once

#include <juce_events/juce_events.h>

namespace tavrel::test
{

// Counts the change broadcasts delivered to it. Broadcasts posted before a
// delivery arrive as one, so tests deliver after each write they count.
struct BroadcastCounter : juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

} // namespace tavrel::test
