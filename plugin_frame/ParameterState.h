#pragma once

#include "AudioFilterBase.h"
#include "ChangeAnnouncer.h"

#include <juce_events/juce_events.h>

namespace tavrel
{

// What a processor's state save and restore carry: every parameter, by index,
// in the settings element "QVPLUGINSETTINGS" with one attribute "QVParam<i>"
// per parameter, wrapped in a settings chunk.

extern const char* const settingsElementName;
juce::String parameterAttributeName (int index);

// Stores parameters 0..N-1 as the processor reads them.
void saveParameterState (AudioFilterBase& processor, juce::MemoryBlock& destData);

// Writes parameters 0..N-1 in ascending order through the processor's own
// parameter write (a value missing from the chunk is the current one), so the
// write rules run as for a host, then announces one change broadcast, which
// reaches the listeners on the message thread whatever thread restores. A
// chunk that cannot be read, or holds another element, changes nothing and
// broadcasts nothing; the result tells which happened.
bool restoreParameterState (AudioFilterBase& processor, ChangeAnnouncer& changes,
                            const void* data, int sizeInBytes);

} // namespace tavrel
