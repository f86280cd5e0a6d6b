#pragma once

#include <juce_core/juce_core.h>

#include <memory>
#include <string>

namespace tavrel
{

// The block of bytes a host stores for an instance: the magic "VC2!", the
// length n of a one-line XML text, the text, a 0 byte and one trailing byte,
// n + 10 bytes in all. The text holds one element, the settings element.

constexpr juce::uint32 settingsChunkMagic = 0x21324356; // "VC2!" read little-endian
constexpr size_t settingsChunkHeaderSize = 8;

// Replaces the whole content of destData with the chunk of the element: its
// tag and its attributes, which are the settings; children are not written.
void writeSettingsChunk (const juce::XmlElement& element, juce::MemoryBlock& destData);

// The element a chunk holds, or nothing when the chunk is short, has another
// magic or length, or its text is not a well-formed XML document. The element's
// name is not checked here.
std::unique_ptr<juce::XmlElement> readSettingsChunk (const void* data, size_t sizeInBytes);

// A value as it is stored in the settings text: "%.9g" with "." as the decimal
// point and at least three exponent digits ("9.99999975e-006"), whatever the
// locale. Nine significant digits give back every single-precision value.
std::string formatValueText (double value);

// The number at the start of a value text, converted as strtod does in the
// "C" locale (leading white space, sign, digits with an optional point, an
// optional exponent, or "inf", "infinity" and "nan" in any letter case); 0.0
// when the text does not start with a number.
double parseValueText (const char* text);

// Element operations with the name rules of the settings element: names are
// compared without regard to letter case.
void setValueAttribute (juce::XmlElement& element, const juce::String& name, double value);
double getValueAttribute (const juce::XmlElement& element, const juce::String& name, double defaultValue);
bool hasNameIgnoringCase (const juce::XmlElement& element, const juce::String& name);

} // namespace tavrel
