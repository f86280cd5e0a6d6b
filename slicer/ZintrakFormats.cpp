#include "FilterAudioProcessor.h"
#include "SlicerFilter.h"
#include "ZintrakIdentity.h"

// The processor JUCE's VST3 and LV2 clients wrap.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new tavrel::FilterAudioProcessor (std::make_unique<tavrel::SlicerFilter>(), tavrel::zintrakIdentity,
                                             tavrel::SlicerParameters::table);
}
