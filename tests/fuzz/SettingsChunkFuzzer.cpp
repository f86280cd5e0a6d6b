// Any bytes a host may hand back as a settings chunk: the reader gives an
// element or nothing; an element written again reads back the same; a
// processor restored from the bytes keeps its parameters in [0, 1] and its
// radio group consistent.
#include "LooperFilter.h"
#include "SettingsChunk.h"
#include "SlicerFilter.h"
#include "FrameRuntime.h"

#include <juce_events/juce_events.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace
{

void require (bool condition)
{
    if (! condition)
        std::abort();
}

// At most one toggle on, and with "Mode" below its top position, exactly the
// toggle it names.
void requireConsistent (tavrel::AudioFilterBase& processor, int modeIndex)
{
    int togglesOn = 0, lastOn = -1;
    for (int i = 0; i < processor.getNumParameters(); ++i)
    {
        const float value = processor.getParameter (i);
        require (std::isfinite (value) && value >= 0.0f && value <= 1.0f);
        if (i < modeIndex && value > 0.5f)
        {
            ++togglesOn;
            lastOn = i;
        }
    }

    const int position = (int) std::floor ((double) processor.getParameter (modeIndex) * modeIndex + 0.5);
    require (togglesOn <= 1);
    require (position == modeIndex || position == lastOn);
}

void restoreInto (tavrel::AudioFilterBase& processor, int modeIndex, const uint8_t* data, size_t size)
{
    processor.setStateInformation (data, (int) size);
    requireConsistent (processor, modeIndex);

    // Whatever was restored saves as a chunk that restores again.
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);
    require (tavrel::readSettingsChunk (saved.getData(), saved.getSize()) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // This thread is the message thread; the frame finds the framework running.
    // Never shut down: at exit the framework's own statics may already be gone.
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (framework);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto element = tavrel::readSettingsChunk (data, size);
    if (element == nullptr)
        return 0;

    juce::MemoryBlock rewritten;
    tavrel::writeSettingsChunk (*element, rewritten);
    const auto again = tavrel::readSettingsChunk (rewritten.getData(), rewritten.getSize());
    require (again != nullptr);
    require (again->getTagName() == element->getTagName());
    require (again->getNumAttributes() == element->getNumAttributes());

    for (int i = 0; i < 20; ++i)
    {
        const auto name = "QVParam" + juce::String (i);
        const double value = tavrel::getValueAttribute (*element, name, 0.25);
        const double valueAgain = tavrel::getValueAttribute (*again, name, 0.25);
        require ((std::isnan (value) && std::isnan (valueAgain)) || value == valueAgain);
    }

    if (tavrel::hasNameIgnoringCase (*element, "QVPLUGINSETTINGS"))
    {
        // Fresh processors, so that one input never depends on the one before.
        tavrel::SlicerFilter slicer;
        restoreInto (slicer, 14, data, size);
        tavrel::LooperFilter looper;
        restoreInto (looper, 3, data, size);
        tavrel::vst::FrameRuntime::runDueTimersAndMessages(); // the hidden listeners' turn
        requireConsistent (slicer, 14);
        requireConsistent (looper, 3);
    }
    return 0;
}
