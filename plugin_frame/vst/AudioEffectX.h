#pragma once

#include "AudioEffect.h"

namespace tavrel::vst
{

// The requests the interface added in its second generation, on top of
// AudioEffect, each with the reply of a plug-in that does not handle it.
class AudioEffectX : public AudioEffect
{
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

protected:
    // Text operations are only called with a buffer; those returning bool
    // report whether they wrote a text.
    virtual bool getProgramNameIndexed (int32_t /*index*/, char* /*text*/) { return false; }
    virtual bool getEffectName (char*) { return false; }
    virtual bool getVendorString (char*) { return false; }
    virtual bool getProductString (char*) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual int32_t canDo (const char*) { return 0; }
    virtual int32_t getPlugCategory() { return kPlugCategEffect; }
    virtual bool canParameterBeAutomated (int32_t) { return true; }
    virtual int32_t getVstVersion() { return vstVersion; }
    virtual int32_t getCurrentMidiProgram() { return -1; }
};

} // namespace tavrel::vst
