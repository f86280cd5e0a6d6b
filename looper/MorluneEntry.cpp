#include "JuceVSTWrapper.h"
#include "LooperFilter.h"

namespace
{
    std::unique_ptr<tavrel::AudioFilterBase> createLooper()
    {
        return std::make_unique<tavrel::LooperFilter>();
    }

    const tavrel::vst::PluginIdentity morluneIdentity {
        "Tavrel Looper",
        "Tavrel Software",
        tavrel::vst::fourCharCode ('M', 'r', 'T', 'v'),
        1000,
        createLooper
    };
}

TAVREL_VST_ENTRY_POINTS (morluneIdentity)
