#pragma once

// What the hostile-host tests know of the two plug-ins: where the libraries
// are, how many parameters they have and where their radio group lies.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

namespace tavrel::test
{

struct LoadedPlugin
{
    const char* name;
    const char* path;
    int numParameters;
    int modeIndex; // "Mode"; the toggles are 0 .. modeIndex - 1, "Mode" holds k / modeIndex
};

inline const LoadedPlugin zintrak { "Zintrak", ZINTRAK_PATH, 20, 14 };
inline const LoadedPlugin morlune { "Morlune", MORLUNE_PATH, 9, 3 };

inline std::ostream& operator<< (std::ostream& out, const LoadedPlugin& plugin) { return out << plugin.name; }

inline std::string pluginName (const ::testing::TestParamInfo<LoadedPlugin>& info) { return info.param.name; }

// Writes "Mode" at position k: the group's toggle k, or the top position at k == modeIndex.
inline void selectMode (OpenEffect& effect, const LoadedPlugin& plugin, int k)
{
    effect->setParameter (effect.get(), plugin.modeIndex, (float) k / (float) plugin.modeIndex);
}

inline std::vector<float> parameterValues (OpenEffect& effect, const LoadedPlugin& plugin)
{
    std::vector<float> values;
    for (int i = 0; i < plugin.numParameters; ++i)
        values.push_back (effect->getParameter (effect.get(), i));
    return values;
}

// Exactly one toggle on, and "Mode" on its position or at the top position,
// which leaves the toggles alone. Every stored value a host could read back
// is a parameter value, finite and in [0, 1].
inline void expectConsistentState (OpenEffect& effect, const LoadedPlugin& plugin)
{
    const auto values = parameterValues (effect, plugin);
    for (int i = 0; i < plugin.numParameters; ++i)
    {
        EXPECT_TRUE (std::isfinite (values[(size_t) i])) << plugin << " parameter " << i;
        EXPECT_GE (values[(size_t) i], 0.0f) << plugin << " parameter " << i;
        EXPECT_LE (values[(size_t) i], 1.0f) << plugin << " parameter " << i;
    }

    int togglesOn = 0, lastOn = -1;
    for (int k = 0; k < plugin.modeIndex; ++k)
    {
        const float toggle = values[(size_t) k];
        EXPECT_TRUE (toggle == 0.0f || toggle == 1.0f) << plugin << " toggle " << k << " reads " << toggle;
        if (toggle > 0.5f)
        {
            ++togglesOn;
            lastOn = k;
        }
    }
    EXPECT_EQ (togglesOn, 1) << plugin;

    const int position = (int) std::floor ((double) values[(size_t) plugin.modeIndex] * plugin.modeIndex + 0.5);
    EXPECT_TRUE (position == lastOn || position == plugin.modeIndex)
        << plugin << ": \"Mode\" at position " << position << " with toggle " << lastOn << " on";
}

// Largest magnitude in a block; NaN or an infinity gives infinity.
inline float peakOf (const StereoBlock& block)
{
    float peak = 0.0f;
    for (const auto* channel : { &block.left, &block.right })
        for (float x : *channel)
            peak = std::isfinite (x) ? std::fmax (peak, std::fabs (x)) : INFINITY;
    return peak;
}

} // namespace tavrel::test
