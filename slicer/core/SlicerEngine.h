#pragma once

#include "SlicerParameters.h"
#include "SliceVoice.h"
#include "dsp/BypassTail.h"
#include "dsp/StereoRing.h"
#include "dsp/TempoGrid.h"

#include <cstdint>
#include <random>

namespace tavrel
{

// The slicer's audio engine: records the input into the rings on the host's
// tempo grid and, at every slice boundary, starts a voice on the slice that the
// latched mode chooses. Plain C++: it runs block by block from a transport
// state and a sample rate, with no host and no display.
//
// Only the audio thread calls process(); the parameters it follows are written
// on other threads at any time.
class SlicerEngine
{
public:
    static constexpr int voiceCount = 128;

    SlicerEngine (const SlicerParameters& parameters, uint32_t randomSeed);

    SlicerEngine (const SlicerEngine&) = delete;
    SlicerEngine& operator= (const SlicerEngine&) = delete;

    // Processes the samples in place: the result replaces the input. `right`
    // may be `left` itself (one channel): both rings then record that channel
    // and it ends up holding the right result.
    void process (float* left, float* right, int numSamples,
                  const TransportState& transport, double sampleRate) noexcept;

    // Forgets the recording; voices and indices carry on.
    void clearRecording() noexcept { ring.clear(); }

    int32_t latchedModeInForce() const noexcept { return latchedMode; }
    uint32_t divisionInForce() const noexcept   { return division; }
    uint32_t barsInForce() const noexcept       { return bars; }
    int32_t trimMsInForce() const noexcept      { return trimMs; }
    const StereoRing& recording() const noexcept { return ring; }

private:
    bool startBlock (const TransportState& transport, double sampleRate) noexcept;
    bool sliceBoundary (int sampleInBlock) noexcept;
    void growBars (uint32_t newBars) noexcept;
    bool takeOverDivision (uint32_t newDivision, int sampleInBlock) noexcept;
    void selectSlice (bool holding, uint32_t gridSlice) noexcept;
    void advanceSlice (bool holding, uint32_t gridSlice) noexcept;
    void startVoice() noexcept;
    void advanceWriteIndex() noexcept;
    uint32_t samplesUntilBoundaryAt (uint32_t index) const noexcept;
    bool wetRequested() const noexcept;

    const SlicerParameters& params;
    StereoRing ring;
    VoicePool<SliceVoice, voiceCount> pool;
    BypassTail tail;
    std::minstd_rand random;

    // In force across blocks; changed only at slice boundaries.
    int32_t latchedMode = 0;
    uint32_t division = 8;
    int32_t trimMs = 0;
    uint32_t bars = 1;
    uint32_t sliceIndex = 0;

    // Values of the current block.
    double blockSampleRate = 44100.0;
    int32_t trimSamples = 0;
    double samplePosition = 0.0;
    double samplesPerBar = 0.0;
    SliceGrid grid;
    uint32_t sliceTotal = 8;
    uint32_t writeIndex = 0;
    uint32_t untilBoundary = 0;     // samples from writeIndex to the next boundary
    bool recountBoundary = false;   // the grid moved: count again from the next sample
};

} // namespace tavrel
