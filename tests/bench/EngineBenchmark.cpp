// Cost of the block process per stereo sample, against a plain copy of the
// same buffers as the floor. Prints one line per case:
//   <case>: <ns> ns/sample, <x> x real time at 44.1 kHz
// then the worst cases' engines alone (no frame, no lock, no position query)
// at 16- and 4096-frame blocks: what a short block costs the engine itself.
#include "FakeHost.h"
#include "LooperFilter.h"
#include "SlicerFilter.h"

#include <benchmark/benchmark.h>
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
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

// The worst cases' settings, written the same way to a processor and to a
// bare engine's parameter set.
struct Write
{
    int index;
    float value;
};

// The densest grid with the longest ring, every slice played backwards and a
// mode that moves to another slice at every boundary.
constexpr Write slicerWorstWrites[] = {
    { tavrel::SlicerParameters::sizeIndex, 1.0f },    // 1/32 bar
    { tavrel::SlicerParameters::bufLenIndex, 1.0f },  // 4 bars
    { tavrel::SlicerParameters::reverseIndex, 1.0f },
    { 9, 1.0f },                                      // "Play 5th"
};

// The densest grid, a window that turns back and forth and is resized at
// every sample by full-depth modulation.
constexpr Write looperWorstWrites[] = {
    { tavrel::LooperParameters::sliceSizeIndex, 1.0f }, // 1/64 bar
    { tavrel::LooperParameters::alternatingButton, 1.0f },
    { tavrel::LooperParameters::modulationIndex, 1.0f },
};

void slicerTypical (benchmark::State& state)
{
    slicerCase (state, [] (tavrel::SlicerFilter&) {}, 120.0);
}

void slicerWorst (benchmark::State& state)
{
    slicerCase (state, [] (tavrel::SlicerFilter& s)
    {
        for (const auto& w : slicerWorstWrites)
            s.setParameter (w.index, w.value);
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
    looperCase (state, [] (tavrel::LooperFilter& l)
    {
        for (const auto& w : looperWorstWrites)
            l.setParameter (w.index, w.value);
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

// An engine driven directly, block after block, as the frame drives it: the
// host's input copied in, the song position in seconds, the rate.
template <typename Parameters, typename Engine>
struct BareEngine
{
    template <size_t writeCount, typename... EngineArguments>
    BareEngine (int frames, double bpm, const Write (&writes)[writeCount], EngineArguments... engineArguments)
        : engine (parameters, engineArguments...), transport { true, bpm, 0.0, true },
          input ((size_t) frames), left ((size_t) frames), right ((size_t) frames)
    {
        for (const auto& w : writes)
            parameters.write (w.index, w.value);
        for (size_t i = 0; i < input.size(); ++i)
            input[i] = (float) std::sin (0.05 * (double) i) * 0.5f + 0.01f;
    }

    void play (int frames)
    {
        const int framesPerBlock = (int) input.size();
        for (int done = 0; done < frames; done += framesPerBlock)
        {
            std::copy (input.begin(), input.end(), left.begin());
            std::copy (input.begin(), input.end(), right.begin());
            transport.timeInSeconds = position / 44100.0;
            engine.process (left.data(), right.data(), framesPerBlock, transport, 44100.0);
            position += framesPerBlock;
        }
    }

    Parameters parameters;
    Engine engine;
    tavrel::TransportState transport;
    std::vector<float> input, left, right;
    double position = 0.0;
    double best = 1.0e9;
};

double threadCpuNanoseconds()
{
    timespec now {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec * 1.0e9 + (double) now.tv_nsec;
}

// The two sizes in turn, 41 turns of 10 s of audio each, the best kept.
template <typename Bare>
void reportShortBlocks (const char* name, Bare& shortBlocks, Bare& longBlocks)
{
    constexpr int framesPerTurn = 441000;
    shortBlocks.play (framesPerTurn / 2);
    longBlocks.play (framesPerTurn / 2);

    for (int turn = 0; turn < 41; ++turn)
        for (auto* bare : { &shortBlocks, &longBlocks })
        {
            const double start = threadCpuNanoseconds();
            bare->play (framesPerTurn);
            bare->best = std::min (bare->best, (threadCpuNanoseconds() - start) / framesPerTurn);
        }

    const double fixedPerBlock = (shortBlocks.best - longBlocks.best) * (double) shortBlocks.input.size();
    std::printf ("%s engine alone: %.2f ns/frame at %zu-frame blocks, %.2f at %zu, %.2f x; %.1f ns per block more\n",
                 name, shortBlocks.best, shortBlocks.input.size(), longBlocks.best, longBlocks.input.size(),
                 shortBlocks.best / longBlocks.best, fixedPerBlock);
}

// On the calling thread, whose processor time reportShortBlocks reads.
void reportEnginesAlone()
{
    using BareSlicer = BareEngine<tavrel::SlicerParameters, tavrel::SlicerEngine>;
    auto slicer16 = std::make_unique<BareSlicer> (16, 300.0, slicerWorstWrites, 1u);
    auto slicer4096 = std::make_unique<BareSlicer> (4096, 300.0, slicerWorstWrites, 1u);
    reportShortBlocks ("slicer/worst", *slicer16, *slicer4096);

    using BareLooper = BareEngine<tavrel::LooperParameters, tavrel::LooperEngine>;
    auto looper16 = std::make_unique<BareLooper> (16, 300.0, looperWorstWrites);
    auto looper4096 = std::make_unique<BareLooper> (4096, 300.0, looperWorstWrites);
    reportShortBlocks ("looper/worst", *looper16, *looper4096);
}

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

    reportEnginesAlone();
    return 0;
}
