#pragma once

#include "VstInterface.h"

namespace tavrel::vst
{

// The effect record and the host's numbered requests of the interface's first
// generation, turned into virtual operations. Every operation's default is the
// reply a plug-in gives that does not handle the request. Instances are made
// with new and delete themselves when the host closes them (effClose).
class AudioEffect
{
public:
    AudioEffect (HostCallback hostCallback, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    AudioEffect (const AudioEffect&) = delete;
    AudioEffect& operator= (const AudioEffect&) = delete;

    AEffect* getAeffect() noexcept { return &effect; }

    // The instance behind a record that this class filled, or none.
    static AudioEffect* fromRecord (AEffect* record) noexcept;

    virtual intptr_t dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    // Audio and parameter entry points.
    virtual void process (float** inputs, float** outputs, int32_t sampleFrames);
    virtual void processReplacing (float** inputs, float** outputs, int32_t sampleFrames);
    virtual void processDoubleReplacing (double** inputs, double** outputs, int32_t sampleFrames);
    virtual void setParameter (int32_t index, float value);
    virtual float getParameter (int32_t index);

protected:
    // Requests 0 to 24. Text operations are only called with a buffer.
    virtual void open() {}
    virtual void close() {}
    virtual void setProgram (int32_t) {}
    virtual int32_t getProgram() { return 0; }
    virtual void setProgramName (const char*) {}
    virtual void getProgramName (char* text) { text[0] = 0; }
    virtual void getParameterLabel (int32_t, char* text) { text[0] = 0; }
    virtual void getParameterDisplay (int32_t, char* text) { text[0] = 0; }
    virtual void getParameterName (int32_t, char* text) { text[0] = 0; }
    virtual void setSampleRate (float) {}
    virtual void setBlockSize (int32_t) {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual intptr_t editGetRect (ERect**) { return 0; }
    virtual intptr_t editOpen (void* /*parentWindow*/) { return 0; }
    virtual void editClose() {}
    virtual void editIdle() {}
    virtual int32_t getChunk (void** /*data*/) { return 0; }
    virtual void setChunk (const void* /*data*/, int32_t /*byteSize*/) {}

    intptr_t callHost (int32_t opcode, int32_t index = 0, intptr_t value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;

    int32_t getNumPrograms() const noexcept { return effect.numPrograms; }

    AEffect effect {};

private:
    HostCallback host;
};

// Writes at most maxCharacters of text and a terminating 0 into destination;
// characters outside ASCII arrive as '?'.
void copyText (char* destination, const char* text, int maxCharacters) noexcept;

} // namespace tavrel::vst
