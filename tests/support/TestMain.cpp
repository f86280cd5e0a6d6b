#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// Every test runs on the thread that owns the message manager, so change
// broadcasts can be delivered with dispatchPendingMessages().
int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
