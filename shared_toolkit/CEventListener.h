#pragma once

#include "AudioFilterEditor.h"
#include "dsp/PluginFacts.h"

#include <juce_events/juce_events.h>

#include <array>

namespace tavrel
{

// An editor that is never shown: it watches its processor's change broadcasts
// and, whenever a mode toggle or "Mode" has changed since it last looked,
// writes the whole radio group back through the host-notifying write. The
// processor's own write rules change toggles nobody wrote; this is how the
// host's automation learns of them, with or without an open editor.
//
// Lives on the message thread; the processor creates it after its change
// broadcaster and destroys it before.
class CEventListener : public juce::ChangeListener,
                       public AudioFilterEditor
{
public:
    static constexpr int largestParameterCount = 20;

    // What differs between the plug-ins. The "Mode" index equals the number of
    // toggles in front of it, and "Mode" holds k / modeIndex for toggle k.
    struct Variant
    {
        int parameterCount;
        int modeIndex;
        std::array<int, 2> followUps; // announced after the group, as on/off
        int followUpCount;
    };

    // The layout a parameter table declares: the toggles in front of the
    // first other parameter form the group, that parameter is "Mode", and the
    // toggles after it are the follow-ups (the slicer's "Hold" and "Reverse").
    template <size_t count>
    static constexpr Variant layoutOf (const ParameterInfo (&table)[count])
    {
        static_assert (count <= largestParameterCount);
        Variant variant { (int) count, 0, { 0, 0 }, 0 };

        while (variant.modeIndex < (int) count && table[variant.modeIndex].kind == ParameterInfo::Kind::toggle)
            ++variant.modeIndex;

        for (int i = variant.modeIndex + 1; i < (int) count; ++i)
            if (table[i].kind == ParameterInfo::Kind::toggle && variant.followUpCount < (int) variant.followUps.size())
                variant.followUps[(size_t) variant.followUpCount++] = i;

        return variant;
    }

    CEventListener (AudioFilterBase& processor, juce::ChangeBroadcaster& processorBroadcaster,
                    const Variant& variant);
    ~CEventListener() override;

    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

private:
    bool readParametersIntoMirror();
    int selectedToggle() const;
    void announceGroup (int selected);
    void rememberAnnouncement (int selected);

    juce::ChangeBroadcaster& broadcaster;
    const Variant& constants;
    std::array<float, largestParameterCount> mirror;

    JUCE_DECLARE_NON_COPYABLE (CEventListener)
};

} // namespace tavrel
