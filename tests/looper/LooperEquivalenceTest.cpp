// The engine counts samples to the next boundary, shares one fade table and
// takes shortcuts in the voice's envelope; none of that may change a single
// output bit. It is checked against the literal reference over randomised
// hosts: tempos from a capped ring to one-sample slices, sample rates, block
// sizes, every mode, parameter changes between blocks, stops and relocations.
#include "LooperReference.h"
#include "LooperRig.h"

#include <gtest/gtest.h>

#include <random>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

class LooperEquivalence : public ::testing::TestWithParam<uint32_t> {};

TEST_P (LooperEquivalence, EngineMatchesTheLiteralReferenceBitForBit)
{
    std::mt19937 random (GetParam());
    auto uniform = [&] (double lo, double hi) { return std::uniform_real_distribution<double> (lo, hi) (random); };
    auto chance = [&] (double p) { return uniform (0.0, 1.0) < p; };

    LooperFilter looper;
    FakeHostLink host (looper);
    ReferenceLooper reference (looper.parameters());

    const double sampleRates[] = { 44100.0, 48000.0, 96000.0, 22050.0 };
    const double tempos[] = { 120.0, 97.3, 133.33, 300.0, 61.7, 174.0, 3.0, 2.5, 2600.0, 125000.0, 0.0 };
    const double sampleRate = sampleRates[random() % 4];
    looper.setPlayConfiguration (sampleRate, 512);

    double tempo = tempos[random() % 11];
    double songPosition = std::floor (uniform (0.0, 500000.0));
    const int totalSamples = tempo < 10.0 ? 3000000 : 150000;

    std::vector<float> left, right, expectedLeft, expectedRight;
    for (int done = 0; done < totalSamples;)
    {
        // Host-side changes between blocks.
        if (chance (0.3))
            looper.setParameter ((int) (random() % 9), (float) uniform (-0.1, 1.1));
        if (chance (0.02))
            tempo = tempos[random() % 11];
        if (chance (0.02))
            songPosition = std::floor (uniform (0.0, 1.0e6));
        host.hasPosition = ! chance (0.01);
        host.position.isPlaying = ! chance (0.03);
        host.position.bpm = tempo;
        host.position.timeInSeconds = songPosition / sampleRate;

        const int n = 1 + (int) (random() % (tempo < 10.0 ? 65536 : 2048));
        left.resize ((size_t) n);
        right.resize ((size_t) n);
        for (int i = 0; i < n; ++i)
        {
            left[(size_t) i] = (float) uniform (-1.0, 1.0);
            right[(size_t) i] = (float) uniform (-1.0, 1.0);
        }
        expectedLeft = left;
        expectedRight = right;

        TransportState transport { host.hasPosition, tempo, host.position.timeInSeconds, host.position.isPlaying };
        reference.process (expectedLeft.data(), expectedRight.data(), n, transport, sampleRate);

        float* channels[] = { left.data(), right.data() };
        juce::AudioBuffer<float> buffer (channels, 2, n);
        juce::MidiBuffer midi;
        looper.processBlock (buffer, buffer, false, midi);

        for (int i = 0; i < n; ++i)
        {
            ASSERT_EQ (left[(size_t) i], expectedLeft[(size_t) i]) << "sample " << done + i << " tempo " << tempo;
            ASSERT_EQ (right[(size_t) i], expectedRight[(size_t) i]) << "sample " << done + i << " tempo " << tempo;
        }

        if (host.hasPosition && host.position.isPlaying)
            songPosition += n;
        done += n;
    }
}

INSTANTIATE_TEST_SUITE_P (Seeds, LooperEquivalence, ::testing::Range (1u, 41u));

struct CappedSession
{
    double bpm;
    double sampleRate;
    int button;
};

TEST (LooperEquivalence, CappedRingsMatchTheLiteralReferencePastTheBarLines)
{
    // Bars longer than the ring: the write position wraps at the cap and
    // begins again at every bar line while a voice sounds.
    const CappedSession sessions[] = {
        { 3.0, 44100.0, LooperParameters::loopButton },
        { 2.5, 44100.0, LooperParameters::alternatingButton },
        { 8.0, 96000.0, LooperParameters::loopButton },
    };

    for (const auto& session : sessions)
    {
        LooperFilter looper;
        FakeHostLink host (looper);
        ReferenceLooper reference (looper.parameters());
        looper.setPlayConfiguration (session.sampleRate, 4096);
        looper.setParameter (session.button, 1.0f);
        host.play (session.bpm);

        std::mt19937 random ((uint32_t) session.bpm);
        std::uniform_real_distribution<float> audio (-1.0f, 1.0f);
        const double bar = 60.0 / session.bpm * session.sampleRate * 4.0;
        std::vector<float> left, right, expectedLeft, expectedRight;

        for (double songPosition = 0.0; songPosition < 2.0 * bar + 100000.0;)
        {
            const int n = 1 + (int) (random() % 8192);
            left.resize ((size_t) n);
            right.resize ((size_t) n);
            for (int i = 0; i < n; ++i)
            {
                left[(size_t) i] = audio (random);
                right[(size_t) i] = audio (random);
            }
            expectedLeft = left;
            expectedRight = right;

            host.position.timeInSeconds = songPosition / session.sampleRate;
            const TransportState transport { true, session.bpm, host.position.timeInSeconds, true };
            reference.process (expectedLeft.data(), expectedRight.data(), n, transport, session.sampleRate);

            float* channels[] = { left.data(), right.data() };
            juce::AudioBuffer<float> buffer (channels, 2, n);
            juce::MidiBuffer midi;
            looper.processBlock (buffer, buffer, false, midi);

            ASSERT_EQ (left, expectedLeft) << session.bpm << " BPM, block at " << songPosition;
            ASSERT_EQ (right, expectedRight) << session.bpm << " BPM, block at " << songPosition;
            songPosition += n;
        }
    }
}

} // namespace
