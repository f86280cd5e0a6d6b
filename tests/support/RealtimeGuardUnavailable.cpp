// The sanitizer builds' stand-in for the real-time guard: the sanitizers own
// malloc, free and the mutex functions, so nothing can be counted. The counts
// are -1 so that a real-time test run here by mistake fails rather than
// passing on counts of 0; tools/run-sanitizers.sh leaves those tests out.
#include "RealtimeGuard.h"

namespace tavrel::test
{

RealtimeGuard::RealtimeGuard() = default;
RealtimeGuard::RealtimeGuard (const void*) {}
RealtimeGuard::~RealtimeGuard() = default;

int RealtimeGuard::allocations() const { return -1; }
int RealtimeGuard::locks() const { return -1; }

} // namespace tavrel::test
