#pragma once

#include "SlicerParameters.h"
#include "SliceVoice.h"
#include "dsp/RingEngine.h"

#include <cstdint>
#include <random>

namespace tavrel
{

// The slicer's audio engine: records the input into a ring of 1 to 4 bars on
// the host's tempo grid and, at every slice boundary, starts a voice on the
// slice that the latched mode chooses. Plain C++: it runs block by block from
// a transport state and a sample rate, with no host and no display.
//
// Only the audio thread calls process(); the parameters it follows are written
// on other threads at any time.
class SlicerEngine : public RingEngine<SlicerEngine, SliceVoice>
{
public:
    SlicerEngine (const SlicerParameters& parameters, uint32_t randomSeed);

    int32_t latchedModeInForce() const noexcept { return latchedMode; }
    uint32_t barsInForce() const noexcept       { return bars; }

private:
    friend class RingEngine<SlicerEngine, SliceVoice>;

    uint32_t slicesInRing() const noexcept { return division * bars; }
    uint32_t samplesUntilBoundaryAt (uint32_t index) const noexcept;
    bool sliceBoundary (int sampleInBlock) noexcept;
    bool wetRequested() const noexcept;

    void growBars (uint32_t newBars) noexcept;
    void selectSlice (bool holding, uint32_t gridSlice) noexcept;
    void startVoice() noexcept;
    void advanceSlice (bool holding, uint32_t gridSlice) noexcept;

    const SlicerParameters& params;
    std::minstd_rand random; // per instance: the C library's generator takes a lock

    // In force across blocks; changed only at slice boundaries.
    int32_t latchedMode = 0;
    uint32_t bars = 1;
    uint32_t sliceIndex = 0;
};

} // namespace tavrel
