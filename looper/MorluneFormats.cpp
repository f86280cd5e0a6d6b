#include "FilterAudioProcessor.h"
#include "LooperFilter.h"
#include "MorluneIdentity.h"

// The processor JUCE's VST3 and LV2 clients wrap.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new tavrel::FilterAudioProcessor (std::make_unique<tavrel::LooperFilter>(), tavrel::morluneIdentity,
                                             tavrel::LooperParameters::table);
}
