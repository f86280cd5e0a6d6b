#pragma once

// Drives a processor as the frame does, block by block, with a fake host
// whose transport advances with the samples played.

#include "FakeHost.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>

#include <functional>
#include <vector>

namespace tavrel::test
{

struct StereoSignal
{
    std::vector<float> left, right;

    explicit StereoSignal (size_t length = 0, float value = 0.0f) : left (length, value), right (length, value) {}

    size_t size() const { return left.size(); }

    // Each sample holds its own index + 1, so an output sample at full gain
    // tells which recorded sample a voice read.
    static StereoSignal ramp (size_t length, float rightOffset = 0.0f)
    {
        StereoSignal s (length);
        for (size_t i = 0; i < length; ++i)
        {
            s.left[i] = (float) (i + 1);
            s.right[i] = (float) (i + 1) + rightOffset;
        }
        return s;
    }
};

template <typename Filter>
class ProcessorRig
{
public:
    ProcessorRig() : host (processor) {}

    void play (double bpm, double startSeconds = 0.0)
    {
        host.play (bpm, startSeconds);
        songPosition = startSeconds * sampleRate;
    }

    void stop() { host.position.isPlaying = false; }
    void loseTimeInfo() { host.hasPosition = false; }

    // Processes the signal in blocks; the song position follows the samples
    // while the transport plays. Calls `beforeBlock` with the block's first
    // sample index.
    StereoSignal process (const StereoSignal& input, int blockSize = 512,
                          const std::function<void (size_t)>& beforeBlock = {})
    {
        StereoSignal output (input.size());
        StereoSignal work = input;

        for (size_t start = 0; start < input.size(); start += (size_t) blockSize)
        {
            if (beforeBlock)
                beforeBlock (start);

            const int n = (int) std::min ((size_t) blockSize, input.size() - start);
            host.position.timeInSeconds = songPosition / sampleRate;

            float* in[] = { work.left.data() + start, work.right.data() + start };
            float* out[] = { output.left.data() + start, output.right.data() + start };
            juce::AudioBuffer<float> inBuffer (in, 2, n), outBuffer (out, 2, n);
            juce::MidiBuffer midi;
            processor.processBlock (inBuffer, outBuffer, false, midi);

            if (host.hasPosition && host.position.isPlaying)
                songPosition += n;
        }
        return output;
    }

    Filter processor;
    FakeHostLink host;
    double sampleRate = 44100.0;
    double songPosition = 0.0;
};

} // namespace tavrel::test
