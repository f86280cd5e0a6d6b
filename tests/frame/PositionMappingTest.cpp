// How the host's time record becomes the processors' position info.
#include "HostTimeMapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavrel;
using namespace tavrel::vst;

namespace
{

VstTimeInfo recordAt (double samplePos, int32_t flags)
{
    VstTimeInfo record {};
    record.samplePos = samplePos;
    record.sampleRate = 44100.0;
    record.tempo = 133.0;
    record.timeSigNumerator = 3;
    record.timeSigDenominator = 8;
    record.ppqPos = 12.5;
    record.barStartPos = 12.0;
    record.smpteOffset = 80 * 25 * 2; // two seconds at 25 frames per second
    record.smpteFrameRate = 1;
    record.flags = flags;
    return record;
}

TEST (PositionMapping, EveryValidFieldIsTaken)
{
    const auto record = recordAt (88200.0, kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid
                                               | kVstBarsValid | kVstSmpteValid);
    HostPositionInfo info;
    ASSERT_TRUE (positionInfoFromTimeRecord (&record, info));

    EXPECT_EQ (info.bpm, 133.0);
    EXPECT_EQ (info.timeSigNumerator, 3);
    EXPECT_EQ (info.timeSigDenominator, 8);
    EXPECT_EQ (info.timeInSeconds, 2.0);
    EXPECT_EQ (info.ppqPosition, 12.5);
    EXPECT_EQ (info.ppqPositionOfLastBarStart, 12.0);
    EXPECT_EQ (info.editOriginTime, 2.0);
    EXPECT_EQ (info.frameRate, 1);
    EXPECT_TRUE (info.isPlaying);
    EXPECT_FALSE (info.isRecording);
}

TEST (PositionMapping, FieldsMarkedInvalidTakeTheDefaults)
{
    const auto record = recordAt (44100.0, kVstTempoValid);
    HostPositionInfo info;
    info.timeSigNumerator = 7; // whatever the caller held is replaced
    info.isPlaying = true;
    ASSERT_TRUE (positionInfoFromTimeRecord (&record, info));

    EXPECT_EQ (info.bpm, 133.0);
    EXPECT_EQ (info.timeSigNumerator, 4);
    EXPECT_EQ (info.timeSigDenominator, 4);
    EXPECT_EQ (info.timeInSeconds, 1.0) << "the position in seconds needs no flag";
    EXPECT_EQ (info.ppqPosition, 0.0);
    EXPECT_EQ (info.ppqPositionOfLastBarStart, 0.0);
    EXPECT_EQ (info.editOriginTime, 0.0);
    EXPECT_EQ (info.frameRate, 99);
    EXPECT_FALSE (info.isPlaying);
    EXPECT_FALSE (info.isRecording);

    const auto noTempo = recordAt (0.0, kVstTransportPlaying);
    ASSERT_TRUE (positionInfoFromTimeRecord (&noTempo, info));
    EXPECT_EQ (info.bpm, 0.0);
    EXPECT_TRUE (info.isPlaying);
}

TEST (PositionMapping, RecordingCountsAsPlaying)
{
    const auto record = recordAt (0.0, kVstTransportRecording);
    HostPositionInfo info;
    ASSERT_TRUE (positionInfoFromTimeRecord (&record, info));
    EXPECT_TRUE (info.isPlaying);
    EXPECT_TRUE (info.isRecording);
}

TEST (PositionMapping, EditOriginFollowsTheFrameRateCode)
{
    const struct { int32_t code; double framesPerSecond; } table[] = {
        { 0, 24.0 }, { 1, 25.0 }, { 2, 30.0 }, { 3, 30.0 }, { 4, 30.0 }, { 5, 30.0 }, { 6, 1.0 }
    };

    for (const auto& row : table)
    {
        auto record = recordAt (0.0, kVstSmpteValid);
        record.smpteFrameRate = row.code;
        record.smpteOffset = (int32_t) (80.0 * row.framesPerSecond * 3.0);
        HostPositionInfo info;
        ASSERT_TRUE (positionInfoFromTimeRecord (&record, info));
        EXPECT_DOUBLE_EQ (info.editOriginTime, 3.0) << "code " << row.code;
        EXPECT_EQ (info.frameRate, row.code);
    }

    for (int32_t unknownCode : { 7, 11, -1 })
    {
        auto record = recordAt (0.0, kVstSmpteValid);
        record.smpteFrameRate = unknownCode;
        HostPositionInfo info;
        ASSERT_TRUE (positionInfoFromTimeRecord (&record, info));
        EXPECT_EQ (info.editOriginTime, 0.0) << "code " << unknownCode;
        EXPECT_EQ (info.frameRate, unknownCode);
    }
}

TEST (PositionMapping, NoRecordOrNoSampleRateLeavesTheCallersRecord)
{
    HostPositionInfo info;
    info.bpm = 77.0;
    info.isPlaying = true;

    EXPECT_FALSE (positionInfoFromTimeRecord (nullptr, info));

    for (double rate : { 0.0, -44100.0, std::numeric_limits<double>::quiet_NaN() })
    {
        auto record = recordAt (1000.0, kVstTransportPlaying | kVstTempoValid);
        record.sampleRate = rate;
        EXPECT_FALSE (positionInfoFromTimeRecord (&record, info)) << rate;
    }

    EXPECT_EQ (info.bpm, 77.0);
    EXPECT_TRUE (info.isPlaying);
}

} // namespace
