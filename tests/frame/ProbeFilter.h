#pragma once

#include "AudioFilterBase.h"

#include <juce_events/juce_events.h>

#include <string>
#include <vector>

namespace tavrel::test
{

// A processor that writes every call the frame makes into a journal, keeps
// the last position query's outcome, and offers texts longer than any limit.
// Writes to parameter 0 post a change broadcast; its own listener answers on
// the message thread by writing the value to parameter 1 through the
// host-notifying write, the way a processor's listeners reach the host.
class ProbeFilter : public AudioFilterBase,
                    public juce::ChangeBroadcaster,
                    private juce::ChangeListener
{
public:
    static constexpr int numParameters = 3;

    explicit ProbeFilter (std::vector<std::string>* journalToWrite = nullptr) : journal (journalToWrite)
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

    AudioFilterEditor* createEditor() override
    {
        note ("createEditor");
        return nullptr;
    }

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

private:
    static bool isValid (int index) { return index >= 0 && index < numParameters; }

    void note (const std::string& entry)
    {
        if (journal != nullptr)
            journal->push_back (entry);
    }

    void changeListenerCallback (juce::ChangeBroadcaster*) override
    {
        setParameterNotifyingHost (1, values[0]);
    }
};

} // namespace tavrel::test
