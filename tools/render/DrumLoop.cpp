#include "DrumLoop.h"

#include <cmath>

namespace tavrel::render
{

namespace
{
    constexpr double twoPi = 6.283185307179586;

    // The same noise every run, so renders of the loop can be compared.
    class Noise
    {
    public:
        float next() noexcept
        {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            return (float) state / 2147483648.0f - 1.0f;
        }

    private:
        juce::uint32 state = 0x2545f491;
    };

    struct Voice
    {
        juce::AudioBuffer<float>& out;
        double sampleRate;

        // Adds a mono sound made by shape(t) for t in [0, length) seconds.
        template <typename Shape>
        void add (double startSeconds, double lengthSeconds, float pan, Shape&& shape)
        {
            const int start = (int) std::lround (startSeconds * sampleRate);
            const int length = (int) (lengthSeconds * sampleRate);
            const float left = std::sqrt (0.5f * (1.0f - pan));
            const float right = std::sqrt (0.5f * (1.0f + pan));

            for (int i = 0; i < length && start + i < out.getNumSamples(); ++i)
            {
                const float s = shape ((double) i / sampleRate);
                out.addSample (0, start + i, s * left);
                out.addSample (1, start + i, s * right);
            }
        }
    };

    void kick (Voice& v, double at, float velocity)
    {
        double phase = 0.0;
        v.add (at, 0.45, 0.0f, [&, velocity] (double t)
        {
            const double frequency = 48.0 + 110.0 * std::exp (-t * 28.0);
            phase += twoPi * frequency / v.sampleRate;
            const double click = t < 0.004 ? 0.3 * (1.0 - t / 0.004) : 0.0;
            return (float) (velocity * (std::sin (phase) * std::exp (-t * 7.0) + click));
        });
    }

    void snare (Voice& v, Noise& noise, double at, float velocity)
    {
        v.add (at, 0.3, 0.05f, [&, velocity] (double t)
        {
            const double body = std::sin (twoPi * 185.0 * t) * std::exp (-t * 30.0);
            const double rattle = noise.next() * std::exp (-t * 16.0);
            return (float) (velocity * (0.45 * body + 0.4 * rattle));
        });
    }

    void hat (Voice& v, Noise& noise, double at, float velocity, bool open, float pan)
    {
        float previous = 0.0f;
        v.add (at, open ? 0.35 : 0.06, pan, [&, velocity, open] (double t)
        {
            // The difference of successive noise samples keeps only the highs.
            const float white = noise.next();
            const float high = white - previous;
            previous = white;
            return (float) (velocity * 0.16 * high * std::exp (-t * (open ? 9.0 : 70.0)));
        });
    }

    void bass (Voice& v, double at, double length, double frequency)
    {
        v.add (at, length, 0.0f, [length, frequency] (double t)
        {
            const double attack = std::min (1.0, t / 0.005);
            const double release = std::min (1.0, (length - t) / 0.02);
            const double body = std::sin (twoPi * frequency * t) + 0.3 * std::sin (2.0 * twoPi * frequency * t);
            return (float) (0.3 * attack * std::max (0.0, release) * body * (0.6 + 0.4 * std::exp (-t * 4.0)));
        });
    }
}

juce::AudioBuffer<float> makeDrumLoop (double tempo, double sampleRate, int bars)
{
    const double step = 60.0 / tempo / 4.0; // a sixteenth note
    const double bar = 16.0 * step;

    juce::AudioBuffer<float> out (2, (int) std::ceil (bars * bar * sampleRate));
    out.clear();
    Voice v { out, sampleRate };
    Noise noise;

    // A minor: A, A, C, G per half bar, an octave under the kick's body.
    const double bassLine[] = { 55.0, 55.0, 65.41, 49.0 };

    for (int b = 0; b < bars; ++b)
    {
        const double barStart = b * bar;
        const bool fill = b % 4 == 3;

        for (int s = 0; s < 16; ++s)
        {
            const double at = barStart + s * step;

            if (s == 0 || s == 8 || (s == 10 && b % 2 == 1) || (fill && s == 14))
                kick (v, at, s == 0 ? 1.0f : 0.85f);

            if (s == 4 || s == 12)
                snare (v, noise, at, 1.0f);
            else if (fill && s >= 13)
                snare (v, noise, at, 0.35f + 0.15f * (float) (s - 13));

            const bool openHat = s == 14 && ! fill;
            if (openHat || s % 2 == 0 || fill)
                hat (v, noise, at, s % 4 == 2 ? 1.0f : 0.6f, openHat, s % 4 == 0 ? -0.3f : 0.3f);
        }

        for (int half = 0; half < 2; ++half)
        {
            const double frequency = bassLine[(2 * b + half) % 4];
            bass (v, barStart + half * 8 * step, 3 * step, frequency);
            bass (v, barStart + (half * 8 + 3) * step, 2 * step, frequency);
            bass (v, barStart + (half * 8 + 6) * step, 1.5 * step, frequency * 2.0);
        }
    }

    const float peak = out.getMagnitude (0, out.getNumSamples());
    if (peak > 0.0f)
        out.applyGain (0.8f / peak);

    return out;
}

} // namespace tavrel::render
