#pragma once

#include "AudioFilterBase.h"
#include "CEventListener.h"
#include "SlicerEngine.h"
#include "SlicerParameters.h"

#include <juce_events/juce_events.h>

namespace tavrel
{

// The slicer plug-in's processor: the parameter set and the audio engine,
// adapted to the frame. Parameter writes that change the set post a change
// broadcast, delivered later on the message thread to the listeners.
class SlicerFilter : public AudioFilterBase,
                     public juce::ChangeBroadcaster
{
public:
    SlicerFilter();
    ~SlicerFilter() override;

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

    const SlicerParameters& parameters() const noexcept { return params; }
    const SlicerEngine& engineState() const noexcept    { return engine; }

private:
    SlicerParameters params;
    SlicerEngine engine;

    // Last, so that it is made once everything it reads exists and goes first,
    // while the change broadcaster it listens to still exists.
    CEventListener hiddenListener { *this, *this, CEventListener::slicer };

    JUCE_DECLARE_NON_COPYABLE (SlicerFilter)
};

} // namespace tavrel
