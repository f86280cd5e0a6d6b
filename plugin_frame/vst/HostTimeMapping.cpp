#include "HostTimeMapping.h"

namespace tavrel::vst
{

namespace
{
    // Frames per second of the SMPTE frame-rate codes 0 to 6; the edit origin
    // of a later code is not known and counts as 0.
    double framesPerSecondOf (int32_t frameRateCode) noexcept
    {
        static constexpr double table[] = { 24.0, 25.0, 30.0, 30.0, 30.0, 30.0, 1.0 };
        return frameRateCode >= 0 && frameRateCode < 7 ? table[frameRateCode] : 0.0;
    }

    bool has (const VstTimeInfo& record, int32_t bit) noexcept { return (record.flags & bit) != 0; }
}

bool positionInfoFromTimeRecord (const VstTimeInfo* record, HostPositionInfo& info) noexcept
{
    if (record == nullptr || ! (record->sampleRate > 0.0))
        return false;

    const HostPositionInfo defaults;
    HostPositionInfo filled;

    filled.bpm = has (*record, kVstTempoValid) ? record->tempo : defaults.bpm;

    if (has (*record, kVstTimeSigValid))
    {
        filled.timeSigNumerator = record->timeSigNumerator;
        filled.timeSigDenominator = record->timeSigDenominator;
    }

    filled.timeInSeconds = record->samplePos / record->sampleRate;
    filled.ppqPosition = has (*record, kVstPpqPosValid) ? record->ppqPos : defaults.ppqPosition;
    filled.ppqPositionOfLastBarStart = has (*record, kVstBarsValid) ? record->barStartPos
                                                                      : defaults.ppqPositionOfLastBarStart;

    if (has (*record, kVstSmpteValid))
    {
        const double framesPerSecond = framesPerSecondOf (record->smpteFrameRate);
        filled.editOriginTime = framesPerSecond > 0.0 ? record->smpteOffset / (framesPerSecond * 80.0) : 0.0;
        filled.frameRate = record->smpteFrameRate;
    }

    filled.isRecording = has (*record, kVstTransportRecording);
    filled.isPlaying = has (*record, kVstTransportPlaying) || filled.isRecording;

    info = filled;
    return true;
}

} // namespace tavrel::vst
