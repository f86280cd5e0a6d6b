// The library's attach and detach on Windows. Compiled into each plug-in DLL
// itself, so that the C runtime's start-up code finds this DllMain.
#include "FrameRuntime.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        tavrel::vst::FrameRuntime::attachLibrary (instance);
    }
    else if (reason == DLL_PROCESS_DETACH)
    {
        // A non-null reserved pointer means the process is ending.
        tavrel::vst::FrameRuntime::detachLibrary (reserved != nullptr);
    }

    return TRUE;
}
