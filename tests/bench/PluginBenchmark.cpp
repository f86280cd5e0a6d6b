// What a producer's project feels of the two plug-ins, measured through the
// built libraries as a host loads them (entry point, effect record):
//
// - resident memory per instance: 20 instances, each fed 10 s of audio at
//   120 BPM, 44.1 kHz, transport playing, in a wet mode, with the minor page
//   faults the audio thread takes in each second of it;
// - creation time per instance (record, open, sample rate, resume), beside
//   the cost of clearing one ring of 2,646,000 floats;
// - the cost per frame of each plug-in's worst case at several block sizes
//   (the sizes measured in turn, so that the ratios hold on a busy or
//   virtual machine), and the real-time factor at 44.1 kHz; beside it the
//   cost of the host's own loop around an effect that does nothing, and the
//   plug-in's cost without it.
//
// Usage: plugin_benchmark [--profile <block size>] [Zintrak.so Morlune.so]
// (default: this build's libraries). --profile only plays each worst case
// for a few seconds at one block size, for a run under callgrind.
// Timings are the best of several repeats: other programs share the machine.
#include "TestHost.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

constexpr double sampleRate = 44100.0;
constexpr size_t ringFloats = 2646000;
constexpr int instancesInProject = 20;
constexpr int scenarioBlock = 512;
constexpr int scenarioSeconds = 10;
constexpr int repeats = 9;
// Block-size runs are short (a few milliseconds each) and the ratios between
// sizes are what counts: many turns let each size meet the machine's fast
// spells.
constexpr int blockSizeTurns = 41;

using Clock = std::chrono::steady_clock;

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

// The processor time of the calling thread: other programs' load stretches
// the wall clock, much less this.
double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec * 1.0e3 + (double) now.tv_nsec * 1.0e-6;
}

// Runs one part in a child process of its own, so that no part inherits the
// heap another left behind (the allocator's thresholds move with use) and
// the resident memory measured is this part's alone.
void inChildProcess (const std::function<void()>& part)
{
    std::fflush (stdout);
    const pid_t child = fork();
    if (child == 0)
    {
        part();
        std::fflush (stdout);
        _exit (0);
    }
    int status = 0;
    waitpid (child, &status, 0);
}

size_t residentBytes()
{
    std::ifstream statm ("/proc/self/statm");
    size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (size_t) sysconf (_SC_PAGESIZE);
}

long threadMinorFaults()
{
    rusage usage {};
    getrusage (RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// Runs the work on a thread of its own, as a host's audio thread runs the
// process calls, so that its page faults are counted apart from the rest.
void onAudioThread (const std::function<void()>& work)
{
    std::thread audio (work);
    audio.join();
}

struct Plugin
{
    const char* name;
    const char* path;
    std::function<void (OpenEffect&)> wetMode;   // for the project scenario
    std::function<void (OpenEffect&)> worstCase;
    double worstTempo;
};

void set (OpenEffect& effect, int index, float value) { effect->setParameter (effect.get(), index, value); }

std::unique_ptr<OpenEffect> createAndResume (const PluginLibrary& library)
{
    auto effect = std::make_unique<OpenEffect> (library.create());
    effect->dispatch (effSetSampleRate, 0, 0, nullptr, (float) sampleRate);
    effect->dispatch (effSetBlockSize, 0, scenarioBlock);
    effect->dispatch (effMainsChanged, 0, 1);
    return effect;
}

// A drum-like input that is never silent, so that the rings hold audio.
struct Input
{
    explicit Input (int frames) : block ((size_t) frames), output ((size_t) frames)
    {
        for (int i = 0; i < frames; ++i)
            block.left[(size_t) i] = block.right[(size_t) i] = (float) std::sin (0.05 * i) * 0.5f + 0.01f;
    }

    void process (OpenEffect& effect, int frames)
    {
        // The host hands fresh input every block; processing replaces it.
        std::copy_n (block.left.data(), frames, output.left.data());
        std::copy_n (block.right.data(), frames, output.right.data());
        effect.processReplacing (output.channels(), output.channels(), frames);
    }

    StereoBlock block, output;
};

void reportCreationAndMemory (const Plugin& plugin, TestHost& host)
{
    PluginLibrary library { plugin.path };
    if (! library.isLoaded())
    {
        std::printf ("%s: cannot load %s\n", plugin.name, plugin.path);
        return;
    }

    // The library's runtime comes up with the first instance; it stays open.
    auto first = createAndResume (library);

    const size_t residentBefore = residentBytes();
    std::vector<std::unique_ptr<OpenEffect>> project;
    std::vector<double> wallTimes, cpuTimes;
    for (int i = 0; i < instancesInProject; ++i)
    {
        const auto start = Clock::now();
        const double cpuStart = threadCpuMilliseconds();
        project.push_back (createAndResume (library));
        cpuTimes.push_back (threadCpuMilliseconds() - cpuStart);
        wallTimes.push_back (millisecondsSince (start));
        plugin.wetMode (*project.back());
    }
    std::sort (wallTimes.begin(), wallTimes.end());
    std::sort (cpuTimes.begin(), cpuTimes.end());
    const size_t residentCreated = residentBytes();

    // One audio thread plays the project block by block, every instance in turn.
    std::vector<long> faultsPerSecond ((size_t) scenarioSeconds, 0);
    host.play (120.0);
    onAudioThread ([&]
    {
        Input input (scenarioBlock);
        const int blocksPerSecond = (int) std::ceil (sampleRate / scenarioBlock);
        for (int second = 0; second < scenarioSeconds; ++second)
        {
            const long faultsAtStart = threadMinorFaults();
            for (int b = 0; b < blocksPerSecond; ++b)
            {
                for (auto& effect : project)
                    input.process (*effect, scenarioBlock);
                host.time.samplePos += scenarioBlock;
            }
            faultsPerSecond[(size_t) second] = threadMinorFaults() - faultsAtStart;
        }
    });
    const size_t residentPlayed = residentBytes();

    const double mb = 1024.0 * 1024.0;
    std::printf ("%s: creation per instance %.3f ms (median; best %.3f), processor time %.3f ms (median)\n", plugin.name,
                 wallTimes[wallTimes.size() / 2], wallTimes.front(), cpuTimes[cpuTimes.size() / 2]);
    std::printf ("%s: resident %.2f MB per instance after creation, %.2f MB after %d s at 120 BPM\n",
                 plugin.name, (double) (residentCreated - residentBefore) / instancesInProject / mb,
                 (double) (residentPlayed - residentBefore) / instancesInProject / mb, scenarioSeconds);

    long steady = 0;
    for (int second = 2; second < scenarioSeconds; ++second)
        steady += faultsPerSecond[(size_t) second];
    std::printf ("%s: audio-thread minor faults for %d instances: 1st s %ld, 2nd s %ld, 3rd-%dth s %ld\n",
                 plugin.name, instancesInProject, faultsPerSecond[0], faultsPerSecond[1], scenarioSeconds, steady);

    // Suspend, resume and play again, as a host does when it stops the engine.
    for (auto& effect : project)
    {
        effect->dispatch (effMainsChanged, 0, 0);
        effect->dispatch (effMainsChanged, 0, 1);
    }
    long faultsAfterResume = 0;
    onAudioThread ([&]
    {
        Input input (scenarioBlock);
        const long faultsAtStart = threadMinorFaults();
        for (int b = 0; b < (int) (sampleRate / scenarioBlock) * 3; ++b)
        {
            for (auto& effect : project)
                input.process (*effect, scenarioBlock);
            host.time.samplePos += scenarioBlock;
        }
        faultsAfterResume = threadMinorFaults() - faultsAtStart;
    });
    std::printf ("%s: audio-thread minor faults in 3 s after suspend and resume: %ld; resident %.2f MB per instance\n",
                 plugin.name, faultsAfterResume, (double) (residentBytes() - residentBefore) / instancesInProject / mb);
}

// Plays the frames to one effect in blocks of the input's size, moving the
// host's song position on.
void playBlocks (OpenEffect& effect, Input& input, TestHost& host, int frames)
{
    const int blockSize = (int) input.block.size();
    for (int done = 0; done < frames; done += blockSize)
    {
        input.process (effect, blockSize);
        host.time.samplePos += blockSize;
    }
}

// An effect that does nothing: what the host's own loop costs per block
// (fresh input copied into the buffers, the position moved on), measured in
// the same turns as the plug-in so that the plug-in's share can be told apart.
AEffect* emptyEffect()
{
    static AEffect record = []
    {
        AEffect e {};
        e.magic = effectMagic;
        e.dispatcher = [] (AEffect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; };
        e.processReplacing = [] (AEffect*, float**, float**, int32_t) {};
        e.numInputs = e.numOutputs = 2;
        return e;
    }();
    return &record;
}

struct BlockCosts
{
    std::vector<double> plugin; // ns per frame, host loop included
    std::vector<double> host;   // ns per frame of the host loop alone
};

// ns per frame of the worst case at each block size, in processor time of the
// audio thread: one instance per block size, each warmed up over the whole
// ring, then runs of 20 s of audio taken in turn, size after size, and the
// best run of each size kept. Taking the sizes in turn rather than one after
// another keeps a slow spell of the machine (other programs, a virtual
// machine's neighbours) from landing on one size alone. The empty effect
// takes its turns among them.
BlockCosts worstCaseNsPerFrame (const Plugin& plugin, const PluginLibrary& library, TestHost& host,
                                const std::vector<int>& blockSizes)
{
    struct Player
    {
        std::unique_ptr<OpenEffect> effect;
        Input input;
        double samplePosition = 0.0;
        double best = 1.0e9;
    };

    std::vector<Player> players, emptyPlayers;
    for (int blockSize : blockSizes)
    {
        players.push_back ({ createAndResume (library), Input (blockSize) });
        plugin.worstCase (*players.back().effect);
        emptyPlayers.push_back ({ std::make_unique<OpenEffect> (emptyEffect()), Input (blockSize) });
    }

    host.play (plugin.worstTempo);
    onAudioThread ([&]
    {
        const auto play = [&] (Player& player, int frames)
        {
            host.time.samplePos = player.samplePosition;
            playBlocks (*player.effect, player.input, host, frames);
            player.samplePosition = host.time.samplePos;
        };

        for (auto& player : players)
            play (player, (int) sampleRate * 5);

        constexpr int framesPerRun = (int) sampleRate * 20;
        for (int r = 0; r < blockSizeTurns; ++r)
            for (size_t i = 0; i < players.size(); ++i)
                for (auto* player : { &players[i], &emptyPlayers[i] })
                {
                    const double start = threadCpuMilliseconds();
                    play (*player, framesPerRun);
                    player->best = std::min (player->best, (threadCpuMilliseconds() - start) * 1.0e6 / framesPerRun);
                }
    });

    BlockCosts costs;
    for (size_t i = 0; i < players.size(); ++i)
    {
        costs.plugin.push_back (players[i].best);
        costs.host.push_back (emptyPlayers[i].best);
    }
    return costs;
}

void playForProfile (const Plugin& plugin, TestHost& host, int blockSize)
{
    PluginLibrary library { plugin.path };
    if (! library.isLoaded())
        return;
    auto effect = createAndResume (library);
    plugin.worstCase (*effect);
    host.play (plugin.worstTempo);
    Input input (blockSize);
    playBlocks (*effect, input, host, (int) sampleRate * 4);
}

// The plug-in's cost is the whole cost less the host's own loop; both are
// printed, and the ratio to the 4096-frame cost both ways.
void reportBlockSizes (const Plugin& plugin, TestHost& host)
{
    PluginLibrary library { plugin.path };
    if (! library.isLoaded())
        return;
    auto keepRuntimeUp = createAndResume (library);

    const std::vector<int> blockSizes { 16, 32, 64, 512, 4096 };
    const auto ns = worstCaseNsPerFrame (plugin, library, host, blockSizes);
    const double largest = ns.plugin.back();
    const double largestNet = ns.plugin.back() - ns.host.back();

    for (size_t i = 0; i < blockSizes.size(); ++i)
    {
        const double net = ns.plugin[i] - ns.host[i];
        std::printf ("%s worst case, %4d-frame blocks: %6.2f ns/frame, %5.0f x real time at 44.1 kHz, %.2f x the 4096-frame cost;"
                     " host loop %.2f ns/frame, plug-in alone %.2f ns/frame, %.2f x\n",
                     plugin.name, blockSizes[i], ns.plugin[i], (1.0e9 / sampleRate) / ns.plugin[i], ns.plugin[i] / largest,
                     ns.host[i], net, net / largestNet);
    }
}

// What the rings used to cost at creation: zero-filling 2,646,000 floats,
// first on fresh pages (each one faulted in), then on resident ones.
void reportRingClearing()
{
    // Through a pointer the compiler cannot see through, so the fill stays.
    static void* (*volatile fill) (void*, int, size_t) = std::memset;
    double fresh = 1.0e9, resident = 1.0e9;
    for (int r = 0; r < repeats; ++r)
    {
        void* ring = mmap (nullptr, ringFloats * sizeof (float), PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        double start = threadCpuMilliseconds();
        fill (ring, 0, ringFloats * sizeof (float));
        fresh = std::min (fresh, threadCpuMilliseconds() - start);

        start = threadCpuMilliseconds();
        fill (ring, 0, ringFloats * sizeof (float));
        resident = std::min (resident, threadCpuMilliseconds() - start);
        munmap (ring, ringFloats * sizeof (float));
    }
    std::printf ("clearing one ring of %zu floats: %.3f ms on fresh pages, %.3f ms on resident pages\n",
                 ringFloats, fresh, resident);
}

} // namespace

int main (int argc, char** argv)
{
    int profileBlockSize = 0;
    if (argc > 2 && std::strcmp (argv[1], "--profile") == 0)
    {
        profileBlockSize = std::max (1, std::atoi (argv[2]));
        argc -= 2;
        argv += 2;
    }
    const char* zintrakPath = argc > 2 ? argv[1] : ZINTRAK_PATH;
    const char* morlunePath = argc > 2 ? argv[2] : MORLUNE_PATH;

    const Plugin plugins[] = {
        { "Zintrak", zintrakPath,
          [] (OpenEffect& e) { set (e, 1, 1.0f); }, // "Backwards"
          [] (OpenEffect& e)
          {
              set (e, 15, 1.0f); // "Size" 1/32 bar
              set (e, 19, 1.0f); // "BufLen" 4 bars
              set (e, 18, 1.0f); // "Reverse"
              set (e, 9, 1.0f);  // "Play 5th"
          }, 300.0 },
        { "Morlune", morlunePath,
          [] (OpenEffect& e) { set (e, 1, 1.0f); }, // "Loop"
          [] (OpenEffect& e)
          {
              set (e, 7, 1.0f); // slice "Size" 1/64 bar
              set (e, 2, 1.0f); // "Alternating"
              set (e, 6, 1.0f); // "Modulation" full
          }, 300.0 },
    };

    TestHost host;
    if (profileBlockSize > 0)
    {
        for (const auto& plugin : plugins)
            playForProfile (plugin, host, profileBlockSize);
        return 0;
    }

    reportRingClearing();
    for (const auto& plugin : plugins)
        inChildProcess ([&] { reportCreationAndMemory (plugin, host); });
    for (const auto& plugin : plugins)
        inChildProcess ([&] { reportBlockSizes (plugin, host); });
    return 0;
}
