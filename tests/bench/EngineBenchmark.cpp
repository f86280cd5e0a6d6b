// Cost of the block process per stereo sample, against a plain copy of the
// same buffers as the floor. Prints one line per case:
//   <case>: <ns> ns/sample, <x> x real time at 44.1 kHz
#include "FakeHost.h"
#include "LooperFilter.h"
#include "SlicerFilter.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace
{

constexpr int blockSize = 512;

// A processor and a host that plays at one tempo, block after block.
struct PlayingProcessor
{
    template <typename Processor>
    PlayingProcessor (std::unique_ptr<Processor> p, double bpm)
        : processor (std::move (p)), host (*processor)
    {
        host.play (bpm);
    }

    void block (float* const* in, float* const* out)
    {
        host.position.timeInSeconds = position / 44100.0;
        juce::AudioBuffer<float> input (in, 2, blockSize), output (out, 2, blockSize);
        processor->processBlock (input, output, false, midi);
        position += blockSize;
    }

    std::unique_ptr<tavrel::AudioFilterBase> processor;
    tavrel::test::FakeHostLink host;
    juce::MidiBuffer midi;
    double position = 0.0;
};

struct Buffers
{
    Buffers() : inL (blockSize), inR (blockSize), outL (blockSize), outR (blockSize)
    {
        for (int i = 0; i < blockSize; ++i)
            inL[(size_t) i] = inR[(size_t) i] = (float) ((i * 7919) % 2000) / 1000.0f - 1.0f;
    }

    std::vector<float> inL, inR, outL, outR;
    float* in[2] = { inL.data(), inR.data() };
    float* out[2] = { outL.data(), outR.data() };
};

void runBlocks (benchmark::State& state, const std::function<void (Buffers&)>& block)
{
    Buffers buffers;
    for (auto _ : state)
    {
        block (buffers);
        benchmark::DoNotOptimize (buffers.outL.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed ((int64_t) state.iterations() * blockSize);
}

void slicerCase (benchmark::State& state, std::function<void (tavrel::SlicerFilter&)> configure, double bpm)
{
    auto slicer = std::make_unique<tavrel::SlicerFilter>();
    configure (*slicer);
    PlayingProcessor playing (std::move (slicer), bpm);
    runBlocks (state, [&] (Buffers& b) { playing.block (b.in, b.out); });
}

void slicerTypical (benchmark::State& state)
{
    slicerCase (state, [] (tavrel::SlicerFilter&) {}, 120.0);
}

void slicerWorst (benchmark::State& state)
{
    // The densest grid with the longest ring, every slice played backwards and
    // a mode that moves to another slice at every boundary.
    slicerCase (state, [] (tavrel::SlicerFilter& s)
    {
        s.setParameter (tavrel::SlicerParameters::sizeIndex, 1.0f);   // 1/32 bar
        s.setParameter (tavrel::SlicerParameters::bufLenIndex, 1.0f); // 4 bars
        s.setParameter (tavrel::SlicerParameters::reverseIndex, 1.0f);
        s.setParameter (9, 1.0f);                                      // "Play 5th"
    }, 300.0);
}

void looperCase (benchmark::State& state, std::function<void (tavrel::LooperFilter&)> configure, double bpm)
{
    auto looper = std::make_unique<tavrel::LooperFilter>();
    configure (*looper);
    PlayingProcessor playing (std::move (looper), bpm);
    runBlocks (state, [&] (Buffers& b) { playing.block (b.in, b.out); });
}

void looperTypical (benchmark::State& state)
{
    // Quarter-bar slices (the initial size), looping.
    looperCase (state, [] (tavrel::LooperFilter& l)
    {
        l.setParameter (tavrel::LooperParameters::loopButton, 1.0f);
    }, 120.0);
}

void looperWorst (benchmark::State& state)
{
    // The densest grid, a window that turns back and forth and is resized at
    // every sample by full-depth modulation.
    looperCase (state, [] (tavrel::LooperFilter& l)
    {
        l.setParameter (tavrel::LooperParameters::sliceSizeIndex, 1.0f); // 1/64 bar
        l.setParameter (tavrel::LooperParameters::alternatingButton, 1.0f);
        l.setParameter (tavrel::LooperParameters::modulationIndex, 1.0f);
    }, 300.0);
}

void copyFloor (benchmark::State& state)
{
    runBlocks (state, [] (Buffers& b)
    {
        std::memcpy (b.outL.data(), b.inL.data(), blockSize * sizeof (float));
        std::memcpy (b.outR.data(), b.inR.data(), blockSize * sizeof (float));
    });
}

// Prints the figures this project quotes instead of the library's table.
class RealTimeReporter : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext (const Context&) override { return true; }

    void ReportRuns (const std::vector<Run>& runs) override
    {
        for (const auto& run : runs)
        {
            const auto rate = run.counters.find ("items_per_second");
            if (rate == run.counters.end() || rate->second.value <= 0.0)
                continue;

            const double nsPerSample = 1.0e9 / rate->second.value;
            const double realTime = (1.0e9 / 44100.0) / nsPerSample;
            std::printf ("%s: %.2f ns/sample, %.0f x real time at 44.1 kHz\n",
                         run.run_name.function_name.c_str(), nsPerSample, realTime);
        }
        std::fflush (stdout);
    }
};

} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;

    benchmark::RegisterBenchmark ("slicer/typical", slicerTypical)->MinTime (1.0);
    benchmark::RegisterBenchmark ("slicer/worst", slicerWorst)->MinTime (1.0);
    benchmark::RegisterBenchmark ("looper/typical", looperTypical)->MinTime (1.0);
    benchmark::RegisterBenchmark ("looper/worst", looperWorst)->MinTime (1.0);
    benchmark::RegisterBenchmark ("copy", copyFloor)->MinTime (1.0);

    benchmark::Initialize (&argc, argv);
    RealTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
