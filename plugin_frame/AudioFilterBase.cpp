#include "AudioFilterBase.h"

#include <cstring>

namespace tavrel
{

bool AudioFilterBase::getCurrentPositionInfo (HostPositionInfo& info)
{
    return callbacks != nullptr && callbacks->getCurrentPositionInfo (info);
}

void AudioFilterBase::setParameterNotifyingHost (int index, float newValue)
{
    if (callbacks != nullptr)
        callbacks->informHostOfParameterChange (index, newValue);
    else
        setParameter (index, newValue);
}

juce::String AudioFilterBase::getParameterTextForValue (int index, float)
{
    return getParameterText (index);
}

AudioFilterEditor* AudioFilterBase::createEditorIfNeeded()
{
    if (auto* existing = getActiveEditor())
        return existing;

    auto* editor = createEditor();

    if (editor != nullptr)
    {
        const juce::ScopedLock processingLock (callbackLock);
        activeEditor.store (editor, std::memory_order_relaxed);
    }

    return editor;
}

void AudioFilterBase::editorBeingDeleted (AudioFilterEditor* editor)
{
    const juce::ScopedLock processingLock (callbackLock);

    if (activeEditor.load (std::memory_order_relaxed) == editor)
        activeEditor.store (nullptr, std::memory_order_relaxed);
}

void AudioFilterBase::setPlayConfiguration (double newSampleRate, int newBlockSize) noexcept
{
    sampleRate.store (newSampleRate, std::memory_order_relaxed);
    blockSize.store (newBlockSize, std::memory_order_relaxed);
}

void AudioFilterBase::setChannelCounts (int inputs, int outputs) noexcept
{
    numInputChannels.store (inputs, std::memory_order_relaxed);
    numOutputChannels.store (outputs, std::memory_order_relaxed);
}

void AudioFilterBase::copyProcessedInputToOutput (const juce::AudioBuffer<float>& input,
                                                  juce::AudioBuffer<float>& output) noexcept
{
    const int numSamples = juce::jmin (input.getNumSamples(), output.getNumSamples());
    const int inputChannels = input.getNumChannels();

    for (int c = 0; c < output.getNumChannels(); ++c)
    {
        float* destination = output.getWritePointer (c);

        if (inputChannels == 0)
        {
            std::memset (destination, 0, (size_t) output.getNumSamples() * sizeof (float));
            continue;
        }

        const float* source = input.getReadPointer (juce::jmin (c, inputChannels - 1));
        if (source != destination) // hosts may pass the same arrays for input and output
            std::memmove (destination, source, (size_t) numSamples * sizeof (float));
    }
}

} // namespace tavrel
