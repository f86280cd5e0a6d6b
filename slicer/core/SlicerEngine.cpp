#include "SlicerEngine.h"

#include <cmath>

namespace tavrel
{

namespace
{
    constexpr int32_t modeBypass = 0;
    constexpr int32_t modeBackwards = 1;
    constexpr int32_t modeRandom = 2;
    constexpr int32_t modeLiveSlices = SlicerParameters::topModePosition;

    // Four-slice orders of the modes 11 ("O:1243"), 12 ("O:1233"), 13 ("O:2134").
    constexpr uint32_t groupOrders[3][4] = { { 0, 1, 3, 2 }, { 0, 1, 2, 2 }, { 1, 0, 2, 3 } };
}

SlicerEngine::SlicerEngine (const SlicerParameters& parameters, uint32_t randomSeed)
    : RingEngine (8, 0), params (parameters), random (randomSeed)
{
}

bool SlicerEngine::wetRequested() const noexcept
{
    return latchedMode != modeBypass
        || params.mode.load (std::memory_order_relaxed) != modeBypass
        || params.hold.load (std::memory_order_relaxed)
        || params.reverse.load (std::memory_order_relaxed);
}

// The slice phase is the write position minus the trim, modulo the slice
// length; it restarts from the trim whenever the write position wraps.
uint32_t SlicerEngine::samplesUntilBoundaryAt (uint32_t index) const noexcept
{
    double slicePhase = std::fmod ((double) ((int64_t) index - trimSamples), grid.samplesPerSlice);
    if (slicePhase < 0.0)
        slicePhase += grid.samplesPerSlice;
    return samplesUntilBoundary (slicePhase, grid.samplesPerSlice);
}

bool SlicerEngine::sliceBoundary (int sampleInBlock) noexcept
{
    latchedMode = params.mode.load (std::memory_order_relaxed);

    const uint32_t newBars = params.pendingBars.load (std::memory_order_relaxed);
    if (bars != newBars)
        growBars (newBars);

    const uint32_t newDivision = params.pendingDivision.load (std::memory_order_relaxed);
    if (division != newDivision && ! relayGrid (newDivision, sampleInBlock))
        return false;

    const bool holding = params.hold.load (std::memory_order_relaxed);
    const uint32_t gridSlice = writeIndex / (uint32_t) grid.sliceLength;

    selectSlice (holding, gridSlice);
    startVoice();
    advanceSlice (holding, gridSlice);

    takeOverTrim (params.pendingTrimMs.load (std::memory_order_relaxed));
    return true;
}

// New bars start as copies of the ring's first bar rather than stale audio;
// only bars that end inside the ring's capacity are copied.
void SlicerEngine::growBars (uint32_t newBars) noexcept
{
    const double barLength = std::floor (samplesPerBar + 0.5);

    for (uint32_t bar = bars; bar < newBars; ++bar)
        if ((bar + 1) * barLength < (double) ring.capacity())
            ring.copyRange (0, (uint32_t) (bar * barLength), (uint32_t) barLength);

    // The ring length and write position follow from the next block on.
    bars = newBars;
}

void SlicerEngine::selectSlice (bool holding, uint32_t gridSlice) noexcept
{
    if (! holding)
    {
        if (latchedMode == modeBypass || latchedMode == modeLiveSlices)
            sliceIndex = gridSlice;
        else if (latchedMode == modeRandom)
            sliceIndex = (uint32_t) random() % slicesInRing();
    }

    sliceIndex %= slicesInRing();
}

void SlicerEngine::startVoice() noexcept
{
    // Reduced into the ring: the slice can lie beyond the ring when the trim
    // exceeds a slice, the bars grew earlier in this block, or the ring is capped.
    const int64_t startIndex = floorModulo ((int64_t) sliceIndex * grid.sliceLength + trimSamples,
                                            (int64_t) grid.ringLength);

    pool.releaseAll();

    if (auto* voice = pool.firstFree())
        voice->start (params.reverse.load (std::memory_order_relaxed), (uint32_t) startIndex,
                      grid.sliceLength, grid.ringLength);
}

// The result stays unreduced; the next boundary reduces it, so the skip modes
// test x + 1 before wrapping and their first pass can differ from later ones.
void SlicerEngine::advanceSlice (bool holding, uint32_t gridSlice) noexcept
{
    if (holding)
        return;

    uint32_t& x = sliceIndex;

    switch (latchedMode)
    {
        case modeBackwards:
            x = x == 0 ? slicesInRing() - 1 : x - 1;
            break;

        case 3: case 4: case 5: case 6: // "Skip 2nd" .. "Skip 5th"
        {
            const uint32_t skipEvery = (uint32_t) latchedMode - 1;
            ++x;
            if (x % skipEvery == 0)
                ++x;
            break;
        }

        case 7: case 8: case 9: case 10: // "Play 3rd" .. "Play 6th"
            x += (uint32_t) latchedMode - 4;
            break;

        case 11: case 12: case 13: // four-slice orders, one slice behind the grid
            x = 4 * (gridSlice / 4) + groupOrders[latchedMode - 11][gridSlice % 4];
            break;

        default: // bypass, random and the live slices choose at selection
            break;
    }
}

} // namespace tavrel
