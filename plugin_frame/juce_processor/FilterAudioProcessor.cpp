#include "FilterAudioProcessor.h"

#include "AudioFilterEditor.h"

#include <atomic>

namespace tavrel
{

//==============================================================================
// One table entry as the client sees a parameter. Values and texts are the
// processor's: a host write runs the processor's write rules, as in VST 2.4.
class FilterAudioProcessor::TableParameter : public juce::AudioProcessorParameterWithID
{
public:
    TableParameter (AudioFilterBase& owner, int tableIndex, const ParameterInfo& parameterInfo)
        : AudioProcessorParameterWithID (juce::ParameterID { parameterInfo.id, 1 }, parameterInfo.fullName),
          filter (owner),
          index (tableIndex),
          info (parameterInfo)
    {
    }

    float getValue() const override { return filter.getParameter (index); }

    // A host's write. A VST3 host hands the edits it heard from us back to
    // the processor with a later block: a value the host already knew says
    // nothing new, and applying it again could undo a newer write (a toggle
    // the group has since switched off would be selected again).
    void setValue (float newValue) override
    {
        if (hostKnows.exchange (newValue, std::memory_order_relaxed) != newValue)
            filter.setParameter (index, newValue);
    }

    float getDefaultValue() const override { return info.defaultValue; }

    int getNumSteps() const override
    {
        return info.positions() > 0 ? info.positions() : AudioProcessor::getDefaultNumParameterSteps();
    }

    bool isDiscrete() const override { return info.kind != ParameterInfo::Kind::continuous; }
    bool isBoolean() const override { return info.kind == ParameterInfo::Kind::toggle; }
    juce::String getLabel() const override { return {}; }

    juce::String getText (float value, int maximumLength) const override
    {
        const auto text = value == getValue() ? filter.getParameterText (index)
                                              : filter.getParameterTextForValue (index, value);
        return maximumLength > 0 ? text.substring (0, maximumLength) : text;
    }

    // The texts of a discrete parameter's positions name them; any other
    // text leaves the value as it is.
    float getValueForText (const juce::String& text) const override
    {
        if (isDiscrete())
            for (int step = 0; step <= info.steps; ++step)
                if (const float value = (float) step / (float) info.steps; getText (value, 0) == text)
                    return value;

        return getValue();
    }

    // A write of the processor's own, told to the host as one edit of the
    // value written, as a VST 2.4 host hears it. (Within a radio group's
    // announcement a single write may pass the group through Bypass before
    // the next write selects again; the host hears none of that.)
    void writeAsEdit (float newValue)
    {
        beginChangeGesture();
        filter.setParameter (index, newValue);
        tellHost (newValue);
        endChangeGesture();
    }

    // Where the write rules moved the value since the host last heard of it
    // ("Mode" follows the toggles, a restore writes every parameter), the
    // host hears the value it holds now: as an edit, or plainly for a restore.
    void tellHostIfMoved (Told how)
    {
        const float value = getValue();
        if (value == hostKnows.load (std::memory_order_relaxed))
            return;

        if (how == Told::asEdit)
            beginChangeGesture();
        tellHost (value);
        if (how == Told::asEdit)
            endChangeGesture();
    }

private:
    void tellHost (float value)
    {
        hostKnows.store (value, std::memory_order_relaxed);
        sendValueChangedMessageToListeners (value);
    }

    AudioFilterBase& filter;
    const int index;
    const ParameterInfo& info;
    // What the host was last told, or last wrote itself.
    std::atomic<float> hostKnows { filter.getParameter (index) };
};

//==============================================================================
// The processor's editor in the client's window: fixed at the editor's size.
class FilterAudioProcessor::EditorFrame : public juce::AudioProcessorEditor
{
public:
    EditorFrame (FilterAudioProcessor& owner, std::unique_ptr<AudioFilterEditor> editorToShow)
        : AudioProcessorEditor (owner),
          filter (owner.getFilter()),
          editor (std::move (editorToShow))
    {
        addAndMakeVisible (*editor);
        setResizable (false, false);
        setSize (editor->getWidth(), editor->getHeight());
    }

    ~EditorFrame() override
    {
        filter.editorBeingDeleted (editor.get());
        editor.reset();
    }

    void resized() override { editor->setBounds (getLocalBounds()); }

private:
    AudioFilterBase& filter;
    std::unique_ptr<AudioFilterEditor> editor;
};

//==============================================================================
FilterAudioProcessor::FilterAudioProcessor (std::unique_ptr<AudioFilterBase> processor,
                                            const IdentityRecord& identityRecord,
                                            const ParameterInfo* table, int parameterCount)
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      identity (identityRecord),
      filter (std::move (processor))
{
    jassert (parameterCount == filter->getNumParameters());

    filter->setChannelCounts (2, 2);
    filter->setHostLink (this);

    for (int i = 0; i < parameterCount; ++i)
        addParameter (new TableParameter (*filter, i, table[i]));

    // Both processors are their own change broadcasters.
    if ((broadcaster = dynamic_cast<juce::ChangeBroadcaster*> (filter.get())) != nullptr)
        broadcaster->addChangeListener (this);
}

FilterAudioProcessor::~FilterAudioProcessor()
{
    // The client has destroyed the editor by now; the processor goes before
    // the parameter objects that refer to it.
    if (broadcaster != nullptr)
        broadcaster->removeChangeListener (this);
    filter->setHostLink (nullptr);
    filter.reset();
}

FilterAudioProcessor::TableParameter* FilterAudioProcessor::parameterAt (int index) const
{
    const auto& parameters = getParameters();
    return juce::isPositiveAndBelow (index, parameters.size()) ? static_cast<TableParameter*> (parameters[index])
                                                               : nullptr;
}

//==============================================================================
bool FilterAudioProcessor::getCurrentPositionInfo (HostPositionInfo& info)
{
    auto* hostPlayHead = getPlayHead();
    if (hostPlayHead == nullptr)
        return false;

    const auto position = hostPlayHead->getPosition();
    if (! position.hasValue())
        return false;

    if (const auto bpm = position->getBpm())
        info.bpm = *bpm;
    if (const auto signature = position->getTimeSignature())
    {
        info.timeSigNumerator = signature->numerator;
        info.timeSigDenominator = signature->denominator;
    }
    if (const auto seconds = position->getTimeInSeconds())
        info.timeInSeconds = *seconds;
    if (const auto origin = position->getEditOriginTime())
        info.editOriginTime = *origin;
    if (const auto ppq = position->getPpqPosition())
        info.ppqPosition = *ppq;
    if (const auto barStart = position->getPpqPositionOfLastBarStart())
        info.ppqPositionOfLastBarStart = *barStart;

    info.isPlaying = position->getIsPlaying();
    info.isRecording = position->getIsRecording();
    return true;
}

// Every change the processor announces, on the message thread: its write
// rules may have moved parameters nobody wrote ("Mode" after a toggle, the
// whole group after a host's write of one toggle). The host hears each of
// those as an edit, once the writes that moved them are done.
void FilterAudioProcessor::changeListenerCallback (juce::ChangeBroadcaster*)
{
    tellHostWhatMoved (Told::asEdit);
}

void FilterAudioProcessor::tellHostWhatMoved (Told how)
{
    for (int i = 0; i < filter->getNumParameters(); ++i)
        if (auto* parameter = parameterAt (i))
            parameter->tellHostIfMoved (how);
}

void FilterAudioProcessor::informHostOfParameterChange (int index, float newValue)
{
    if (auto* parameter = parameterAt (index))
        parameter->writeAsEdit (newValue);
    else
        filter->setParameter (index, newValue);
}

//==============================================================================
const juce::String FilterAudioProcessor::getName() const { return identity.effectName; }

void FilterAudioProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    filter->setPlayConfiguration (sampleRate, maximumExpectedSamplesPerBlock);
    filter->setChannelCounts (getTotalNumInputChannels(), getTotalNumOutputChannels());
    filter->prepareToPlay (sampleRate, maximumExpectedSamplesPerBlock);
}

void FilterAudioProcessor::releaseResources() { filter->releaseResources(); }

bool FilterAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    return layouts.getMainInputChannelSet() == juce::AudioChannelSet::stereo()
        && layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
}

void FilterAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages)
{
    // The client holds its own lock around this call; the frame's lock keeps
    // blocks apart from editor changes and editor reads, as in VST 2.4.
    const juce::ScopedLock processingLock (filter->getCallbackLock());
    filter->processBlock (buffer, buffer, false, midiMessages);
    midiMessages.clear();
}

//==============================================================================
juce::AudioProcessorEditor* FilterAudioProcessor::createEditor()
{
    // The client asks for one editor at a time; an editor the processor
    // already shows belongs to another frame.
    if (filter->getActiveEditor() != nullptr)
        return nullptr;

    std::unique_ptr<AudioFilterEditor> editor (filter->createEditorIfNeeded());
    if (editor == nullptr)
        return nullptr;

    return new EditorFrame (*this, std::move (editor));
}

//==============================================================================
void FilterAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    filter->getStateInformation (destData);
}

void FilterAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    filter->setStateInformation (data, sizeInBytes);

    // The restore writes the processor's parameters directly. Clients that
    // learn of values only through the parameter objects (LV2 sends them to
    // the host with the next block) hear of each one that moved; a restore
    // is no edit. The VST3 client ignores these while it restores, and reads
    // every value afterwards.
    tellHostWhatMoved (Told::plainly);
}

} // namespace tavrel
