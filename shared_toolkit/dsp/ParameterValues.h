#pragma once

#include <cmath>
#include <cstdint>

namespace tavrel
{

// How both plug-ins read a value written to one of their parameters.

// A NaN says nothing about what the host wanted, and switching the plug-in's
// mode is the worst answer to it: such a write is ignored.
inline bool isParameterValue (float value) noexcept
{
    return ! std::isnan (value);
}

// Hosts send values in [0, 1]; anything beyond is clamped, infinities as any
// other large value.
inline float clampedParameterValue (float value) noexcept
{
    return std::fmin (1.0f, std::fmax (0.0f, value));
}

// The nearest of steps + 1 positions: floor(v * steps + 0.5).
inline int nearestStep (float value, int steps) noexcept
{
    return (int) std::floor ((double) value * steps + 0.5);
}

// Milliseconds of trim for a "Trim" value: floor(v * 100 - 49.5), -50..+50.
inline int32_t trimMsForValue (float value) noexcept
{
    return (int32_t) std::floor ((double) value * 100.0 - 49.5);
}

// Quantisation steps as single-precision constants. They lie slightly above
// the true fractions, so floor(stored * 14) and floor(stored * 3) give back the
// position that was stored.
constexpr float oneFourteenth = 0.0714285746f;
constexpr float oneThird = 0.333333343f;

} // namespace tavrel
