#include "JuceVSTWrapper.h"
#include "MorluneIdentity.h"
#include "LooperFilter.h"

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createLooper()
    {
        return std::make_unique<tavrel::LooperFilter>();
    }

    const tavrel::vst::PluginIdentity vstIdentity {
        tavrel::morluneIdentity.effectName,
        tavrel::morluneIdentity.vendor,
        tavrel::morluneIdentity.fourCharCode(),
        tavrel::morluneIdentity.vendorVersion,
        createLooper
    };
}

TAVREL_VST_ENTRY_POINTS (vstIdentity)
