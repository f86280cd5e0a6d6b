#include "SlicerParameters.h"
#include "dsp/ParameterValues.h"

#include <cmath>

namespace tavrel
{

namespace
{
    // Shown by "Mode" at its top position, which has no toggle of its own.
    constexpr const char* topModeText = "Live Slices";

    const char* onOff (bool on) noexcept { return on ? "On" : "Off"; }

    bool isValidIndex (int index) noexcept { return index >= 0 && index < SlicerParameters::count; }
}

SlicerParameters::SlicerParameters()
{
    for (int i = 0; i < count; ++i)
        store (i, table[i].defaultValue);
}

bool SlicerParameters::write (int index, float value) noexcept
{
    if (! isValidIndex (index) || ! isParameterValue (value))
        return false;

    value = clampedParameterValue (value);

    if (index <= lastToggle)
        return writeModeToggle (index, value);

    if (index == modeIndex)
        return writeModeSelector (value);

    writeGridOrOption (index, value);
    return true;
}

bool SlicerParameters::writeModeToggle (int index, float value) noexcept
{
    // The toggle's own stored value is set only by the radio group.
    if (value > 0.5f)
        mode.store (index, std::memory_order_relaxed);

    return applyRadioGroup (value);
}

bool SlicerParameters::writeModeSelector (float value) noexcept
{
    const int position = nearestStep (value, toggleCount);
    store (modeIndex, (float) position * oneFourteenth);
    mode.store (position, std::memory_order_relaxed);
    return applyRadioGroup (1.0f);
}

bool SlicerParameters::applyRadioGroup (float value) noexcept
{
    const int current = mode.load (std::memory_order_relaxed);
    if (current >= topModePosition)
        return false;

    // Every toggle or "Mode" write below the top position releases Hold.
    hold.store (false, std::memory_order_relaxed);
    store (holdIndex, 0.0f);

    bool changed = false;

    if (stored (current) < 0.5f && value > 0.5f)
    {
        for (int i = 0; i <= lastToggle; ++i)
            store (i, i == current ? 1.0f : 0.0f);
        store (modeIndex, (float) current * oneFourteenth);
        changed = true;
    }

    if (stored (current) > 0.5f && value < 0.5f)
    {
        for (int i = 0; i <= lastToggle; ++i)
            store (i, i == bypassToggle ? 1.0f : 0.0f);
        store (modeIndex, 0.0f);
        mode.store (0, std::memory_order_relaxed);
        changed = true;
    }

    return changed;
}

void SlicerParameters::writeGridOrOption (int index, float value) noexcept
{
    switch (index)
    {
        case sizeIndex:
        {
            const int step = nearestStep (value, table[sizeIndex].steps);
            store (index, (float) step / (float) table[sizeIndex].steps);
            pendingDivision.store (2u << step, std::memory_order_relaxed);
            break;
        }
        case trimIndex:
            store (index, value);
            pendingTrimMs.store (trimMsForValue (value), std::memory_order_relaxed);
            break;
        case holdIndex:
            store (index, value > 0.5f ? 1.0f : 0.0f);
            hold.store (value > 0.5f, std::memory_order_relaxed);
            break;
        case reverseIndex:
            store (index, value > 0.5f ? 1.0f : 0.0f);
            reverse.store (value > 0.5f, std::memory_order_relaxed);
            break;
        case bufLenIndex:
        {
            const int step = nearestStep (value, table[bufLenIndex].steps);
            store (index, (float) step * oneThird);
            pendingBars.store ((uint32_t) step + 1, std::memory_order_relaxed);
            break;
        }
        default:
            break;
    }
}

float SlicerParameters::read (int index) const noexcept
{
    return isValidIndex (index) ? stored (index) : 0.0f;
}

const char* SlicerParameters::name (int index) noexcept
{
    return isValidIndex (index) ? table[index].name : "";
}

std::string SlicerParameters::text (int index) const
{
    if (! isValidIndex (index))
        return {};

    const float value = stored (index);

    switch (index)
    {
        case modeIndex:
        {
            const int position = (int) std::floor ((double) value * toggleCount);
            return position < toggleCount ? table[position].name : topModeText;
        }
        case sizeIndex:
            return "1/" + std::to_string (pendingDivision.load (std::memory_order_relaxed)) + " bar";
        case trimIndex:
            // From the stored value: a new processor shows "-5 ms" before its
            // first "Trim" write has set the pending trim.
            return (value > 0.5f ? "+" : "") + std::to_string (trimMsForValue (value)) + " ms";
        case holdIndex:
            return onOff (hold.load (std::memory_order_relaxed));
        case reverseIndex:
            return onOff (reverse.load (std::memory_order_relaxed));
        case bufLenIndex:
            return std::to_string ((int) std::floor ((double) value * table[bufLenIndex].steps) + 1) + " bar";
        default:
            return onOff (value > 0.5f);
    }
}

} // namespace tavrel
