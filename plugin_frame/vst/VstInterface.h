#pragma once

// The VST 2.4 plug-in interface as hosts see it: the effect record, the
// dispatcher and process entry points, the host callback, the time record,
// and the request, flag and bit numbers we use. Declared here from the
// interface's published binary layout; field order and sizes are fixed by it.

#include <cstddef>
#include <cstdint>

// 32-bit Windows has several calling conventions and hosts use cdecl; 64-bit
// Windows has one, which __cdecl then names.
#if defined(_WIN32)
 #define TAVREL_VST_CALL __cdecl
#else
 #define TAVREL_VST_CALL
#endif

namespace tavrel::vst
{

struct AEffect;

using HostCallback = intptr_t (TAVREL_VST_CALL*) (AEffect*, int32_t opcode, int32_t index,
                                                  intptr_t value, void* ptr, float opt);
using DispatcherProc = intptr_t (TAVREL_VST_CALL*) (AEffect*, int32_t opcode, int32_t index,
                                                    intptr_t value, void* ptr, float opt);
using ProcessProc = void (TAVREL_VST_CALL*) (AEffect*, float** inputs, float** outputs, int32_t sampleFrames);
using ProcessDoubleProc = void (TAVREL_VST_CALL*) (AEffect*, double** inputs, double** outputs, int32_t sampleFrames);
using SetParameterProc = void (TAVREL_VST_CALL*) (AEffect*, int32_t index, float value);
using GetParameterProc = float (TAVREL_VST_CALL*) (AEffect*, int32_t index);

// The effect record that the entry point returns.
struct AEffect
{
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;           // the older accumulating call
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t reserved1;
    intptr_t reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;                  // the plug-in's own object
    void* user;                    // the host's
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// The host's transport, returned by audioMasterGetTime.
struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

// The published layout on both widths: pointers and intptr_t fields take 4
// or 8 bytes, and the 64-bit record pads after `magic` and `flags`.
constexpr bool pointersAre64Bit = sizeof (void*) == 8;
static_assert (offsetof (AEffect, dispatcher) == (pointersAre64Bit ? 8 : 4));
static_assert (offsetof (AEffect, reserved1) == (pointersAre64Bit ? 64 : 40));
static_assert (offsetof (AEffect, object) == (pointersAre64Bit ? 96 : 64));
static_assert (offsetof (AEffect, uniqueID) == (pointersAre64Bit ? 112 : 72));
static_assert (offsetof (AEffect, processReplacing) == (pointersAre64Bit ? 120 : 80));
static_assert (sizeof (AEffect) == (pointersAre64Bit ? 192 : 144));
static_assert (sizeof (VstTimeInfo) == 88);

// Editor rectangle of effEditGetRect.
struct ERect
{
    int16_t top, left, bottom, right;
};

constexpr int32_t fourCharCode (char a, char b, char c, char d) noexcept
{
    return (int32_t) (((uint32_t) (uint8_t) a << 24) | ((uint32_t) (uint8_t) b << 16)
                      | ((uint32_t) (uint8_t) c << 8) | (uint32_t) (uint8_t) d);
}

constexpr int32_t effectMagic = fourCharCode ('V', 's', 't', 'P');
constexpr int32_t identifyReply = fourCharCode ('N', 'v', 'E', 'f');

// Effect record flags.
enum : int32_t
{
    effFlagsHasEditor = 1,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsCanDoubleReplacing = 4096
};

// Requests from the host to the plug-in.
enum : int32_t
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effGetParameterProperties = 56,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetCurrentMidiProgram = 63,
    effGetSpeakerArrangement = 69,
    effSetTotalSampleToProcess = 73
};

// Requests from the plug-in to the host.
enum : int32_t
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterSizeWindow = 15,
    audioMasterCanDo = 37
};

// Bits of VstTimeInfo::flags, and of the mask asked for with audioMasterGetTime.
enum : int32_t
{
    kVstTransportPlaying = 2,
    kVstTransportRecording = 8,
    kVstPpqPosValid = 0x200,
    kVstTempoValid = 0x400,
    kVstBarsValid = 0x800,
    kVstTimeSigValid = 0x2000,
    kVstSmpteValid = 0x4000,
    kVstClockValid = 0x8000
};

constexpr int32_t kPlugCategEffect = 1;
constexpr int32_t vstVersion = 2400;

// Text limits of the requests that copy a text into the host's buffer; the
// buffer holds the limit plus the terminating 0.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxEffectNameLen = 64;
constexpr int kVstMaxDisplayLen = 64;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;

} // namespace tavrel::vst
