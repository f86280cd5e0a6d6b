#include "AudioEffect.h"

namespace tavrel::vst
{

namespace
{
    // A size or count from the host that does not fit counts as none.
    int32_t toInt32 (intptr_t value) noexcept
    {
        return value >= 0 && value <= INT32_MAX ? (int32_t) value : 0;
    }

    intptr_t TAVREL_VST_CALL dispatchEntry (AEffect* record, int32_t opcode, int32_t index,
                                            intptr_t value, void* ptr, float opt)
    {
        auto* effect = AudioEffect::fromRecord (record);
        return effect != nullptr ? effect->dispatcher (opcode, index, value, ptr, opt) : 0;
    }

    void TAVREL_VST_CALL processEntry (AEffect* record, float** inputs, float** outputs, int32_t frames)
    {
        if (auto* effect = AudioEffect::fromRecord (record))
            effect->process (inputs, outputs, frames);
    }

    void TAVREL_VST_CALL processReplacingEntry (AEffect* record, float** inputs, float** outputs, int32_t frames)
    {
        if (auto* effect = AudioEffect::fromRecord (record))
            effect->processReplacing (inputs, outputs, frames);
    }

    void TAVREL_VST_CALL processDoubleReplacingEntry (AEffect* record, double** inputs, double** outputs, int32_t frames)
    {
        if (auto* effect = AudioEffect::fromRecord (record))
            effect->processDoubleReplacing (inputs, outputs, frames);
    }

    void TAVREL_VST_CALL setParameterEntry (AEffect* record, int32_t index, float value)
    {
        if (auto* effect = AudioEffect::fromRecord (record))
            effect->setParameter (index, value);
    }

    float TAVREL_VST_CALL getParameterEntry (AEffect* record, int32_t index)
    {
        auto* effect = AudioEffect::fromRecord (record);
        return effect != nullptr ? effect->getParameter (index) : 0.0f;
    }
}

AudioEffect::AudioEffect (HostCallback hostCallback, int32_t numPrograms, int32_t numParams)
    : host (hostCallback)
{
    effect.magic = effectMagic;
    effect.dispatcher = dispatchEntry;
    effect.process = processEntry;
    effect.setParameter = setParameterEntry;
    effect.getParameter = getParameterEntry;
    effect.processReplacing = processReplacingEntry;
    effect.processDoubleReplacing = processDoubleReplacingEntry;
    effect.numPrograms = numPrograms;
    effect.numParams = numParams;
    effect.ioRatio = 1.0f;
    effect.version = 1;
    effect.object = this;
}

AudioEffect::~AudioEffect()
{
    // A host that calls a closed record finds no instance behind it.
    effect.object = nullptr;
}

AudioEffect* AudioEffect::fromRecord (AEffect* record) noexcept
{
    return record != nullptr ? static_cast<AudioEffect*> (record->object) : nullptr;
}

void AudioEffect::process (float**, float**, int32_t) {}
void AudioEffect::processReplacing (float**, float**, int32_t) {}
void AudioEffect::processDoubleReplacing (double**, double**, int32_t) {}
void AudioEffect::setParameter (int32_t, float) {}
float AudioEffect::getParameter (int32_t) { return 0.0f; }

intptr_t AudioEffect::dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* text = static_cast<char*> (ptr);

    switch (opcode)
    {
        case effOpen:             open(); return 0;
        case effClose:            close(); delete this; return 1;
        case effSetProgram:       if (value >= 0 && value < effect.numPrograms) setProgram ((int32_t) value); return 0;
        case effGetProgram:       return getProgram();
        case effSetProgramName:   if (text != nullptr) setProgramName (text); return 0;
        case effGetProgramName:   if (text != nullptr) getProgramName (text); return 0;
        case effGetParamLabel:    if (text != nullptr) getParameterLabel (index, text); return 0;
        case effGetParamDisplay:  if (text != nullptr) getParameterDisplay (index, text); return 0;
        case effGetParamName:     if (text != nullptr) getParameterName (index, text); return 0;
        case effSetSampleRate:    setSampleRate (opt); return 0;
        case effSetBlockSize:     setBlockSize (toInt32 (value)); return 0;
        case effMainsChanged:     if (value != 0) resume(); else suspend(); return 0;
        case effEditGetRect:      return ptr != nullptr ? editGetRect (static_cast<ERect**> (ptr)) : 0;
        case effEditOpen:         return editOpen (ptr);
        case effEditClose:        editClose(); return 0;
        case effEditIdle:         editIdle(); return 0;
        case effIdentify:         return identifyReply;
        case effGetChunk:         return ptr != nullptr ? getChunk (static_cast<void**> (ptr)) : 0;
        case effSetChunk:         setChunk (ptr, toInt32 (value)); return 0;
        default:                  return 0;
    }
}

intptr_t AudioEffect::callHost (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const
{
    return host != nullptr ? host (const_cast<AEffect*> (&effect), opcode, index, value, ptr, opt) : 0;
}

void copyText (char* destination, const char* text, int maxCharacters) noexcept
{
    int length = 0;

    if (text != nullptr)
        for (; length < maxCharacters && text[length] != 0; ++length)
            destination[length] = (unsigned char) text[length] < 128 ? text[length] : '?';

    destination[length] = 0;
}

} // namespace tavrel::vst
