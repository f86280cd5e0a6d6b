// The adapter driven through its effect record around a probe processor, in
// this process: the order of the calls into the processor, the host-notifying
// write, the position query, the chunk transport and the adapter timer.
#include "JuceVSTWrapper.h"
#include "ProbeFilter.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;
using Journal = std::vector<std::string>;

namespace
{

Journal* probeJournal = nullptr;

const PluginIdentity probeIdentity {
    "Frame Probe", "Tavrel Software", fourCharCode ('P', 'r', 'T', 'v'), 1000,
    [] () -> std::unique_ptr<AudioFilterBase> { return std::make_unique<ProbeFilter> (probeJournal); }
};

class Adapter : public ::testing::Test
{
protected:
    ~Adapter() override { probeJournal = nullptr; }

    ProbeFilter& probe()
    {
        return static_cast<ProbeFilter&> (static_cast<JuceVSTWrapper*> (AudioEffect::fromRecord (effect.get()))->getFilter());
    }

    JuceVSTWrapper& wrapper() { return *static_cast<JuceVSTWrapper*> (AudioEffect::fromRecord (effect.get())); }

    void processBlock (int n = 64)
    {
        StereoBlock in ((size_t) n, 0.5f), out ((size_t) n);
        effect.processReplacing (in.channels(), out.channels(), n);
    }

    // The journal from the given entry on, without the parameter traffic.
    Journal callsSince (size_t start) const
    {
        return Journal (journal.begin() + (long) start, journal.end());
    }

    bool shareJournal()
    {
        probeJournal = &journal;
        host.journal = &journal;
        return true;
    }

    Journal journal;
    TestHost host;
    bool journalShared = shareJournal(); // before the probe is made below
    OpenEffect effect { createEffect (TestHost::callback, probeIdentity) };
};

TEST_F (Adapter, EveryResumePreparesAndEverySuspendReleases)
{
    journal.clear();
    effect.dispatch (effMainsChanged, 0, 1);
    effect.dispatch (effMainsChanged, 0, 1);
    effect.dispatch (effMainsChanged, 0, 0);
    effect.dispatch (effMainsChanged, 0, 0);
    EXPECT_EQ (journal, (Journal { "prepare 44100 1024", "prepare 44100 1024", "release", "release" }));
}

TEST_F (Adapter, ABlockBeforeAnyResumePreparesWithTheHostsLastValues)
{
    const struct { bool setRate; float rate; intptr_t block; const char* expected; } cases[] = {
        { false, 0.0f, 0, "prepare 44100 1024" },
        { true, 48000.0f, 512, "prepare 48000 512" },
        { true, 0.0f, 256, "prepare 44100 256" },
        { true, -96000.0f, 128, "prepare 44100 128" },
    };

    for (const auto& c : cases)
    {
        journal.clear();
        OpenEffect fresh { createEffect (TestHost::callback, probeIdentity) };
        if (c.setRate)
        {
            fresh.dispatch (effSetSampleRate, 0, 0, nullptr, c.rate);
            fresh.dispatch (effSetBlockSize, 0, c.block);
        }

        StereoBlock in (32), out (32);
        fresh.processReplacing (in.channels(), out.channels(), 32);
        fresh.processReplacing (in.channels(), out.channels(), 32);

        auto& filter = static_cast<JuceVSTWrapper*> (AudioEffect::fromRecord (fresh.get()))->getFilter();
        EXPECT_EQ (static_cast<ProbeFilter&> (filter).blocks, 2);
        EXPECT_EQ (journal, (Journal { c.expected })) << "one prepare, then blocks only";
        if (c.rate <= 0.0f)
        {
            EXPECT_EQ (filter.getSampleRate(), 44100.0);
        }
    }
}

TEST_F (Adapter, ASampleRateChangeWaitsForTheNextResume)
{
    effect.dispatch (effMainsChanged, 0, 1);
    effect.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
    processBlock();
    EXPECT_EQ (probe().getSampleRate(), 44100.0);

    effect.dispatch (effMainsChanged, 0, 0);
    const auto start = journal.size();
    processBlock(); // suspended: the block resumes first
    EXPECT_EQ (probe().getSampleRate(), 48000.0);
    EXPECT_EQ (callsSince (start), (Journal { "prepare 48000 1024" }));
}

TEST_F (Adapter, TheBlockReplacesAndTheAccumulatingCallDoesNothing)
{
    StereoBlock in (16, 0.25f), out (16, 7.0f);
    effect->process (effect.get(), in.channels(), out.channels(), 16);
    EXPECT_EQ (probe().blocks, 0);
    EXPECT_EQ (out.left, std::vector<float> (16, 7.0f));

    effect.processReplacing (in.channels(), out.channels(), 16);
    EXPECT_EQ (probe().blocks, 1);
    EXPECT_FALSE (probe().lastAccumulate);
    EXPECT_EQ (out.left, std::vector<float> (16, 0.25f));

    // Missing channel arrays or no samples: no block at all.
    float* halfGiven[2] = { in.left.data(), nullptr };
    effect.processReplacing (halfGiven, out.channels(), 16);
    effect.processReplacing (nullptr, out.channels(), 16);
    effect.processReplacing (in.channels(), nullptr, 16);
    effect.processReplacing (in.channels(), out.channels(), 0);
    effect.processReplacing (in.channels(), out.channels(), -5);
    EXPECT_EQ (probe().blocks, 1);
}

TEST_F (Adapter, ThePositionQueryAsksForTheFieldsAndMapsTheRecord)
{
    host.play (140.0, 44100.0 * 3);
    host.time.flags |= kVstSmpteValid;
    host.time.smpteFrameRate = 0;
    host.time.smpteOffset = 80 * 24;
    processBlock();

    EXPECT_EQ (host.lastTimeMask, 0xEE00);
    ASSERT_TRUE (probe().positionGiven);
    EXPECT_EQ (probe().lastPosition.bpm, 140.0);
    EXPECT_EQ (probe().lastPosition.timeInSeconds, 3.0);
    EXPECT_EQ (probe().lastPosition.editOriginTime, 1.0);
    EXPECT_TRUE (probe().lastPosition.isPlaying);

    host.time.sampleRate = 0.0;
    processBlock();
    EXPECT_FALSE (probe().positionGiven);
    EXPECT_EQ (probe().lastPosition.bpm, -1.0) << "the record stays as it was";

    host.giveTime = false;
    processBlock();
    EXPECT_FALSE (probe().positionGiven);
    EXPECT_EQ (probe().lastPosition.bpm, -1.0);
}

TEST_F (Adapter, TheHostNotifyingWriteWritesBeforeTellingTheHost)
{
    journal.clear();
    probe().setParameterNotifyingHost (2, 0.25f);

    EXPECT_EQ (journal, (Journal { "set 2", "automate 2" }));
    ASSERT_EQ (host.notices().size(), 1u);
    EXPECT_EQ (host.notices()[0], (TestHost::Notice { 2, 0.25f, true }));
    EXPECT_EQ (probe().values[2], 0.25f);
}

TEST_F (Adapter, HostParameterCallsReachTheProcessorUnchecked)
{
    journal.clear();
    effect->setParameter (effect.get(), 1, 0.75f);
    effect->setParameter (effect.get(), 57, 0.5f);
    effect->setParameter (effect.get(), -3, 0.5f);
    EXPECT_EQ (journal, (Journal { "set 1", "set 57", "set -3" }));
    EXPECT_EQ (effect->getParameter (effect.get(), 1), 0.75f);
    EXPECT_EQ (effect->getParameter (effect.get(), 57), 0.0f);
    EXPECT_TRUE (host.notices().empty()) << "the host is not told of its own writes";
}

TEST_F (Adapter, TextsAreCutToTheirLimits)
{
    char buffer[128];
    std::memset (buffer, 'Q', sizeof (buffer));
    effect.dispatch (effGetParamDisplay, 1, 0, buffer);
    EXPECT_EQ (std::string (buffer), juce::String::repeatedString ("0123456789", 10).substring (0, 64).toStdString());
    EXPECT_EQ (buffer[65], 'Q') << "64 characters and the 0 byte, nothing more";

    std::memset (buffer, 'Q', sizeof (buffer));
    effect.dispatch (effGetParamName, 0, 0, buffer);
    EXPECT_EQ (std::string (buffer), "Alternat");
    EXPECT_EQ (buffer[9], 'Q');

    EXPECT_EQ (effect.text (effGetParamName, 99), "");
    EXPECT_EQ (effect.text (effGetParamDisplay, -1), "");
}

TEST_F (Adapter, ProgramRequestsBehaveAsWithoutPrograms)
{
    journal.clear();
    for (intptr_t value : { 0, 1, -1, 1000 })
        EXPECT_EQ (effect.dispatch (effSetProgram, 0, value), 0);

    char name[] = "Verse";
    effect.dispatch (effSetProgramName, 0, 0, name);
    EXPECT_EQ (journal, (Journal { "rename Verse" })) << "no program select reaches the processor";
    EXPECT_EQ (effect.dispatch (effGetProgram), 0);
    EXPECT_EQ (effect.text (effGetProgramName), "");
    EXPECT_EQ (effect.dispatch (effGetProgramNameIndexed, 0, 0, name), 0);
    EXPECT_STREQ (name, "Verse");
}

TEST_F (Adapter, TheChunkIsTheProcessorsStateUntilReplaced)
{
    void* address = nullptr;
    journal.clear();
    const auto size = effect.dispatch (effGetChunk, 0, 0, &address);

    EXPECT_EQ (journal, (Journal { "save" }));
    ASSERT_EQ (size, (intptr_t) probe().state.size());
    ASSERT_NE (address, nullptr);
    EXPECT_EQ (std::string (static_cast<const char*> (address), (size_t) size), "probe state");
    EXPECT_TRUE (wrapper().holdsChunk());

    // The program flag (index 1) is ignored; the second chunk replaces the first.
    probe().state = "second state, longer than the first";
    void* second = nullptr;
    const auto secondSize = effect.dispatch (effGetChunk, 1, 0, &second);
    ASSERT_EQ (secondSize, (intptr_t) probe().state.size());
    EXPECT_EQ (std::string (static_cast<const char*> (second), (size_t) secondSize), probe().state);

    // A host that hands our own chunk back restores from intact memory.
    journal.clear();
    EXPECT_EQ (effect.dispatch (effSetChunk, 0, secondSize, second), 0);
    EXPECT_EQ (journal, (Journal { "restore " + std::to_string (secondSize) }));
    EXPECT_EQ (probe().restored, probe().state);
    EXPECT_FALSE (wrapper().holdsChunk());

    EXPECT_EQ (effect.dispatch (effGetChunk, 0, 0, nullptr), 0) << "no place for the address: nothing saved";
}

TEST_F (Adapter, AnEmptyOrMissingChunkIsNotRestored)
{
    char data[] = "abcd";
    journal.clear();
    effect.dispatch (effSetChunk, 0, 0, data);
    effect.dispatch (effSetChunk, 0, 4, nullptr);
    effect.dispatch (effSetChunk, 0, -4, data);
    EXPECT_TRUE (journal.empty());

    effect.dispatch (effSetChunk, 1, 4, data);
    EXPECT_EQ (journal, (Journal { "restore 4" }));
    EXPECT_EQ (probe().restored, "abcd");
}

TEST_F (Adapter, TheTimerFreesTheChunkAfterItsHoldTime)
{
    void* address = nullptr;
    effect.dispatch (effGetChunk, 0, 0, &address);

    const auto start = std::chrono::steady_clock::now();
    auto idleFor = [&] (int untilMs)
    {
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds (untilMs))
        {
            EXPECT_EQ (effect.dispatch (effEditIdle), 0);
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
        }
    };

    idleFor (1600);
    EXPECT_TRUE (wrapper().holdsChunk()) << "still within the hold time";
    idleFor (2700);
    EXPECT_FALSE (wrapper().holdsChunk());
}

TEST_F (Adapter, EditorRequestsFailWithoutAnEditor)
{
    ERect* rect = nullptr;
    journal.clear();
    EXPECT_EQ (effect.dispatch (effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ (rect, nullptr);
    EXPECT_EQ (effect.dispatch (effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ (effect.dispatch (effEditOpen, 0, 0, nullptr), 0) << "and without a host window nothing is tried";
    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_EQ (effect.dispatch (effEditIdle), 0);
    EXPECT_EQ (journal, (Journal { "createEditor" }));
    EXPECT_EQ (probe().getActiveEditor(), nullptr);
}

TEST_F (Adapter, CloseRepliesOneAndDestroysTheProcessor)
{
    journal.clear();
    EXPECT_EQ (effect.close(), 1);
    EXPECT_EQ (journal, (Journal { "destroyed" }));
}

} // namespace
