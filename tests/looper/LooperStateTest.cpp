// The looper's parameter set as a host stores it in a project and gives it
// back.
#include "LooperFilter.h"

#include <gtest/gtest.h>

#include <memory>

using tavrel::LooperFilter;
using tavrel::LooperParameters;

namespace
{

std::string chunkText (const juce::MemoryBlock& chunk)
{
    return std::string (static_cast<const char*> (chunk.getData()) + 8, chunk.getSize() - 10);
}

// The settings text in the binary wrapper, as a host hands it back.
std::string chunkOf (const std::string& text)
{
    std::string chunk = "VC2!";
    for (int shift = 0; shift < 32; shift += 8)
        chunk += (char) ((text.size() >> shift) & 0xff);
    return chunk + text + std::string (2, '\0');
}

TEST (LooperState, ANewLooperSavesA170ByteChunk)
{
    LooperFilter looper;
    juce::MemoryBlock chunk;
    looper.getStateInformation (chunk);

    ASSERT_EQ (chunk.getSize(), 170u);
    const auto* bytes = static_cast<const uint8_t*> (chunk.getData());
    const uint8_t header[] = { 0x56, 0x43, 0x32, 0x21, 0xA0, 0x00, 0x00, 0x00 };
    EXPECT_TRUE (std::equal (header, header + 8, bytes));
    EXPECT_EQ (bytes[168], 0);
    EXPECT_EQ (chunkText (chunk),
               "<QVPLUGINSETTINGS QVParam0=\"0\" QVParam1=\"0\" QVParam2=\"0\" QVParam3=\"0\" QVParam4=\"0\""
               " QVParam5=\"0.5\" QVParam6=\"0.5\" QVParam7=\"0.333333343\" QVParam8=\"0.449999988\"/>");
}

TEST (LooperState, RestoreBringsBackEveryValueAndTheSelection)
{
    LooperFilter source;
    source.setParameter (LooperParameters::alternatingButton, 1.0f);
    source.setParameter (LooperParameters::startIndex, 0.25f);
    source.setParameter (LooperParameters::loopSizeIndex, 0.1f);
    source.setParameter (LooperParameters::modulationIndex, 0.8f);
    source.setParameter (LooperParameters::sliceSizeIndex, 1.0f);
    source.setParameter (LooperParameters::trimIndex, 0.7f);
    juce::MemoryBlock chunk;
    source.getStateInformation (chunk);

    LooperFilter restored;
    restored.setStateInformation (chunk.getData(), (int) chunk.getSize());
    for (int i = 0; i < LooperParameters::count; ++i)
        EXPECT_EQ (restored.getParameter (i), source.getParameter (i)) << i;
    EXPECT_EQ (restored.parameters().selection.load(), 2);
    EXPECT_EQ (restored.parameters().pendingDivision.load(), 64u);
    EXPECT_EQ (restored.parameters().pendingTrimMs.load(), 20);
}

// Chunks from other programs or edited by hand: a value beyond the float
// range, or an infinity, clamps as any out-of-range value does; "nan" keeps
// the parameter's current value.
TEST (LooperState, RestoredInfinitiesClampAndNotANumberKeepsTheCurrentValue)
{
    LooperFilter looper;
    looper.setParameter (LooperParameters::trimIndex, 0.7f);
    looper.setParameter (LooperParameters::startIndex, 0.5f);

    const auto chunk = chunkOf ("<QVPLUGINSETTINGS QVParam3=\"1e999\" QVParam4=\"-INF\" QVParam5=\"nan\""
                                " QVParam6=\"-1e999\" QVParam7=\"inf\" QVParam8=\"NaN\"/>");
    looper.setStateInformation (chunk.data(), (int) chunk.size());

    const auto& p = looper.parameters();
    EXPECT_EQ (p.selection.load(), 3) << "\"1e999\" puts \"Mode\" at its top position";
    EXPECT_EQ (looper.getParameter (LooperParameters::startIndex), 0.0f);
    EXPECT_EQ (looper.getParameter (LooperParameters::loopSizeIndex), 0.5f) << "kept";
    EXPECT_EQ (looper.getParameter (LooperParameters::modulationIndex), 0.0f);
    EXPECT_EQ (p.pendingDivision.load(), 64u);
    EXPECT_EQ (looper.getParameter (LooperParameters::trimIndex), 0.7f) << "kept";
}

// A restore writes every parameter in order, the stored value or, where
// there is none, the current one; that write of "Mode" is what lights the
// button it names in a new looper, whose buttons all start dark. A "nan"
// says nothing, so it restores as a missing value would: the same group.
TEST (LooperState, ANotANumberModeRestoresAsAMissingOne)
{
    const auto restore = [] (const std::string& text)
    {
        auto looper = std::make_unique<LooperFilter>();
        const auto chunk = chunkOf (text);
        looper->setStateInformation (chunk.data(), (int) chunk.size());
        return looper;
    };

    const auto missing = restore ("<QVPLUGINSETTINGS QVParam0=\"0.5\"/>");
    const auto notANumber = restore ("<QVPLUGINSETTINGS QVParam0=\"0.5\" QVParam3=\"nan\"/>");

    EXPECT_EQ (missing->getParameter (LooperParameters::bypassButton), 1.0f);
    for (int i = 0; i < LooperParameters::count; ++i)
        EXPECT_EQ (notANumber->getParameter (i), missing->getParameter (i)) << "parameter " << i;
}

TEST (LooperState, UnreadableChunksChangeNothing)
{
    LooperFilter looper;
    looper.setParameter (LooperParameters::loopButton, 1.0f);
    const std::string garbage = "VC2!\xff\xff\xff\xff<QVPLUGINSETTINGS QVParam1=\"0\"/>";
    const std::string otherName = std::string ("VC2!\x14\0\0\0", 8) + "<OTHER QVParam1=\"0\"/>";

    looper.setStateInformation (garbage.data(), (int) garbage.size());
    looper.setStateInformation (otherName.data(), (int) otherName.size());
    looper.setStateInformation (nullptr, 0);
    looper.setStateInformation (garbage.data(), -5);
    EXPECT_EQ (looper.getParameter (LooperParameters::loopButton), 1.0f);
    EXPECT_EQ (looper.parameters().selection.load(), 1);
}

} // namespace
