// The block process runs on the host's audio thread: it must not allocate or
// take a lock, whatever the mode and whatever changes at its boundaries.
#include "BroadcastCounter.h"
#include "MessageLoop.h"
#include "RealtimeGuard.h"
#include "SlicerRig.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

TEST (SlicerRealtime, BlockProcessNeitherAllocatesNorLocksInAnyMode)
{
    SlicerRig rig;
    rig.play (137.0);
    StereoSignal block (777, 0.25f);
    rig.process (block); // first touch of everything outside the guard

    for (int mode = 0; mode <= 14; ++mode)
    {
        rig.slicer.setParameter (SlicerParameters::modeIndex, (float) mode / 14.0f);
        rig.slicer.setParameter (SlicerParameters::sizeIndex, (float) (mode % 5) / 4.0f);
        rig.slicer.setParameter (SlicerParameters::bufLenIndex, (float) (mode % 4) / 3.0f);
        rig.slicer.setParameter (SlicerParameters::trimIndex, (float) mode / 14.0f);
        rig.slicer.setParameter (SlicerParameters::reverseIndex, (float) (mode % 2));
        rig.slicer.setParameter (SlicerParameters::holdIndex, mode % 3 == 0 ? 1.0f : 0.0f);

        StereoSignal in (40000, 0.5f), out (40000);
        float* inputs[] = { in.left.data(), in.right.data() };
        float* outputs[] = { out.left.data(), out.right.data() };
        juce::AudioBuffer<float> inBuffer (inputs, 2, 40000), outBuffer (outputs, 2, 40000);
        juce::MidiBuffer midi;

        for (bool playing : { true, false, true })
        {
            playing ? rig.play (137.0, 3.0 * mode) : rig.stop();

            RealtimeGuard guard;
            rig.slicer.processBlock (inBuffer, outBuffer, false, midi);
            EXPECT_EQ (guard.allocations(), 0) << "mode " << mode;
            EXPECT_EQ (guard.locks(), 0) << "mode " << mode;
        }
    }
}

using tavrel::test::BroadcastCounter;

TEST (SlicerRealtime, ParameterWritesOffTheMessageThreadOnlyRaiseAFlagThatIsPostedLater)
{
    SlicerFilter slicer;
    BroadcastCounter listener;
    slicer.addChangeListener (&listener);

    int allocations = -1, locks = -1;
    std::thread audioThread ([&]
    {
        RealtimeGuard guard;
        slicer.setParameter (3, 1.0f);                             // radio group
        slicer.setParameter (SlicerParameters::sizeIndex, 0.75f);  // grid
        slicer.getParameter (3);
        allocations = guard.allocations();
        locks = guard.locks();
    });
    audioThread.join();

    EXPECT_EQ (allocations, 0);
    EXPECT_EQ (locks, 0);
    EXPECT_EQ (slicer.getParameter (3), 1.0f) << "the write itself took effect at once";

    slicer.dispatchPendingMessages();
    EXPECT_EQ (listener.count, 0) << "nothing posted from the audio thread";

    // A timer on the message thread posts it a few milliseconds later.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return listener.count > 0; }));
    slicer.removeChangeListener (&listener);
}

TEST (SlicerRealtime, GuardSeesAllocationsAndLocks)
{
    // The guard itself must notice what it is there to catch.
    RealtimeGuard guard;
    auto* p = new std::vector<int> (100);
    delete p;
    juce::CriticalSection lock;
    lock.enter();
    lock.exit();
    EXPECT_GE (guard.allocations(), 2);
    EXPECT_GE (guard.locks(), 1);
}

} // namespace
