// A plug-in library around the probe processor, for what only a loaded
// library shows: its own message thread and its unloading.
#include "JuceVSTWrapper.h"
#include "ProbeFilter.h"

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createProbe()
    {
        return std::make_unique<tavrel::test::ProbeFilter>();
    }

    const tavrel::vst::PluginIdentity probeIdentity {
        "Frame Probe",
        "Tavrel Software",
        tavrel::vst::fourCharCode ('P', 'r', 'T', 'v'),
        1000,
        createProbe
    };
}

TAVREL_VST_ENTRY_POINTS (probeIdentity)
