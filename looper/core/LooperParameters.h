#pragma once

#include "dsp/ParameterValues.h"
#include "dsp/PluginFacts.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace tavrel
{

// The slice-size step in single precision, slightly above 1/6 as the other
// steps are.
constexpr float oneSixth = 0.166666672f;

// The looper's nine parameters: the stored (quantised) values that hosts read
// back, the radio group of three mode buttons mirrored by "Mode", and the
// derived control values that the audio thread follows.
//
// Writes come from the host's threads and the message thread while the audio
// thread reads; every field is a relaxed atomic, written whole. A group write
// stores several fields in turn, so a reader may see an intermediate state for
// a moment, which the audio process tolerates.
class LooperParameters
{
public:
    static constexpr int count = 9;

    enum Index
    {
        bypassButton = 0,
        loopButton = 1,
        alternatingButton = 2,
        modeIndex = 3,
        startIndex = 4,
        loopSizeIndex = 5,
        modulationIndex = 6,
        sliceSizeIndex = 7,
        trimIndex = 8
    };

    static constexpr int buttonCount = 3;
    static constexpr int topModePosition = 3; // "Mode" only: plays as Alternating

    using Kind = ParameterInfo::Kind;

    // Every format's view of the nine parameters, in index order. The two
    // "Size" parameters keep their VST 2.4 name and are told apart by their
    // full names. "Start" stores eighths from 0 to 7/8, positions no host
    // could draw from a step count, so it counts as continuous.
    static constexpr ParameterInfo table[count] = {
        { "bypass",      "Bypass",      "Bypass",      0.0f, 1, Kind::toggle },
        { "loop",        "Loop",        "Loop",        0.0f, 1, Kind::toggle },
        { "alternating", "Alternating", "Alternating", 0.0f, 1, Kind::toggle },
        { "mode",        "Mode",        "Mode",        0.0f, buttonCount, Kind::choice },
        { "start",       "Start",       "Start",       0.0f, 0, Kind::continuous },
        { "loop_size",   "Size",        "Loop Size",   0.5f, 0, Kind::continuous },
        { "modulation",  "Modulation",  "Modulation",  0.5f, 0, Kind::continuous },
        { "slice_size",  "Size",        "Slice Size",  2.0f * oneSixth, 6,       Kind::choice }, // 1 .. 1/64 bar
        { "trim",        "Trim",        "Trim",        0.45f, 0, Kind::continuous },           // -50 .. +50 ms
    };

    LooperParameters();

    // Applies the write rules; true when the write asks for a change broadcast.
    // Values outside [0, 1], infinities included, are clamped; a NaN changes nothing.
    bool write (int index, float value) noexcept;

    float read (int index) const noexcept;
    static const char* name (int index) noexcept; // "" outside 0..8
    std::string text (int index) const;            // "" outside 0..8

    // Derived control values.
    std::atomic<int32_t> selection { 0 };
    std::atomic<uint32_t> pendingDivision { 4 };
    std::atomic<int32_t> pendingTrimMs { -5 };

private:
    bool writeModeButton (int index, float value) noexcept;
    bool writeModeSelector (float value) noexcept;
    bool applyRadioGroup (float value) noexcept;
    void writeLoopOrGrid (int index, float value) noexcept;

    float stored (int index) const noexcept { return values[(size_t) index].load (std::memory_order_relaxed); }
    void store (int index, float v) noexcept { values[(size_t) index].store (v, std::memory_order_relaxed); }

    std::array<std::atomic<float>, count> values;
};

// "Modulation" within this distance of its centre is off.
constexpr float modulationDeadZone = 0.02f;

} // namespace tavrel
