#pragma once

#include <cstdint>

namespace tavrel
{

// What a block process needs of the host's position info.
struct TransportState
{
    bool positionKnown = false; // the position query succeeded
    double tempo = 0.0;         // beats per minute
    double timeInSeconds = 0.0;
    bool playing = false;
};

// A bar is always four beats of the host tempo.
double samplesPerBarFor (double tempo, double sampleRate) noexcept;

// The song position in samples; a negative or non-finite position counts as 0,
// and one within a millionth of a sample of a whole number is that number.
double samplePositionFor (double timeInSeconds, double sampleRate) noexcept;

// floor(trimMs * 0.001f * sampleRate) in double precision, with the
// single-precision 0.001 that makes -5 ms at 44.1 kHz come out as -221.
int32_t trimSamplesFor (int32_t trimMs, double sampleRate) noexcept;

// value modulo modulus brought into [0, modulus); modulus > 0.
int64_t floorModulo (int64_t value, int64_t modulus) noexcept;

// How many samples after a sample of the given slice phase the next slice
// boundary falls (0: this sample is one). A sample is a boundary when its
// phase is below 1; from phase p the phase grows by one per sample until it
// wraps at samplesPerSlice, so the next boundary is ceil(samplesPerSlice - p)
// samples on. Both differences are exact in double precision (they are whole
// numbers minus multiples of samplesPerSlice, smaller than samplesPerSlice),
// which makes the count agree with testing every sample's phase.
uint32_t samplesUntilBoundary (double slicePhase, double samplesPerSlice) noexcept;

// The slice grid of a block: `slicesPerBar` slices of a bar, `slicesInRing` of
// them making the ring, which is at most `ringCapacity` samples long.
//
// Laid at every block, mostly over the same tempo as the block before: a grid
// laid again from the same values is kept as it is, and the write position of
// a later whole song position is counted on from the one before, so that a
// short block pays no divisions or fmod for either (results are the same).
struct SliceGrid
{
    double samplesPerSlice = 0.0;
    int32_t sliceLength = 0;
    uint32_t ringLength = 0;
    double span = 0.0; // slicesInRing * samplesPerSlice, before the ring cap

    // False when the tempo gives no usable grid: a non-finite or non-positive
    // bar, or slices shorter than one sample or longer than 32-bit counts hold.
    bool lay (double samplesPerBar, uint32_t slicesPerBar, uint32_t slicesInRing, uint32_t ringCapacity) noexcept
    {
        if (laid && samplesPerBar == laidFor.samplesPerBar && slicesPerBar == laidFor.slicesPerBar
                 && slicesInRing == laidFor.slicesInRing && ringCapacity == laidFor.ringCapacity)
            return true;

        return layAnew (samplesPerBar, slicesPerBar, slicesInRing, ringCapacity);
    }

    // floor(fmod(samplePosition, span)) modulo ringLength.
    uint32_t writeIndexAt (double samplePosition) noexcept;

private:
    bool layAnew (double samplesPerBar, uint32_t slicesPerBar, uint32_t slicesInRing, uint32_t ringCapacity) noexcept;
    double phaseAt (double samplePosition) noexcept;

    bool laid = false;
    struct { double samplesPerBar; uint32_t slicesPerBar, slicesInRing, ringCapacity; } laidFor {};

    // fmod(phasePosition, phaseSpan) == phase, for the latest position asked.
    double phasePosition = 0.0, phaseSpan = 0.0, phase = 0.0;
    bool phaseFromWholePosition = false;
};

} // namespace tavrel
