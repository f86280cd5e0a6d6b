#pragma once

#include "CEventListener.h"
#include "EngineFilter.h"
#include "LooperEngine.h"
#include "LooperParameters.h"

namespace tavrel
{

// The looper plug-in's processor: its nine parameters and its engine, adapted
// to the frame, with the hidden listener that announces the mode group's side
// effects to the host.
class LooperFilter : public EngineFilter<LooperParameters, LooperEngine>
{
public:
    LooperFilter();
    ~LooperFilter() override;

    AudioFilterEditor* createEditor() override;

private:
    static constexpr CEventListener::Variant listenerLayout = CEventListener::layoutOf (LooperParameters::table);
    static_assert (listenerLayout.modeIndex == LooperParameters::modeIndex && listenerLayout.followUpCount == 0);

    // Last, so that it is made once everything it reads exists and goes first,
    // while the change broadcaster it listens to still exists.
    CEventListener hiddenListener { *this, *this, listenerLayout };

    JUCE_DECLARE_NON_COPYABLE (LooperFilter)
};

} // namespace tavrel
