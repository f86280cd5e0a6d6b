#include "CEventListener.h"

#include <algorithm>
#include <cmath>

namespace tavrel
{

CEventListener::CEventListener (AudioFilterBase& processor, juce::ChangeBroadcaster& processorBroadcaster,
                                const Variant& variant)
    : AudioFilterEditor (processor),
      broadcaster (processorBroadcaster),
      constants (variant)
{
    // No parameter holds -1, so the first look always finds a change and
    // announces the whole group.
    mirror.fill (-1.0f);
    broadcaster.addChangeListener (this);
}

CEventListener::~CEventListener()
{
    broadcaster.removeChangeListener (this);
}

void CEventListener::changeListenerCallback (juce::ChangeBroadcaster*)
{
    const bool groupChanged = readParametersIntoMirror();
    const int selected = selectedToggle();

    if (! groupChanged)
        return;

    announceGroup (selected);
    rememberAnnouncement (selected);
}

// True when a toggle or "Mode" differs from the last look (NaN differs from
// everything).
bool CEventListener::readParametersIntoMirror()
{
    const int count = std::min (constants.parameterCount, largestParameterCount);
    bool changed = false;

    for (int i = 0; i < count; ++i)
    {
        const float value = getProcessor().getParameter (i);
        if (i <= constants.modeIndex && ! (value == mirror[(size_t) i]))
            changed = true;
        mirror[(size_t) i] = value;
    }

    return changed;
}

// The toggle "Mode" points at; modeIndex itself for its top position.
int CEventListener::selectedToggle() const
{
    const int toggles = constants.modeIndex;
    const double position = std::floor ((double) mirror[(size_t) toggles] * toggles + 0.5);

    // Stored parameters lie in [0, 1]; anything else names no toggle.
    if (! (position >= 0.0 && position <= (double) toggles))
        return toggles;
    return (int) position;
}

void CEventListener::announceGroup (int selected)
{
    auto& processor = getProcessor();
    const int toggles = constants.modeIndex;

    if (selected < toggles)
        for (int i = 0; i < toggles; ++i)
            if (i != selected)
                processor.setParameterNotifyingHost (i, 0.0f);

    processor.setParameterNotifyingHost (selected, 1.0f);

    for (int k = 0; k < constants.followUpCount; ++k)
    {
        const int index = constants.followUps[(size_t) k];
        processor.setParameterNotifyingHost (index, mirror[(size_t) index] > 0.5f ? 1.0f : 0.0f);
    }
}

// The writes post further broadcasts; the next look compares with what the
// host has now been told. From the initial state the announcement itself
// switches the first toggle on, which would otherwise count as a change and
// be announced all over again. Anything else that differs by then (a write
// racing in from another thread) is still announced.
void CEventListener::rememberAnnouncement (int selected)
{
    const int toggles = constants.modeIndex;

    if (selected < toggles)
    {
        for (int i = 0; i < toggles; ++i)
            mirror[(size_t) i] = i == selected ? 1.0f : 0.0f;
    }
    else
    {
        mirror[(size_t) toggles] = 1.0f;
    }
}

} // namespace tavrel
