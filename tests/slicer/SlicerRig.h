#pragma once

#include "ProcessorRig.h"
#include "SlicerFilter.h"

namespace tavrel::test
{

struct SlicerRig : ProcessorRig<SlicerFilter>
{
    SlicerFilter& slicer = processor;
};

} // namespace tavrel::test
