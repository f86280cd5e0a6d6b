#pragma once

#include "AudioFilterBase.h"
#include "AudioFilterEditor.h"

#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace tavrel::test
{

// A processor that writes every call the frame makes into a journal, keeps
// the last position query's outcome, and offers texts longer than any limit.
// Writes to parameter 0 post a change broadcast; its own listener answers on
// the message thread by writing the value to parameter 1 through the
// host-notifying write, the way a processor's listeners reach the host.
// It offers a ProbeEditor only when made to.
class ProbeFilter : public AudioFilterBase,
                    public juce::ChangeBroadcaster,
                    private juce::ChangeListener
{
public:
    static constexpr int numParameters = 3;

    explicit ProbeFilter (std::vector<std::string>* journalToWrite = nullptr, bool offersEditor = false)
        : journal (journalToWrite), withEditor (offersEditor)
    {
        addChangeListener (this);
    }

    ~ProbeFilter() override
    {
        removeChangeListener (this);
        note ("destroyed");
    }

    void prepareToPlay (double rate, int block) override
    {
        note ("prepare " + std::to_string ((int) rate) + " " + std::to_string (block));
    }

    void releaseResources() override { note ("release"); }

    void processBlock (juce::AudioBuffer<float>& input, juce::AudioBuffer<float>& output, bool accumulate,
                       juce::MidiBuffer&) override
    {
        HostPositionInfo info;
        info.bpm = -1.0; // marks a record the query left alone
        positionGiven = getCurrentPositionInfo (info);
        lastPosition = info;
        lastAccumulate = accumulate;
        ++blocks;
        copyProcessedInputToOutput (input, output);
    }

    AudioFilterEditor* createEditor() override;

    int getNumParameters() override { return numParameters; }

    juce::String getParameterName (int index) override
    {
        return index == 0 ? "Alternating" : (isValid (index) ? "P" + juce::String (index) : juce::String());
    }

    float getParameter (int index) override { return isValid (index) ? values[index] : 0.0f; }

    juce::String getParameterText (int index) override
    {
        return isValid (index) ? juce::String::repeatedString ("0123456789", 10) : juce::String();
    }

    void setParameter (int index, float newValue) override
    {
        note ("set " + std::to_string (index));
        if (! isValid (index))
            return;

        values[index] = newValue;
        if (index == 0)
            sendChangeMessage();
    }

    int getNumPrograms() override { return 0; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int index) override { note ("setProgram " + std::to_string (index)); }
    juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String& name) override { note ("rename " + name.toStdString()); }

    void getStateInformation (juce::MemoryBlock& destination) override
    {
        note ("save");
        destination.append (state.data(), state.size());
    }

    void setStateInformation (const void* data, int size) override
    {
        note ("restore " + std::to_string (size));
        const auto* bytes = static_cast<const char*> (data);
        restored.assign (bytes, bytes + size);
    }

    std::vector<std::string>* journal;
    float values[numParameters] {};
    std::string state = "probe state";
    std::string restored;
    bool positionGiven = false;
    HostPositionInfo lastPosition;
    bool lastAccumulate = true;
    int blocks = 0;
    bool withEditor;

    void note (const std::string& entry)
    {
        if (journal != nullptr)
            journal->push_back (entry);
    }

private:
    static bool isValid (int index) { return index >= 0 && index < numParameters; }

    void changeListenerCallback (juce::ChangeBroadcaster*) override
    {
        setParameterNotifyingHost (1, values[0]);
    }
};

// The probe's editor, the size of the plug-ins' editors: a button that makes
// a host-notifying write (parameter 2 := 1), as the plug-ins' lamps do, and
// one that makes the editor grow by itself. It notes its construction and
// destruction in the probe's journal and counts the live ones.
class ProbeEditor : public AudioFilterEditor
{
public:
    static constexpr int width = 350;
    static constexpr int height = 615;
    static constexpr int grownWidth = 420;
    static constexpr int grownHeight = 680;
    static constexpr int writtenIndex = 2;

    static juce::Rectangle<int> writeButtonBounds() { return { 99, 143, 65, 34 }; }
    static juce::Rectangle<int> growButtonBounds()  { return { 99, 243, 65, 34 }; }

    explicit ProbeEditor (ProbeFilter& owner) : AudioFilterEditor (owner), probe (owner)
    {
        ++live;
        probe.note ("editor created");

        writeButton.onClick = [this] { getProcessor().setParameterNotifyingHost (writtenIndex, 1.0f); };
        growButton.onClick = [this] { setSize (grownWidth, grownHeight); };
        writeButton.setBounds (writeButtonBounds());
        growButton.setBounds (growButtonBounds());
        addAndMakeVisible (writeButton);
        addAndMakeVisible (growButton);

        setSize (width, height);
    }

    ~ProbeEditor() override
    {
        if (onDestruction != nullptr)
            onDestruction();

        probe.note ("editor destroyed");
        --live;
    }

    void paint (juce::Graphics& g) override
    {
        g.fillAll (juce::Colour (0xff203040));
        g.setColour (juce::Colours::white);
        g.setFont (20.0f);
        g.drawText ("Frame Probe", getLocalBounds().removeFromTop (60), juce::Justification::centred);
    }

    static inline std::atomic<int> live { 0 };
    std::function<void()> onDestruction; // a test's look into the destruction

private:
    ProbeFilter& probe;
    juce::TextButton writeButton { "WRITE" };
    juce::TextButton growButton { "GROW" };
};

inline AudioFilterEditor* ProbeFilter::createEditor()
{
    note ("createEditor");
    return withEditor ? new ProbeEditor (*this) : nullptr;
}

} // namespace tavrel::test
