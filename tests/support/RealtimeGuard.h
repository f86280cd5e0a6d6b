#pragma once

namespace tavrel::test
{

// Counts heap allocations and mutex locks made by the current thread while an
// instance is alive. The test program replaces the global allocation
// functions and pthread_mutex_lock to see them, so the count also covers code
// inside JUCE and inside a plug-in library loaded into the test.
class RealtimeGuard
{
public:
    RealtimeGuard();
    ~RealtimeGuard();

    RealtimeGuard (const RealtimeGuard&) = delete;
    RealtimeGuard& operator= (const RealtimeGuard&) = delete;

    int allocations() const;
    int locks() const;
};

} // namespace tavrel::test
