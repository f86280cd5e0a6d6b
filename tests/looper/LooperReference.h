#pragma once

// A literal, sample-by-sample rendering of the looper's block process and
// loop voice: every boundary test is its own fmod, every voice fills its own
// fade table, nothing is counted ahead. Slow and plain, so that the engine's
// shortcuts can be checked against it bit for bit. The song position and the
// rule that keeps a voice with the recording are written here from their
// statement, not taken from the engine's code: while the song simply goes on
// in a ring below the cap, the voice moves with the sample the derived write
// position slips behind the counted one at each pass of a fractional ring.

#include "ReferenceSongPosition.h"
#include "LooperParameters.h"
#include "dsp/TempoGrid.h" // TransportState

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace tavrel::test
{

struct ReferenceLoopVoice
{
    bool active = false;
    int32_t ringLength = 1, position = 0, remaining = 0, sliceLength = 1, loopMode = 0;
    float startFraction = 0, sizeFraction = 0, modulation = 0.5f, lengthMinusOne = 0, sliceLengthF = 1;
    int32_t loopStart = 0, loopEnd = 0, ringStart = 0;
    bool turned = false;
    int32_t direction = 1;
    std::array<float, 4400> fadeTable {};
    int32_t fadeLength = 440;
    float fadeLengthF = 440;

    void start (int32_t s, int32_t l, int32_t r, int32_t mode, float a, float b, float m)
    {
        active = true;
        ringLength = r; remaining = l - 1; position = 0; ringStart = s; sliceLength = l; loopMode = mode;
        startFraction = a; sizeFraction = b; modulation = m;
        lengthMinusOne = (float) (l - 1); sliceLengthF = (float) l;
        loopStart = (int32_t) std::floor (lengthMinusOne * a) % l;
        const int32_t end = (int32_t) std::floor (lengthMinusOne * a) + (int32_t) std::floor (lengthMinusOne * b);
        loopEnd = std::min (end, l - 1) % l;
        direction = 1; turned = false;
        for (int i = 0; i < 4400; ++i)
        {
            const double v = std::sin (3.141592653589793 * i / 8800.0);
            fadeTable[(size_t) i] = (float) (v * v);
        }
        fadeLength = std::max (1, 4400 / 10);
        fadeLengthF = (float) fadeLength;
    }

    float lookup (float q) const
    {
        const float index = std::floor (4399.0f * q);
        if (! (index >= 0.0f && index <= 4399.0f))
            return fadeTable[4399];
        return fadeTable[(size_t) index];
    }

    void step (int32_t& ringPosition, float& gain)
    {
        ringPosition = (int32_t) (((int64_t) (position % sliceLength) + ringStart) % ringLength);

        if (std::fabs (modulation - 0.5f) > 0.02f)
        {
            const float depth = 2.0f * std::fabs (modulation - 0.5f);
            const float e = (float) remaining / sliceLengthF;
            const float factor = modulation > 0.5f ? 1.0f - depth * e : 1.0f - depth * (1.0f - e);
            int32_t newEnd = (int32_t) std::floor (startFraction * lengthMinusOne)
                           + (int32_t) std::floor (factor * lengthMinusOne * sizeFraction);
            newEnd = std::min (newEnd, sliceLength - 1);
            loopEnd = std::max (loopStart, newEnd);
        }

        auto wrap = [this] (int32_t p) { return ((p % sliceLength) + sliceLength) % sliceLength; };
        if (loopMode == 0)
            position = wrap (position + 1);
        else if (loopMode == 1)
        {
            if (position < loopEnd)
                position = wrap (position + 1);
            else
            {
                position = loopStart;
                turned = true;
            }
        }
        else if (loopMode == 2 || loopMode == 3)
        {
            if (direction == 1 && position >= loopEnd) { turned = true; direction = -1; }
            if (direction == -1 && position <= loopStart) { turned = true; direction = 1; }
            position = wrap (position + direction);
        }

        if (remaining > 1)
            --remaining;
        else
            active = false;

        gain = 1.0f;
        if (remaining < fadeLength)
            gain = std::min (gain, lookup ((float) remaining / fadeLengthF));
        const int32_t elapsed = sliceLength - remaining;
        if (elapsed < fadeLength)
            gain = std::min (gain, lookup ((float) elapsed / fadeLengthF));
        if (loopMode != 0)
        {
            const int32_t h = (loopEnd - loopStart) / 2;
            if (fadeLength >= h)
                fadeLength = h;
            fadeLength = std::max (fadeLength, 1);
            fadeLengthF = (float) fadeLength;
            if (loopEnd - position < fadeLength)
                gain = std::min (gain, lookup ((float) (loopEnd - position) / fadeLengthF));
            if (turned && position - loopStart < fadeLength)
                gain = std::min (gain, lookup ((float) (position - loopStart) / fadeLengthF));
        }
    }
};

class ReferenceLooper
{
public:
    explicit ReferenceLooper (const LooperParameters& p) : params (p), ringLeft (2646000), ringRight (2646000) {}

    void process (float* left, float* right, int numSamples, const TransportState& transport, double sampleRate)
    {
        trimSamples = trimFor (trimMs, sampleRate);
        bool active = transport.positionKnown && transport.playing;

        if (active)
        {
            samplePosition = referenceSongPositionInSamples (transport.timeInSeconds, sampleRate);
            samplesPerBar = (60.0 / transport.tempo) * sampleRate * 4.0;
            active = layGrid();
            if (active)
            {
                writeIndex = derivedIndex (samplePosition);
                followTheSlip();
                slip = 0;
            }
        }
        const bool activeAtStart = active;

        for (int n = 0; n < numSamples; ++n)
        {
            float sumLeft = 0, sumRight = 0;

            if (active)
            {
                ringLeft[(size_t) writeIndex] = left[n];
                ringRight[(size_t) writeIndex] = right[n];
                const int64_t slicePhase = (((writeIndex - trimSamples) % ringLength) + ringLength) % ringLength;
                const double f = std::fmod ((double) slicePhase, samplesPerSlice);

                if (f < 1.0)
                    active = boundary (n, slicePhase, sampleRate);

                if (active)
                {
                    writeIndex = (writeIndex + 1) % ringLength;
                    slip += slipAfter (samplePosition + n);
                    if (voice.active)
                    {
                        int32_t p;
                        float g;
                        voice.step (p, g);
                        sumLeft += g * ringLeft[(size_t) p];
                        sumRight += g * ringRight[(size_t) p];
                    }
                }
            }

            const int32_t selection = params.selection.load();
            if (latchedSelection != 0 || selection != 0)
            {
                left[n] = sumLeft;
                right[n] = sumRight;
                bypassTail = 0;
            }
            else if (bypassTail < 440)
            {
                left[n] = sumLeft;
                right[n] = sumRight;
                ++bypassTail;
            }
        }

        if (activeAtStart)
        {
            continues = active;
            lastStart = samplePosition;
            lastLength = numSamples;
            lastSamplesPerBar = samplesPerBar;
            lastRingLength = ringLength;
        }
    }

private:
    int64_t derivedIndex (double position) const
    {
        return (int64_t) std::floor (std::fmod (position, division * samplesPerSlice)) % ringLength;
    }

    // The derived position moves one place per song sample, except once a
    // pass of a ring that is not a whole number of samples, where it stays:
    // the slip, the shorter way round.
    int64_t slipAfter (double position) const
    {
        int64_t step = ((derivedIndex (position + 1.0) - derivedIndex (position) - 1) % ringLength + ringLength) % ringLength;
        return step > ringLength / 2 ? step - ringLength : step;
    }

    // The song went on: this block begins where the last one ended, at the
    // same tempo and ring. A capped ring starts again at the bar line, a jump
    // rather than a slip, so there the voice keeps its positions.
    void followTheSlip()
    {
        const bool songWentOn = continues && std::fabs ((samplePosition - lastStart) - lastLength) < 0.5
                             && samplesPerBar == lastSamplesPerBar && ringLength == lastRingLength;
        const bool belowTheCap = std::floor (division * samplesPerSlice) <= (double) ringLength;
        if (! songWentOn || ! belowTheCap || ! voice.active)
            return;

        voice.ringStart = (int32_t) ((((voice.ringStart + slip) % voice.ringLength) + voice.ringLength) % voice.ringLength);
    }

    static int64_t trimFor (int32_t ms, double sampleRate)
    {
        const double t = std::floor ((double) ms * (double) 0.001f * sampleRate);
        return std::isfinite (t) ? (int64_t) t : 0;
    }

    // No grid for slices shorter than a sample (or absurdly long ones).
    bool layGrid()
    {
        samplesPerSlice = samplesPerBar / division;
        if (! (samplesPerSlice >= 1.0 && samplesPerSlice <= (double) std::numeric_limits<int32_t>::max()))
            return false;
        sliceLength = (int64_t) std::floor (samplesPerSlice);
        ringLength = std::min ((int64_t) std::floor (division * samplesPerSlice), (int64_t) 2646000);
        return true;
    }

    bool boundary (int n, int64_t slicePhase, double sampleRate)
    {
        latchedSelection = params.selection.load();

        if (division != (int64_t) params.pendingDivision.load())
        {
            division = params.pendingDivision.load();
            if (! layGrid())
                return false;
            writeIndex = derivedIndex (samplePosition + n);
            slip = 0; // counted on from the position derived here
        }

        const int64_t sliceIndex = (slicePhase / sliceLength) % division;
        const int64_t sliceStart = (((sliceIndex * sliceLength + trimSamples) % ringLength) + ringLength) % ringLength;

        voice.active = false;
        voice.start ((int32_t) sliceStart, (int32_t) sliceLength, (int32_t) ringLength, latchedSelection,
                     params.read (4), params.read (5), params.read (6));

        if (trimMs != params.pendingTrimMs.load())
        {
            trimMs = params.pendingTrimMs.load();
            trimSamples = trimFor (trimMs, sampleRate);
        }
        return true;
    }

    const LooperParameters& params;
    std::vector<float> ringLeft, ringRight;
    ReferenceLoopVoice voice;
    int32_t latchedSelection = 0, trimMs = -5;
    int64_t division = 4;
    uint32_t bypassTail = 0;

    int64_t trimSamples = 0, sliceLength = 1, ringLength = 1, writeIndex = 0;
    bool continues = false;
    double lastStart = 0, lastSamplesPerBar = 0;
    int lastLength = 0;
    int64_t lastRingLength = 0;
    int64_t slip = 0; // since the write position was last derived from the song
    double samplePosition = 0, samplesPerBar = 0, samplesPerSlice = 1;
};

} // namespace tavrel::test
