#include "JuceVSTWrapper.h"
#include "SlicerFilter.h"

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createSlicer()
    {
        return std::make_unique<tavrel::SlicerFilter>();
    }

    const tavrel::vst::PluginIdentity zintrakIdentity {
        "Tavrel Slicer",
        "Tavrel Software",
        tavrel::vst::fourCharCode ('Z', 'n', 'T', 'v'),
        1000,
        createSlicer
    };
}

TAVREL_VST_ENTRY_POINTS (zintrakIdentity)
