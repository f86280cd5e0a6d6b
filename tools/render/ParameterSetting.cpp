#include "ParameterSetting.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tavrel::render
{

namespace
{
    constexpr int reportedNameLimit = vst::kVstMaxParamStrLen;
    constexpr int scanSteps = 1000;
    constexpr size_t maxTrials = 40;

    bool isIndex (const juce::String& text)
    {
        return text.isNotEmpty() && text.containsOnly ("0123456789");
    }

    // "5 and 7", "1, 2 and 3"
    juce::String indexList (const std::vector<int>& indices)
    {
        juce::String list;
        for (size_t i = 0; i < indices.size(); ++i)
            list << (i == 0 ? "" : i + 1 == indices.size() ? " and " : ", ") << indices[i];
        return list;
    }

    bool sameText (const juce::String& a, const juce::String& b)
    {
        return a.trim().equalsIgnoreCase (b.trim());
    }

    juce::String textsShown (const juce::StringArray& texts)
    {
        if (texts.size() > 24)
            return juce::String (texts.size()) + " different texts";

        juce::StringArray quoted;
        for (const auto& t : texts)
            quoted.add (t.quoted());
        return "its texts are " + quoted.joinIntoString (", ");
    }
}

std::optional<int> findParameter (const juce::StringArray& names, const juce::String& reference,
                                  juce::String& error)
{
    const auto wanted = reference.trim();

    if (isIndex (wanted))
    {
        const int index = wanted.length() <= 9 ? wanted.getIntValue() : -1;
        if (index >= 0 && index < names.size())
            return index;

        error = "parameter index " + wanted + " is out of range: the plug-in has parameters 0 to "
                + juce::String (names.size() - 1);
        return {};
    }

    std::vector<int> exact, cut;
    for (int i = 0; i < names.size(); ++i)
    {
        if (names[i].equalsIgnoreCase (wanted))
            exact.push_back (i);
        else if (names[i].length() == reportedNameLimit && wanted.startsWithIgnoreCase (names[i]))
            cut.push_back (i);
    }

    const auto& matches = exact.empty() ? cut : exact;

    if (matches.size() == 1)
        return matches.front();

    if (matches.empty())
        error = "unknown parameter " + wanted.quoted() + " (run with --list to see the parameters)";
    else
        error = "parameter name " + wanted.quoted() + " is ambiguous: parameters " + indexList (matches)
                + " have that name; give the index instead, e.g. --set " + juce::String (matches.front()) + "=...";
    return {};
}

std::optional<double> parseNumber (const juce::String& text)
{
    auto trimmed = text.trim();
    if (trimmed.startsWithChar ('+'))
        trimmed = trimmed.substring (1);

    const std::string s = trimmed.toStdString();
    if (s.empty())
        return {};

    double value = 0.0;
    const auto result = std::from_chars (s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != s.data() + s.size() || ! std::isfinite (value))
        return {};

    return value;
}

std::optional<float> findValue (PluginInstance& plugin, int index, const juce::String& valueText,
                                juce::String& error)
{
    const auto number = parseNumber (valueText);
    if (number.has_value() && *number >= 0.0 && *number <= 1.0)
        return (float) *number;

    // Writing values to the instance that renders would disturb it (a radio
    // group falls back as values pass by), so the search runs on a scratch
    // instance that starts from the same settings.
    juce::String scratchError;
    auto scratch = PluginInstance::create (plugin.library(), scratchError);
    if (scratch == nullptr)
    {
        error = "cannot look up texts of parameter " + juce::String (index) + ": " + scratchError;
        return {};
    }
    plugin.copySettingsTo (*scratch);

    std::vector<float> matches;
    juce::StringArray seen;

    for (int step = 0; step <= scanSteps; ++step)
    {
        const float value = (float) step / (float) scanSteps;
        scratch->setParameter (index, value);
        const auto shown = scratch->parameterText (index);
        seen.addIfNotAlreadyThere (shown);

        if (sameText (shown, valueText))
            matches.push_back (value);
    }

    // What a value shows can depend on the values written before it (writing
    // "off" to a mode that is on may fall back to it), so a candidate counts
    // once it shows the text when written to the starting state. The middle
    // of the matches is tried first: it is furthest from the edges of a
    // quantisation step.
    if (! matches.empty())
    {
        const float middle = matches[matches.size() / 2];
        std::stable_sort (matches.begin(), matches.end(), [middle] (float a, float b)
        {
            return std::abs (a - middle) < std::abs (b - middle);
        });

        // Nearby candidates show the same; trying a spread of them is enough.
        const size_t stride = juce::jmax ((size_t) 1, matches.size() / maxTrials);
        for (size_t i = 0; i < matches.size(); i += stride)
        {
            plugin.copySettingsTo (*scratch);
            scratch->setParameter (index, matches[i]);

            if (sameText (scratch->parameterText (index), valueText))
                return matches[i];
        }
    }

    const auto name = plugin.parameterName (index).quoted();
    if (number.has_value())
        error = "value " + valueText.trim() + " for " + name
                + " is out of range: give a normalised value from 0 to 1 or a text the plug-in shows ("
                + textsShown (seen) + ")";
    else
        error = name + " never shows " + valueText.trim().quoted() + "; " + textsShown (seen)
                + ", or give a normalised value from 0 to 1";
    return {};
}

bool applySetting (PluginInstance& plugin, const juce::String& setting, juce::String& error)
{
    if (! setting.containsChar ('='))
    {
        error = "setting " + setting.quoted() + " is not of the form NAME=VALUE";
        return false;
    }

    const auto reference = setting.upToFirstOccurrenceOf ("=", false, false);
    const auto valueText = setting.fromFirstOccurrenceOf ("=", false, false);

    juce::StringArray names;
    for (int i = 0; i < plugin.numParameters(); ++i)
        names.add (plugin.parameterName (i));

    const auto index = findParameter (names, reference, error);
    if (! index.has_value())
        return false;

    const auto value = findValue (plugin, *index, valueText, error);
    if (! value.has_value())
        return false;

    plugin.setParameter (*index, *value);

    // A text names what the plug-in must show afterwards.
    if (! parseNumber (valueText).has_value() && ! sameText (plugin.parameterText (*index), valueText))
    {
        error = names[*index].quoted() + " shows " + plugin.parameterText (*index).quoted() + " after being set to "
                + valueText.trim().quoted() + " (another setting may have changed it)";
        return false;
    }

    return true;
}

} // namespace tavrel::render
