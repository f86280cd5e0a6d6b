#pragma once

#include "AudioFilterBase.h"
#include "ChangeAnnouncer.h"
#include "ParameterState.h"
#include "dsp/TempoGrid.h"

#include <juce_events/juce_events.h>

namespace tavrel
{

// A processor made of a parameter set and an audio engine, both plain C++,
// adapted to the frame: the part the slicer and the looper share. The
// parameter set gives count, name, read, text and a write that says whether
// it asks for a change broadcast; the engine processes two channel arrays in
// place from a transport state and clears its recording.
//
// Change broadcasts reach the listeners later, on the message thread.
template <typename Parameters, typename Engine>
class EngineFilter : public AudioFilterBase,
                     public juce::ChangeBroadcaster
{
public:
    void prepareToPlay (double, int) override
    {
        // The sample rate is read afresh in every block; nothing to prepare.
    }

    void releaseResources() override { engine.clearRecording(); }

    void processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output,
                       bool, juce::MidiBuffer&) override
    {
        TransportState transport;
        HostPositionInfo position;

        if (getCurrentPositionInfo (position))
            transport = { true, position.bpm, position.timeInSeconds, position.isPlaying };

        // One channel feeds both rings; its array ends with the right result.
        const int channels = input.getNumChannels();
        if (channels > 0)
        {
            float* left = input.getWritePointer (0);
            float* right = channels == 2 ? input.getWritePointer (1) : left;
            engine.process (left, right, input.getNumSamples(), transport, getSampleRate());
        }

        copyProcessedInputToOutput (input, output);
    }

    int getNumParameters() override                 { return Parameters::count; }
    juce::String getParameterName (int index) override { return Parameters::name (index); }
    float getParameter (int index) override          { return params.read (index); }
    juce::String getParameterText (int index) override { return params.text (index); }

    // A parameter set of its own takes the write, so the texts come from the
    // same write rules without touching this instance.
    juce::String getParameterTextForValue (int index, float value) override
    {
        Parameters scratch;
        scratch.write (index, value);
        return scratch.text (index);
    }

    void setParameter (int index, float newValue) override
    {
        if (params.write (index, newValue))
            changes.announce();
    }

    // Neither plug-in has programs: an instance's settings travel in its chunk.
    int getNumPrograms() override                       { return 0; }
    int getCurrentProgram() override                    { return 0; }
    void setCurrentProgram (int) override               {}
    juce::String getProgramName (int) override          { return {}; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override
    {
        saveParameterState (*this, destData);
    }

    void setStateInformation (const void* data, int sizeInBytes) override
    {
        restoreParameterState (*this, changes, data, sizeInBytes);
    }

    const Parameters& parameters() const noexcept { return params; }
    const Engine& engineState() const noexcept    { return engine; }

protected:
    template <typename... EngineArguments>
    explicit EngineFilter (EngineArguments&&... engineArguments)
        : engine (params, std::forward<EngineArguments> (engineArguments)...)
    {
    }

    Parameters params;
    Engine engine;

private:
    ChangeAnnouncer changes { *this };
};

} // namespace tavrel
