// Zintrak.so as a host sees it: loaded with dlopen and driven only through its
// entry point and the effect record.
#include "TestHost.h"
#include "dsp/FadeTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

constexpr int numSlicerParameters = 20;

class Zintrak : public ::testing::Test
{
protected:
    std::vector<float> parameterValues()
    {
        std::vector<float> values;
        for (int i = 0; i < numSlicerParameters; ++i)
            values.push_back (effect->getParameter (effect.get(), i));
        return values;
    }

    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    OpenEffect effect { library.create() };
};

TEST_F (Zintrak, TheRecordCarriesTheIdentity)
{
    ASSERT_NE (effect.get(), nullptr);
    EXPECT_EQ (effect->magic, 0x56737450);
    EXPECT_EQ (effect->flags, 0x31);
    EXPECT_EQ (effect->uniqueID, 0x5A6E5476);
    EXPECT_EQ (effect->version, 1);
    EXPECT_EQ (effect->numPrograms, 0);
    EXPECT_EQ (effect->numParams, numSlicerParameters);
    EXPECT_EQ (effect->numInputs, 2);
    EXPECT_EQ (effect->numOutputs, 2);
    EXPECT_EQ (effect->initialDelay, 0);
    EXPECT_EQ (effect->ioRatio, 1.0f);
    EXPECT_NE (effect->dispatcher, nullptr);
    EXPECT_NE (effect->processReplacing, nullptr);

    EXPECT_EQ (effect.text (effGetEffectName), "Tavrel Slicer");
    EXPECT_EQ (effect.text (effGetProductString), "Tavrel Slicer");
    EXPECT_EQ (effect.text (effGetVendorString), "Tavrel Software");
}

TEST_F (Zintrak, EveryRequestGetsTheReplyOfTheTable)
{
    struct Row { int32_t opcode; int32_t index; intptr_t value; intptr_t reply; };
    const Row table[] = {
        { effSetProgram, 0, 0, 0 },         { effSetProgram, 0, 3, 0 },       { effGetProgram, 0, 0, 0 },
        { effGetParamLabel, 0, 0, 0 },      { effGetParamDisplay, 0, 0, 0 },  { effGetParamName, 0, 0, 0 },
        { effGetProgramName, 0, 0, 0 },     { effSetSampleRate, 0, 0, 0 },    { effSetBlockSize, 0, 512, 0 },
        { effMainsChanged, 0, 1, 0 },       { effMainsChanged, 0, 0, 0 },
        { effEditOpen, 0, 0, 0 },           { effEditClose, 0, 0, 0 },        { effEditIdle, 0, 0, 0 },
        { effIdentify, 0, 0, 0x4E764566 },  { effSetChunk, 0, 0, 0 },         { effProcessEvents, 0, 0, 0 },
        { effCanBeAutomated, 0, 0, 1 },     { effCanBeAutomated, 19, 0, 1 },  { effCanBeAutomated, 500, 0, 1 },
        { effCanBeAutomated, -1, 0, 1 },    { effString2Parameter, 0, 0, 0 }, { effGetProgramNameIndexed, 0, 0, 0 },
        { effGetProgramNameIndexed, -1, 0, 0 }, { effGetInputProperties, 0, 0, 0 }, { effGetOutputProperties, 0, 0, 0 },
        { effGetPlugCategory, 0, 0, 1 },    { effProcessVarIo, 0, 0, 0 },     { effSetSpeakerArrangement, 0, 0, 0 },
        { effSetBypass, 0, 1, 0 },          { effGetEffectName, 0, 0, 1 },    { effGetVendorString, 0, 0, 1 },
        { effGetProductString, 0, 0, 1 },   { effGetVendorVersion, 0, 0, 1000 }, { effVendorSpecific, 0, 0, 0 },
        { effCanDo, 0, 0, 0 },              { effGetTailSize, 0, 0, 0 },      { effGetParameterProperties, 0, 0, 0 },
        { effGetVstVersion, 0, 0, 2400 },   { effEditKeyDown, 0, 0, 0 },      { effEditKeyUp, 0, 0, 0 },
        { effSetEditKnobMode, 0, 0, 0 },    { effGetCurrentMidiProgram, 0, 0, -1 },
        { effSetTotalSampleToProcess, 0, 4096, 4096 }, { effSetTotalSampleToProcess, 0, -7, -7 },
    };

    const auto before = parameterValues();

    for (const auto& row : table)
    {
        char buffer[512] = {};
        EXPECT_EQ (effect.dispatch (row.opcode, row.index, row.value, buffer), row.reply)
            << "request " << row.opcode << " index " << row.index << " value " << row.value;
    }

    // The editor rectangle: its address, written to the pointer and replied.
    ERect* rect = nullptr;
    const auto reply = effect.dispatch (effEditGetRect, 0, 0, &rect);
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (reply, reinterpret_cast<intptr_t> (rect));
    EXPECT_EQ (rect->top, 0);
    EXPECT_EQ (rect->left, 0);
    EXPECT_EQ (rect->bottom, 615);
    EXPECT_EQ (rect->right, 350);

    EXPECT_EQ (parameterValues(), before);
}

TEST_F (Zintrak, RequestsNotListedReplyZeroAndTouchNothing)
{
    std::vector<int32_t> unlisted { 9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 38, 39, 40, 43, 46, 53, 54, 55,
                                    57, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 78, 79,
                                    -1, 80, 81, 100, 1000, INT_MAX, INT_MIN };
    const auto before = parameterValues();

    for (int32_t opcode : unlisted)
    {
        char buffer[512];
        std::memset (buffer, 'Q', sizeof (buffer));
        EXPECT_EQ (effect.dispatch (opcode, 1, 1, buffer, 1.0f), 0) << "request " << opcode;
        EXPECT_EQ (std::string (buffer, sizeof (buffer)), std::string (sizeof (buffer), 'Q')) << "request " << opcode;
    }

    EXPECT_EQ (parameterValues(), before);
}

TEST_F (Zintrak, CapabilitiesAreComparedWholeAndWithCase)
{
    const struct { const char* text; intptr_t reply; } table[] = {
        { "receiveVstEvents", -1 },   { "receiveVstMidiEvents", -1 }, { "sendVstEvents", -1 },
        { "sendVstMidiEvent", -1 },   { "receiveVstTimeInfo", 1 },    { "conformsToWindowRules", 1 },
        { "receiveVstMidiEvent", 0 }, { "ReceiveVstTimeInfo", 0 },    { "receiveVstTimeInfo ", 0 },
        { "bypass", 0 },              { "", 0 },                      { "sendVstMidiEvents", 0 },
    };

    for (const auto& row : table)
        EXPECT_EQ (effect.dispatch (effCanDo, 0, 0, const_cast<char*> (row.text)), row.reply) << '"' << row.text << '"';

    EXPECT_EQ (effect.dispatch (effCanDo, 0, 0, nullptr), 0);
}

TEST_F (Zintrak, ParameterNamesArriveCutToEightCharacters)
{
    char buffer[32];
    std::memset (buffer, 'Q', sizeof (buffer));
    effect.dispatch (effGetParamName, 1, 0, buffer);
    EXPECT_STREQ (buffer, "Backward");
    EXPECT_EQ (buffer[9], 'Q') << "at most 8 characters and the 0 byte";

    EXPECT_EQ (effect.text (effGetParamName, 0), "Bypass");
    EXPECT_EQ (effect.text (effGetParamName, 19), "BufLen");
    EXPECT_EQ (effect.text (effGetParamName, 20), "");
    EXPECT_EQ (effect.text (effGetParamName, -1), "");
    EXPECT_EQ (effect.text (effGetParamLabel, 3), "");
    EXPECT_EQ (effect.text (effGetParamDisplay, 16), "-5 ms");
    EXPECT_EQ (effect.text (effGetParamDisplay, 20), "");
    EXPECT_EQ (effect.text (effGetProgramName), "");
}

TEST_F (Zintrak, NullPointersOnTextRequestsAreRefused)
{
    for (int32_t opcode : { effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                            effSetProgramName, effGetProgramNameIndexed, effGetEffectName, effGetVendorString,
                            effGetProductString, effCanDo, effEditGetRect, effGetChunk, effGetSpeakerArrangement })
        EXPECT_EQ (effect.dispatch (opcode, 0, 0, nullptr), 0) << "request " << opcode;
}

TEST_F (Zintrak, SpeakerArrangementRepliesNone)
{
    int dummy = 0;
    void* in = &dummy;
    void* out = &dummy;
    EXPECT_EQ (effect.dispatch (effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&in), &out), 0);
    EXPECT_EQ (in, nullptr);
    EXPECT_EQ (out, nullptr);
}

TEST_F (Zintrak, ParametersAreWrittenQuantisedAndReadBack)
{
    EXPECT_EQ (effect->getParameter (effect.get(), 15), 0.5f) << "Size starts at 1/8 bar";
    effect->setParameter (effect.get(), 15, 1.0f);
    EXPECT_EQ (effect->getParameter (effect.get(), 15), 1.0f);

    const auto before = parameterValues();
    for (int32_t index : { -1, 20, 1000, INT_MIN })
    {
        effect->setParameter (effect.get(), index, 0.7f);
        EXPECT_EQ (effect->getParameter (effect.get(), index), 0.0f);
    }
    effect->setParameter (effect.get(), 16, std::nanf (""));
    EXPECT_EQ (effect->getParameter (effect.get(), 16), 0.45f) << "NaN changes nothing";
    effect->setParameter (effect.get(), 16, HUGE_VALF);
    EXPECT_EQ (effect->getParameter (effect.get(), 16), 1.0f) << "infinity clamps to 1";
    EXPECT_EQ (parameterValues()[0], before[0]);
}

TEST (ZintrakEntry, NoEffectWithoutACallbackOrAHostVersion)
{
    TestHost host;
    PluginLibrary library { ZINTRAK_PATH };
    ASSERT_TRUE (library.isLoaded());
    EXPECT_NE (library.symbol ("VSTPluginMain"), nullptr);

    EXPECT_EQ (library.create (nullptr), nullptr);
    host.versionReply = 0;
    EXPECT_EQ (library.create(), nullptr);
}

TEST_F (Zintrak, ABlockAtTheInitialSettingsFadesInThenPassesTheInput)
{
    host.play (120.0);
    StereoBlock in (4096), out (4096);
    for (size_t i = 0; i < in.size(); ++i)
    {
        in.left[i] = std::sin (0.01f * (float) i);
        in.right[i] = std::cos (0.013f * (float) i);
    }
    const StereoBlock original = in;

    effect.dispatch (effMainsChanged, 0, 1);
    effect.processReplacing (in.channels(), out.channels(), (int32_t) in.size());

    for (size_t i = 0; i < 440; ++i)
    {
        const float gain = FadeTable::shared().gainAfterSamples ((int) i);
        ASSERT_EQ (out.left[i], gain * original.left[i]) << i;
        ASSERT_EQ (out.right[i], gain * original.right[i]) << i;
    }
    for (size_t i = 440; i < in.size(); ++i)
    {
        ASSERT_EQ (out.left[i], original.left[i]) << i;
        ASSERT_EQ (out.right[i], original.right[i]) << i;
    }
    EXPECT_EQ (host.timeRequests, 1) << "one position query per block";
}

TEST_F (Zintrak, AStoppedOrMissingTransportSilencesAWetMode)
{
    effect->setParameter (effect.get(), 1, 1.0f); // Backwards

    for (bool giveTime : { true, false })
    {
        host.stop();
        host.giveTime = giveTime;
        StereoBlock in (2048, 0.5f), out (2048, 3.0f);
        effect.processReplacing (in.channels(), out.channels(), 2048);
        EXPECT_EQ (out.left, std::vector<float> (2048, 0.0f)) << (giveTime ? "stopped" : "no time record");
        EXPECT_EQ (out.right, std::vector<float> (2048, 0.0f));
    }
}

TEST_F (Zintrak, TheSameArraysMayServeForInputAndOutput)
{
    host.play (120.0);
    StereoBlock block (2048, 0.5f);
    effect.processReplacing (block.channels(), block.channels(), 2048);
    EXPECT_EQ (block.left[2000], 0.5f);
    EXPECT_EQ (block.left[0], 0.0f);
}

TEST_F (Zintrak, TheChunkTravelsThroughTheRecord)
{
    void* address = nullptr;
    const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
    ASSERT_GT (size, 0) << "an empty chunk would lose every setting of a saved project";
    ASSERT_NE (address, nullptr);
    const std::string saved (static_cast<const char*> (address), (size_t) size);

    effect->setParameter (effect.get(), 15, 1.0f);
    std::string copy = saved;
    EXPECT_EQ (effect.dispatch (effSetChunk, 0, (intptr_t) copy.size(), copy.data()), 0);
    EXPECT_EQ (effect->getParameter (effect.get(), 15), 0.5f) << "restored from the chunk";
}

TEST_F (Zintrak, CloseRepliesOne)
{
    EXPECT_EQ (effect.close(), 1);
}

} // namespace
