#pragma once

#include "AudioFilterBase.h"
#include "dsp/PluginFacts.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace tavrel
{

// A frame processor (AudioFilterBase) presented as a juce::AudioProcessor, so
// that the plug-in clients for VST3 and LV2 can host it. Its parameters come
// from the plug-in's parameter table; values, texts and state are the
// processor's own, so every format stores the same settings chunk and shows
// the same texts as the VST 2.4 build.
//
// The processor's own parameter writes (the hidden listener's group writes,
// editor clicks and drags) reach the host as gestures on the parameter they
// write, so the host's automation records them; parameters its write rules
// move on their own ("Mode" after a toggle) follow once the writes are done,
// so the host's view of the radio group stays whole.
class FilterAudioProcessor : public juce::AudioProcessor,
                             public AudioFilterBase::FilterNativeCallbacks,
                             private juce::ChangeListener
{
public:
    FilterAudioProcessor (std::unique_ptr<AudioFilterBase> processor, const IdentityRecord& identityRecord,
                          const ParameterInfo* table, int parameterCount);
    ~FilterAudioProcessor() override;

    template <size_t count>
    FilterAudioProcessor (std::unique_ptr<AudioFilterBase> processor, const IdentityRecord& identityRecord,
                          const ParameterInfo (&table)[count])
        : FilterAudioProcessor (std::move (processor), identityRecord, table, (int) count)
    {
    }

    AudioFilterBase& getFilter() const noexcept { return *filter; }

    // FilterNativeCallbacks
    bool getCurrentPositionInfo (HostPositionInfo& info) override;
    void informHostOfParameterChange (int index, float newValue) override;

    // juce::AudioProcessor
    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlock;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }

    // Neither plug-in has programs: the clients need one, which changes
    // nothing (the LV2 client lists it as a preset, hence its name).
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return "Default"; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    class TableParameter;
    class EditorFrame;

    TableParameter* parameterAt (int index) const;

    // Whether the host hears a value the write rules moved as an edit, or
    // plainly (a restore is no edit).
    enum class Told { asEdit, plainly };
    void tellHostWhatMoved (Told how);

    const IdentityRecord& identity;
    std::unique_ptr<AudioFilterBase> filter;
    juce::ChangeBroadcaster* broadcaster = nullptr; // the processor's own

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FilterAudioProcessor)
};

} // namespace tavrel
