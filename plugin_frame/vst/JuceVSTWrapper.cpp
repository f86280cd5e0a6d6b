#include "JuceVSTWrapper.h"

#include "AudioFilterEditor.h"
#include "HostTimeMapping.h"
#include "HostWindow.h"

#include <cstring>

namespace tavrel::vst
{

namespace
{
    constexpr int adapterTimerMilliseconds = 250;
    constexpr double fallbackSampleRate = 44100.0;

    constexpr int32_t effectFlags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks;

    // When any instance last gave its host the idle call of a mouse hold.
    std::atomic<juce::uint32> lastMouseHoldIdleCall { 0 };

    // Writes at most maxCharacters of text and a 0 byte; characters outside
    // ASCII arrive as '?', one byte each.
    void copyText (char* destination, const juce::String& text, int maxCharacters) noexcept
    {
        int length = 0;

        for (auto character = text.getCharPointer(); length < maxCharacters && ! character.isEmpty();)
        {
            const auto c = character.getAndAdvance();
            destination[length++] = c < 128 ? (char) c : '?';
        }

        destination[length] = 0;
    }

    bool allChannelsGiven (float* const* channels, int count) noexcept
    {
        if (channels == nullptr)
            return count == 0;

        for (int c = 0; c < count; ++c)
            if (channels[c] == nullptr)
                return false;

        return true;
    }
}

JuceVSTWrapper::JuceVSTWrapper (HostCallback hostCallback, std::unique_ptr<AudioFilterBase> processor,
                                const PluginIdentity& pluginIdentity)
    : AudioEffectX (hostCallback, processor->getNumPrograms(), processor->getNumParameters()),
      identity (pluginIdentity),
      filter (std::move (processor))
{
    filter->setChannelCounts (2, 2);
    filter->setHostLink (this);

    effect.flags = effectFlags;
    effect.uniqueID = identity.uniqueId;
    effect.numInputs = filter->getNumInputChannels();
    effect.numOutputs = filter->getNumOutputChannels();
    effect.initialDelay = 0;
}

JuceVSTWrapper::~JuceVSTWrapper()
{
    // The processor goes on the message thread, as it was made: no timer
    // callback or change broadcast delivery can run meanwhile.
    const FrameRuntime::HostDrivenLoop onThisThread;

    stopTimer();
    closeEditor();
    filter.reset();
    for (auto& chunk : chunks)
        releaseChunk (chunk);
}

//==============================================================================
bool JuceVSTWrapper::getCurrentPositionInfo (HostPositionInfo& info)
{
    const auto record = callHost (audioMasterGetTime, 0, timeInfoRequestMask);
    return positionInfoFromTimeRecord (reinterpret_cast<const VstTimeInfo*> (record), info);
}

void JuceVSTWrapper::informHostOfParameterChange (int index, float newValue)
{
    {
        // An editor's or the listener's write never lands in the middle of a
        // chunk save or restore. The host is called without the lock.
        const juce::ScopedLock chunkAccess (chunkLock);
        filter->setParameter (index, newValue);
    }
    callHost (audioMasterAutomate, index, 0, nullptr, newValue);
}

//==============================================================================
void JuceVSTWrapper::process (float**, float**, int32_t)
{
    // The accumulating call is not offered: the host's outputs stay as they are.
}

void JuceVSTWrapper::processReplacing (float** inputs, float** outputs, int32_t sampleFrames)
{
    if (! processing.load (std::memory_order_relaxed))
        resume();

    const int numInputs = filter->getNumInputChannels();
    const int numOutputs = filter->getNumOutputChannels();

    if (sampleFrames <= 0 || ! allChannelsGiven (inputs, numInputs) || ! allChannelsGiven (outputs, numOutputs))
        return;

    // Both buffers refer to the host's arrays; up to 32 channels need no allocation.
    juce::AudioBuffer<float> input (inputs, numInputs, sampleFrames);
    juce::AudioBuffer<float> output (outputs, numOutputs, sampleFrames);

    {
        const juce::ScopedLock processingLock (filter->getCallbackLock());
        filter->processBlock (input, output, false, midiEvents);
    }

    if (! midiEvents.isEmpty())
        midiEvents.clear();
}

void JuceVSTWrapper::setParameter (int32_t index, float value) { filter->setParameter (index, value); }

float JuceVSTWrapper::getParameter (int32_t index) { return filter->getParameter (index); }

//==============================================================================
void JuceVSTWrapper::open()
{
    startTimer (adapterTimerMilliseconds);
}

void JuceVSTWrapper::setProgram (int32_t program) { filter->setCurrentProgram (program); }

int32_t JuceVSTWrapper::getProgram() { return filter->getCurrentProgram(); }

void JuceVSTWrapper::setProgramName (const char* name)
{
    const auto length = ::strnlen (name, (size_t) kVstMaxProgNameLen);
    filter->changeProgramName (filter->getCurrentProgram(), juce::String::fromUTF8 (name, (int) length));
}

void JuceVSTWrapper::getProgramName (char* text)
{
    copyText (text, filter->getProgramName (filter->getCurrentProgram()), kVstMaxProgNameLen);
}

void JuceVSTWrapper::getParameterLabel (int32_t, char* text) { text[0] = 0; }

void JuceVSTWrapper::getParameterDisplay (int32_t index, char* text)
{
    copyText (text, filter->getParameterText (index), kVstMaxDisplayLen);
}

void JuceVSTWrapper::getParameterName (int32_t index, char* text)
{
    copyText (text, filter->getParameterName (index), kVstMaxParamStrLen);
}

void JuceVSTWrapper::setSampleRate (float newRate)
{
    hostSampleRate.store (newRate, std::memory_order_relaxed);
}

void JuceVSTWrapper::setBlockSize (int32_t newSize)
{
    hostBlockSize.store (newSize, std::memory_order_relaxed);
}

void JuceVSTWrapper::resume()
{
    processing.store (true, std::memory_order_relaxed);

    double sampleRate = (double) hostSampleRate.load (std::memory_order_relaxed);
    if (! (sampleRate > 0.0))
        sampleRate = fallbackSampleRate;

    filter->setPlayConfiguration (sampleRate, hostBlockSize.load (std::memory_order_relaxed));
    filter->prepareToPlay (filter->getSampleRate(), filter->getBlockSize());
    midiEvents.clear();
}

void JuceVSTWrapper::suspend()
{
    filter->releaseResources();
    midiEvents.clear();
    processing.store (false, std::memory_order_relaxed);
}

//==============================================================================
// Editor hosting. Everything here runs on the host's GUI thread. An editor and
// its frame are made and destroyed with that thread as message thread: the
// frame holds a HostDrivenLoop, and each request that makes or destroys one
// holds another around the work, outside any message manager lock.
bool JuceVSTWrapper::makeEditorFrame()
{
    if (editorFrame != nullptr)
        return true;

    const FrameRuntime::HostDrivenLoop onThisThread;

    std::unique_ptr<AudioFilterEditor> editor (filter->createEditorIfNeeded());
    if (editor == nullptr)
        return false;

    editorFrame = std::make_unique<EditorCompWrapper> (std::move (editor),
                                                       [this] (int width, int height) { resizeHostWindow (width, height); });
    return true;
}

void JuceVSTWrapper::closeEditor()
{
    if (editorFrame == nullptr || destroyingEditor)
        return;

    const juce::ScopedValueSetter<bool> destroying (destroyingEditor, true);

    // An open pop-up menu or other modal component leaves with result 0, and
    // its callbacks run now, while the editor they may refer to still exists.
    if (auto* modalComponents = juce::ModalComponentManager::getInstanceWithoutCreating())
        if (modalComponents->cancelAllModalComponents())
            FrameRuntime::runDueTimersAndMessages();

    filter->editorBeingDeleted (&editorFrame->getEditor());

    // The host's window, and ours in it, may be gone already.
    const HostWindow::WindowErrorsIgnored windowsMayHaveVanished;
    editorFrame.reset();
}

void JuceVSTWrapper::updateEditorRect()
{
    const auto toShort = [] (int value) { return (int16_t) juce::jlimit (0, 32767, value); };

    editorRect.top = 0;
    editorRect.left = 0;
    editorRect.bottom = toShort (editorFrame->getHeight());
    editorRect.right = toShort (editorFrame->getWidth());
}

void JuceVSTWrapper::resizeHostWindow (int width, int height)
{
    // A host that holds on to the rectangle sees the new size there too.
    updateEditorRect();

    if (callHost (audioMasterCanDo, 0, 0, const_cast<char*> ("sizeWindow")) != 0)
        callHost (audioMasterSizeWindow, width, height);
}

intptr_t JuceVSTWrapper::editGetRect (ERect** rect)
{
    if (! makeEditorFrame())
        return 0;

    updateEditorRect();
    *rect = &editorRect;
    return reinterpret_cast<intptr_t> (&editorRect);
}

intptr_t JuceVSTWrapper::editOpen (void* parentWindow)
{
    // Without a window to live in, an editor cannot be shown: the request
    // fails and whatever is open stays as it is.
    if (parentWindow == nullptr)
        return 0;

    // Keeps this thread the message thread from the old editor to the new.
    const FrameRuntime::HostDrivenLoop onThisThread;

    if (! HostWindow::exists (parentWindow))
        return 0;

    closeEditor();
    if (! makeEditorFrame())
        return 0;

    const HostWindow::WindowErrorsIgnored windowsMayVanish;
    editorFrame->showInHostWindow (parentWindow);
    return 1;
}

void JuceVSTWrapper::editClose()
{
    closeEditor();
}

void JuceVSTWrapper::editIdle()
{
    if (destroyingEditor)
        return;

    if (editorFrame == nullptr || ! editorFrame->isInHostWindow())
    {
        FrameRuntime::runDueTimersAndMessages();
        return;
    }

    const HostWindow::WindowErrorsIgnored hostWindowMayBeGone;
    FrameRuntime::runDueTimersAndMessages();

    // What ran may have closed the editor.
    if (editorFrame != nullptr)
        editorFrame->paintPendingRegions();
}

//==============================================================================
// The chunk requests come from whatever thread the host saves and restores
// state on: autosave, undo and offline bounces run on workers, while the
// host's GUI thread may be waiting for them. So they never wait for the
// message thread: the chunk lock serialises them with each other, with the
// adapter timer's release of the chunk and with the frame's own parameter
// writes, and nothing that holds it waits for another thread.
int32_t JuceVSTWrapper::getChunk (void** data)
{
    const juce::ScopedLock chunkAccess (chunkLock);

    auto& chunk = chunkOfThisThread();
    releaseChunk (chunk);
    filter->getStateInformation (chunk.memory);
    *data = chunk.memory.getData();
    chunk.requester = std::this_thread::get_id();
    chunk.time = juce::jmax ((juce::uint32) 1, juce::Time::getApproximateMillisecondCounter());
    heldChunks.fetch_add (1, std::memory_order_relaxed);
    return (int32_t) chunk.memory.getSize();
}

void JuceVSTWrapper::setChunk (const void* data, int32_t byteSize)
{
    const juce::ScopedLock chunkAccess (chunkLock);

    // Some hosts hand back the very chunk we gave them: it is freed only once
    // the restore has read it.
    auto& chunk = chunkOfThisThread();
    juce::MemoryBlock previousChunk;
    previousChunk.swapWith (chunk.memory);
    releaseChunk (chunk);

    // The restore's change broadcast is posted from here on the message
    // thread, and otherwise by the message thread within a few milliseconds.
    if (byteSize > 0 && data != nullptr)
        filter->setStateInformation (data, byteSize);
}

JuceVSTWrapper::HeldChunk& JuceVSTWrapper::chunkOfThisThread()
{
    const auto thisThread = std::this_thread::get_id();
    const auto now = juce::Time::getApproximateMillisecondCounter();
    HeldChunk* choice = &chunks[0];

    for (auto& chunk : chunks)
    {
        if (chunk.time != 0 && chunk.requester == thisThread)
            return chunk;

        // A free one, or else the one handed out longest ago.
        if (choice->time != 0 && (chunk.time == 0 || now - chunk.time > now - choice->time))
            choice = &chunk;
    }

    return *choice;
}

void JuceVSTWrapper::releaseChunk (HeldChunk& chunk)
{
    if (chunk.time != 0)
        heldChunks.fetch_sub (1, std::memory_order_relaxed);

    chunk.time = 0;
    chunk.requester = {};
    chunk.memory.reset();
}

void JuceVSTWrapper::timerCallback()
{
    releaseExpiredChunk();
    keepHostIdleWhileMouseHeld();
}

void JuceVSTWrapper::releaseExpiredChunk()
{
    const juce::ScopedLock chunkAccess (chunkLock);
    const auto now = juce::Time::getApproximateMillisecondCounter();

    // The difference of two counter readings stays right across the
    // counter's wrap-around.
    for (auto& chunk : chunks)
        if (chunk.time != 0 && now - chunk.time > chunkHoldMilliseconds)
            releaseChunk (chunk);
}

void JuceVSTWrapper::keepHostIdleWhileMouseHeld()
{
    // Hosts that stop their own message handling during a drag in our window
    // still redraw when we call them.
    if (editorFrame == nullptr || ! juce::ModifierKeys::currentModifiers.isAnyMouseButtonDown())
        return;

    const auto now = juce::Time::getMillisecondCounter();
    if (now - lastMouseHoldIdleCall.load (std::memory_order_relaxed) < mouseHoldIdleIntervalMilliseconds)
        return;

    lastMouseHoldIdleCall.store (now, std::memory_order_relaxed);
    callHost (audioMasterIdle);
}

//==============================================================================
bool JuceVSTWrapper::getProgramNameIndexed (int32_t index, char* text)
{
    if (index < 0 || index >= getNumPrograms())
        return false;

    copyText (text, filter->getProgramName (index), kVstMaxProgNameLen);
    return true;
}

bool JuceVSTWrapper::getEffectName (char* text)
{
    tavrel::vst::copyText (text, identity.effectName, kVstMaxEffectNameLen);
    return true;
}

bool JuceVSTWrapper::getVendorString (char* text)
{
    tavrel::vst::copyText (text, identity.vendor, kVstMaxVendorStrLen);
    return true;
}

bool JuceVSTWrapper::getProductString (char* text)
{
    tavrel::vst::copyText (text, identity.effectName, kVstMaxProductStrLen);
    return true;
}

int32_t JuceVSTWrapper::getVendorVersion() { return identity.vendorVersion; }

int32_t JuceVSTWrapper::canDo (const char* text)
{
    static constexpr struct { const char* text; int32_t reply; } replies[] = {
        { "receiveVstEvents", -1 },
        { "receiveVstMidiEvents", -1 },
        { "sendVstEvents", -1 },
        { "sendVstMidiEvent", -1 },
        { "receiveVstTimeInfo", 1 },
        { "conformsToWindowRules", 1 }
    };

    for (const auto& entry : replies)
        if (std::strcmp (text, entry.text) == 0)
            return entry.reply;

    return 0;
}

//==============================================================================
AEffect* createEffect (HostCallback hostCallback, const PluginIdentity& identity) noexcept
{
    if (hostCallback == nullptr || hostCallback (nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;

    try
    {
        // Keeps the framework up while the processor is made, even if that
        // fails, and makes it on the message thread, like everything of it.
        const FrameRuntime::Reference entryReference;
        const FrameRuntime::HostDrivenLoop onThisThread;

        auto processor = identity.createProcessor();
        if (processor == nullptr)
            return nullptr;

        return (new JuceVSTWrapper (hostCallback, std::move (processor), identity))->getAeffect();
    }
    catch (...)
    {
        return nullptr;
    }
}

} // namespace tavrel::vst
