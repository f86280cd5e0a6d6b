// How the renderer finds the parameter and the number a user means.
#include "ParameterSetting.h"

#include <gtest/gtest.h>

using tavrel::render::findParameter;
using tavrel::render::parseNumber;

TEST (ParameterLookup, FindsByIndexOrNameAndExplainsFailures)
{
    // Names as hosts receive them: cut to eight characters, one shared.
    const juce::StringArray names { "Bypass", "Loop", "Alternat", "Mode", "Start", "Size", "Modulati", "Size", "Trim" };

    const struct { const char* reference; int index; const char* error; } cases[] = {
        { "0", 0, "" },
        { "7", 7, "" },
        { " 8 ", 8, "" },
        { "trim", 8, "" },
        { "Alternating", 2, "" },      // the full name finds the cut one
        { "Alternat", 2, "" },
        { "Modulation", 6, "" },
        { "Alter", -1, "unknown parameter \"Alter\"" },
        { "Looping", -1, "unknown parameter" }, // "Loop" is not cut, so no prefix match
        { "Size", -1, "ambiguous: parameters 5 and 7" },
        { "9", -1, "out of range" },
        { "99999999999", -1, "out of range" },
        { "", -1, "unknown parameter" },
    };

    for (const auto& c : cases)
    {
        juce::String error;
        const auto found = findParameter (names, c.reference, error);
        EXPECT_EQ (found.value_or (-1), c.index) << c.reference;
        EXPECT_TRUE (error.contains (c.error)) << c.reference << ": " << error;
    }
}

TEST (ParameterLookup, NumbersAreWholeDecimalTexts)
{
    const struct { const char* text; double value; bool isNumber; } cases[] = {
        { "0.5", 0.5, true },
        { " 1 ", 1.0, true },
        { "+.25", 0.25, true },
        { "2.5e-1", 0.25, true },
        { "-0", 0.0, true },
        { "0,5", 0.0, false },
        { "1/16 bar", 0.0, false },
        { "On", 0.0, false },
        { "nan", 0.0, false },
        { "inf", 0.0, false },
        { "", 0.0, false },
    };

    for (const auto& c : cases)
    {
        const auto number = parseNumber (c.text);
        EXPECT_EQ (number.has_value(), c.isNumber) << c.text;
        if (c.isNumber && number.has_value())
        {
            EXPECT_EQ (*number, c.value) << c.text;
        }
    }
}
