#include "LooperParameters.h"
#include "dsp/ParameterValues.h"

#include <cmath>

namespace tavrel
{

namespace
{
    // Shown by "Mode" at its top position, which has no button of its own.
    constexpr const char* topModeText = "Tavrel Looper";

    // Further single-precision steps.
    constexpr float oneEighth = 0.125f;

    // Below this a loop "Size" is kept as written, above it snaps to eighths.
    constexpr float smallestSnappedSize = 0.25f;
    constexpr float smallestLoopSize = 0.01f;

    bool isCentred (float modulation) noexcept
    {
        return std::fabs (modulation - 0.5f) < modulationDeadZone;
    }

    // Whole percent of a fraction; in single precision so that the smallest
    // loop size (0.01f, just below 0.01) still shows as 1 %.
    std::string percentText (float fraction)
    {
        return std::to_string ((int) std::floor (fraction * 100.0f)) + " %";
    }

    std::string signedText (int number, bool plusSign, const char* unit)
    {
        return (plusSign ? "+" : "") + std::to_string (number) + unit;
    }

    bool isValidIndex (int index) noexcept { return index >= 0 && index < LooperParameters::count; }
}

LooperParameters::LooperParameters()
{
    for (int i = 0; i < count; ++i)
        store (i, table[i].defaultValue);
}

bool LooperParameters::write (int index, float value) noexcept
{
    if (! isValidIndex (index) || ! isParameterValue (value))
        return false;

    value = clampedParameterValue (value);

    if (index < buttonCount)
        return writeModeButton (index, value);

    if (index == modeIndex)
        return writeModeSelector (value);

    writeLoopOrGrid (index, value);
    return true;
}

bool LooperParameters::writeModeButton (int index, float value) noexcept
{
    // The button's own stored value is set only by the radio group.
    if (value > 0.5f)
        selection.store (index, std::memory_order_relaxed);

    return applyRadioGroup (value);
}

bool LooperParameters::writeModeSelector (float value) noexcept
{
    const int position = nearestStep (value, buttonCount);
    store (modeIndex, (float) position * oneThird);
    selection.store (position, std::memory_order_relaxed);
    return applyRadioGroup (1.0f);
}

// Both steps test the button at the selection, not the one written: an "off"
// to any button while the selected one is on falls back to Bypass.
bool LooperParameters::applyRadioGroup (float value) noexcept
{
    const int current = selection.load (std::memory_order_relaxed);
    if (current >= topModePosition)
        return false;

    bool changed = false;

    if (stored (current) < 0.5f && value > 0.5f)
    {
        for (int i = 0; i < buttonCount; ++i)
            store (i, i == current ? 1.0f : 0.0f);
        store (modeIndex, (float) current * oneThird);
        changed = true;
    }

    if (stored (current) > 0.5f && value < 0.5f)
    {
        for (int i = 0; i < buttonCount; ++i)
            store (i, i == bypassButton ? 1.0f : 0.0f);
        store (modeIndex, 0.0f);
        selection.store (0, std::memory_order_relaxed);
        changed = true;
    }

    return changed;
}

void LooperParameters::writeLoopOrGrid (int index, float value) noexcept
{
    switch (index)
    {
        case startIndex:
            store (index, (float) nearestStep (value, 7) * oneEighth);
            break;
        case loopSizeIndex:
        {
            const float size = value < smallestSnappedSize ? value : (float) nearestStep (value, 7) * oneEighth;
            store (index, size <= smallestLoopSize ? smallestLoopSize : size);
            break;
        }
        case modulationIndex:
            store (index, isCentred (value) ? 0.5f : value);
            break;
        case sliceSizeIndex:
        {
            const int step = nearestStep (value, table[sliceSizeIndex].steps);
            store (index, (float) step * oneSixth);
            pendingDivision.store (1u << step, std::memory_order_relaxed);
            break;
        }
        case trimIndex:
            store (index, value);
            pendingTrimMs.store (trimMsForValue (value), std::memory_order_relaxed);
            break;
        default:
            break;
    }
}

float LooperParameters::read (int index) const noexcept
{
    return isValidIndex (index) ? stored (index) : 0.0f;
}

const char* LooperParameters::name (int index) noexcept
{
    return isValidIndex (index) ? table[index].name : "";
}

std::string LooperParameters::text (int index) const
{
    if (! isValidIndex (index))
        return {};

    const float value = stored (index);

    switch (index)
    {
        case modeIndex:
        {
            const int position = (int) std::floor ((double) value * buttonCount);
            return position < buttonCount ? table[position].name : topModeText;
        }
        case startIndex:
        case loopSizeIndex:
            return percentText (value);
        case modulationIndex:
            if (isCentred (value))
                return "Off";
            return signedText ((int) std::floor ((value - 0.5f) * 200.0f), value > 0.5f, " %");
        case sliceSizeIndex:
            return "1/" + std::to_string (pendingDivision.load (std::memory_order_relaxed)) + " bar";
        case trimIndex:
            // From the stored value: a new processor shows "-5 ms" although no
            // "Trim" write has happened yet.
            return signedText (trimMsForValue (value), value > 0.5f, " ms");
        default:
            return value > 0.5f ? "On" : "Off";
    }
}

} // namespace tavrel
