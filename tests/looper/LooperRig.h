#pragma once

#include "LooperFilter.h"
#include "ProcessorRig.h"

namespace tavrel::test
{

// The looper's tests take a ramp whose right channel sits half a step above
// the left, so that the two rings can be told apart.
inline StereoSignal loopRamp (size_t length, float rightOffset = 0.5f) { return StereoSignal::ramp (length, rightOffset); }

struct LooperRig : ProcessorRig<LooperFilter>
{
    LooperFilter& looper = processor;

    // Selects a mode as a host does, and lets the hidden listener settle.
    void select (int button)
    {
        looper.setParameter (button, 1.0f);
        for (int i = 0; i < 3; ++i)
            looper.dispatchPendingMessages();
    }
};

} // namespace tavrel::test
