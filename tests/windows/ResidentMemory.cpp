// Prints what the plug-in DLLs hold resident in a Windows host of this
// build's width: the process's working set before the
// library is loaded, once it is loaded, with one instance opened, and with
// the instance resumed and fed ten seconds of playing audio at 44.1 kHz.
// Run it by hand under Wine: `wine windows_resident_memory.exe`.
#include "TestHost.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>

using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

void report (const char* plugin, const char* stage)
{
    // Wine fills in the working set, not the private bytes.
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof (counters);
    K32GetProcessMemoryInfo (GetCurrentProcess(), &counters, sizeof (counters));
    std::printf ("%-8s %-24s working set %7.1f MiB\n", plugin, stage,
                 (double) counters.WorkingSetSize / (1024.0 * 1024.0));
}

void measure (const char* plugin, const char* path)
{
    report (plugin, "before loading");
    TestHost host;
    PluginLibrary library { path };
    if (! library.isLoaded())
    {
        std::printf ("%s: could not load %s\n", plugin, path);
        return;
    }
    report (plugin, "loaded");

    OpenEffect effect { library.create() };
    effect.dispatch (effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect.dispatch (effSetBlockSize, 0, 512);
    report (plugin, "one instance open");

    effect.dispatch (effMainsChanged, 0, 1);
    host.play (120.0);
    StereoBlock in (512, 0.25f), out (512);
    for (int block = 0; block < 44100 * 10 / 512; ++block)
    {
        effect.processReplacing (in.channels(), out.channels(), 512);
        host.time.samplePos += 512;
    }
    report (plugin, "resumed, 10 s played");
}

} // namespace

int main()
{
    measure ("Zintrak", ZINTRAK_PATH);
    measure ("Morlune", MORLUNE_PATH);
    return 0;
}
