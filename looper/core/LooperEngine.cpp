#include "LooperEngine.h"

#include <cmath>

namespace tavrel
{

namespace
{
    constexpr int32_t selectionBypass = 0;
}

LooperEngine::LooperEngine (const LooperParameters& parameters)
    : RingEngine (4, -5), params (parameters)
{
}

bool LooperEngine::wetRequested() const noexcept
{
    return latchedSelection != selectionBypass
        || params.selection.load (std::memory_order_relaxed) != selectionBypass;
}

// The write position minus the trim, reduced into the ring: the position of
// the sample on the trimmed grid.
uint32_t LooperEngine::slicePhaseAt (uint32_t index) const noexcept
{
    return (uint32_t) floorModulo ((int64_t) index - trimSamples, (int64_t) grid.ringLength);
}

// A sample is a boundary when fmod(phase, samplesPerSlice) < 1. Unlike the
// slicer's, this phase is reduced modulo the ring first, and the ring is not
// a whole number of slices (it is floored, and may be capped), so the phase
// wraps to 0, itself a boundary, before the grid's next multiple may come:
// the next boundary is the nearer of the two.
uint32_t LooperEngine::samplesUntilBoundaryAt (uint32_t index) const noexcept
{
    const uint32_t slicePhase = slicePhaseAt (index);
    const uint32_t untilPhaseWraps = grid.ringLength - slicePhase;
    const uint32_t untilGrid = samplesUntilBoundary (std::fmod ((double) slicePhase, grid.samplesPerSlice),
                                                     grid.samplesPerSlice);
    return untilGrid < untilPhaseWraps ? untilGrid : untilPhaseWraps;
}

// False when a new slice count leaves no usable grid at this tempo.
bool LooperEngine::sliceBoundary (int sampleInBlock) noexcept
{
    latchedSelection = params.selection.load (std::memory_order_relaxed);

    // The slice is chosen by where this sample lies on the grid it arrived on.
    const uint32_t slicePhase = slicePhaseAt (writeIndex);

    const uint32_t newDivision = params.pendingDivision.load (std::memory_order_relaxed);
    if (division != newDivision && ! relayGrid (newDivision, sampleInBlock))
        return false;

    startVoice (slicePhase);
    takeOverTrim (params.pendingTrimMs.load (std::memory_order_relaxed));
    return true;
}

void LooperEngine::startVoice (uint32_t slicePhase) noexcept
{
    const uint32_t sliceIndex = (slicePhase / (uint32_t) grid.sliceLength) % division;

    // Reduced into the ring: a trim longer than the ring (a very short bar)
    // would otherwise leave the start outside it.
    const int64_t sliceStart = floorModulo ((int64_t) sliceIndex * grid.sliceLength + trimSamples,
                                            (int64_t) grid.ringLength);

    pool.releaseAll();

    if (auto* voice = pool.firstFree())
        voice->start ({ (uint32_t) sliceStart, grid.sliceLength, grid.ringLength, latchedSelection,
                        params.read (LooperParameters::startIndex),
                        params.read (LooperParameters::loopSizeIndex),
                        params.read (LooperParameters::modulationIndex) });
}

} // namespace tavrel
