#include "LooperFilter.h"

#include "LooperGUI.h"

namespace tavrel
{

LooperFilter::LooperFilter() = default;

LooperFilter::~LooperFilter() = default;

AudioFilterEditor* LooperFilter::createEditor()
{
    return new LooperGUI (*this);
}

} // namespace tavrel
