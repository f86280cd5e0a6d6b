// The block process runs on the host's audio thread: it must not allocate or
// take a lock, whatever the selection and whatever changes at its boundaries.
#include "LooperRig.h"
#include "RealtimeGuard.h"

#include <gtest/gtest.h>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

TEST (LooperRealtime, BlockProcessNeitherAllocatesNorLocksInAnySelection)
{
    LooperRig rig;
    rig.play (137.0);
    rig.process (StereoSignal (777, 0.25f)); // first touch of everything outside the guard

    StereoSignal in (40000, 0.5f), out (40000);
    float* inputs[] = { in.left.data(), in.right.data() };
    float* outputs[] = { out.left.data(), out.right.data() };
    juce::AudioBuffer<float> inBuffer (inputs, 2, 40000), outBuffer (outputs, 2, 40000);
    juce::AudioBuffer<float> monoBuffer (inputs, 1, 40000);
    juce::MidiBuffer midi;

    for (int step = 0; step < 16; ++step)
    {
        const int selection = step % 4; // Bypass, Loop, Alternating, the top of "Mode"
        rig.looper.setParameter (LooperParameters::modeIndex, (float) selection / 3.0f);
        rig.looper.setParameter (LooperParameters::sliceSizeIndex, (float) (step % 7) / 6.0f);
        rig.looper.setParameter (LooperParameters::trimIndex, (float) step / 15.0f);
        rig.looper.setParameter (LooperParameters::modulationIndex, (float) (step % 5) / 4.0f);
        rig.looper.setParameter (LooperParameters::loopSizeIndex, (float) (step % 3) / 8.0f);

        for (double bpm : { 137.0, 0.0, 300.0 })
        {
            for (bool playing : { true, false })
            {
                playing ? rig.play (bpm, 3.0 * step) : rig.stop();

                RealtimeGuard guard;
                rig.looper.processBlock (inBuffer, outBuffer, false, midi);
                rig.looper.processBlock (monoBuffer, outBuffer, false, midi);
                EXPECT_EQ (guard.allocations(), 0) << "selection " << selection << " tempo " << bpm;
                EXPECT_EQ (guard.locks(), 0) << "selection " << selection << " tempo " << bpm;
            }
        }
    }
}

} // namespace
