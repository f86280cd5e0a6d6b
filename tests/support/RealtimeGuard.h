#pragma once

namespace tavrel::test
{

// Counts heap allocations and mutex locks made by the current thread while an
// instance is alive. The test program replaces the global allocation
// functions and pthread_mutex_lock to see them, so the count also covers code
// inside JUCE and inside a plug-in library loaded into the test.
//
// A guard given an address inside a loaded library counts only what happens
// while that library's code is on the thread's stack: the plug-in's share of
// a block that an independent host drives, apart from the host's own work
// around it (its parameter queues, its event lists). Such a guard walks the
// stack at every allocation and lock, so it belongs in tests, not benchmarks.
class RealtimeGuard
{
public:
    RealtimeGuard();
    explicit RealtimeGuard (const void* addressInLibrary);
    ~RealtimeGuard();

    RealtimeGuard (const RealtimeGuard&) = delete;
    RealtimeGuard& operator= (const RealtimeGuard&) = delete;

    int allocations() const;
    int locks() const;
};

} // namespace tavrel::test
