// A plug-in library around the probe processor, for what only a loaded
// library shows: its own message thread and its unloading, and, built with
// PROBE_OFFERS_EDITOR, its editor in a real window.
#include "JuceVSTWrapper.h"
#include "ProbeFilter.h"

#ifndef PROBE_OFFERS_EDITOR
 #define PROBE_OFFERS_EDITOR 0
#endif

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createProbe()
    {
        return std::make_unique<tavrel::test::ProbeFilter> (nullptr, PROBE_OFFERS_EDITOR != 0);
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
