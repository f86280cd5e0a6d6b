#pragma once

// A deliberately literal model of the slicer's block process: every sample
// computes its slice phase with fmod, every voice start fills its own fade
// table, every index step takes a modulo. The engine must produce the same
// samples, bit for bit, with none of that per-sample work.
//
// It shares nothing with the engine but the parameter set: the song position
// and the rule that keeps a voice with the recording are written here from
// their statement, not taken from the engine's code.

#include "ReferenceSongPosition.h"
#include "SlicerParameters.h"
#include "dsp/TempoGrid.h" // TransportState

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace tavrel::test
{

class SlicerReference
{
public:
    static constexpr uint32_t cap = 2646000;

    SlicerReference (const SlicerParameters& p, uint32_t seed)
        : params (p), random (seed), ringLeft (cap, 0.0f), ringRight (cap, 0.0f)
    {
    }

    void clearRecording()
    {
        std::fill (ringLeft.begin(), ringLeft.end(), 0.0f);
        std::fill (ringRight.begin(), ringRight.end(), 0.0f);
    }

    void process (float* left, float* right, int n, const TransportState& t, double sampleRate)
    {
        sr = sampleRate;
        trimSamples = trimFor (trimMs);
        bool active = t.positionKnown && t.playing;

        if (active)
        {
            samplePosition = referenceSongPositionInSamples (t.timeInSeconds, sr);
            samplesPerBar = 60.0 / t.tempo * sr * 4.0;
            active = deriveGrid (samplePosition);
            if (active)
            {
                followTheSlip();
                slip = 0;
            }
        }
        const bool activeAtStart = active;

        for (int s = 0; s < n; ++s)
        {
            float wetLeft = 0.0f, wetRight = 0.0f;

            if (active)
            {
                const float inL = left[s], inR = right[s];
                ringLeft[writeIndex] = inL;
                ringRight[writeIndex] = inR;

                double slicePhase = std::fmod ((double) ((int64_t) writeIndex - trimSamples), samplesPerSlice);
                if (slicePhase < 0.0)
                    slicePhase += samplesPerSlice;

                if (slicePhase < 1.0)
                    active = boundary (s);

                if (active)
                {
                    writeIndex = (writeIndex + 1) % ringLength;
                    slip += slipAfter (samplePosition + s);

                    if (voice.sounding)
                    {
                        float gain;
                        uint32_t position;
                        voice.step (gain, position);
                        wetLeft += gain * ringLeft[position];
                        wetRight += gain * ringRight[position];
                    }
                }
            }

            const bool wet = latchedMode != 0 || params.mode.load() != 0 || params.hold.load() || params.reverse.load();
            if (wet || bypassTail < 440)
            {
                left[s] = wetLeft;
                right[s] = wetRight;
                bypassTail = wet ? 0 : bypassTail + 1;
            }
        }

        if (activeAtStart)
        {
            continues = active;
            previousStart = samplePosition;
            previousLength = n;
            previousBar = samplesPerBar;
            previousRing = ringLength;
        }
    }

private:
    uint32_t derivedIndex (double position) const
    {
        return (uint32_t) ((uint64_t) std::floor (std::fmod (position, span)) % ringLength);
    }

    // From one song sample to the next the position derived from the song
    // moves one place on. Where the ring's span is not a whole number of
    // samples it stays put once a pass instead: the recording slips a sample
    // behind the position counted on. Returns that slip, the shorter way round.
    int64_t slipAfter (double position) const
    {
        const int64_t ring = ringLength;
        int64_t step = ((int64_t) derivedIndex (position + 1.0) - (int64_t) derivedIndex (position) - 1) % ring;
        if (step < 0)
            step += ring;
        return step > ring / 2 ? step - ring : step;
    }

    // Only while the song simply goes on (this block begins where the last one
    // ended, same tempo, same ring) does the voice move with the slips of the
    // last block, and only in a ring below the cap: a capped ring's write
    // position starts again at the bar line, which is a jump, not a slip.
    void followTheSlip()
    {
        const bool songWentOn = continues && std::fabs ((samplePosition - previousStart) - previousLength) < 0.5
                             && samplesPerBar == previousBar && ringLength == previousRing;
        const bool belowTheCap = std::floor (span) <= (double) ringLength;
        if (! songWentOn || ! belowTheCap || ! voice.sounding)
            return;

        int64_t moved = ((int64_t) voice.readIndex + slip) % (int64_t) voice.ringLength;
        if (moved < 0)
            moved += voice.ringLength;
        voice.readIndex = (uint32_t) moved;
    }

    struct Voice
    {
        bool sounding = false;
        uint32_t ringLength = 1, readIndex = 0;
        int32_t remaining = 0, length = 0;
        bool reverse = false;
        float fadeTable[4400];
        float fadeLength = 440.0f;

        void start (bool rev, uint32_t startPosition, int32_t len, uint32_t ring)
        {
            sounding = true;
            remaining = len;
            length = len;
            ringLength = ring;
            reverse = rev;
            readIndex = rev ? (uint32_t) (((uint64_t) startPosition + (uint64_t) len) % ring) : startPosition;
            for (int i = 0; i < 4400; ++i)
            {
                const double v = std::sin (i / (2.0 * 4400) * 3.141592653589793);
                fadeTable[i] = (float) (v * v);
            }
            fadeLength = 440.0f;
        }

        float fade (int32_t x) const
        {
            if ((float) x >= fadeLength)
                return 1.0f;
            int j = (int) std::floor (4399.0f * ((float) x / fadeLength));
            if (j > 4399)
                j = 4399;
            return std::fmin (fadeTable[j], 1.0f);
        }

        void step (float& gain, uint32_t& position)
        {
            gain = std::fmin (fade (remaining), fade (length - remaining));
            position = readIndex;
            if (reverse)
                readIndex = readIndex == 0 ? ringLength - 1 : readIndex - 1;
            else
                readIndex = (readIndex + 1) % ringLength;
            if (remaining > 1)
                --remaining;
            else
                sounding = false;
        }
    };

    int32_t trimFor (int32_t ms) const { return (int32_t) std::floor ((double) ms * (double) 0.001f * sr); }

    bool deriveGrid (double position)
    {
        samplesPerSlice = samplesPerBar / division;
        if (! (samplesPerSlice >= 1.0 && samplesPerSlice <= (double) std::numeric_limits<int32_t>::max()))
            return false;
        sliceLength = (int32_t) std::floor (samplesPerSlice);
        sliceTotal = division * bars;
        span = sliceTotal * samplesPerSlice;
        ringLength = std::floor (span) >= cap ? cap : (uint32_t) std::floor (span);
        writeIndex = derivedIndex (position);
        return true;
    }

    bool boundary (int s)
    {
        latchedMode = params.mode.load();

        const uint32_t pb = params.pendingBars.load();
        if (bars != pb)
        {
            if (pb > bars)
            {
                const double barLength = std::floor (samplesPerBar + 0.5);
                for (uint32_t i = bars; i < pb; ++i)
                    if ((i + 1) * barLength < cap)
                        for (uint32_t k = 0; k < (uint32_t) barLength; ++k)
                        {
                            ringLeft[(uint32_t) (i * barLength) + k] = ringLeft[k];
                            ringRight[(uint32_t) (i * barLength) + k] = ringRight[k];
                        }
            }
            bars = pb;
            sliceTotal = division * bars;
        }

        const uint32_t pd = params.pendingDivision.load();
        if (division != pd)
        {
            division = pd;
            if (! deriveGrid (samplePosition + s))
                return false;
            slip = 0; // counted on from the position derived here
        }

        const uint32_t gridSlice = writeIndex / (uint32_t) sliceLength;
        const bool hold = params.hold.load();

        if (! hold)
        {
            if (latchedMode == 0 || latchedMode == 14)
                sliceIndex = gridSlice;
            else if (latchedMode == 2)
                sliceIndex = (uint32_t) random() % sliceTotal;
        }
        sliceIndex = sliceIndex % sliceTotal;

        int64_t startIndex = (int64_t) sliceIndex * sliceLength + trimSamples;
        startIndex %= (int64_t) ringLength;
        if (startIndex < 0)
            startIndex += ringLength;

        voice.sounding = false;
        voice.start (params.reverse.load(), (uint32_t) startIndex, sliceLength, ringLength);

        if (! hold)
        {
            uint32_t& x = sliceIndex;
            const uint32_t g = gridSlice;
            switch (latchedMode)
            {
                case 1: x = x == 0 ? sliceTotal - 1 : x - 1; break;
                case 3: x = x + 1; if (x % 2 == 0) x++; break;
                case 4: x = x + 1; if (x % 3 == 0) x++; break;
                case 5: x = x + 1; if (x % 4 == 0) x++; break;
                case 6: x = x + 1; if (x % 5 == 0) x++; break;
                case 7: x += 3; break;
                case 8: x += 4; break;
                case 9: x += 5; break;
                case 10: x += 6; break;
                case 11: { const uint32_t t[] = { 0, 1, 3, 2 }; x = 4 * (g / 4) + t[g % 4]; break; }
                case 12: { const uint32_t t[] = { 0, 1, 2, 2 }; x = 4 * (g / 4) + t[g % 4]; break; }
                case 13: { const uint32_t t[] = { 1, 0, 2, 3 }; x = 4 * (g / 4) + t[g % 4]; break; }
                default: break;
            }
        }

        const int32_t pt = params.pendingTrimMs.load();
        if (trimMs != pt)
        {
            trimMs = pt;
            trimSamples = trimFor (trimMs);
        }
        return true;
    }

    const SlicerParameters& params;
    std::minstd_rand random;
    std::vector<float> ringLeft, ringRight;
    Voice voice;

    int32_t latchedMode = 0;
    uint32_t division = 8, bars = 1, sliceIndex = 0, bypassTail = 0;
    int32_t trimMs = 0, trimSamples = 0;
    double sr = 44100.0, samplePosition = 0.0, samplesPerBar = 0.0, samplesPerSlice = 0.0;
    int32_t sliceLength = 0;
    uint32_t sliceTotal = 8, ringLength = 1, writeIndex = 0;

    double span = 1.0;

    bool continues = false;
    double previousStart = 0.0, previousBar = 0.0;
    int previousLength = 0;
    uint32_t previousRing = 0;
    int64_t slip = 0; // since the write position was last derived from the song
};

} // namespace tavrel::test
