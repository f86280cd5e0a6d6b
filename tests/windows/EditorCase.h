#pragma once

// One plug-in's editor as the Windows editor tests open it: where its binary
// is, the lamp they click, and the name of its screenshot.
#include "LampClicks.h"

#include <ostream>

namespace tavrel::test
{

struct EditorCase
{
    const char* name;
    const char* path; // the VST 2.4 DLL, or the VST3 bundle
    LampClick lamp;
    const char* screenshot;
};

inline void PrintTo (const EditorCase& c, std::ostream* stream) { *stream << c.name; }

} // namespace tavrel::test
