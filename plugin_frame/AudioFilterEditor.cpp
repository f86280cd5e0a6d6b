#include "AudioFilterEditor.h"

namespace tavrel
{

AudioFilterEditor::AudioFilterEditor (AudioFilterBase& owner)
    : ownerProcessor (owner)
{
}

AudioFilterEditor::~AudioFilterEditor() = default;

} // namespace tavrel
