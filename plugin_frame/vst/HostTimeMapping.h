#pragma once

#include "HostPositionInfo.h"
#include "VstInterface.h"

namespace tavrel::vst
{

// The fields the position query asks the host for with audioMasterGetTime.
constexpr intptr_t timeInfoRequestMask = kVstPpqPosValid | kVstTempoValid | kVstBarsValid
                                         | kVstTimeSigValid | kVstSmpteValid | kVstClockValid;

// Fills info from the host's time record and gives true; without a record, or
// with one whose sample rate is not above 0, gives false and leaves info as it
// was. Fields the record marks invalid take the defaults of HostPositionInfo.
bool positionInfoFromTimeRecord (const VstTimeInfo* record, HostPositionInfo& info) noexcept;

} // namespace tavrel::vst
