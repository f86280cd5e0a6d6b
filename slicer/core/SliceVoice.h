#pragma once

#include "dsp/FadeTable.h"
#include "dsp/TempoGrid.h"
#include "dsp/VoicePool.h"

#include <cstdint>

namespace tavrel
{

// Plays one slice of the recorded rings: for each output sample it names the
// ring position to read and a gain that rises over the first 440 samples and
// falls over the last 440. It holds no audio itself.
struct SliceVoice : PooledVoice<SliceVoice>
{
    using Tap = VoiceTap;

    uint32_t ringLength = 1;
    uint32_t readIndex = 0;
    int32_t remaining = 0;
    int32_t length = 0;
    bool reverse = false;
    const FadeTable* fadeTable = &FadeTable::shared(); // fades are 440 samples at every rate

    // Called on the voice at the head of the idle list. A reverse voice begins
    // one past the slice's last sample and walks down to its second. A start
    // beyond the ring is reduced into it, so that every read stays inside.
    void start (bool playReverse, uint32_t startPosition, int32_t sliceLength, uint32_t ringLengthInForce) noexcept
    {
        moveToActiveList();
        remaining = sliceLength;
        length = sliceLength;
        ringLength = ringLengthInForce;
        reverse = playReverse;
        const uint64_t first = playReverse ? (uint64_t) startPosition + (uint64_t) sliceLength : startPosition;
        readIndex = (uint32_t) (first % ringLength);
    }

    // Moves the voice with a recording that was shifted by `offset` samples.
    void followRecording (int64_t offset) noexcept
    {
        readIndex = (uint32_t) floorModulo ((int64_t) readIndex + offset, (int64_t) ringLength);
    }

    // One output sample; the sample that plays the voice's last releases it.
    Tap step() noexcept
    {
        const Tap tap { gain(), readIndex };

        if (reverse)
            readIndex = (readIndex == 0 ? ringLength : readIndex) - 1;
        else
            readIndex = readIndex + 1 >= ringLength ? 0 : readIndex + 1;

        if (remaining > 1)
            --remaining;
        else
            moveToFreeList();

        return tap;
    }

    // The smaller of the fade-out by the samples still to come and the fade-in
    // by the samples already played.
    float gain() const noexcept
    {
        const float fadeOut = fadeTable->gainAfterSamples (remaining);
        const float fadeIn = fadeTable->gainAfterSamples (length - remaining);
        return fadeOut < fadeIn ? fadeOut : fadeIn;
    }
};

} // namespace tavrel
