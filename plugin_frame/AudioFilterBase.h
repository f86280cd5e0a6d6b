#pragma once

#include "HostPositionInfo.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <atomic>

namespace tavrel
{

class AudioFilterEditor;

// The processor side of the frame: the operations the host adapter calls, in
// the order of their slots, and the few fields the adapter sets. A processor
// reaches its host only through the position query and the host-notifying
// write, both passed to the host link.
class AudioFilterBase
{
public:
    // The adapter's side of the link; a processor without one runs on its own.
    class FilterNativeCallbacks
    {
    public:
        virtual ~FilterNativeCallbacks() = default;

        // True with the record filled, or false with it left as it was.
        virtual bool getCurrentPositionInfo (HostPositionInfo& info) = 0;

        // Performs the processor's parameter write, then tells the host.
        virtual void informHostOfParameterChange (int index, float newValue) = 0;
    };

    AudioFilterBase() = default;
    virtual ~AudioFilterBase() = default;

    AudioFilterBase (const AudioFilterBase&) = delete;
    AudioFilterBase& operator= (const AudioFilterBase&) = delete;

    virtual void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) = 0;
    virtual void releaseResources() = 0;

    // The result replaces the output unless accumulateOutput is set; the frame
    // never sets it. The input arrays may serve as working space.
    virtual void processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output,
                               bool accumulateOutput, juce::MidiBuffer& midiMessages) = 0;

    // A new editor bound to this processor, owned by the caller, or none.
    virtual AudioFilterEditor* createEditor() = 0;

    virtual int getNumParameters() = 0;
    virtual juce::String getParameterName (int index) = 0;
    virtual float getParameter (int index) = 0;
    virtual juce::String getParameterText (int index) = 0;
    virtual void setParameter (int index, float newValue) = 0;

    // What the parameter would show at another value, for hosts that label
    // positions ahead of a write. Without an override, the current text.
    virtual juce::String getParameterTextForValue (int index, float value);

    virtual int getNumPrograms() = 0;
    virtual int getCurrentProgram() = 0;
    virtual void setCurrentProgram (int index) = 0;
    virtual juce::String getProgramName (int index) = 0;
    virtual void changeProgramName (int index, const juce::String& newName) = 0;

    virtual void getStateInformation (juce::MemoryBlock& destData) = 0;
    virtual void setStateInformation (const void* data, int sizeInBytes) = 0;

    // Frame operations offered to the processor and its editors.
    bool getCurrentPositionInfo (HostPositionInfo& info);
    void setParameterNotifyingHost (int index, float newValue);

    double getSampleRate() const noexcept { return sampleRate.load (std::memory_order_relaxed); }
    int getBlockSize() const noexcept     { return blockSize.load (std::memory_order_relaxed); }
    int getNumInputChannels() const noexcept  { return numInputChannels.load (std::memory_order_relaxed); }
    int getNumOutputChannels() const noexcept { return numOutputChannels.load (std::memory_order_relaxed); }

    // Held by the frame around every block and while the active editor
    // changes; editors hold it while they read the parameter set.
    const juce::CriticalSection& getCallbackLock() const noexcept { return callbackLock; }

    // Set by the host adapter.
    void setPlayConfiguration (double newSampleRate, int newBlockSize) noexcept;
    void setChannelCounts (int inputs, int outputs) noexcept;
    void setHostLink (FilterNativeCallbacks* link) noexcept { callbacks = link; }

    // The frame's editor operations, on the message thread. The active editor
    // changes under the processing lock, so it never changes during a block.
    //
    // The active editor if there is one; otherwise a new one from
    // createEditor, which becomes the active editor. None if it gives none.
    AudioFilterEditor* createEditorIfNeeded();

    // Before the frame destroys an editor: it is no longer the active one.
    void editorBeingDeleted (AudioFilterEditor* editor);

    AudioFilterEditor* getActiveEditor() const noexcept { return activeEditor.load (std::memory_order_relaxed); }

protected:
    // What every processor does after its block: each output channel takes the
    // processed input channel of the same number, or the last one there is;
    // with no input the output is silent.
    static void copyProcessedInputToOutput (const juce::AudioBuffer<float>& input,
                                            juce::AudioBuffer<float>& output) noexcept;

private:
    std::atomic<double> sampleRate { 44100.0 };
    std::atomic<int> blockSize { 1024 };
    std::atomic<int> numInputChannels { 2 };
    std::atomic<int> numOutputChannels { 2 };
    juce::CriticalSection callbackLock;
    FilterNativeCallbacks* callbacks = nullptr;
    std::atomic<AudioFilterEditor*> activeEditor { nullptr };
};

} // namespace tavrel
