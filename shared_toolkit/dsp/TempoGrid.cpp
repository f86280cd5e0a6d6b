#include "TempoGrid.h"

#include <cmath>
#include <limits>

namespace tavrel
{

double samplesPerBarFor (double tempo, double sampleRate) noexcept
{
    return 60.0 / tempo * sampleRate * 4.0;
}

double samplePositionFor (double timeInSeconds, double sampleRate) noexcept
{
    const double position = timeInSeconds * sampleRate;
    if (! (std::isfinite (position) && position > 0.0))
        return 0.0;

    // Hosts count in whole samples, and the position reaches us as seconds. The
    // round trip can land a hair below the whole number, and flooring that
    // would put the write position one sample behind the voices for a block.
    const double whole = std::round (position);
    return std::abs (position - whole) < 1.0e-6 ? whole : position;
}

int32_t trimSamplesFor (int32_t trimMs, double sampleRate) noexcept
{
    const double samples = std::floor ((double) trimMs * (double) 0.001f * sampleRate);

    // Only a nonsensical sample rate gets here; keep the count representable.
    constexpr double limit = 1.0e9;
    if (! std::isfinite (samples))
        return 0;
    return (int32_t) std::fmax (-limit, std::fmin (limit, samples));
}

int64_t floorModulo (int64_t value, int64_t modulus) noexcept
{
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

uint32_t samplesUntilBoundary (double slicePhase, double samplesPerSlice) noexcept
{
    if (slicePhase < 1.0)
        return 0;
    return (uint32_t) std::ceil (samplesPerSlice - slicePhase);
}

bool SliceGrid::layAnew (double samplesPerBar, uint32_t slicesPerBar, uint32_t slicesInRing, uint32_t ringCapacity) noexcept
{
    laid = false;
    samplesPerSlice = samplesPerBar / (double) slicesPerBar;

    constexpr double longestSlice = (double) std::numeric_limits<int32_t>::max();
    if (! (samplesPerSlice >= 1.0 && samplesPerSlice <= longestSlice))
        return false;

    sliceLength = (int32_t) std::floor (samplesPerSlice);
    span = (double) slicesInRing * samplesPerSlice;
    const double wholeSpan = std::floor (span);
    ringLength = wholeSpan >= (double) ringCapacity ? ringCapacity : (uint32_t) wholeSpan;

    laid = true;
    laidFor = { samplesPerBar, slicesPerBar, slicesInRing, ringCapacity };
    return true;
}

// fmod gives the exact remainder, a number a double holds. From an earlier
// whole position p with remainder r, a whole position p + d (both below 2^53,
// so d is exact) has the remainder r + d whenever that stays below the span:
// the sum is then that exact remainder, which rounding cannot change, and a
// sum that reaches the span cannot round below it. Otherwise fmod decides.
double SliceGrid::phaseAt (double samplePosition) noexcept
{
    constexpr double wholeNumbersExact = 9007199254740992.0; // 2^53
    const bool whole = samplePosition >= 0.0 && samplePosition < wholeNumbersExact
                    && samplePosition == (double) (int64_t) samplePosition;

    if (whole && phaseFromWholePosition && span == phaseSpan && samplePosition >= phasePosition)
    {
        const double countedOn = phase + (samplePosition - phasePosition);
        if (countedOn < span)
        {
            phasePosition = samplePosition;
            phase = countedOn;
            return phase;
        }
    }

    phasePosition = samplePosition;
    phaseSpan = span;
    phase = std::fmod (samplePosition, span);
    phaseFromWholePosition = whole;
    return phase;
}

uint32_t SliceGrid::writeIndexAt (double samplePosition) noexcept
{
    const auto index = (uint64_t) std::floor (phaseAt (samplePosition));
    return index < ringLength ? (uint32_t) index : (uint32_t) (index % ringLength);
}

} // namespace tavrel
