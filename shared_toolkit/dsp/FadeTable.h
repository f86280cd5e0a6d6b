#pragma once

#include <array>

namespace tavrel
{

// The quarter-period sin² curve that shapes every voice's start, end and loop
// turns. Its content never changes, so one table serves every voice of every
// instance in the process instead of each voice refilling a copy per start.
class FadeTable
{
public:
    static constexpr int size = 4400;
    static constexpr int lastEntry = size - 1;
    static constexpr int standardFadeSamples = 440;

    static const FadeTable& shared();

    float entry (int index) const noexcept { return values[(unsigned) index]; }

    // Entry floor(4399 * fraction); an index beyond the table, or a negative one,
    // selects the last entry.
    float atFraction (float fraction) const noexcept;

    // Gain of a 440-sample fade after `count` samples: the table entry for
    // count / 440 below 440, full gain from 440 on.
    float gainAfterSamples (int count) const noexcept
    {
        return (unsigned) count < (unsigned) standardFadeSamples ? standardGains[(unsigned) count] : 1.0f;
    }

private:
    FadeTable();

    std::array<float, size> values;
    std::array<float, standardFadeSamples> standardGains;
};

} // namespace tavrel
