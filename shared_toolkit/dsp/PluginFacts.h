#pragma once

#include <cstdint>

namespace tavrel
{

// What every plug-in format needs to know about a parameter, declared once
// per plug-in in its core. The VST 2.4 frame, the editors, the hidden listener
// and the VST3 and LV2 adapter all read the same table, so no format can show
// a parameter differently from another.
struct ParameterInfo
{
    enum class Kind { toggle, choice, continuous };

    const char* id;       // stable across versions: hosts store it in projects
    const char* name;     // the name VST 2.4 hosts have always seen
    const char* fullName; // for formats without VST 2.4's 8-character names
    float defaultValue;   // the stored value of a new instance
    int steps;            // intervals between the positions; 0 when continuous
    Kind kind;

    // How many positions a host may draw; 0 when continuous.
    constexpr int positions() const noexcept { return kind == Kind::continuous ? 0 : steps + 1; }
};

// Who a plug-in is to every host. The codes and the identifiers derived from
// them go into hosts' projects: they never change once shipped. The build
// reads the same record (cmake/TavrelIdentity.cmake), one field a line.
struct IdentityRecord
{
    const char* effectName;
    const char* vendor;
    const char* productName; // the file and bundle name
    char code[5];            // four characters and a terminating 0
    char vendorCode[5];
    const char* versionString;
    int32_t vendorVersion;
    const char* lv2Uri;
    const char* lv2Class; // the lv2: class besides lv2:Plugin, for hosts' menus
    // The VST3 component and controller class IDs, as the plug-in client
    // derives them from the two codes; a test checks the built bundle.
    uint32_t vst3ComponentId[4];
    uint32_t vst3ControllerId[4];

    constexpr int32_t fourCharCode() const noexcept
    {
        return (int32_t) (((uint32_t) (unsigned char) code[0] << 24) | ((uint32_t) (unsigned char) code[1] << 16)
                          | ((uint32_t) (unsigned char) code[2] << 8) | (uint32_t) (unsigned char) code[3]);
    }
};

} // namespace tavrel
