#pragma once

#include "AudioFilterBase.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace tavrel
{

// The base of everything that presents a processor: a component bound to one
// processor for its whole life. The processor outlives it.
class AudioFilterEditor : public juce::Component
{
public:
    explicit AudioFilterEditor (AudioFilterBase& owner);
    ~AudioFilterEditor() override;

    AudioFilterBase& getProcessor() const noexcept { return ownerProcessor; }

private:
    AudioFilterBase& ownerProcessor;

    JUCE_DECLARE_NON_COPYABLE (AudioFilterEditor)
};

} // namespace tavrel
