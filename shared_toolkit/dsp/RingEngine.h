#pragma once

#include "BypassTail.h"
#include "StereoRing.h"
#include "TempoGrid.h"
#include "VoicePool.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tavrel
{

// What the slicer's and the looper's engines do alike: record the input into
// the rings at a write position locked to the host's song position, find the
// slice boundaries of the grid laid over the ring, step the sounding voices,
// and send their sum or the dry input by the bypass-tail rule.
//
// The engine (CRTP) says how many slices the ring holds, where the next
// boundary falls, what a boundary does and when the output is wet:
//   uint32_t slicesInRing() const;
//   uint32_t samplesUntilBoundaryAt (uint32_t writeIndex) const;
//   bool sliceBoundary (int sampleInBlock);   // false: no usable grid left
//   bool wetRequested() const;
// Its voices give a Tap { gain, position } per step() and follow a shifted
// recording with followRecording (offset).
//
// Only the audio thread calls process(); nothing here allocates or locks.
template <typename Engine, typename Voice>
class RingEngine
{
public:
    static constexpr int voiceCount = 128;

    RingEngine (const RingEngine&) = delete;
    RingEngine& operator= (const RingEngine&) = delete;

    // Processes the samples in place: the result replaces the input. `right`
    // may be `left` itself (one channel): both rings then record that channel
    // and it ends up holding the right result.
    void process (float* left, float* right, int numSamples,
                  const TransportState& transport, double sampleRate) noexcept
    {
        blockSampleRate = sampleRate;
        countTrimSamples();
        const bool activeAtStart = startBlock (transport);
        bool active = activeAtStart;

        const float* ringLeft = ring.left();
        const float* ringRight = ring.right();

        for (int s = 0; s < numSamples; ++s)
        {
            float wetLeft = 0.0f, wetRight = 0.0f;

            if (active)
            {
                ring.record (writeIndex, left[s], right[s]);

                if (untilBoundary == 0)
                {
                    recountBoundary = true;
                    active = engine().sliceBoundary (s);
                }

                if (active)
                {
                    advanceWriteIndex();

                    pool.forEachActive ([&] (Voice& voice)
                    {
                        const auto tap = voice.step();
                        wetLeft += tap.gain * ringLeft[tap.position];
                        wetRight += tap.gain * ringRight[tap.position];
                    });
                }
            }

            if (tail.passesWet (engine().wetRequested()))
            {
                left[s] = wetLeft;
                right[s] = wetRight;
            }
        }

        noteWhereTheBlockEnded (activeAtStart, active, numSamples);
    }

    // Forgets the recording; voices and indices carry on. The span of the
    // latest grid stays resident for recording on.
    void clearRecording() noexcept { ring.clear (grid.ringLength); }

    const StereoRing& recording() const noexcept { return ring; }
    uint32_t divisionInForce() const noexcept    { return division; }
    int32_t trimMsInForce() const noexcept       { return trimMs; }
    uint32_t bypassTailSent() const noexcept     { return tail.samplesSent(); }
    int32_t sliceLengthInForce() const noexcept  { return grid.sliceLength; } // of the latest block with a grid
    uint32_t ringLengthInForce() const noexcept  { return grid.ringLength; }

protected:
    RingEngine (uint32_t initialDivision, int32_t initialTrimMs) noexcept
        : division (initialDivision), trimMs (initialTrimMs)
    {
    }

    ~RingEngine() = default;

    // Lays the grid anew after the slice count changed at a boundary, and
    // takes the write position from the song position of this sample.
    bool relayGrid (uint32_t newDivision, int sampleInBlock) noexcept
    {
        division = newDivision;
        if (! layGrid())
            return false;

        writeIndex = grid.writeIndexAt (samplePosition + sampleInBlock);
        return true;
    }

    // A new trim moves the grid from the next sample on.
    void takeOverTrim (int32_t pendingTrimMs) noexcept
    {
        if (trimMs == pendingTrimMs)
            return;

        trimMs = pendingTrimMs;
        countTrimSamples();
    }

    StereoRing ring;
    VoicePool<Voice, voiceCount> pool;

    // In force across blocks; changed only at slice boundaries.
    uint32_t division;
    int32_t trimMs;

    // Values of the current block.
    double blockSampleRate = 44100.0;
    int32_t trimSamples = 0;
    double samplePosition = 0.0;
    double samplesPerBar = 0.0;
    SliceGrid grid;
    uint32_t writeIndex = 0;

private:
    Engine& engine() noexcept             { return static_cast<Engine&> (*this); }
    const Engine& engine() const noexcept { return static_cast<const Engine&> (*this); }

    bool startBlock (const TransportState& transport) noexcept
    {
        if (! transport.positionKnown || ! transport.playing)
            return false;

        samplePosition = samplePositionFor (transport.timeInSeconds, blockSampleRate);
        samplesPerBar = samplesPerBarFor (transport.tempo, blockSampleRate);

        // No tempo, or one that gives slices shorter than a sample: no grid,
        // so the block counts as stopped.
        if (! layGrid())
            return false;

        writeIndex = grid.writeIndexAt (samplePosition);
        keepVoicesWithTheRecording();
        if (! boundaryCountCarriesOn())
            untilBoundary = engine().samplesUntilBoundaryAt (writeIndex);
        recountBoundary = false;
        return true;
    }

    // The trim in samples changes only with the trim or the sample rate.
    void countTrimSamples() noexcept
    {
        if (trimMs == trimCountedFor.trimMs && blockSampleRate == trimCountedFor.sampleRate)
            return;

        trimSamples = trimSamplesFor (trimMs, blockSampleRate);
        trimCountedFor = { trimMs, blockSampleRate };
    }

    // The count the last block left is the count at its next write position,
    // found sample by sample as within a block. Where this block starts at
    // that position on the same grid and trim it still holds, and counting
    // anew (an fmod) is the largest fixed cost of a short block.
    bool boundaryCountCarriesOn() const noexcept
    {
        return countLeft.valid
            && writeIndex == countLeft.writeIndex
            && trimSamples == countLeft.trimSamples
            && grid.samplesPerSlice == countLeft.samplesPerSlice
            && grid.ringLength == countLeft.ringLength;
    }

    // Records go below the ring length of the grid in force; the ring learns
    // how far, so that clearing touches no more than was written.
    bool layGrid() noexcept
    {
        if (! grid.lay (samplesPerBar, division, engine().slicesInRing(), ring.capacity()))
            return false;

        ring.noteSpanInUse (grid.ringLength);
        return true;
    }

    void advanceWriteIndex() noexcept
    {
        if (++writeIndex >= grid.ringLength)
        {
            writeIndex = 0;
            recountBoundary = true;
        }

        if (recountBoundary)
        {
            untilBoundary = engine().samplesUntilBoundaryAt (writeIndex);
            recountBoundary = false;
        }
        else
        {
            --untilBoundary;
        }
    }

    void noteWhereTheBlockEnded (bool activeAtStart, bool activeAtEnd, int numSamples) noexcept
    {
        // A stopped block moves neither the recording nor the voices.
        if (! activeAtStart)
            return;

        countLeft = { activeAtEnd && ! recountBoundary, writeIndex, trimSamples, grid.samplesPerSlice, grid.ringLength };

        recordingContinues = activeAtEnd;
        nextSamplePosition = samplePosition + numSamples;
        nextWriteIndex = writeIndex;
        lastSamplesPerBar = samplesPerBar;
        lastRingLength = grid.ringLength;
    }

    // The write position is taken from the song position at every block, but
    // counted on from sample to sample within one, wrapping at the whole ring
    // length; when the ring is not a whole number of samples long the two part
    // by a sample at each pass. A voice that kept counting would then read one
    // position ahead of the recording, where the ring still holds what was
    // recorded a pass earlier. When the song simply went on, the voices move
    // with the recording; after a relocation or a new grid they keep their
    // positions until the next boundary.
    void keepVoicesWithTheRecording() noexcept
    {
        const bool songWentOn = recordingContinues
                             && std::fabs (samplePosition - nextSamplePosition) < 0.5
                             && samplesPerBar == lastSamplesPerBar
                             && grid.ringLength == lastRingLength;
        if (! songWentOn || writeIndex == nextWriteIndex)
            return;

        // The shorter way round the ring: the correction is a sample or so.
        const int64_t ringLength = grid.ringLength;
        int64_t offset = floorModulo ((int64_t) writeIndex - (int64_t) nextWriteIndex, ringLength);
        if (offset > ringLength / 2)
            offset -= ringLength;

        pool.forEachActive ([offset] (Voice& voice) { voice.followRecording (offset); });
    }

    BypassTail tail;
    struct { int32_t trimMs; double sampleRate; } trimCountedFor { 0, std::numeric_limits<double>::quiet_NaN() };
    struct { bool valid; uint32_t writeIndex; int32_t trimSamples; double samplesPerSlice; uint32_t ringLength; } countLeft {};
    uint32_t untilBoundary = 0;   // samples from writeIndex to the next boundary
    bool recountBoundary = false; // the grid moved: count again from the next sample

    // Where the last block that played left the recording.
    bool recordingContinues = false;
    double nextSamplePosition = 0.0;
    uint32_t nextWriteIndex = 0;
    double lastSamplesPerBar = 0.0;
    uint32_t lastRingLength = 0;
};

} // namespace tavrel
