#include "SlicerFilter.h"

#include "SlicerGUI.h"

#include <ctime>

namespace tavrel
{

// "Random" draws from a generator seeded by the wall clock, so two sessions
// do not play the same sequence.
SlicerFilter::SlicerFilter()
    : EngineFilter ((uint32_t) std::time (nullptr))
{
}

SlicerFilter::~SlicerFilter() = default;

AudioFilterEditor* SlicerFilter::createEditor()
{
    return new SlicerGUI (*this);
}

} // namespace tavrel
