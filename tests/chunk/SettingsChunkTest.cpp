// The settings chunk as hosts store it: its exact bytes, the value texts, the
// round trip, and every kind of damaged or foreign chunk a host may hand back.
#include "BroadcastCounter.h"
#include "ParameterState.h"
#include "SettingsChunk.h"
#include "dsp/ParameterValues.h"
#include "SlicerFilter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace tavrel;

namespace
{

using Bytes = std::vector<unsigned char>;

Bytes chunkAround (const std::string& text, juce::uint32 storedLength, juce::uint32 magic = settingsChunkMagic)
{
    Bytes bytes;
    for (juce::uint32 v : { magic, storedLength })
        for (int i = 0; i < 4; ++i)
            bytes.push_back ((unsigned char) (v >> (8 * i)));
    bytes.insert (bytes.end(), text.begin(), text.end());
    bytes.push_back (0);
    bytes.push_back (0);
    return bytes;
}

Bytes chunkOf (const std::string& text) { return chunkAround (text, (juce::uint32) text.size()); }

Bytes bytesOf (const juce::MemoryBlock& block)
{
    const auto* p = static_cast<const unsigned char*> (block.getData());
    return Bytes (p, p + block.getSize());
}

// The settings text with the given value texts, built as a host would find it.
std::string settingsText (const std::vector<std::string>& values, const std::string& element = "QVPLUGINSETTINGS",
                          const std::string& attributePrefix = "QVParam")
{
    std::string text = "<" + element;
    for (size_t i = 0; i < values.size(); ++i)
        text += " " + attributePrefix + std::to_string (i) + "=\"" + values[i] + "\"";
    return text + "/>";
}

using tavrel::test::BroadcastCounter;

class SlicerStateTest : public ::testing::Test
{
protected:
    SlicerStateTest() { slicer.addChangeListener (&broadcasts); }
    ~SlicerStateTest() override { slicer.removeChangeListener (&broadcasts); }

    // Restores and delivers; returns the number of broadcast deliveries.
    // Delivers broadcasts until none is pending: the slicer's hidden listener
    // answers a broadcast with writes that broadcast once more.
    void settle()
    {
        for (int i = 0; i < 10; ++i)
            slicer.dispatchPendingMessages();
    }

    // Restores and delivers; returns the number of broadcast deliveries.
    int restore (const Bytes& chunk)
    {
        settle();
        const int before = broadcasts.count;
        slicer.setStateInformation (chunk.data(), (int) chunk.size());
        settle();
        return broadcasts.count - before;
    }

    std::vector<float> values()
    {
        std::vector<float> v;
        for (int i = 0; i < SlicerParameters::count; ++i)
            v.push_back (slicer.getParameter (i));
        return v;
    }

    // A state that differs from a new slicer's in every kind of parameter.
    void setDistinctState()
    {
        slicer.setParameter (4, 1.0f);
        slicer.setParameter (15, 1.0f);
        slicer.setParameter (16, 0.8f);
        slicer.setParameter (17, 1.0f);
        slicer.setParameter (18, 1.0f);
        slicer.setParameter (19, 0.5f);
        settle();
    }

    int togglesOn()
    {
        int on = 0;
        for (int i = 0; i < SlicerParameters::toggleCount; ++i)
            on += slicer.getParameter (i) > 0.5f ? 1 : 0;
        return on;
    }

    SlicerFilter slicer;
    BroadcastCounter broadcasts;
};

} // namespace

//==============================================================================
TEST (ValueText, MatchesPercentNineGWithThreeExponentDigits)
{
    const struct { double value; const char* text; } cases[] = {
        { 0.0, "0" },
        { 1.0, "1" },
        { 0.5, "0.5" },
        { 0.25, "0.25" },
        { (double) 0.45f, "0.449999988" },
        { (double) (1.0f / 3.0f), "0.333333343" },
        { (double) (2.0f / 3.0f), "0.666666687" },
        { (double) (1.0f / 14.0f), "0.0714285746" },
        { (double) 0.00001f, "9.99999975e-006" },
        { (double) 0.0001f, "9.99999975e-005" },  // exponent -5 is below the fixed range
        { (double) 0.001f, "0.00100000005" },     // exponent -3 is within it
        { 123456789.0, "123456789" },
        { 1234567890.0, "1.23456789e+009" },
        { (double) 1.0e20f, "1.00000002e+020" },
        { 1.0e-300, "1e-300" },
        { (double) std::numeric_limits<float>::denorm_min(), "1.40129846e-045" },
        { -0.0, "-0" },
        { -0.75, "-0.75" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (formatValueText (c.value), c.text) << c.text;
}

TEST (ValueText, IsTheSameUnderACommaDecimalLocale)
{
    const char* previous = std::setlocale (LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";

    // Build machines rarely have such a locale installed: compile one of our own.
    const auto directory = juce::File::createTempFile ("locales");
    directory.createDirectory();
    const auto localeDir = directory.getFullPathName().toStdString();
    const std::string command = "localedef -i de_DE -f UTF-8 '" + localeDir + "/de_DE.utf8' >/dev/null 2>&1";
    if (std::system (command.c_str()) == 0)
        setenv ("LOCPATH", localeDir.c_str(), 1);

    const bool haveCommaLocale = std::setlocale (LC_ALL, "de_DE.UTF-8") != nullptr;
    unsetenv ("LOCPATH");
    directory.deleteRecursively();

    if (! haveCommaLocale)
        GTEST_SKIP() << "no locale with a decimal comma could be made";

    char printed[16];
    std::snprintf (printed, sizeof printed, "%.2f", 0.25);
    ASSERT_STREQ (printed, "0,25"); // the locale is in force

    const std::string text = formatValueText (0.25);
    const double value = parseValueText ("0.25");
    std::setlocale (LC_ALL, saved.c_str());

    EXPECT_EQ (text, "0.25");
    EXPECT_EQ (value, 0.25);
}

TEST (ValueText, ParsesTheLeadingNumberAsStrtodDoes)
{
    const struct { const char* text; double value; } cases[] = {
        { "0.5", 0.5 },
        { "  \t0.5", 0.5 },
        { "0.5abc", 0.5 },
        { "+2", 2.0 },
        { "-1e-3", -0.001 },
        { "1E2", 100.0 },
        { "1e", 1.0 },           // an exponent without digits is not part of the number
        { "1e+", 1.0 },
        { ".5", 0.5 },
        { "5.", 5.0 },
        { "9.99999975e-006", 9.99999975e-6 },
        { "1,5", 1.0 },          // "." is the only decimal separator
        { "0x10", 0.0 },
        { "", 0.0 },
        { "abc", 0.0 },
        { ".", 0.0 },
        { "-", 0.0 },
        { "e5", 0.0 },
        { "1e-999", 0.0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (parseValueText (c.text), c.value) << '"' << c.text << '"';

    EXPECT_EQ (parseValueText ("1e999"), HUGE_VAL);
    EXPECT_EQ (parseValueText ("-1e999"), -HUGE_VAL);

    // Infinities and NaN as strtod reads them, letter case ignored.
    for (const char* text : { "inf", " INF", "+Infinity", "infinityx", "infx" })
        EXPECT_EQ (parseValueText (text), HUGE_VAL) << '"' << text << '"';
    EXPECT_EQ (parseValueText ("-inf"), -HUGE_VAL);
    for (const char* text : { "nan", "-NaN", "nan(1)", "NANx" })
        EXPECT_TRUE (std::isnan (parseValueText (text))) << '"' << text << '"';
    for (const char* text : { "in", "na", "-i" })
        EXPECT_EQ (parseValueText (text), 0.0) << '"' << text << '"';
    EXPECT_EQ (parseValueText (nullptr), 0.0);
}

TEST (SettingsChunk, RoundTripKeepsEveryFloatBitForBit)
{
    std::mt19937 random (20240611);
    std::uniform_int_distribution<juce::uint32> anyBits;

    std::vector<float> specials = { 0.0f, -0.0f, 1.0f, 0.5f, 0.45f, 1.0f / 3.0f,
                                    std::numeric_limits<float>::denorm_min(),
                                    -std::numeric_limits<float>::denorm_min(),
                                    std::numeric_limits<float>::min(),
                                    std::numeric_limits<float>::max(),
                                    std::nextafter (1.0f, 0.0f), 1.0e-38f, 3.0e-40f, 1.0e-7f };

    // The value text alone, over many values.
    for (int i = 0; i < 2000000; ++i)
    {
        juce::uint32 bits = anyBits (random);
        if (i % 4 == 0)
            bits &= 0x807fffffu; // denormals and zeros
        float f;
        std::memcpy (&f, &bits, sizeof f);
        if (! std::isfinite (f))
            continue;
        const float back = (float) parseValueText (formatValueText ((double) f).c_str());
        ASSERT_EQ (std::memcmp (&back, &f, sizeof back), 0) << formatValueText ((double) f);
    }

    // Whole chunks, through the writer and the reader.
    for (int round = 0; round < 20; ++round)
    {
        std::vector<float> saved = specials;
        while (saved.size() < 200)
        {
            juce::uint32 bits = anyBits (random);
            if (round % 4 == 0)
                bits &= 0x807fffffu; // denormals and zeros
            float f;
            std::memcpy (&f, &bits, sizeof f);
            if (std::isfinite (f))
                saved.push_back (f);
        }

        juce::XmlElement element ("QVPLUGINSETTINGS");
        for (size_t i = 0; i < saved.size(); ++i)
            setValueAttribute (element, "QVParam" + juce::String ((int) i), (double) saved[i]);

        juce::MemoryBlock chunk;
        writeSettingsChunk (element, chunk);
        const auto restored = readSettingsChunk (chunk.getData(), chunk.getSize());
        ASSERT_NE (restored, nullptr);

        for (size_t i = 0; i < saved.size(); ++i)
        {
            const float back = (float) getValueAttribute (*restored, "QVParam" + juce::String ((int) i), 99.0);
            ASSERT_EQ (std::memcmp (&back, &saved[i], sizeof back), 0)
                << formatValueText ((double) saved[i]) << " came back as " << formatValueText ((double) back);
        }
    }
}

// Damaged copies of a good chunk: flipped, inserted and cut bytes. The reader
// may refuse them or read them, but an element it gives is one that the
// writer can write again, and it never reads outside the bytes it is given.
TEST (SettingsChunk, DamagedChunksAreReadSafely)
{
    juce::XmlElement element ("QVPLUGINSETTINGS");
    for (int i = 0; i < 20; ++i)
        setValueAttribute (element, "QVParam" + juce::String (i), i / 19.0);
    juce::MemoryBlock good;
    writeSettingsChunk (element, good);

    const Bytes original = bytesOf (good);
    const std::string markup = "<>/=\"'&;#x!?-[]a0 \t\n";
    std::mt19937 random (7);
    int read = 0;

    for (int round = 0; round < 20000; ++round)
    {
        Bytes damaged = original;
        const int edits = 1 + (int) (random() % 4);

        for (int e = 0; e < edits; ++e)
        {
            const size_t at = 8 + random() % (damaged.size() - 8);
            switch (random() % 3)
            {
                case 0:  damaged[at] = (unsigned char) markup[random() % markup.size()]; break;
                case 1:  damaged.insert (damaged.begin() + (long) at, (unsigned char) markup[random() % markup.size()]); break;
                default: damaged[at] = (unsigned char) random(); break;
            }
        }

        if (random() % 5 == 0)
            damaged.resize (9 + random() % (damaged.size() - 9));

        // An exact-size heap copy, so that a read past its end shows under a
        // memory checker.
        std::unique_ptr<unsigned char[]> exact (new unsigned char[damaged.size()]);
        std::memcpy (exact.get(), damaged.data(), damaged.size());

        if (auto result = readSettingsChunk (exact.get(), damaged.size()))
        {
            ++read;
            juce::MemoryBlock again;
            writeSettingsChunk (*result, again);
            EXPECT_NE (readSettingsChunk (again.getData(), again.getSize()), nullptr);
        }
    }

    EXPECT_GT (read, 0); // some damage leaves a well-formed text
}

TEST (SettingsChunk, WriterReplacesTheBlockAndSetsAttributesInPlaceIgnoringCase)
{
    juce::XmlElement element ("QVPLUGINSETTINGS");
    setValueAttribute (element, "QVParam0", 0.25);
    setValueAttribute (element, "QVParam1", 1.0);
    setValueAttribute (element, "qvparam0", 0.5);

    juce::MemoryBlock block (1000, true);
    writeSettingsChunk (element, block);

    EXPECT_EQ (bytesOf (block), chunkOf (R"(<QVPLUGINSETTINGS QVParam0="0.5" QVParam1="1"/>)"));
    EXPECT_TRUE (hasNameIgnoringCase (element, "qvpluginsettings"));
    EXPECT_EQ (getValueAttribute (element, "QVPARAM1", 7.0), 1.0);
    EXPECT_EQ (getValueAttribute (element, "QVParam2", 7.0), 7.0);
}

//==============================================================================
TEST_F (SlicerStateTest, NewSlicerChunkIsExactly311Bytes)
{
    std::vector<std::string> texts (20, "0");
    texts[15] = "0.5";
    texts[16] = "0.449999988";
    const std::string text = settingsText (texts);
    ASSERT_EQ (text.size(), 301u);

    juce::MemoryBlock chunk;
    slicer.getStateInformation (chunk);

    const Bytes bytes = bytesOf (chunk);
    ASSERT_EQ (bytes.size(), 311u);
    EXPECT_EQ (Bytes (bytes.begin(), bytes.begin() + 8), (Bytes { 0x56, 0x43, 0x32, 0x21, 0x2D, 0x01, 0x00, 0x00 }));
    EXPECT_EQ (std::string (bytes.begin() + 8, bytes.begin() + 309), text);
    EXPECT_EQ (bytes[309], 0);
    EXPECT_EQ (bytes[310], 0);
}

TEST_F (SlicerStateTest, SavedStateRestoresIntoANewSlicer)
{
    setDistinctState();
    juce::MemoryBlock chunk;
    slicer.getStateInformation (chunk);

    SlicerFilter other;
    other.setStateInformation (chunk.getData(), (int) chunk.getSize());

    for (int i = 0; i < SlicerParameters::count; ++i)
        EXPECT_EQ (other.getParameter (i), slicer.getParameter (i)) << "index " << i;
    EXPECT_EQ (other.parameters().mode.load(), 4);
    EXPECT_EQ (other.parameters().pendingDivision.load(), 32u);
    EXPECT_EQ (other.parameters().pendingTrimMs.load(), slicer.parameters().pendingTrimMs.load());
    EXPECT_TRUE (other.parameters().hold.load());
    EXPECT_TRUE (other.parameters().reverse.load());
    EXPECT_EQ (other.parameters().pendingBars.load(), 3u);
}

// Every mode, with Hold and Reverse on, comes back with a consistent radio
// group although the toggle writes of a restore may pass through Bypass.
TEST_F (SlicerStateTest, RadioGroupIsConsistentAfterRestoreInEveryMode)
{
    for (int mode = 0; mode <= 14; ++mode)
    {
        SlicerFilter source;
        source.setParameter (mode, 1.0f); // index 14 is "Mode": 1.0 is its top position
        source.setParameter (17, 1.0f);
        source.setParameter (18, 1.0f);
        juce::MemoryBlock chunk;
        source.getStateInformation (chunk);

        SlicerFilter restored;
        restored.setParameter (7, 1.0f); // some other mode before the restore
        restored.setStateInformation (chunk.getData(), (int) chunk.getSize());

        const auto& p = restored.parameters();
        EXPECT_EQ (p.mode.load(), mode);
        EXPECT_TRUE (p.hold.load()) << "mode " << mode;
        EXPECT_TRUE (p.reverse.load()) << "mode " << mode;

        int on = 0;
        for (int i = 0; i < SlicerParameters::toggleCount; ++i)
            on += restored.getParameter (i) > 0.5f ? 1 : 0;
        EXPECT_EQ (on, 1) << "mode " << mode;
        if (mode < 14)
        {
            EXPECT_EQ (restored.getParameter (mode), 1.0f);
            EXPECT_EQ (restored.getParameterText (14), restored.getParameterName (mode));
        }
    }
}

TEST_F (SlicerStateTest, Toggle13ModeAndHoldRestoreAsSaved)
{
    std::vector<std::string> texts (20, "0");
    texts[13] = "1";
    texts[14] = formatValueText ((double) (13.0f * oneFourteenth));
    texts[15] = "0.5";
    texts[16] = "0.449999988";
    texts[17] = "1";

    EXPECT_GE (restore (chunkOf (settingsText (texts))), 1);
    EXPECT_EQ (slicer.parameters().mode.load(), 13);
    EXPECT_EQ (togglesOn(), 1);
    EXPECT_EQ (slicer.getParameter (13), 1.0f);
    EXPECT_TRUE (slicer.parameters().hold.load());
    EXPECT_EQ (slicer.getParameter (17), 1.0f);
}

//==============================================================================
// Chunks that must leave a slicer exactly as it was, without a broadcast.
TEST_F (SlicerStateTest, UnreadableChunksChangeNothing)
{
    const std::string good = settingsText (std::vector<std::string> (20, "1"));
    const Bytes goodChunk = chunkOf (good);

    Bytes truncatedMidText (goodChunk.begin(), goodChunk.begin() + 100);
    const std::string uptoLastQuote = good.substr (0, good.size() - 2);
    Bytes cutAfterQuote = chunkAround (uptoLastQuote, (juce::uint32) good.size());
    cutAfterQuote.resize (8 + uptoLastQuote.size());
    Bytes nineBytes = chunkAround ("<", 1);
    nineBytes.resize (9);

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";

    const struct { const char* what; Bytes chunk; } cases[] = {
        { "1 byte", Bytes (goodChunk.begin(), goodChunk.begin() + 1) },
        { "8 bytes", Bytes (goodChunk.begin(), goodChunk.begin() + 8) },
        { "9 bytes, length 1", nineBytes },
        { "other magic", chunkAround (good, (juce::uint32) good.size(), 0x21324357) },
        { "magic written big-endian", chunkAround (good, (juce::uint32) good.size(), 0x56433221) },
        { "length 0", chunkAround (good, 0) },
        { "length 2^31", chunkAround (good, 0x80000000u) },
        { "length 2^32 - 1", chunkAround (good, 0xffffffffu) },
        { "length beyond the data, text cut", truncatedMidText },
        { "cut straight after a closing quote", cutAfterQuote },
        { "text stops at an early 0 byte", chunkAround (good.substr (0, 40), (juce::uint32) good.size()) },
        { "not XML", chunkOf ("QVPLUGINSETTINGS QVParam0=1") },
        { "empty text", chunkOf (" ") },
        { "unclosed element", chunkOf (R"(<QVPLUGINSETTINGS QVParam0="1">)") },
        { "attribute without value", chunkOf (R"(<QVPLUGINSETTINGS QVParam15=/>)") },
        { "unquoted value", chunkOf (R"(<QVPLUGINSETTINGS QVParam15=1/>)") },
        { "unterminated quote", chunkOf (R"(<QVPLUGINSETTINGS QVParam15="1/>)") },
        { "text after the element", chunkOf (good + "junk") },
        { "two root elements", chunkOf (good + good) },
        { "crossed end tags", chunkOf (R"(<QVPLUGINSETTINGS QVParam15="1"><a><b></a></b></QVPLUGINSETTINGS>)") },
        { "unknown entity", chunkOf (R"(<QVPLUGINSETTINGS QVParam15="&one;"/>)") },
        { "document type", chunkOf (R"(<!DOCTYPE x [<!ENTITY e "1">]><QVPLUGINSETTINGS QVParam15="&e;"/>)") },
        { "deeply nested", chunkOf (deep) },
        { "processing instruction, then text, inside the element",
          chunkOf (R"(<QVPLUGINSETTINGS QVParam15="1">a<?p?>b</QVPLUGINSETTINGS>)") },
        { "processing instruction alone inside the element",
          chunkOf (R"(<QVPLUGINSETTINGS QVParam15="1"><?p?></QVPLUGINSETTINGS>)") },
        { "more than 1024 attributes", chunkOf (settingsText (std::vector<std::string> (1025, "1"))) },
        { "other element name", chunkOf (settingsText (std::vector<std::string> (20, "1"), "QVPLUGINSETTING")) },
    };

    setDistinctState();
    const auto before = values();

    for (const auto& c : cases)
    {
        EXPECT_EQ (restore (c.chunk), 0) << c.what;
        EXPECT_EQ (values(), before) << c.what;
    }

    slicer.setStateInformation (nullptr, 311);
    slicer.setStateInformation (goodChunk.data(), 0);
    slicer.setStateInformation (goodChunk.data(), -5);
    EXPECT_EQ (values(), before);
}

// Chunks a host may hold that are read, with the values the rules give.
TEST_F (SlicerStateTest, ForeignButReadableChunksRestoreByTheirValues)
{
    std::vector<std::string> texts (20, "0");
    texts[15] = "1";
    texts[16] = "0.75";
    texts[19] = "1";

    const std::string declared = R"(<?xml version="1.0" encoding="UTF-8"?>)" + settingsText (texts);
    const std::string lowerCase = settingsText (texts, "qvpluginsettings", "qvparam");
    const std::string spaced = "\n <!-- saved -->" + settingsText (texts) + "\r\n";
    const std::string singleQuoted = juce::String (settingsText (texts)).replaceCharacter ('"', '\'').toStdString();
    std::string extras = settingsText (texts);
    extras.insert (extras.size() - 2, R"( QVParam20="1" QVParam15x="0" Other="junk")");

    for (const auto& text : { declared, lowerCase, spaced, singleQuoted, extras })
    {
        SlicerFilter fresh;
        fresh.setStateInformation (chunkOf (text).data(), (int) chunkOf (text).size());
        EXPECT_EQ (fresh.getParameter (15), 1.0f) << text;
        EXPECT_EQ (fresh.getParameter (16), 0.75f) << text;
        EXPECT_EQ (fresh.parameters().pendingBars.load(), 4u) << text;
    }
}

TEST_F (SlicerStateTest, MissingAttributesAreWrittenWithTheirCurrentValue)
{
    slicer.setParameter (15, 1.0f);   // 1/32 bar
    slicer.setParameter (16, 0.9f);

    // QVParam15 is absent and QVParam16 only appears with a leading zero.
    std::string text = "<QVPLUGINSETTINGS";
    for (int i = 0; i < 20; ++i)
        if (i != 15 && i != 16)
            text += " QVParam" + std::to_string (i) + "=\"" + (i == 19 ? "1" : "0") + "\"";
    text += R"( QVParam016="0.2"/>)";

    EXPECT_GE (restore (chunkOf (text)), 1);
    EXPECT_EQ (slicer.getParameter (15), 1.0f);
    EXPECT_EQ (slicer.getParameter (16), 0.9f);
    EXPECT_EQ (slicer.parameters().pendingTrimMs.load(), trimMsForValue (0.9f));
    EXPECT_EQ (slicer.getParameter (19), 1.0f);
}

TEST_F (SlicerStateTest, ValueTextsThatAreNotNumbersGiveTheirLeadingNumberOrZero)
{
    std::vector<std::string> texts (20, "0");
    texts[15] = "0.3";    // quantised like any write: 1/4 bar
    texts[16] = "0.5abc";
    texts[17] = "yes";
    texts[18] = "  1";
    texts[19] = "1e999";  // out of the float range: counted as 0 by the parameter write

    slicer.setParameter (17, 1.0f);
    slicer.setParameter (19, 1.0f);
    EXPECT_GE (restore (chunkOf (settingsText (texts))), 1);

    EXPECT_EQ (slicer.getParameter (15), 0.25f);
    EXPECT_EQ (slicer.getParameter (16), 0.5f);
    EXPECT_EQ (slicer.parameters().pendingTrimMs.load(), 0);
    EXPECT_FALSE (slicer.parameters().hold.load());
    EXPECT_TRUE (slicer.parameters().reverse.load());
    EXPECT_TRUE (std::isfinite (slicer.getParameter (19)));
}

TEST_F (SlicerStateTest, LooperChunkFillsTheFirstNineParameters)
{
    const std::vector<std::string> looper = { "0", "0", "0", "0", "0", "0.5", "0.5", "0.333333343", "0.449999988" };
    const std::string text = settingsText (looper);
    const Bytes chunk = chunkOf (text);
    ASSERT_EQ (chunk.size(), 170u);

    slicer.setParameter (15, 1.0f);
    slicer.setParameter (17, 1.0f);
    slicer.setParameter (18, 1.0f);
    settle();
    const auto before = values();

    EXPECT_GE (restore (chunk), 1);
    const auto after = values();

    // Index 0..8 go through the toggle writes, which select nothing at these
    // values (0.5 is not above 0.5) but release Hold; 9..19 keep their values.
    EXPECT_EQ (slicer.parameters().mode.load(), 0);
    EXPECT_EQ (togglesOn(), 1);
    EXPECT_FALSE (slicer.parameters().hold.load());
    for (int i = 9; i < 20; ++i)
    {
        if (i != SlicerParameters::holdIndex)
        {
            EXPECT_EQ (after[(size_t) i], before[(size_t) i]) << "index " << i;
        }
    }
}

//==============================================================================
// The shared save and restore serve any processor: N parameters, written in
// index order through its own write, then one broadcast of its own.
namespace
{
class RecordingProcessor : public AudioFilterBase, public juce::ChangeBroadcaster
{
public:
    explicit RecordingProcessor (std::vector<float> initial) : stored (std::move (initial)) {}

    void prepareToPlay (double, int) override {}
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>&, juce::AudioBuffer<float>&, bool, juce::MidiBuffer&) override {}
    AudioFilterEditor* createEditor() override { return nullptr; }
    int getNumParameters() override { return (int) stored.size(); }
    juce::String getParameterName (int) override { return {}; }
    float getParameter (int index) override { return stored[(size_t) index]; }
    juce::String getParameterText (int) override { return {}; }
    void setParameter (int index, float value) override
    {
        writes.push_back ({ index, value });
        stored[(size_t) index] = value;
    }
    int getNumPrograms() override { return 0; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    void getStateInformation (juce::MemoryBlock& destData) override { saveParameterState (*this, destData); }
    void setStateInformation (const void* data, int size) override { restoreParameterState (*this, changes, data, size); }

    std::vector<float> stored;
    std::vector<std::pair<int, float>> writes;
    ChangeAnnouncer changes { *this };
};
}

TEST (ParameterState, RestoreWritesEveryIndexInOrderThenBroadcastsOnce)
{
    RecordingProcessor processor ({ 0.1f, 0.2f, 0.3f });
    BroadcastCounter broadcasts;
    processor.addChangeListener (&broadcasts);

    const Bytes chunk = chunkOf (R"(<QVPLUGINSETTINGS QVParam2="1" QVParam0="0.5"/>)");
    EXPECT_TRUE (restoreParameterState (processor, processor.changes, chunk.data(), (int) chunk.size()));
    processor.dispatchPendingMessages();

    const std::vector<std::pair<int, float>> expected = { { 0, 0.5f }, { 1, 0.2f }, { 2, 1.0f } };
    EXPECT_EQ (processor.writes, expected);
    EXPECT_EQ (broadcasts.count, 1);

    processor.writes.clear();
    const Bytes other = chunkOf (R"(<OTHER QVParam0="1"/>)");
    EXPECT_FALSE (restoreParameterState (processor, processor.changes, other.data(), (int) other.size()));
    processor.dispatchPendingMessages();
    EXPECT_TRUE (processor.writes.empty());
    EXPECT_EQ (broadcasts.count, 1);

    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    EXPECT_EQ (bytesOf (saved), chunkOf (R"(<QVPLUGINSETTINGS QVParam0="0.5" QVParam1="0.200000003" QVParam2="1"/>)"));

    processor.removeChangeListener (&broadcasts);
}
