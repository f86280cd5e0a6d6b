#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace tavrel::test
{

// The transport a JUCE-hosted plug-in sees in our tests: a 4/4 song at a
// fixed tempo, at a sample position the test moves on.
class HostPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (bpm);
        info.setTimeSignature (TimeSignature { 4, 4 });
        info.setTimeInSamples (samplePosition);
        info.setTimeInSeconds ((double) samplePosition / sampleRate);
        info.setPpqPosition ((double) samplePosition / sampleRate * bpm / 60.0);
        info.setIsPlaying (playing);
        return info;
    }

    double bpm = 120.0;
    double sampleRate = 44100.0;
    bool playing = true;
    juce::int64 samplePosition = 0;
};

} // namespace tavrel::test
