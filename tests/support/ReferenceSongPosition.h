#pragma once

#include <cmath>
#include <limits>

namespace tavrel::test
{

// The literal models' song position in samples, written from the rule rather
// than taken from the engines: a negative or unusable position is 0, and one
// within a millionth of a sample of a whole number is that number.
inline double referenceSongPositionInSamples (double seconds, double rate)
{
    const double samples = seconds * rate;
    if (std::isnan (samples) || samples <= 0.0 || samples == std::numeric_limits<double>::infinity())
        return 0.0;
    const double nearest = std::nearbyint (samples);
    return std::fabs (samples - nearest) < 1.0e-6 ? nearest : samples;
}

} // namespace tavrel::test
