// What careless or hostile hosts hand the plug-ins through the effect record:
// odd sample rates and block sizes, broken transports, null pointers, the
// shortest text buffers the interface allows, and the same arrays for input
// and output. Nothing may crash, write past a buffer or produce a sample that
// is not finite.
#include "LoadedPlugins.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

constexpr float inputPeak = 0.5f;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

void fillSignal (StereoBlock& block, int32_t n, double& phase)
{
    for (int32_t i = 0; i < n; ++i, phase += 0.05)
    {
        block.left[(size_t) i] = inputPeak * (float) std::sin (phase);
        block.right[(size_t) i] = inputPeak * (float) std::cos (phase);
    }
}

class HostileInput : public ::testing::TestWithParam<LoadedPlugin>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (library.isLoaded()) << GetParam().path;
        ASSERT_NE (effect.get(), nullptr);
    }

    // Settings that make the grid as fine, and the ring as long, as they go.
    void useExtremeGrid (OpenEffect& target)
    {
        if (GetParam().numParameters == zintrak.numParameters)
        {
            target->setParameter (target.get(), 15, 1.0f); // 32 slices per bar
            target->setParameter (target.get(), 19, 1.0f); // 4 bars
        }
        else
        {
            target->setParameter (target.get(), 7, 1.0f); // 64 slices per bar
            target->setParameter (target.get(), 5, 0.0f); // the smallest loop
            target->setParameter (target.get(), 6, 1.0f); // the deepest modulation
        }
    }

    // Plays `blocks` blocks of n samples in every mode, the top position
    // included, and gives the largest output magnitude seen.
    float playEveryMode (OpenEffect& target, int32_t n, int blocks, const std::function<void (int)>& beforeBlock = {})
    {
        StereoBlock in ((size_t) std::max (n, 1)), out ((size_t) std::max (n, 1));
        double phase = 0.0;
        float peak = 0.0f;
        int blockNumber = 0;

        for (int k = 0; k <= GetParam().modeIndex; ++k)
        {
            selectMode (target, GetParam(), k);
            for (int b = 0; b < blocks; ++b, ++blockNumber)
            {
                if (beforeBlock)
                    beforeBlock (blockNumber);
                fillSignal (in, n, phase);
                target.processReplacing (in.channels(), out.channels(), n);
                host.time.samplePos += n;
                peak = std::fmax (peak, peakOf (out));
            }
        }
        return peak;
    }

    TestHost host;
    PluginLibrary library { GetParam().path };
    OpenEffect effect { library.create() };
};

TEST_P (HostileInput, OddSampleRatesAndBlockSizesGiveBoundedOutput)
{
    const struct Row { float hostRate; double recordRate; int32_t blockSize; double tempo; } rows[] = {
        { 0.0f, 44100.0, 512, 120.0 },       // the processor runs at 44.1 kHz
        { -48000.0f, 48000.0, 512, 120.0 },
        { std::nanf (""), 44100.0, 512, 120.0 },
        { 1.0f, 1.0, 1, 120.0 },             // slices shorter than a sample
        { 1.0f, 1.0, 512, 120.0 },
        { 768000.0f, 768000.0, 512, 120.0 },
        { 768000.0f, 768000.0, 65536, 30.0 }, // bars longer than the ring
        { 44100.0f, 44100.0, 1, 120.0 },
        { 44100.0f, 44100.0, 65536, 120.0 },
        { 192000.0f, 192000.0, 65536, 20.0 },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (testing::Message() << "host rate " << row.hostRate << ", block " << row.blockSize
                                         << ", " << row.tempo << " BPM");
        OpenEffect instance { library.create() };
        useExtremeGrid (instance);
        host.play (row.tempo);
        host.time.sampleRate = row.recordRate;
        instance.dispatch (effSetSampleRate, 0, 0, nullptr, row.hostRate);
        instance.dispatch (effSetBlockSize, 0, row.blockSize);
        instance.dispatch (effMainsChanged, 0, 1);

        const int blocks = row.blockSize >= 65536 ? 2 : (row.blockSize == 1 ? 3000 : 40);
        EXPECT_LE (playEveryMode (instance, row.blockSize, blocks), 2.0f * inputPeak);
    }
}

TEST_P (HostileInput, ASampleRateOfZeroPlaysAsFortyFourPointOneKilohertz)
{
    OpenEffect reference { library.create() };
    effect.dispatch (effSetSampleRate, 0, 0, nullptr, 0.0f);
    reference.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.play (120.0);

    StereoBlock in (1024), out (1024), referenceIn (1024), referenceOut (1024);
    double phase = 0.0, referencePhase = 0.0;
    for (int block = 0; block < 100; ++block)
    {
        fillSignal (in, 1024, phase);
        fillSignal (referenceIn, 1024, referencePhase);
        effect.processReplacing (in.channels(), out.channels(), 1024);
        reference.processReplacing (referenceIn.channels(), referenceOut.channels(), 1024);
        host.time.samplePos += 1024;
        ASSERT_EQ (out.left, referenceOut.left) << "block " << block;
        ASSERT_EQ (out.right, referenceOut.right) << "block " << block;
    }
}

TEST_P (HostileInput, EmptyOrNegativeBlocksLeaveTheOutputsAlone)
{
    host.play (120.0);
    for (int32_t n : { 0, -1, -512, INT_MIN })
    {
        StereoBlock in (64, inputPeak), out (64, 3.0f);
        effect.processReplacing (in.channels(), out.channels(), n);
        EXPECT_EQ (out.left, std::vector<float> (64, 3.0f)) << n << " samples";
        EXPECT_EQ (out.right, std::vector<float> (64, 3.0f)) << n << " samples";
    }

    // A host block size that makes no sense is only a hint.
    for (intptr_t blockSize : { (intptr_t) 0, (intptr_t) -1, (intptr_t) INT_MAX, (intptr_t) INTPTR_MAX })
    {
        effect.dispatch (effSetBlockSize, 0, blockSize);
        effect.dispatch (effMainsChanged, 0, 0);
        effect.dispatch (effMainsChanged, 0, 1);
        EXPECT_LE (playEveryMode (effect, 256, 2), 2.0f * inputPeak) << "block size " << blockSize;
    }
}

TEST_P (HostileInput, BrokenTransportsGiveBoundedOutputAndSilenceWhenNotPlaying)
{
    struct Row
    {
        const char* name;
        std::function<void (TestHost&, int block)> transport;
        bool playing;
    };
    const Row rows[] = {
        { "negative positions", [] (TestHost& h, int b) { h.time.samplePos = -1.0e6 + 512.0 * b; }, true },
        { "huge positions", [] (TestHost& h, int b) { h.time.samplePos = 1.0e15 + 512.0 * b; }, true },
        { "the largest position", [] (TestHost& h, int) { h.time.samplePos = std::numeric_limits<double>::max(); }, true },
        { "NaN position", [] (TestHost& h, int) { h.time.samplePos = nan; }, true },
        { "infinite position", [] (TestHost& h, int) { h.time.samplePos = infinity; }, true },
        { "jumping back every block", [] (TestHost& h, int b) { h.time.samplePos = 2.0e6 - 1536.0 * b; }, true },
        { "jumping about", [] (TestHost& h, int b) { h.time.samplePos = (b * 7919 % 13) * 100000.0; }, true },
        { "tempo 0", [] (TestHost& h, int) { h.time.tempo = 0.0; }, true },
        { "negative tempo", [] (TestHost& h, int) { h.time.tempo = -120.0; }, true },
        { "NaN tempo", [] (TestHost& h, int) { h.time.tempo = nan; }, true },
        { "infinite tempo", [] (TestHost& h, int) { h.time.tempo = infinity; }, true },
        { "tempo 1e9", [] (TestHost& h, int) { h.time.tempo = 1.0e9; }, true },
        { "tempo 1e-9", [] (TestHost& h, int) { h.time.tempo = 1.0e-9; }, true },
        { "tempo changing every block", [] (TestHost& h, int b) { h.time.tempo = 40.0 + (b % 7) * 50.0; }, true },
        { "tempo marked invalid", [] (TestHost& h, int) { h.time.flags &= ~kVstTempoValid; }, true },
        { "every validity bit clear", [] (TestHost& h, int) { h.time.flags = 0; }, false },
        { "no time record", [] (TestHost& h, int) { h.giveTime = false; }, false },
        { "record sample rate 0", [] (TestHost& h, int) { h.time.sampleRate = 0.0; }, false },
        { "record sample rate NaN", [] (TestHost& h, int) { h.time.sampleRate = nan; }, false },
    };

    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.name);
        OpenEffect instance { library.create() };
        host.play (120.0);
        useExtremeGrid (instance);

        const auto transport = [&] (int block) { row.transport (host, block); };
        EXPECT_LE (playEveryMode (instance, 512, 24, transport), 2.0f * inputPeak);

        if (! row.playing)
        {
            // A wet mode without transport records nothing and is silent.
            selectMode (instance, GetParam(), 1);
            StereoBlock in (512, inputPeak), out (512, 3.0f);
            instance.processReplacing (in.channels(), out.channels(), 512);
            EXPECT_EQ (peakOf (out), 0.0f);
        }
    }
}

TEST_P (HostileInput, NullPointersAreRefusedWithoutHarm)
{
    const auto before = parameterValues (effect, GetParam());
    const struct Row { int32_t opcode; intptr_t value; } rows[] = {
        { effSetProgramName, 0 }, { effGetProgramName, 0 }, { effGetParamLabel, 0 }, { effGetParamDisplay, 0 },
        { effGetParamName, 0 }, { effEditGetRect, 0 }, { effEditOpen, 0 }, { effGetChunk, 0 },
        { effSetChunk, 0 }, { effSetChunk, 100 }, { effSetChunk, INT_MAX }, { effProcessEvents, 0 },
        { effGetProgramNameIndexed, 0 }, { effSetSpeakerArrangement, 0 }, { effGetEffectName, 0 },
        { effGetVendorString, 0 }, { effGetProductString, 0 }, { effVendorSpecific, 0 }, { effCanDo, 0 },
        { effGetParameterProperties, 0 }, { effGetInputProperties, 0 }, { effGetOutputProperties, 0 },
        { effEditKeyDown, 0 }, { effGetSpeakerArrangement, 0 },
    };
    for (const auto& row : rows)
        EXPECT_EQ (effect.dispatch (row.opcode, 0, row.value, nullptr), 0) << "request " << row.opcode;

    // One of the two speaker arrangement references given.
    void* arrangement = &arrangement;
    EXPECT_EQ (effect.dispatch (effGetSpeakerArrangement, 0, 0, &arrangement), 0);
    EXPECT_EQ (arrangement, nullptr);
    arrangement = &arrangement;
    EXPECT_EQ (effect.dispatch (effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&arrangement), nullptr), 0);
    EXPECT_EQ (arrangement, nullptr);

    EXPECT_EQ (parameterValues (effect, GetParam()), before);

    // Channel arrays missing, whole or in part: nothing is processed.
    host.play (120.0);
    StereoBlock in (64, inputPeak), out (64, 3.0f);
    float* partial[2] = { in.left.data(), nullptr };
    float* outputs[2] = { out.left.data(), out.right.data() };
    effect.processReplacing (nullptr, out.channels(), 64);
    effect.processReplacing (in.channels(), nullptr, 64);
    effect.processReplacing (partial, outputs, 64);
    effect.processReplacing (in.channels(), partial, 64);
    EXPECT_EQ (out.left, std::vector<float> (64, 3.0f));
    EXPECT_EQ (out.right, std::vector<float> (64, 3.0f));
    effect->process (effect.get(), nullptr, nullptr, 64);
    effect->processDoubleReplacing (effect.get(), nullptr, nullptr, 64);

    // A host that calls through a null record reaches no instance.
    EXPECT_EQ (effect->dispatcher (nullptr, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    effect->processReplacing (nullptr, in.channels(), out.channels(), 64);
    effect->setParameter (nullptr, 0, 1.0f);
    EXPECT_EQ (effect->getParameter (nullptr, 0), 0.0f);
    EXPECT_EQ (parameterValues (effect, GetParam()), before);
}

TEST_P (HostileInput, TextRepliesFitTheShortestBuffersTheInterfaceAllows)
{
    static constexpr size_t guardSize = 32;
    static constexpr char guard = 0x5A;
    const struct Row { int32_t opcode; size_t capacity; bool perParameter; } rows[] = {
        { effGetParamName, kVstMaxParamStrLen + 1, true },   { effGetParamLabel, kVstMaxParamStrLen + 1, true },
        { effGetParamDisplay, kVstMaxDisplayLen + 1, true }, { effGetProgramName, kVstMaxProgNameLen + 1, false },
        { effGetProgramNameIndexed, kVstMaxProgNameLen + 1, false }, { effGetEffectName, kVstMaxEffectNameLen + 1, false },
        { effGetVendorString, kVstMaxVendorStrLen + 1, false }, { effGetProductString, kVstMaxProductStrLen + 1, false },
    };

    const auto check = [&] (const Row& row, int32_t index)
    {
        std::vector<char> buffer (row.capacity + guardSize, guard);
        effect.dispatch (row.opcode, index, 0, buffer.data());
        const auto end = std::find (buffer.begin(), buffer.begin() + (long) row.capacity, 0);
        const bool terminated = end != buffer.begin() + (long) row.capacity;
        const bool untouched = std::all_of (buffer.begin() + (long) row.capacity, buffer.end(),
                                            [] (char c) { return c == guard; });
        EXPECT_TRUE (untouched && (terminated || row.opcode == effGetProgramNameIndexed))
            << "request " << row.opcode << " index " << index << " wrote " << std::string (buffer.data(), row.capacity);
    };

    // The longest texts come with the extreme values and every "Mode" position.
    std::vector<float> values { 0.0f, 0.003f, 0.25f, 0.5f, 0.503f, 0.75f, 1.0f };
    for (int k = 0; k <= GetParam().modeIndex; ++k)
        values.push_back ((float) k / (float) GetParam().modeIndex);

    for (float value : values)
    {
        for (int i = 0; i < GetParam().numParameters; ++i)
            effect->setParameter (effect.get(), i, value);

        for (const auto& row : rows)
            for (int32_t index = -1; index <= (row.perParameter ? GetParam().numParameters : 0); ++index)
                check (row, index);
    }

    // A program name exactly as long as allowed, without a 0 byte after it,
    // is read no further (the sanitizer build sees any byte beyond).
    std::vector<char> name (kVstMaxProgNameLen, 'N');
    effect.dispatch (effSetProgramName, 0, 0, name.data());
}

TEST_P (HostileInput, TheSameArraysForInputAndOutputGiveTheSameResultInEveryMode)
{
    OpenEffect separate { library.create() };
    host.play (120.0);

    for (int k = 0; k <= GetParam().modeIndex; ++k)
    {
        if (GetParam().numParameters == zintrak.numParameters && k == 2)
            continue; // Random: the two instances draw different slices

        selectMode (effect, GetParam(), k);
        selectMode (separate, GetParam(), k);
        useExtremeGrid (effect);
        useExtremeGrid (separate);
        // The hidden listeners rewrite the group on their message thread;
        // both have done so before the blocks, or the two would differ.
        effect.dispatch (effEditIdle);
        separate.dispatch (effEditIdle);

        double phase = 0.0, separatePhase = 0.0;
        StereoBlock inPlace (700), in (700), out (700);
        for (int block = 0; block < 40; ++block)
        {
            fillSignal (inPlace, 700, phase);
            fillSignal (in, 700, separatePhase);
            effect.processReplacing (inPlace.channels(), inPlace.channels(), 700);
            separate.processReplacing (in.channels(), out.channels(), 700);
            host.time.samplePos += 700;
            ASSERT_EQ (inPlace.left, out.left) << "mode " << k << " block " << block;
            ASSERT_EQ (inPlace.right, out.right) << "mode " << k << " block " << block;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (BothPlugins, HostileInput, ::testing::Values (zintrak, morlune), pluginName);

} // namespace
