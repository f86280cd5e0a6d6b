#pragma once

// What a click on one lamp of each plug-in's editor must tell the host, the
// same on every platform: the window tests click there and check this.

#include "TestHost.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrel::test
{

struct LampClick
{
    int x, y;                             // the button's corner, in editor coordinates
    std::vector<TestHost::Notice> writes; // what the host is told, in order

    // The lamp picture covers the button's top-left 56 x 29 pixels.
    int centreX() const { return x + 28; }
    int centreY() const { return y + 14; }
};

// "RANDOM" while "FORWARD / BYPASS" is lit: its toggle, then "Mode" = 2/14.
inline const LampClick zintrakRandomLamp { 99, 143, { { 2, 1.0f, true }, { 14, 2.0f / 14.0f, true } } };

// "LOOP" while "BYPASS" is lit: its button, then "Mode" = 1/3.
inline const LampClick morluneLoopLamp { 86, 431, { { 1, 1.0f, true }, { 3, 0.333333343f, true } } };

// The notices arrived in order, on the host's GUI thread, and the effect
// reads the values back.
inline void expectLampWrites (const std::vector<TestHost::Notice>& notices,
                              const std::vector<TestHost::Notice>& expected, OpenEffect& effect)
{
    ASSERT_GE (notices.size(), expected.size());

    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ (notices[i].index, expected[i].index) << "notice " << i;
        EXPECT_FLOAT_EQ (notices[i].value, expected[i].value) << "notice " << i;
        EXPECT_TRUE (notices[i].fromCallingThread) << "the editor runs on the host's GUI thread";
        EXPECT_FLOAT_EQ (effect->getParameter (effect.get(), expected[i].index), expected[i].value)
            << "parameter " << expected[i].index;
    }
}

} // namespace tavrel::test
