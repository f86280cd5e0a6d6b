#pragma once

namespace tavrel
{

// The host's transport as the position query reports it. Fields the host marks
// invalid keep these defaults.
struct HostPositionInfo
{
    double bpm = 0.0;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    double timeInSeconds = 0.0;
    double editOriginTime = 0.0;
    double ppqPosition = 0.0;
    double ppqPositionOfLastBarStart = 0.0;
    int frameRate = 99; // the host's SMPTE frame-rate code; 99 when not given
    bool isPlaying = false;
    bool isRecording = false;
};

} // namespace tavrel
