#pragma once

#include "VstInterface.h"

#include <windows.h>

#include <functional>

namespace tavrel::test
{

// What a Windows host's GUI loop does between its own work: takes every
// message waiting in the calling thread's queue and hands it to its window.
inline void pumpMessages()
{
    MSG message;
    while (PeekMessageA (&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage (&message);
        DispatchMessageA (&message);
    }
}

// Pumps the queue until the condition holds or the time is up; true when it
// held. `between` runs before each round, as a host's idle work does.
inline bool pumpMessagesUntil (const std::function<bool()>& condition, DWORD timeoutMs = 2000,
                               const std::function<void()>& between = {})
{
    const auto deadline = GetTickCount() + timeoutMs;
    for (;;)
    {
        if (between != nullptr)
            between();
        pumpMessages();
        if (condition())
            return true;
        if (GetTickCount() > deadline)
            return false;
        Sleep (1);
    }
}

inline void pumpMessagesFor (DWORD milliseconds)
{
    pumpMessagesUntil ([] { return false; }, milliseconds);
}

// A host with an editor open: the effect's idle request, then the queue,
// until the condition holds or the time is up.
template <typename Effect>
bool idleUntil (Effect& effect, const std::function<bool()>& condition, DWORD timeoutMs = 3000)
{
    return pumpMessagesUntil (condition, timeoutMs, [&effect] { effect.dispatch (vst::effEditIdle); });
}

template <typename Effect>
void idleFor (Effect& effect, DWORD milliseconds)
{
    idleUntil (effect, [] { return false; }, milliseconds);
}

} // namespace tavrel::test
