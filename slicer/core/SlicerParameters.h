#pragma once

#include "dsp/ParameterValues.h"
#include "dsp/PluginFacts.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace tavrel
{

// The slicer's 20 parameters: the stored (quantised) values that hosts read
// back, the radio group of fourteen mode toggles mirrored by "Mode", and the
// derived control values that the audio thread follows.
//
// Writes come from the host's threads and the message thread while the audio
// thread reads; every field is a relaxed atomic, written whole. A radio-group
// write stores several fields in turn, so a reader may see an intermediate
// state for a moment, which the audio process tolerates.
class SlicerParameters
{
public:
    static constexpr int count = 20;

    enum Index
    {
        bypassToggle = 0,
        lastToggle = 13,
        modeIndex = 14,
        sizeIndex = 15,
        trimIndex = 16,
        holdIndex = 17,
        reverseIndex = 18,
        bufLenIndex = 19
    };

    static constexpr int toggleCount = 14;
    static constexpr int topModePosition = 14; // "Mode" only: live slices through the voices

    using Kind = ParameterInfo::Kind;

    // Every format's view of the 20 parameters, in index order. "Mode" has a
    // position for each toggle and one above them.
    static constexpr ParameterInfo table[count] = {
        { "bypass",     "Bypass",    "Bypass",      0.0f, 1, Kind::toggle },
        { "backwards",  "Backwards", "Backwards",   0.0f, 1, Kind::toggle },
        { "random",     "Random",    "Random",      0.0f, 1, Kind::toggle },
        { "skip_2nd",   "Skip 2nd",  "Skip 2nd",    0.0f, 1, Kind::toggle },
        { "skip_3rd",   "Skip 3rd",  "Skip 3rd",    0.0f, 1, Kind::toggle },
        { "skip_4th",   "Skip 4th",  "Skip 4th",    0.0f, 1, Kind::toggle },
        { "skip_5th",   "Skip 5th",  "Skip 5th",    0.0f, 1, Kind::toggle },
        { "play_3rd",   "Play 3rd",  "Play 3rd",    0.0f, 1, Kind::toggle },
        { "play_4th",   "Play 4th",  "Play 4th",    0.0f, 1, Kind::toggle },
        { "play_5th",   "Play 5th",  "Play 5th",    0.0f, 1, Kind::toggle },
        { "play_6th",   "Play 6th",  "Play 6th",    0.0f, 1, Kind::toggle },
        { "order_1243", "O:1243",    "O:1243",      0.0f, 1, Kind::toggle },
        { "order_1233", "O:1233",    "O:1233",      0.0f, 1, Kind::toggle },
        { "order_2134", "O:2134",    "O:2134",      0.0f, 1, Kind::toggle },
        { "mode",       "Mode",      "Mode",        0.0f, toggleCount, Kind::choice },
        { "size",       "Size",      "Size",        0.5f, 4, Kind::choice },      // 1/2 .. 1/32 bar
        { "trim",       "Trim",      "Trim",        0.45f, 0, Kind::continuous }, // -50 .. +50 ms
        { "hold",       "Hold",      "Hold",        0.0f, 1, Kind::toggle },
        { "reverse",    "Reverse",   "Reverse",     0.0f, 1, Kind::toggle },
        { "buf_len",    "BufLen",    "BufLen",      0.0f, 3, Kind::choice },      // 1 .. 4 bars
    };

    SlicerParameters();

    // Applies the write rules; true when the write asks for a change broadcast.
    // Values outside [0, 1], infinities included, are clamped; a NaN changes nothing.
    bool write (int index, float value) noexcept;

    float read (int index) const noexcept;
    static const char* name (int index) noexcept; // "" outside 0..19
    std::string text (int index) const;            // "" outside 0..19

    // Derived control values.
    std::atomic<int32_t> mode { 0 };
    std::atomic<uint32_t> pendingDivision { 8 };
    std::atomic<int32_t> pendingTrimMs { 0 };
    std::atomic<bool> hold { false };
    std::atomic<bool> reverse { false };
    std::atomic<uint32_t> pendingBars { 1 };

private:
    bool writeModeToggle (int index, float value) noexcept;
    bool writeModeSelector (float value) noexcept;
    bool applyRadioGroup (float value) noexcept;
    void writeGridOrOption (int index, float value) noexcept;

    float stored (int index) const noexcept { return values[(size_t) index].load (std::memory_order_relaxed); }
    void store (int index, float v) noexcept { values[(size_t) index].store (v, std::memory_order_relaxed); }

    std::array<std::atomic<float>, count> values;
};

} // namespace tavrel
