#include "FadeTable.h"

#include <cmath>

namespace tavrel
{

FadeTable::FadeTable()
{
    constexpr double pi = 3.141592653589793;

    for (int i = 0; i < size; ++i)
    {
        const double s = std::sin (i / (2.0 * size) * pi);
        values[(unsigned) i] = (float) (s * s);
    }

    for (int count = 0; count < standardFadeSamples; ++count)
        standardGains[(unsigned) count] = atFraction ((float) count / (float) standardFadeSamples);
}

const FadeTable& FadeTable::shared()
{
    static const FadeTable table;
    return table;
}

float FadeTable::atFraction (float fraction) const noexcept
{
    const float scaled = std::floor ((float) lastEntry * fraction);

    // Written so that NaN also lands on the last entry.
    if (! (scaled >= 0.0f && scaled <= (float) lastEntry))
        return values[lastEntry];

    return std::fmin (values[(unsigned) scaled], 1.0f);
}

} // namespace tavrel
