#pragma once

#include "VstInterface.h"

#include <juce_core/juce_core.h>

#include <memory>

namespace tavrel::render
{

// A plug-in library opened as a host opens it: dlopen, then the exported
// entry point ("VSTPluginMain", or the older "main").
class PluginLibrary
{
public:
    // The library, or nothing with the reason in error.
    static std::shared_ptr<PluginLibrary> open (const juce::File& file, juce::String& error);
    ~PluginLibrary();

    PluginLibrary (const PluginLibrary&) = delete;
    PluginLibrary& operator= (const PluginLibrary&) = delete;

    using EntryPoint = vst::AEffect* (TAVREL_VST_CALL*) (vst::HostCallback);
    EntryPoint entryPoint() const noexcept { return entry; }
    const juce::File& file() const noexcept { return location; }

private:
    PluginLibrary (void* handle, EntryPoint entry, const juce::File& location);

    void* handle;
    EntryPoint entry;
    juce::File location;
};

// What the host's transport reports to the plug-in.
struct Transport
{
    double sampleRate = 44100.0;
    double tempo = 120.0;
    double startSeconds = 0.0; // song position of the first rendered sample
    bool playing = true;
};

// One effect instance, driven as a DAW drives it: opened on creation, closed
// on destruction. The host side answers audioMasterVersion with 2400,
// audioMasterGetTime with the transport, and 0 to everything else.
class PluginInstance
{
public:
    static std::unique_ptr<PluginInstance> create (std::shared_ptr<PluginLibrary> library, juce::String& error);
    ~PluginInstance();

    PluginInstance (const PluginInstance&) = delete;
    PluginInstance& operator= (const PluginInstance&) = delete;

    juce::String effectName();
    bool keepsSettingsInChunks() const noexcept { return (effect->flags & vst::effFlagsProgramChunks) != 0; }
    int numParameters() const noexcept  { return effect->numParams; }
    int numInputs() const noexcept      { return effect->numInputs; }
    int numOutputs() const noexcept     { return effect->numOutputs; }

    juce::String parameterName (int index);
    juce::String parameterText (int index);
    float getParameter (int index);

    // Writes, then gives the plug-in the idle calls a host's user-interface
    // loop would, so that whatever it does in reply has been done on return.
    void setParameter (int index, float value);

    // The settings chunk (empty for a plug-in without chunks), and its restore.
    juce::MemoryBlock getChunk();
    void setChunk (const juce::MemoryBlock& chunk);

    // Gives another instance of the same plug-in these settings: the chunk,
    // or every parameter value for a plug-in without chunks.
    void copySettingsTo (PluginInstance& other);

    // effSetSampleRate, effSetBlockSize, effMainsChanged 1.
    void startProcessing (const Transport& transport, int maxBlockSize);

    // One processReplacing call; the transport position advances by numSamples.
    void process (float* const* inputs, float* const* outputs, int numSamples);

    // effMainsChanged 0.
    void stopProcessing();

    const std::shared_ptr<PluginLibrary>& library() const noexcept { return owner; }

private:
    PluginInstance (std::shared_ptr<PluginLibrary> library, vst::AEffect* effect);

    static intptr_t TAVREL_VST_CALL hostCallback (vst::AEffect*, int32_t opcode, int32_t index,
                                                  intptr_t value, void* ptr, float opt);

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    juce::String textReply (int32_t opcode, int index);
    void idle();
    void updateTimeInfo();

    std::shared_ptr<PluginLibrary> owner;
    vst::AEffect* effect;
    Transport transport;
    juce::int64 samplesProcessed = 0;
    bool processing = false;
    vst::VstTimeInfo timeInfo {};
};

} // namespace tavrel::render
