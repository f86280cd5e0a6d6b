#include "ParameterState.h"

#include "SettingsChunk.h"

#include <cfloat>
#include <cmath>

namespace tavrel
{

const char* const settingsElementName = "QVPLUGINSETTINGS";

juce::String parameterAttributeName (int index)
{
    return "QVParam" + juce::String (index);
}

namespace
{
    // A stored value beyond the float range becomes an infinity rather than
    // an undefined conversion; the parameter write decides what that means.
    float narrowToFloat (double value) noexcept
    {
        if (std::isfinite (value) && std::fabs (value) > (double) FLT_MAX)
            return value > 0.0 ? HUGE_VALF : -HUGE_VALF;
        return (float) value;
    }
}

void saveParameterState (AudioFilterBase& processor, juce::MemoryBlock& destData)
{
    juce::XmlElement element (settingsElementName);

    for (int i = 0; i < processor.getNumParameters(); ++i)
        setValueAttribute (element, parameterAttributeName (i), (double) processor.getParameter (i));

    writeSettingsChunk (element, destData);
}

bool restoreParameterState (AudioFilterBase& processor, ChangeAnnouncer& changes,
                            const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 0)
        return false;

    const auto element = readSettingsChunk (data, (size_t) sizeInBytes);
    if (element == nullptr || ! hasNameIgnoringCase (*element, settingsElementName))
        return false;

    // Every parameter is written in order, the stored value or, where there
    // is none, the current one: the radio group comes out consistent whatever
    // the chunk holds. A stored "nan" says nothing and counts as missing (the
    // parameter write would ignore it and leave the group unsettled).
    for (int i = 0; i < processor.getNumParameters(); ++i)
    {
        const double current = (double) processor.getParameter (i);
        const double stored = getValueAttribute (*element, parameterAttributeName (i), current);
        processor.setParameter (i, narrowToFloat (std::isnan (stored) ? current : stored));
    }

    changes.announce();
    return true;
}

} // namespace tavrel
