#pragma once

#include "dsp/FadeTable.h"
#include "dsp/TempoGrid.h"
#include "dsp/VoicePool.h"

#include <cmath>
#include <cstdint>

namespace tavrel
{

// Plays one slice of the looper's rings from its first position: straight
// through (plain), jumping back to a loop window (loop), or running back and
// forth over it (alternating). For each output sample it names the ring
// position to read and a gain made of sin² fades at the voice's own start and
// end and on both sides of every turn. It holds no audio itself.
struct LoopVoice : PooledVoice<LoopVoice>
{
    enum Movement : int32_t
    {
        plain = 0,
        loop = 1,
        alternating = 2,
        alternatingFromTop = 3 // the top position of "Mode" moves as alternating
    };

    struct Settings
    {
        uint32_t ringStart;
        int32_t sliceLength;   // at least 1
        uint32_t ringLength;   // at least 1
        int32_t movement;
        float startFraction;   // loop window start, as a fraction of the slice
        float sizeFraction;    // loop window length, as a fraction of the slice
        float modulation;      // 0.5 keeps the window still
    };

    using Tap = VoiceTap;

    uint32_t ringLength = 1;
    int32_t position = 0;
    int32_t remaining = 0;
    int32_t sliceLength = 1;
    int32_t loopMode = plain;
    float startFraction = 0.0f;
    float sizeFraction = 0.0f;
    float modulation = 0.5f;
    float lengthMinusOne = 0.0f;
    float sliceLengthF = 1.0f;
    int32_t loopStart = 0;
    int32_t loopEnd = 0;
    uint32_t ringStart = 0;
    bool turned = false;
    int32_t direction = 1;
    int32_t fadeLength = FadeTable::standardFadeSamples;
    float fadeLengthF = (float) FadeTable::standardFadeSamples;

    // Fixed for the voice's life, derived once at its start.
    int32_t windowOffset = 0;  // floor(startFraction * lengthMinusOne), before reduction
    bool modulated = false;
    float modulationDepth = 0.0f;
    double reciprocalSliceLength = 1.0;

    const FadeTable* fadeTable = &FadeTable::shared(); // identical for every voice

    // Called on the voice at the head of the idle list.
    void start (const Settings& s) noexcept
    {
        moveToActiveList();

        ringLength = s.ringLength;
        remaining = s.sliceLength - 1;
        position = 0;
        ringStart = s.ringStart;
        sliceLength = s.sliceLength;
        loopMode = s.movement;
        startFraction = s.startFraction;
        sizeFraction = s.sizeFraction;
        modulation = s.modulation;
        lengthMinusOne = (float) (sliceLength - 1);
        sliceLengthF = (float) sliceLength;

        windowOffset = floorOfNonNegative (startFraction * lengthMinusOne);
        loopStart = windowOffset % sliceLength;
        loopEnd = windowEndAt (floorOfNonNegative (lengthMinusOne * sizeFraction)) % sliceLength;

        direction = 1;
        turned = false;
        fadeLength = FadeTable::standardFadeSamples;
        fadeLengthF = (float) fadeLength;

        const float offCentre = std::fabs (modulation - 0.5f);
        modulated = offCentre > 0.02f;
        modulationDepth = 2.0f * offCentre;
        reciprocalSliceLength = 1.0 / (double) sliceLengthF;
    }

    // The recording moved by `offset` positions under the voice (the write
    // position was put back on the host's grid): keep reading what is being
    // recorded rather than what was recorded a bar ago.
    void followRecording (int64_t offset) noexcept
    {
        ringStart = (uint32_t) floorModulo ((int64_t) ringStart + offset, (int64_t) ringLength);
    }

    // One output sample. The gain is that of the position after the move, so
    // the envelope looks one position ahead of the position read; the sample
    // that ends the voice's life releases it.
    Tap step() noexcept
    {
        const uint32_t readPosition = ringPositionOf (position);

        if (modulated)
            modulateWindow();

        move();

        if (remaining > 1)
            --remaining;
        else
            moveToFreeList();

        return { envelope(), readPosition };
    }

private:
    // Truncation is floor for the non-negative products of fractions and
    // lengths used here, and much cheaper than the library call.
    static int32_t floorOfNonNegative (float x) noexcept { return (int32_t) x; }

    uint32_t ringPositionOf (int32_t slicePosition) const noexcept
    {
        // A slice may run past the ring's end (a trimmed last slice, a capped
        // ring); only then is the full remainder needed.
        const uint32_t p = ringStart + (uint32_t) slicePosition;
        return p < ringLength ? p : p % ringLength;
    }

    // remaining / sliceLengthF, rounded to float, without a division: the
    // quotient of two floats never lies within 2^-49 (relative) of a float
    // rounding boundary without being on the representable side of it, and
    // the double product with the reciprocal is within 2^-51 of it, so the
    // rounded result is the same (double's 53 bits are more than 2 x 24 + 2).
    float remainingShare() const noexcept
    {
        return (float) ((double) (float) remaining * reciprocalSliceLength);
    }

    // Above the centre the window starts short by the depth and grows to its
    // full size by the slice's end; below it, it starts full and shrinks.
    void modulateWindow() noexcept
    {
        const float remainingPart = remainingShare(); // near 1 at the start
        const float factor = modulation > 0.5f ? 1.0f - modulationDepth * remainingPart
                                               : 1.0f - modulationDepth * (1.0f - remainingPart);
        const int32_t end = windowEndAt (floorOfNonNegative (factor * lengthMinusOne * sizeFraction));
        loopEnd = end > loopStart ? end : loopStart;
    }

    // The window's end for a window length, inside the slice; summed wide, as
    // slices of more than a billion samples (a tempo near 0) would overflow.
    int32_t windowEndAt (int32_t windowLength) const noexcept
    {
        const int64_t end = (int64_t) windowOffset + windowLength;
        return end < sliceLength - 1 ? (int32_t) end : sliceLength - 1;
    }

    int32_t nextInSlice (int32_t p) const noexcept
    {
        if (p >= sliceLength)
            return 0;
        return p < 0 ? sliceLength - 1 : p;
    }

    void move() noexcept
    {
        switch (loopMode)
        {
            case plain:
                position = nextInSlice (position + 1);
                break;

            case loop:
                if (position < loopEnd)
                {
                    position = nextInSlice (position + 1);
                }
                else
                {
                    position = loopStart;
                    turned = true;
                }
                break;

            case alternating:
            case alternatingFromTop:
                if (direction > 0 && position >= loopEnd)
                {
                    turned = true;
                    direction = -1;
                }
                if (direction < 0 && position <= loopStart)
                {
                    turned = true;
                    direction = 1;
                }
                position = nextInSlice (position + direction);
                break;

            default:
                break;
        }
    }

    // The table entry for distance / fadeLength. A 440-sample fade uses the
    // table's precomputed gains, which are exactly these entries.
    float fadeGain (int32_t distance) const noexcept
    {
        if (fadeLength == FadeTable::standardFadeSamples && distance >= 0)
            return fadeTable->gainAfterSamples (distance);
        return fadeTable->atFraction ((float) distance / fadeLengthF);
    }

    static float lower (float gain, float other) noexcept { return other < gain ? other : gain; }

    // A turn fades out to zero at the turn point and in again from it; the
    // fades may not be longer than half the window, and never grow back.
    void shortenFadeToWindow() noexcept
    {
        const int32_t half = (loopEnd - loopStart) / 2;
        if (fadeLength >= half)
            fadeLength = half;
        if (fadeLength < 1)
            fadeLength = 1;
        fadeLengthF = (float) fadeLength;
    }

    float envelope() noexcept
    {
        float gain = 1.0f;

        if (remaining < fadeLength)
            gain = lower (gain, fadeGain (remaining));

        const int32_t elapsed = sliceLength - remaining;
        if (elapsed < fadeLength)
            gain = lower (gain, fadeGain (elapsed));

        if (loopMode != plain)
        {
            shortenFadeToWindow();

            const int32_t untilTurn = loopEnd - position; // negative just after the window shrank
            if (untilTurn < fadeLength)
                gain = lower (gain, fadeGain (untilTurn));

            const int32_t sinceTurn = position - loopStart;
            if (turned && sinceTurn < fadeLength)
                gain = lower (gain, fadeGain (sinceTurn));
        }

        return gain;
    }
};

} // namespace tavrel
