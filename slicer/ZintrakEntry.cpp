#include "JuceVSTWrapper.h"
#include "ZintrakIdentity.h"
#include "SlicerFilter.h"

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createSlicer()
    {
        return std::make_unique<tavrel::SlicerFilter>();
    }

    const tavrel::vst::PluginIdentity vstIdentity {
        tavrel::zintrakIdentity.effectName,
        tavrel::zintrakIdentity.vendor,
        tavrel::zintrakIdentity.fourCharCode(),
        tavrel::zintrakIdentity.vendorVersion,
        createSlicer
    };
}

TAVREL_VST_ENTRY_POINTS (vstIdentity)
