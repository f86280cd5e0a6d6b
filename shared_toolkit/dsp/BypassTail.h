#pragma once

#include <cstdint>

namespace tavrel
{

// The wet/dry decision of both processors: wet while anything other than
// bypass is requested, then 440 more wet samples so that the last voice's
// fade can finish, then the untouched input.
class BypassTail
{
public:
    static constexpr uint32_t tailSamples = 440;

    bool passesWet (bool wetRequested) noexcept
    {
        if (wetRequested)
        {
            bypassTail = 0;
            return true;
        }

        if (bypassTail < tailSamples)
        {
            ++bypassTail;
            return true;
        }

        return false;
    }

    uint32_t samplesSent() const noexcept { return bypassTail; }

private:
    uint32_t bypassTail = 0;
};

} // namespace tavrel
