#include "SlicerFilter.h"

#include "ParameterState.h"

#include <ctime>

namespace tavrel
{

SlicerFilter::SlicerFilter()
    : engine (params, (uint32_t) std::time (nullptr))
{
}

SlicerFilter::~SlicerFilter() = default;

void SlicerFilter::prepareToPlay (double, int)
{
    // The sample rate is read afresh in every block; nothing to prepare.
}

void SlicerFilter::releaseResources()
{
    engine.clearRecording();
}

void SlicerFilter::processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output,
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

AudioFilterEditor* SlicerFilter::createEditor()
{
    return nullptr; // the slicer has no editor yet: hosts are told it cannot open one
}

int SlicerFilter::getNumParameters() { return SlicerParameters::count; }

juce::String SlicerFilter::getParameterName (int index) { return SlicerParameters::name (index); }

float SlicerFilter::getParameter (int index) { return params.read (index); }

juce::String SlicerFilter::getParameterText (int index) { return params.text (index); }

void SlicerFilter::setParameter (int index, float newValue)
{
    if (params.write (index, newValue))
        sendChangeMessage();
}

int SlicerFilter::getNumPrograms() { return 0; }
int SlicerFilter::getCurrentProgram() { return 0; }
void SlicerFilter::setCurrentProgram (int) {}
juce::String SlicerFilter::getProgramName (int) { return {}; }
void SlicerFilter::changeProgramName (int, const juce::String&) {}

void SlicerFilter::getStateInformation (juce::MemoryBlock& destData)
{
    saveParameterState (*this, destData);
}

void SlicerFilter::setStateInformation (const void* data, int sizeInBytes)
{
    restoreParameterState (*this, *this, data, sizeInBytes);
}

} // namespace tavrel
