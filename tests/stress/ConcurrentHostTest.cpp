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

INSTANTIATE_TEST_SUITE_P (BothPlugins, ConcurrentHost, ::testing::Values (zintrak, morlune), pluginName);

} // namespace
