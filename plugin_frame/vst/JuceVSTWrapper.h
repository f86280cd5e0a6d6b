#pragma once

#include "AudioEffectX.h"
#include "AudioFilterBase.h"
#include "EditorCompWrapper.h"
#include "FrameRuntime.h"

#include <juce_events/juce_events.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

namespace tavrel::vst
{

// Who a plug-in is to its host, and how its processor is made.
struct PluginIdentity
{
    const char* effectName;
    const char* vendor;
    int32_t uniqueId;
    int32_t vendorVersion;
    std::unique_ptr<AudioFilterBase> (*createProcessor)();
};

// The adapter between a host and one processor: it owns the processor, speaks
// the host's requests, and is the processor's host link.
class JuceVSTWrapper : public AudioEffectX,
                       public AudioFilterBase::FilterNativeCallbacks,
                       private juce::Timer
{
public:
    // How long a chunk handed to the host stays valid; hosts copy it at once.
    static constexpr juce::uint32 chunkHoldMilliseconds = 2000;

    JuceVSTWrapper (HostCallback hostCallback, std::unique_ptr<AudioFilterBase> processor,
                    const PluginIdentity& identity);

    // On effClose: stops the timer, closes the editor, then destroys the
    // processor and the chunk.
    ~JuceVSTWrapper() override;

    AudioFilterBase& getFilter() const noexcept { return *filter; }

    // Whether a chunk handed out by effGetChunk is still held.
    bool holdsChunk() const noexcept { return heldChunks.load (std::memory_order_relaxed) != 0; }

    // The frame of the open editor, or none.
    EditorCompWrapper* getEditorFrame() const noexcept { return editorFrame.get(); }

    // While a mouse button is held in an editor, the host gets an idle call
    // at most this often, counted over every instance in the process.
    static constexpr juce::uint32 mouseHoldIdleIntervalMilliseconds = 20;

    // FilterNativeCallbacks
    bool getCurrentPositionInfo (HostPositionInfo& info) override;
    void informHostOfParameterChange (int index, float newValue) override;

    // Audio and parameter entry points.
    void process (float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing (float** inputs, float** outputs, int32_t sampleFrames) override;
    void setParameter (int32_t index, float value) override;
    float getParameter (int32_t index) override;

protected:
    void open() override;
    void setProgram (int32_t program) override;
    int32_t getProgram() override;
    void setProgramName (const char* name) override;
    void getProgramName (char* text) override;
    void getParameterLabel (int32_t index, char* text) override;
    void getParameterDisplay (int32_t index, char* text) override;
    void getParameterName (int32_t index, char* text) override;
    void setSampleRate (float newRate) override;
    void setBlockSize (int32_t newSize) override;
    void suspend() override;
    void resume() override;
    intptr_t editGetRect (ERect** rect) override;
    intptr_t editOpen (void* parentWindow) override;
    void editClose() override;
    void editIdle() override;
    int32_t getChunk (void** data) override;
    void setChunk (const void* data, int32_t byteSize) override;

    bool getProgramNameIndexed (int32_t index, char* text) override;
    bool getEffectName (char* text) override;
    bool getVendorString (char* text) override;
    bool getProductString (char* text) override;
    int32_t getVendorVersion() override;
    int32_t canDo (const char* text) override;

private:
    void timerCallback() override;
    void releaseExpiredChunk();
    void keepHostIdleWhileMouseHeld();

    bool makeEditorFrame();
    void closeEditor();
    void updateEditorRect();
    void resizeHostWindow (int width, int height);

    // Declared first: the framework outlives everything below.
    FrameRuntime::Reference runtime;
    const PluginIdentity identity;
    std::unique_ptr<AudioFilterBase> filter;

    // Set by the host's requests, read by a resume, which may be the implicit
    // one of a block on the audio thread.
    std::atomic<float> hostSampleRate { 44100.0f };
    std::atomic<int32_t> hostBlockSize { 1024 };
    std::atomic<bool> processing { false };
    juce::MidiBuffer midiEvents; // the plug-ins take no events; always empty

    // A chunk handed to the host, the thread that asked for it and when (0
    // for none). Each asking thread has its own, so that one thread's request
    // never frees the chunk another is still copying; the fewest hosts ask
    // from more than a few threads, and then the oldest chunk is reused.
    struct HeldChunk
    {
        juce::MemoryBlock memory;
        std::thread::id requester;
        juce::uint32 time = 0;
    };

    HeldChunk& chunkOfThisThread();
    void releaseChunk (HeldChunk& chunk);

    // Changed only under the chunk lock, which the chunk requests take on
    // any thread. It also keeps the frame's own parameter writes out of a
    // save or restore.
    juce::CriticalSection chunkLock;
    std::array<HeldChunk, 4> chunks;
    std::atomic<int> heldChunks { 0 };

    // Used on the message thread only, or under its lock.
    ERect editorRect {};
    std::unique_ptr<EditorCompWrapper> editorFrame; // goes before the processor
    bool destroyingEditor = false;
};

// The entry point's work for a plug-in: no effect without a host callback or
// when the host reports version 0, nor when the processor or adapter cannot
// be made.
AEffect* createEffect (HostCallback hostCallback, const PluginIdentity& identity) noexcept;

} // namespace tavrel::vst

// Defines the library's exports for one plug-in identity: `main`, and
// `VSTPluginMain`, which Linux hosts look for as well. On Windows only
// VSTPluginMain is defined: exports.def exports it under both names, as no C++
// function can be called main there.
#if defined(_WIN32)
#define TAVREL_VST_ENTRY_POINTS(pluginIdentity)                                                              \
    extern "C" tavrel::vst::AEffect* TAVREL_VST_CALL VSTPluginMain (tavrel::vst::HostCallback hostCallback); \
    tavrel::vst::AEffect* TAVREL_VST_CALL VSTPluginMain (tavrel::vst::HostCallback hostCallback)             \
    {                                                                                                        \
        return tavrel::vst::createEffect (hostCallback, pluginIdentity);                                     \
    }
#else
#define TAVREL_VST_ENTRY_POINTS(pluginIdentity)                                                              \
    extern "C" __attribute__ ((visibility ("default"))) tavrel::vst::AEffect*                                \
        tavrelVstMain (tavrel::vst::HostCallback hostCallback) asm ("main");                                 \
    extern "C" __attribute__ ((visibility ("default"))) tavrel::vst::AEffect*                                \
        VSTPluginMain (tavrel::vst::HostCallback hostCallback);                                              \
    tavrel::vst::AEffect* tavrelVstMain (tavrel::vst::HostCallback hostCallback)                             \
    {                                                                                                        \
        return tavrel::vst::createEffect (hostCallback, pluginIdentity);                                     \
    }                                                                                                        \
    tavrel::vst::AEffect* VSTPluginMain (tavrel::vst::HostCallback hostCallback)                             \
    {                                                                                                        \
        return tavrel::vst::createEffect (hostCallback, pluginIdentity);                                     \
    }
#endif
