#include "AudioEffectX.h"

namespace tavrel::vst
{

namespace
{
    // effGetSpeakerArrangement hands over two places for arrangement pointers.
    void clearArrangementPointer (void* place) noexcept
    {
        if (place != nullptr)
            *static_cast<void**> (place) = nullptr;
    }
}

intptr_t AudioEffectX::dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* text = static_cast<char*> (ptr);

    switch (opcode)
    {
        case effProcessEvents:           return 0;
        case effCanBeAutomated:          return canParameterBeAutomated (index) ? 1 : 0;
        case effString2Parameter:        return 0;
        case effGetProgramNameIndexed:   return text != nullptr && getProgramNameIndexed (index, text) ? 1 : 0;
        case effGetInputProperties:      return 0;
        case effGetOutputProperties:     return 0;
        case effGetPlugCategory:         return getPlugCategory();
        case effProcessVarIo:            return 0;
        case effSetSpeakerArrangement:   return 0;
        case effSetBypass:               return 0;
        case effGetEffectName:           return text != nullptr && getEffectName (text) ? 1 : 0;
        case effGetVendorString:         return text != nullptr && getVendorString (text) ? 1 : 0;
        case effGetProductString:        return text != nullptr && getProductString (text) ? 1 : 0;
        case effGetVendorVersion:        return getVendorVersion();
        case effVendorSpecific:          return 0;
        case effCanDo:                   return text != nullptr ? canDo (text) : 0;
        case effGetTailSize:             return 0;
        case effGetParameterProperties:  return 0;
        case effGetVstVersion:           return getVstVersion();
        case effEditKeyDown:             return 0;
        case effEditKeyUp:               return 0;
        case effSetEditKnobMode:         return 0;
        case effGetCurrentMidiProgram:   return getCurrentMidiProgram();
        case effGetSpeakerArrangement:
            clearArrangementPointer (reinterpret_cast<void*> (value));
            clearArrangementPointer (ptr);
            return 0;
        case effSetTotalSampleToProcess: return value;
        default:                         return AudioEffect::dispatcher (opcode, index, value, ptr, opt);
    }
}

} // namespace tavrel::vst
