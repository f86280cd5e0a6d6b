#pragma once

#include "CEventListener.h"
#include "EngineFilter.h"
#include "SlicerEngine.h"
#include "SlicerParameters.h"

namespace tavrel
{

// The slicer plug-in's processor: its 20 parameters and its engine, adapted to
// the frame, with the hidden listener that announces the radio group's side
// effects to the host.
class SlicerFilter : public EngineFilter<SlicerParameters, SlicerEngine>
{
public:
    SlicerFilter();
    ~SlicerFilter() override;

    AudioFilterEditor* createEditor() override;

private:
    static constexpr CEventListener::Variant listenerLayout = CEventListener::layoutOf (SlicerParameters::table);
    static_assert (listenerLayout.modeIndex == SlicerParameters::modeIndex
                   && listenerLayout.followUpCount == 2
                   && listenerLayout.followUps[0] == SlicerParameters::holdIndex
                   && listenerLayout.followUps[1] == SlicerParameters::reverseIndex);

    // Last, so that it is made once everything it reads exists and goes first,
    // while the change broadcaster it listens to still exists.
    CEventListener hiddenListener { *this, *this, listenerLayout };

    JUCE_DECLARE_NON_COPYABLE (SlicerFilter)
};

} // namespace tavrel
