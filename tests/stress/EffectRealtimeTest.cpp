// The audio path through the effect record of the loaded library, in every
// mode of both plug-ins: a block takes the processing lock and nothing else,
// and allocates nothing; parameter writes and reads that a host makes from
// its audio thread during automation neither allocate nor lock.
#include "LoadedPlugins.h"
#include "RealtimeGuard.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

// Settings besides the mode that change what the audio path does.
struct Variation
{
    const char* name;
    std::vector<std::pair<int32_t, float>> writes;
};

std::vector<Variation> variationsOf (const LoadedPlugin& plugin)
{
    if (plugin.numParameters == zintrak.numParameters)
        return { { "initial", {} },
                 { "32 slices, 4 bars, reverse", { { 15, 1.0f }, { 19, 1.0f }, { 18, 1.0f } } },
                 { "2 slices, +50 ms", { { 15, 0.0f }, { 16, 1.0f } } } };

    return { { "initial", {} },
             { "64 slices, smallest loop, modulation up", { { 7, 1.0f }, { 5, 0.0f }, { 6, 1.0f } } },
             { "whole bar, late start, modulation down", { { 7, 0.0f }, { 4, 1.0f }, { 6, 0.0f }, { 8, 1.0f } } } };
}

class EffectRealtime : public ::testing::TestWithParam<LoadedPlugin>
{
protected:
    void SetUp() override
    {
        if (! TAVREL_REALTIME_GUARD)
            GTEST_SKIP() << "the sanitizers own malloc and the mutex functions here";
        ASSERT_TRUE (library.isLoaded());
        ASSERT_NE (effect.get(), nullptr);
        host.play (120.0);
        effect.dispatch (effMainsChanged, 0, 1);
    }

    // Modes are selected from the test's thread, as an editor or a host's
    // user-interface thread would, and the broadcasts delivered before the
    // audio path is watched.
    void select (int k, const Variation& variation)
    {
        selectMode (effect, GetParam(), k);
        for (const auto& [index, value] : variation.writes)
            effect->setParameter (effect.get(), index, value);
        if (GetParam().numParameters == zintrak.numParameters && k == 7)
            effect->setParameter (effect.get(), 17, 1.0f); // Hold, in one of the modes
        effect.dispatch (effEditIdle);
    }

    TestHost host;
    PluginLibrary library { GetParam().path };
    OpenEffect effect { library.create() };
};

TEST_P (EffectRealtime, BlocksInEveryModeAllocateNothingAndTakeOnlyTheProcessingLock)
{
    StereoBlock in (512, 0.25f), out (512);

    for (const auto& variation : variationsOf (GetParam()))
    {
        for (int k = 0; k <= GetParam().modeIndex; ++k)
        {
            select (k, variation);
            effect.processReplacing (in.channels(), out.channels(), 512); // outside the guard once

            // 60 blocks cross many slice boundaries at every setting above.
            for (int block = 0; block < 60; ++block)
            {
                host.time.samplePos += 512;
                RealtimeGuard guard;
                effect.processReplacing (in.channels(), out.channels(), 512);
                ASSERT_EQ (guard.allocations(), 0) << variation.name << ", mode " << k << ", block " << block;
                ASSERT_EQ (guard.locks(), 1) << variation.name << ", mode " << k << ", block " << block;
            }
        }
    }
}

TEST_P (EffectRealtime, ParameterWritesAndReadsFromTheAudioThreadAllocateNothingAndTakeNoLock)
{
    StereoBlock in (256, 0.25f), out (256);
    const float values[] = { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.3f, 0.0f };

    std::vector<std::string> offending;

    for (float value : values)
    {
        for (int32_t index = 0; index < GetParam().numParameters; ++index)
        {
            int allocations = 0, locks = 0;
            {
                RealtimeGuard guard;
                effect->setParameter (effect.get(), index, value);
                effect->getParameter (effect.get(), index);
                effect.processReplacing (in.channels(), out.channels(), 256);
                allocations = guard.allocations();
                locks = guard.locks() - 1; // the block's processing lock
            }
            host.time.samplePos += 256;
            effect.dispatch (effEditIdle); // deliver, outside the guard, what the write posted

            if (allocations != 0 || locks != 0)
                offending.push_back (std::to_string (index) + " = " + std::to_string (value) + ": "
                                     + std::to_string (allocations) + " allocations, "
                                     + std::to_string (locks) + " locks");
        }
    }

    EXPECT_TRUE (offending.empty()) << offending.size() << " writes on the audio thread allocated or locked, "
                                    << "the first: " << (offending.empty() ? "" : offending.front());
}

INSTANTIATE_TEST_SUITE_P (BothPlugins, EffectRealtime, ::testing::Values (zintrak, morlune), pluginName);

} // namespace
