#include "LooperFilter.h"

#include "ParameterState.h"

namespace tavrel
{

LooperFilter::LooperFilter()
    : engine (params)
{
}

LooperFilter::~LooperFilter() = default;

void LooperFilter::prepareToPlay (double, int)
{
    // The sample rate is read afresh in every block; nothing to prepare.
}

void LooperFilter::releaseResources()
{
    engine.clearRecording();
}

void LooperFilter::processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output,
                                 bool, juce::MidiBuffer&)
{
    TransportState transport;
    HostPositionInfo position;

    if (getCurrentPositionInfo (position))
        transport = { true, position.bpm, position.timeInSeconds, position.isPlaying };

    const int channels = input.getNumChannels();
    if (channels > 0)
    {
        float* left = input.getWritePointer (0);
        float* right = channels == 2 ? input.getWritePointer (1) : left;
        engine.process (left, right, input.getNumSamples(), transport, getSampleRate());
    }

    copyProcessedInputToOutput (input, output);
}

AudioFilterEditor* LooperFilter::createEditor()
{
    return nullptr; // the looper has no editor yet: hosts are told it cannot open one
}

int LooperFilter::getNumParameters() { return LooperParameters::count; }

juce::String LooperFilter::getParameterName (int index) { return LooperParameters::name (index); }

float LooperFilter::getParameter (int index) { return params.read (index); }

juce::String LooperFilter::getParameterText (int index) { return params.text (index); }

void LooperFilter::setParameter (int index, float newValue)
{
    if (params.write (index, newValue))
        sendChangeMessage();
}

int LooperFilter::getNumPrograms() { return 0; }
int LooperFilter::getCurrentProgram() { return 0; }
void LooperFilter::setCurrentProgram (int) {}
juce::String LooperFilter::getProgramName (int) { return {}; }
void LooperFilter::changeProgramName (int, const juce::String&) {}

void LooperFilter::getStateInformation (juce::MemoryBlock& destData)
{
    saveParameterState (*this, destData);
}

void LooperFilter::setStateInformation (const void* data, int sizeInBytes)
{
    restoreParameterState (*this, *this, data, sizeInBytes);
}

} // namespace tavrel
