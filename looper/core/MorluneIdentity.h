#pragma once

#include "dsp/PluginFacts.h"

namespace tavrel
{

// The looper plug-in, Morlune, in every format. The build reads this record
// too: keep one field a line, each with its name in a comment.
inline constexpr IdentityRecord morluneIdentity {
    "Tavrel Looper", // effectName
    "Tavrel Software", // vendor
    "Morlune", // productName
    "MrTv", // code
    "Tavr", // vendorCode
    "1.0.0", // versionString
    1000, // vendorVersion
    "urn:tavrel:MrTv", // lv2Uri
    "DelayPlugin", // lv2Class
    { 0xABCDEF01, 0x9182FAEB, 0x54617672, 0x4D725476 }, // vst3ComponentId
    { 0xABCDEF01, 0x1234ABCD, 0x54617672, 0x4D725476 }, // vst3ControllerId
};

} // namespace tavrel
