// Both plug-ins driven as a busy host drives them: audio blocks on one thread,
// automation with hostile values on another, and the host's user-interface
// thread saving and restoring chunks and asking for the editor, all at once,
// through the effect record of the loaded library.
#include "LoadedPlugins.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

constexpr auto stressDuration = std::chrono::seconds (3);

float hostileValue (std::mt19937& random)
{
    static const float unusual[] = { -1.0f, 2.0f, 1e9f, -1e9f, 0.5f, 1.0f, 0.0f, 1e-40f,
                                     std::numeric_limits<float>::quiet_NaN(),
                                     std::numeric_limits<float>::infinity(),
                                     -std::numeric_limits<float>::infinity() };
    if (random() % 4 == 0)
        return unusual[random() % std::size (unusual)];
    return std::uniform_real_distribution<float> (0.0f, 1.0f) (random);
}

class ConcurrentHost : public ::testing::TestWithParam<LoadedPlugin>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (library.isLoaded()) << GetParam().path;
        ASSERT_NE (effect.get(), nullptr);
        host.play (120.0);
        effect.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
        effect.dispatch (effMainsChanged, 0, 1);
    }

    // The audio thread alone changes the time record, which the plug-in
    // reads from the audio thread only.
    void runAudio()
    {
        std::mt19937 random (1);
        static const int32_t blockSizes[] = { 1, 17, 64, 256, 512, 1024, 4096 };
        StereoBlock in (4096), out (4096);
        double phase = 0.0;

        while (! stop.load (std::memory_order_relaxed))
        {
            const auto n = blockSizes[random() % std::size (blockSizes)];
            for (int32_t i = 0; i < n; ++i, phase += 0.03)
            {
                in.left[(size_t) i] = 0.5f * (float) std::sin (phase);
                in.right[(size_t) i] = 0.5f * (float) std::cos (phase);
            }

            if (random() % 64 == 0)
                host.time.tempo = 60.0 + (double) (random() % 180);
            if (random() % 64 == 0)
                host.time.samplePos = (double) (random() % 1000000); // the host relocates

            effect.processReplacing (in.channels(), out.channels(), n);
            host.time.samplePos += n;

            for (int32_t i = 0; i < n; ++i)
                if (! (std::fabs (out.left[(size_t) i]) <= 2.0f && std::fabs (out.right[(size_t) i]) <= 2.0f))
                    badSamples.fetch_add (1, std::memory_order_relaxed);

            blocks.fetch_add (1, std::memory_order_relaxed);
        }
    }

    void runAutomation()
    {
        std::mt19937 random (2);
        const int count = GetParam().numParameters;

        while (! stop.load (std::memory_order_relaxed))
        {
            const auto index = (int32_t) (random() % (unsigned) (count + 4)) - 2; // a few out of range
            effect->setParameter (effect.get(), index, hostileValue (random));

            const float readBack = effect->getParameter (effect.get(), (int32_t) (random() % (unsigned) count));
            if (! (readBack >= 0.0f && readBack <= 1.0f))
                badReads.fetch_add (1, std::memory_order_relaxed);

            writes.fetch_add (1, std::memory_order_relaxed);
        }
    }

    // What a host's user-interface thread does meanwhile: chunks, some of
    // them damaged, the editor requests, texts and idle calls.
    void runHostRequests()
    {
        std::mt19937 random (3);
        const int count = GetParam().numParameters;

        while (! stop.load (std::memory_order_relaxed))
        {
            void* address = nullptr;
            const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
            if (size > 0 && address != nullptr)
            {
                std::string chunk (static_cast<const char*> (address), (size_t) size);
                if (random() % 4 == 0)
                    chunk[random() % chunk.size()] = (char) random();
                effect.dispatch (effSetChunk, 0, (intptr_t) chunk.size(), chunk.data());
                restores.fetch_add (1, std::memory_order_relaxed);
            }

            ERect* rect = nullptr;
            if (effect.dispatch (effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr)
                ++editorFaults;
            if (effect.dispatch (effEditOpen, 0, 0, nullptr) != 0) // no window to open in
                ++editorFaults;
            effect.dispatch (effEditIdle);
            effect.dispatch (effEditClose);

            char text[65];
            effect.dispatch (effGetParamDisplay, (int32_t) (random() % (unsigned) count), 0, text);
            effect.dispatch (effGetParamName, (int32_t) (random() % (unsigned) count), 0, text);

            if (random() % 16 == 0)
                host.clearNotices();
        }
    }

    // Lets the message thread deliver what the writes left pending, and the
    // hidden listener's own writes after that.
    void deliverPendingBroadcasts()
    {
        auto previous = parameterValues (effect, GetParam());
        for (int round = 0; round < 50; ++round)
        {
            effect.dispatch (effEditIdle);
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
            const auto now = parameterValues (effect, GetParam());
            if (round >= 3 && now == previous)
                return;
            previous = now;
        }
    }

    TestHost host;
    PluginLibrary library { GetParam().path };
    OpenEffect effect { library.create() };

    std::atomic<bool> stop { false };
    std::atomic<int> badSamples { 0 }, badReads { 0 };
    std::atomic<long> blocks { 0 }, writes { 0 }, restores { 0 };
    int editorFaults = 0;
};

TEST_P (ConcurrentHost, BlocksAutomationAndChunksTogetherKeepTheOutputFiniteAndTheGroupConsistent)
{
    std::thread audio ([this] { runAudio(); });
    std::thread automation ([this] { runAutomation(); });

   #if defined(_WIN32)
    // On Windows the host's user-interface thread is the library's message
    // thread, the one that loaded it: this one.
    std::thread clock ([this] { std::this_thread::sleep_for (stressDuration); stop = true; });
    runHostRequests();
    clock.join();
   #else
    std::thread requests ([this] { runHostRequests(); });
    std::this_thread::sleep_for (stressDuration);
    stop = true;
    requests.join();
   #endif
    audio.join();
    automation.join();

    std::cout << GetParam() << ": " << blocks << " blocks, " << writes << " parameter writes, " << restores
              << " chunk restores" << std::endl;
    EXPECT_GT (blocks, 100);
    EXPECT_GT (writes, 1000);
    EXPECT_GT (restores, 10);
    EXPECT_EQ (badSamples, 0) << "samples not finite or beyond twice the input's peak";
    EXPECT_EQ (badReads, 0) << "parameter reads outside [0, 1]";
    EXPECT_EQ (editorFaults, 0) << "every rectangle request gives the editor's; no open without a window";

    deliverPendingBroadcasts();
    expectConsistentState (effect, GetParam());

    // And the instance still plays: a block after the storm is finite.
    StereoBlock in (1024, 0.25f), out (1024);
    effect.processReplacing (in.channels(), out.channels(), 1024);
    EXPECT_LE (peakOf (out), 0.5f);
    EXPECT_EQ (effect.close(), 1);
}

// What an autosave and an undo history do meanwhile: save state on worker
// threads of their own, and now and then restore what they saved, while the
// host's GUI thread sends its idle calls. Every chunk is whole: the magic,
// the length of its text, the text's element, the 0 byte.
void expectWholeChunk (const std::string& chunk, std::atomic<int>& damaged)
{
    const bool whole = chunk.size() > 10 && chunk.compare (0, 4, "VC2!") == 0
                       && chunk.size() == (size_t) ((uint8_t) chunk[4] | (uint8_t) chunk[5] << 8
                                                    | (uint8_t) chunk[6] << 16 | (uint8_t) chunk[7] << 24) + 10
                       && chunk.compare (8, 17, "<QVPLUGINSETTINGS") == 0 && chunk[chunk.size() - 2] == 0;
    if (! whole)
        damaged.fetch_add (1, std::memory_order_relaxed);
}

TEST_P (ConcurrentHost, ChunksFromTwoWorkersWhileBlocksWritesAndIdleCallsRun)
{
    std::atomic<int> damaged { 0 };
    std::atomic<long> saves { 0 };
    std::atomic<double> slowestMs { 0.0 };

    const auto saveAndRestore = [&] (unsigned seed)
    {
        std::mt19937 random (seed);
        std::string kept;
        while (! stop.load (std::memory_order_relaxed))
        {
            const auto start = std::chrono::steady_clock::now();
            void* address = nullptr;
            const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
            // Copied at once, as hosts do: the next request may replace it.
            const std::string chunk = size > 0 && address != nullptr
                                          ? std::string (static_cast<const char*> (address), (size_t) size)
                                          : std::string();
            expectWholeChunk (chunk, damaged);
            saves.fetch_add (1, std::memory_order_relaxed);

            if (random() % 8 == 0 && ! kept.empty())
            {
                std::string copy = kept;
                effect.dispatch (effSetChunk, 0, (intptr_t) copy.size(), copy.data());
                restores.fetch_add (1, std::memory_order_relaxed);
            }
            if (random() % 4 == 0)
                kept = chunk;

            const double ms = std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();
            if (ms > slowestMs.load (std::memory_order_relaxed))
                slowestMs.store (ms, std::memory_order_relaxed);
        }
    };

    std::thread audio ([this] { runAudio(); });
    std::thread automation ([this] { runAutomation(); });
    std::thread autosave ([&] { saveAndRestore (4); });
    std::thread undo ([&] { saveAndRestore (5); });

    // This thread is the host's GUI thread.
    const auto end = std::chrono::steady_clock::now() + stressDuration;
    while (std::chrono::steady_clock::now() < end)
    {
        effect.dispatch (effEditIdle);
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }
    stop = true;
    autosave.join();
    undo.join();
    audio.join();
    automation.join();

    std::cout << GetParam() << ": " << saves << " chunk saves and " << restores << " restores on two workers, "
              << blocks << " blocks, " << writes << " parameter writes; slowest chunk request "
              << slowestMs.load() << " ms" << std::endl;
    EXPECT_GT (saves, 100);
    EXPECT_GT (restores, 10);
    EXPECT_EQ (damaged, 0) << "chunks not whole";
    EXPECT_EQ (badSamples, 0);
    EXPECT_EQ (badReads, 0);

    deliverPendingBroadcasts();
    expectConsistentState (effect, GetParam());
    EXPECT_EQ (effect.close(), 1);
}

INSTANTIATE_TEST_SUITE_P (BothPlugins, ConcurrentHost, ::testing::Values (zintrak, morlune), pluginName);

} // namespace
