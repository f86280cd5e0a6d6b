#pragma once

#include "PluginHost.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace tavrel::render
{

// The parameter a reference names: a decimal index, or a name as the
// plug-in reports it, compared without regard to case. Hosts get names cut to
// eight characters, so a reported name of that length also matches a longer
// reference that starts with it ("Backwards" finds "Backward"). A name that
// several parameters share is an error that lists their indices.
std::optional<int> findParameter (const juce::StringArray& names, const juce::String& reference,
                                  juce::String& error);

// A whole-text decimal number ("0.5", "1", "+.25e0"), read the same in any locale.
std::optional<double> parseNumber (const juce::String& text);

// The value to write so that the parameter shows valueText: a normalised
// number in [0, 1] as it stands, or else a text the plug-in shows for it,
// found by trying values from 0 to 1 on a scratch instance in the same state
// and taking the middle of the values that show it.
std::optional<float> findValue (PluginInstance& plugin, int index, const juce::String& valueText,
                                juce::String& error);

// Applies "NAME=VALUE" (or "INDEX=VALUE") to the plug-in and checks that it took.
bool applySetting (PluginInstance& plugin, const juce::String& setting, juce::String& error);

} // namespace tavrel::render
