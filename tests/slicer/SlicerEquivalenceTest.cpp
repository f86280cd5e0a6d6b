// The engine skips the per-sample work of a literal reading of the rules (the
// phase test, the modulo steps, the fade-table fill at every start). These
// tests drive it and the literal model side by side through randomised
// sessions and demand the same samples, bit for bit.
#include "SlicerEngine.h"
#include "SlicerReference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

struct Session
{
    uint32_t seed;
    double sampleRate;
    int blocks;
};

class Twins
{
public:
    explicit Twins (uint32_t seed) : engine (params, seed), reference (params, seed) {}

    // Processes one block in both and reports the first differing sample, or -1.
    long block (const std::vector<float>& left, const std::vector<float>& right,
                const TransportState& transport, double sampleRate, bool mono)
    {
        auto l1 = left, r1 = mono ? left : right;
        auto l2 = l1, r2 = r1;
        const int n = (int) left.size();

        engine.process (l1.data(), mono ? l1.data() : r1.data(), n, transport, sampleRate);
        reference.process (l2.data(), mono ? l2.data() : r2.data(), n, transport, sampleRate);

        for (int i = 0; i < n; ++i)
            if (std::memcmp (&l1[(size_t) i], &l2[(size_t) i], sizeof (float)) != 0
                || std::memcmp (&r1[(size_t) i], &r2[(size_t) i], sizeof (float)) != 0)
                return i;
        return -1;
    }

    SlicerParameters params;
    SlicerEngine engine;
    SlicerReference reference;
};

void randomWrite (SlicerParameters& params, std::mt19937& gen)
{
    std::uniform_real_distribution<float> unit (0.0f, 1.0f);
    const int index = std::uniform_int_distribution<int> (0, 19) (gen);
    const float value = (gen() % 3 == 0) ? (float) (gen() % 2) : unit (gen);
    params.write (index, value);
}

TEST (SlicerEquivalence, RandomisedSessionsMatchTheLiteralModelSampleForSample)
{
    const Session sessions[] = {
        { 1, 44100.0, 600 }, { 2, 48000.0, 600 }, { 3, 96000.0, 400 }, { 4, 22050.0, 600 },
        { 5, 44100.0, 800 }, { 6, 88200.0, 400 }, { 7, 44100.0, 600 }, { 8, 32000.0, 600 },
    };

    for (const auto& session : sessions)
    {
        std::mt19937 gen (session.seed);
        Twins twins (session.seed);

        std::uniform_real_distribution<float> audio (-1.0f, 1.0f);
        const double tempos[] = { 120.0, 97.3, 174.0, 300.0, 60.0, 133.33, 15.0, 250.5 };
        double tempo = tempos[gen() % 8];
        double position = 0.0;
        bool playing = true;
        bool mono = false;

        for (int b = 0; b < session.blocks; ++b)
        {
            const int n = (int) (gen() % 8 == 0 ? gen() % 8 + 1 : gen() % 2048 + 1);

            // Mostly steady playback, now and then what hosts do to it.
            switch (gen() % 40)
            {
                case 0: tempo = tempos[gen() % 8]; break;
                case 1: playing = ! playing; break;
                case 2: position = (double) (gen() % 2000000); break; // relocate
                case 3: position = std::max (0.0, position - (double) (gen() % 50000)); break; // loop back
                case 4: mono = ! mono; break;
                case 5: twins.engine.clearRecording(); twins.reference.clearRecording(); break;
                default: break;
            }
            for (int w = (int) (gen() % 3); w > 0; --w)
                randomWrite (twins.params, gen);

            std::vector<float> left ((size_t) n), right ((size_t) n);
            for (int i = 0; i < n; ++i)
            {
                left[(size_t) i] = audio (gen);
                right[(size_t) i] = audio (gen);
            }

            const TransportState transport { true, tempo, position / session.sampleRate, playing };
            const long mismatch = twins.block (left, right, transport, session.sampleRate, mono);
            ASSERT_EQ (mismatch, -1) << "seed " << session.seed << " block " << b << " tempo " << tempo
                                     << " position " << position;
            if (playing)
                position += n;
        }
    }
}

TEST (SlicerEquivalence, WorstCaseGridMatchesTheLiteralModel)
{
    // 1/32 bar at 300 BPM (1102.5 samples a slice), 4 bars, reverse, every
    // mode in turn, largest trims both ways.
    Twins twins (99);
    twins.params.write (SlicerParameters::sizeIndex, 1.0f);
    twins.params.write (SlicerParameters::bufLenIndex, 1.0f);
    twins.params.write (SlicerParameters::reverseIndex, 1.0f);

    std::mt19937 gen (5);
    std::uniform_real_distribution<float> audio (-1.0f, 1.0f);
    double position = 0.0;

    for (int b = 0; b < 900; ++b)
    {
        if (b % 60 == 0)
            twins.params.write (SlicerParameters::modeIndex, (float) (b / 60) / 14.0f);
        if (b % 97 == 0)
            twins.params.write (SlicerParameters::trimIndex, (b / 97) % 2 == 0 ? 1.0f : 0.0f);

        std::vector<float> left (512), right (512);
        for (size_t i = 0; i < 512; ++i)
        {
            left[i] = audio (gen);
            right[i] = audio (gen);
        }
        const TransportState transport { true, 300.0, position / 44100.0, true };
        ASSERT_EQ (twins.block (left, right, transport, 44100.0, false), -1) << "block " << b;
        position += 512;
    }
}

TEST (SlicerEquivalence, CappedRingsMatchTheLiteralModelPastTheBarLines)
{
    // Four bars at 15 BPM overrun the ring: the write position wraps at the
    // cap and begins again at every fourth bar line, with voices sounding.
    for (int mode : { 1, 7, 14 })
    {
        Twins twins ((uint32_t) mode);
        twins.params.write (SlicerParameters::bufLenIndex, 1.0f);
        twins.params.write (SlicerParameters::modeIndex, (float) mode / 14.0f);

        std::mt19937 gen ((uint32_t) mode);
        std::uniform_real_distribution<float> audio (-1.0f, 1.0f);
        double position = 0.0;

        while (position < 2 * 2822400.0 + 100000.0)
        {
            const int n = (int) (gen() % 4096 + 1);
            std::vector<float> left ((size_t) n), right ((size_t) n);
            for (int i = 0; i < n; ++i)
            {
                left[(size_t) i] = audio (gen);
                right[(size_t) i] = audio (gen);
            }
            const TransportState transport { true, 15.0, position / 44100.0, true };
            ASSERT_EQ (twins.block (left, right, transport, 44100.0, false), -1) << "mode " << mode << " position " << position;
            position += n;
        }
    }
}

} // namespace
