#include "LooperFilter.h"

namespace tavrel
{

LooperFilter::LooperFilter() = default;

LooperFilter::~LooperFilter() = default;

AudioFilterEditor* LooperFilter::createEditor()
{
    return nullptr; // the looper has no editor yet: hosts are told it cannot open one
}

} // namespace tavrel
