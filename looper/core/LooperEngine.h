#pragma once

#include "LooperParameters.h"
#include "LoopVoice.h"
#include "dsp/RingEngine.h"

#include <cstdint>

namespace tavrel
{

// The looper's audio engine: records the input into a one-bar ring locked to
// the host's song position and, at every slice boundary, starts a voice at the
// slice's beginning that plays the live input and then loops within the slice.
// Plain C++: it runs block by block from a transport state and a sample rate,
// with no host and no display.
//
// Only the audio thread calls process(); the parameters it follows are written
// on other threads at any time.
class LooperEngine : public RingEngine<LooperEngine, LoopVoice>
{
public:
    explicit LooperEngine (const LooperParameters& parameters);

    int32_t latchedSelectionInForce() const noexcept { return latchedSelection; }

private:
    friend class RingEngine<LooperEngine, LoopVoice>;

    uint32_t slicesInRing() const noexcept { return division; } // the ring is one bar
    uint32_t samplesUntilBoundaryAt (uint32_t index) const noexcept;
    bool sliceBoundary (int sampleInBlock) noexcept;
    bool wetRequested() const noexcept;

    uint32_t slicePhaseAt (uint32_t index) const noexcept;
    void startVoice (uint32_t slicePhase) noexcept;

    const LooperParameters& params;

    // In force across blocks; changed only at slice boundaries.
    int32_t latchedSelection = 0;
};

} // namespace tavrel
