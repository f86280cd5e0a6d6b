#pragma once

namespace tavrel::MessageThread
{

// Which thread is the framework's message thread, where the frame moves it
// while the library runs. The framework keeps its own record in a field that
// threads read without its lock, so a thread asking during a move would race
// with the move; this record is atomic.

// Makes the calling thread the framework's message thread, and records it.
void takeHere();

// Forgets the record, when the framework shuts down.
void forget() noexcept;

// Whether the calling thread may post into the message queue at once: it is
// the recorded message thread. Where the frame never moved the message
// thread (the framework was running before it), the framework's own answer:
// the message thread, or a thread holding its lock.
bool isCurrent() noexcept;

} // namespace tavrel::MessageThread
