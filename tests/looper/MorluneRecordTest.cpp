// Morlune.so as a host sees it: loaded with dlopen and driven only through its
// entry point and the effect record.
#include "TestHost.h"
#include "dsp/FadeTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

class Morlune : public ::testing::Test
{
protected:
    TestHost host;
    PluginLibrary library { MORLUNE_PATH };
    OpenEffect effect { library.create() };
};

TEST_F (Morlune, TheRecordCarriesTheLooperIdentity)
{
    ASSERT_TRUE (library.isLoaded());
    ASSERT_NE (effect.get(), nullptr);
    EXPECT_EQ (effect->magic, 0x56737450);
    EXPECT_EQ (effect->uniqueID, 0x4D725476); // "MrTv"
    EXPECT_EQ (effect->numParams, 9);
    EXPECT_EQ (effect->numPrograms, 0);
    EXPECT_EQ (effect->numInputs, 2);
    EXPECT_EQ (effect->numOutputs, 2);
    EXPECT_EQ (effect.text (effGetEffectName), "Tavrel Looper");
    EXPECT_EQ (effect.text (effGetProductString), "Tavrel Looper");
    EXPECT_EQ (effect.text (effGetVendorString), "Tavrel Software");
}

TEST_F (Morlune, ParameterNamesArriveCutToEightCharacters)
{
    const char* names[] = { "Bypass", "Loop", "Alternat", "Mode", "Start", "Size", "Modulati", "Size", "Trim" };
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ (effect.text (effGetParamName, i), names[i]) << i;
    EXPECT_EQ (effect.text (effGetParamName, 9), "");
    EXPECT_EQ (effect.text (effGetParamDisplay, 7), "1/4 bar");
    EXPECT_EQ (effect.text (effGetParamDisplay, 8), "-5 ms");
}

TEST_F (Morlune, ABlockInLoopModeStartsLoopingAtTheFirstTrimmedBeat)
{
    effect->setParameter (effect.get(), 1, 1.0f); // Loop
    EXPECT_EQ (effect->getParameter (effect.get(), 3), 0.33333334f);

    host.play (120.0);
    const int n = 40000;
    StereoBlock in (n), out (n, 3.0f);
    for (int i = 0; i < n; ++i)
    {
        in.left[(size_t) i] = (float) (i + 1);
        in.right[(size_t) i] = -(float) (i + 1);
    }
    const StereoBlock original = in;

    effect.dispatch (effMainsChanged, 0, 1);
    effect.processReplacing (in.channels(), out.channels(), n);

    // No voice before the first boundary, 221 samples (-5 ms) before the beat;
    // from there the beat's first half live, faded in, then its repeat.
    const size_t boundary = 22050 - 221;
    for (size_t t = 0; t < boundary; ++t)
        ASSERT_EQ (out.left[t], 0.0f) << t;
    EXPECT_EQ (out.left[boundary], FadeTable::shared().gainAfterSamples (2) * original.left[boundary]);
    EXPECT_EQ (out.left[boundary + 1000], original.left[boundary + 1000]);
    EXPECT_EQ (out.right[boundary + 1000], original.right[boundary + 1000]);
    EXPECT_EQ (out.left[boundary + 11025 + 1000], original.left[boundary + 1000]);
    EXPECT_EQ (out.right[boundary + 11025 + 1000], original.right[boundary + 1000]);
}

TEST_F (Morlune, TheChunkTravelsThroughTheRecord)
{
    void* address = nullptr;
    const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
    ASSERT_EQ (size, 170);
    ASSERT_NE (address, nullptr);
    std::string saved (static_cast<const char*> (address), (size_t) size);

    effect->setParameter (effect.get(), 7, 1.0f);
    EXPECT_EQ (effect.text (effGetParamDisplay, 7), "1/64 bar");
    EXPECT_EQ (effect.dispatch (effSetChunk, 0, (intptr_t) saved.size(), saved.data()), 0);
    EXPECT_EQ (effect.text (effGetParamDisplay, 7), "1/4 bar");
}

} // namespace
