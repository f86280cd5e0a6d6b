#pragma once

#include "dsp/PluginFacts.h"

namespace tavrel
{

// The slicer plug-in, Zintrak, in every format. The build reads this record
// too: keep one field a line, each with its name in a comment.
inline constexpr IdentityRecord zintrakIdentity {
    "Tavrel Slicer", // effectName
    "Tavrel Software", // vendor
    "Zintrak", // productName
    "ZnTv", // code
    "Tavr", // vendorCode
    "1.0.0", // versionString
    1000, // vendorVersion
    "urn:tavrel:ZnTv", // lv2Uri
    "DelayPlugin", // lv2Class
    { 0xABCDEF01, 0x9182FAEB, 0x54617672, 0x5A6E5476 }, // vst3ComponentId
    { 0xABCDEF01, 0x1234ABCD, 0x54617672, 0x5A6E5476 }, // vst3ControllerId
};

} // namespace tavrel
