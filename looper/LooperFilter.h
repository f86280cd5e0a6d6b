#pragma once

#include "AudioFilterBase.h"
#include "CEventListener.h"
#include "LooperEngine.h"
#include "LooperParameters.h"

#include <juce_events/juce_events.h>

namespace tavrel
{

// The looper plug-in's processor: the parameter set and the audio engine,
// adapted to the frame. Parameter writes that change the set post a change
// broadcast, delivered later on the message thread to the listeners.
class LooperFilter : public AudioFilterBase,
                     public juce::ChangeBroadcaster
{
public:
    LooperFilter();
    ~LooperFilter() override;

    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output,
                       bool accumulateOutput, juce::MidiBuffer& midiMessages) override;

    AudioFilterEditor* createEditor() override;

    int getNumParameters() override;
    juce::String getParameterName (int index) override;
    float getParameter (int index) override;
    juce::String getParameterText (int index) override;
    void setParameter (int index, float newValue) override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    const LooperParameters& parameters() const noexcept { return params; }
    const LooperEngine& engineState() const noexcept    { return engine; }

private:
    LooperParameters params;
    LooperEngine engine;

    // Last, so that it is made once everything it reads exists and goes first,
    // while the change broadcaster it listens to still exists.
    CEventListener hiddenListener { *this, *this, CEventListener::looper };

    JUCE_DECLARE_NON_COPYABLE (LooperFilter)
};

} // namespace tavrel
