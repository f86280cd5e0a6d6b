#include "SettingsChunk.h"

#include <array>
#include <utility>
#include <charconv>
#include <cmath>
#include <limits>
#include <cstring>

namespace tavrel
{

namespace
{
    //==========================================================================
    // JUCE's XML reader builds the element but is lenient where a chunk must be
    // refused: it accepts an element cut off after an attribute, an attribute
    // with no value, anything after the root, and it recurses once per level of
    // nesting. So the text is first checked to be a well-formed document of
    // the kind a settings text can be, without allocating, at a bounded depth;
    // JUCE then parses only texts that passed.
    class XmlTextChecker
    {
    public:
        XmlTextChecker (const unsigned char* text, size_t length) : p (text), end (text + length) {}

        bool isWellFormedDocument()
        {
            if (! skipMisc() || ! isAtStartTag())
                return false;

            return readElement() && skipMisc() && p == end;
        }

    private:
        struct Name
        {
            const unsigned char* start = nullptr;
            size_t length = 0;
        };

        // Deeper texts are refused; the settings element has no children at all.
        static constexpr int maxDepth = 64;

        // JUCE finds an attribute by walking its list from the start, so a
        // lookup by index costs the index: a cap keeps a restore's lookups
        // quick whatever a chunk holds. Far above any parameter count.
        static constexpr int maxAttributes = 1024;

        static bool isSpace (unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
        static bool isTextChar (unsigned char c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r'; }
        static bool isAsciiLetter (unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
        static bool isDigit (unsigned char c) { return c >= '0' && c <= '9'; }
        static bool isNameStart (unsigned char c) { return isAsciiLetter (c) || c == '_' || c == ':'; }
        static bool isNameChar (unsigned char c) { return isNameStart (c) || isDigit (c) || c == '-' || c == '.'; }

        bool startsWith (const char* s) const
        {
            const size_t length = std::strlen (s);
            return (size_t) (end - p) >= length && std::memcmp (p, s, length) == 0;
        }

        bool isAtStartTag() const { return p < end && *p == '<' && p + 1 < end && isNameStart (p[1]); }

        bool skipSpace()
        {
            const auto* start = p;
            while (p < end && isSpace (*p))
                ++p;
            return p != start;
        }

        bool skipPast (const char* terminator)
        {
            const size_t length = std::strlen (terminator);
            for (; (size_t) (end - p) >= length; ++p)
            {
                if (std::memcmp (p, terminator, length) == 0)
                {
                    p += length;
                    return true;
                }
                if (! isTextChar (*p))
                    return false;
            }
            return false;
        }

        // White space, comments and processing instructions (the declaration
        // among them), as allowed before and after the root element.
        bool skipMisc()
        {
            for (;;)
            {
                skipSpace();

                if (startsWith ("<!--"))
                {
                    p += 4;
                    if (! skipPast ("-->"))
                        return false;
                }
                else if (startsWith ("<?"))
                {
                    p += 2;
                    if (! skipPast ("?>"))
                        return false;
                }
                else
                {
                    return true;
                }
            }
        }

        bool readName (Name& name)
        {
            if (p == end || ! isNameStart (*p))
                return false;

            name.start = p;
            while (p < end && isNameChar (*p))
                ++p;
            name.length = (size_t) (p - name.start);
            return true;
        }

        // The five predefined entities and character references; a document
        // type, and with it any other entity, is refused.
        bool readReference()
        {
            ++p; // '&'

            for (const char* entity : { "lt;", "gt;", "amp;", "quot;", "apos;" })
            {
                if (startsWith (entity))
                {
                    p += std::strlen (entity);
                    return true;
                }
            }

            if (p == end || *p != '#')
                return false;

            ++p;
            const bool hex = p < end && *p == 'x';
            if (hex)
                ++p;

            long code = 0;
            int digits = 0;
            for (; p < end && *p != ';'; ++p, ++digits)
            {
                const int value = juce::CharacterFunctions::getHexDigitValue (*p);
                if (value < 0 || (! hex && value > 9) || digits >= 7)
                    return false;
                code = code * (hex ? 16 : 10) + value;
            }

            if (p == end || digits == 0)
                return false;

            ++p; // ';'
            return (code >= 0x20 || code == 0x9 || code == 0xa || code == 0xd)
                   && code <= 0x10ffff && ! (code >= 0xd800 && code <= 0xdfff);
        }

        bool readAttributeValue()
        {
            if (p == end || (*p != '"' && *p != '\''))
                return false;

            const unsigned char quote = *p++;

            while (p < end)
            {
                const unsigned char c = *p;

                if (c == quote)
                {
                    ++p;
                    return true;
                }

                if (c == '&')
                {
                    if (! readReference())
                        return false;
                }
                else if (c == '<' || ! isTextChar (c))
                {
                    return false;
                }
                else
                {
                    ++p;
                }
            }

            return false;
        }

        bool readStartTag (Name& name, bool& isEmpty)
        {
            ++p; // '<'
            if (! readName (name))
                return false;

            for (int attributes = 0;; ++attributes)
            {
                const bool hadSpace = skipSpace();

                if (startsWith ("/>"))
                {
                    p += 2;
                    isEmpty = true;
                    return true;
                }

                if (startsWith (">"))
                {
                    ++p;
                    isEmpty = false;
                    return true;
                }

                Name attribute;
                if (attributes == maxAttributes || ! hadSpace || ! readName (attribute))
                    return false;

                skipSpace();
                if (! startsWith ("="))
                    return false;
                ++p;
                skipSpace();

                if (! readAttributeValue())
                    return false;
            }
        }

        bool readEndTag (const Name& expected)
        {
            p += 2; // "</"
            Name name;
            if (! readName (name) || name.length != expected.length
                || std::memcmp (name.start, expected.start, name.length) != 0)
                return false;

            skipSpace();
            if (! startsWith (">"))
                return false;
            ++p;
            return true;
        }

        // An end tag, a comment or a CDATA section. A processing instruction
        // is refused inside an element: JUCE's reader, on meeting text after
        // one, steps back over the instruction it has just skipped and loops
        // for ever. No settings text has one there.
        bool readMarkupInContent()
        {
            if (startsWith ("</"))
                return readEndTag (open[(size_t) --depth]);

            for (const auto& [opening, closing] : { std::pair { "<!--", "-->" }, { "<![CDATA[", "]]>" } })
            {
                if (startsWith (opening))
                {
                    p += std::strlen (opening);
                    return skipPast (closing);
                }
            }

            return false;
        }

        // Reads content until the next child's start tag (true, depth > 0) or
        // until the last open element has been closed (true, depth == 0).
        bool readContent()
        {
            while (depth > 0)
            {
                if (p == end)
                    return false;

                if (*p == '<')
                {
                    if (isAtStartTag())
                        return true;

                    if (! readMarkupInContent())
                        return false;
                }
                else if (*p == '&')
                {
                    if (! readReference())
                        return false;
                }
                else if (! isTextChar (*p++))
                {
                    return false;
                }
            }

            return true;
        }

        // Iterative, so that nesting costs no stack.
        bool readElement()
        {
            for (;;)
            {
                Name name;
                bool isEmpty = false;

                if (! readStartTag (name, isEmpty))
                    return false;

                if (! isEmpty)
                {
                    if (depth == maxDepth)
                        return false;
                    open[(size_t) depth++] = name;
                }

                if (! readContent())
                    return false;

                if (depth == 0)
                    return true;
            }
        }

        const unsigned char* p;
        const unsigned char* const end;
        std::array<Name, maxDepth> open {};
        int depth = 0;
    };

    //==========================================================================
    juce::uint32 readLittleEndian32 (const unsigned char* bytes) noexcept
    {
        return (juce::uint32) bytes[0] | ((juce::uint32) bytes[1] << 8)
               | ((juce::uint32) bytes[2] << 16) | ((juce::uint32) bytes[3] << 24);
    }

    void writeLittleEndian32 (unsigned char* bytes, juce::uint32 value) noexcept
    {
        for (int i = 0; i < 4; ++i)
            bytes[i] = (unsigned char) (value >> (8 * i));
    }

    // Each byte is one character of the same code.
    juce::String latin1ToString (const unsigned char* text, size_t length)
    {
        std::string utf8;
        utf8.reserve (length);

        for (size_t i = 0; i < length; ++i)
        {
            const unsigned char c = text[i];
            if (c < 0x80)
            {
                utf8 += (char) c;
            }
            else
            {
                utf8 += (char) (0xc0 | (c >> 6));
                utf8 += (char) (0x80 | (c & 0x3f));
            }
        }

        return juce::String::fromUTF8 (utf8.data(), (int) utf8.size());
    }

    // The printf family writes as few exponent digits as it likes ("e-06");
    // stored settings always carry at least three.
    void widenExponent (std::string& text)
    {
        const auto e = text.find ('e');
        if (e == std::string::npos || e + 1 >= text.size())
            return;

        const size_t digitsStart = e + 2; // after the sign
        const size_t digits = text.size() - digitsStart;
        if (digits < 3)
            text.insert (digitsStart, 3 - digits, '0');
    }

    bool isCSpace (char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    bool isDecimalDigit (char c) { return c >= '0' && c <= '9'; }

    const char* skipDigits (const char* p)
    {
        while (isDecimalDigit (*p))
            ++p;
        return p;
    }

    bool startsWithIgnoringCase (const char* text, const char* word)
    {
        for (; *word != 0; ++text, ++word)
            if (*text == 0 || (*text | 0x20) != *word)
                return false;
        return true;
    }
}

//==============================================================================
std::string formatValueText (double value)
{
    // std::to_chars with a precision behaves as printf in the "C" locale,
    // whatever the process's locale is.
    char buffer[64];
    const auto result = std::to_chars (buffer, buffer + sizeof (buffer), value, std::chars_format::general, 9);
    std::string text (buffer, result.ptr);
    widenExponent (text);
    return text;
}

double parseValueText (const char* text)
{
    if (text == nullptr)
        return 0.0;

    const char* p = text;
    while (isCSpace (*p))
        ++p;

    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;

    // As strtod reads them; the parameter write then clamps an infinity and
    // ignores a NaN.
    if (startsWithIgnoringCase (p, "inf"))
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (startsWithIgnoringCase (p, "nan"))
        return std::numeric_limits<double>::quiet_NaN();

    const char* numberStart = p;
    const char* integerEnd = skipDigits (p);
    const char* fractionEnd = integerEnd;

    if (*integerEnd == '.')
        fractionEnd = skipDigits (integerEnd + 1);

    const bool hasDigits = integerEnd != numberStart || fractionEnd - integerEnd > 1;
    if (! hasDigits)
        return 0.0;

    const char* numberEnd = fractionEnd;
    bool negativeExponent = false;

    if (*numberEnd == 'e' || *numberEnd == 'E')
    {
        const char* exponent = numberEnd + 1;
        negativeExponent = *exponent == '-';
        if (*exponent == '-' || *exponent == '+')
            ++exponent;

        if (isDecimalDigit (*exponent))
            numberEnd = skipDigits (exponent);
        else
            negativeExponent = false;
    }

    double magnitude = 0.0;
    const auto result = std::from_chars (numberStart, numberEnd, magnitude, std::chars_format::general);

    if (result.ec == std::errc::result_out_of_range)
        magnitude = negativeExponent ? 0.0 : HUGE_VAL;

    return negative ? -magnitude : magnitude;
}

//==============================================================================
void setValueAttribute (juce::XmlElement& element, const juce::String& name, double value)
{
    // JUCE matches attribute names with regard to case; use the name of an
    // attribute that matches without regard to it, so it is replaced in place.
    juce::String existingName = name;

    for (int i = 0; i < element.getNumAttributes(); ++i)
    {
        if (element.getAttributeName (i).equalsIgnoreCase (name))
        {
            existingName = element.getAttributeName (i);
            break;
        }
    }

    element.setAttribute (existingName, juce::String (formatValueText (value)));
}

double getValueAttribute (const juce::XmlElement& element, const juce::String& name, double defaultValue)
{
    for (int i = 0; i < element.getNumAttributes(); ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return parseValueText (element.getAttributeValue (i).toRawUTF8());

    return defaultValue;
}

bool hasNameIgnoringCase (const juce::XmlElement& element, const juce::String& name)
{
    return element.getTagName().equalsIgnoreCase (name);
}

//==============================================================================
void writeSettingsChunk (const juce::XmlElement& element, juce::MemoryBlock& destData)
{
    // JUCE's single-line form without a header is exactly the settings text:
    // no declaration, no line breaks, "/>" straight after the last quote, and
    // every character outside printable ASCII escaped.
    //
    // The settings are the element's attributes; it is written without the
    // children a chunk from elsewhere may have carried. That form keeps a null
    // line ending, which JUCE still writes for some children (an element
    // after text, with a long attribute list or children of its own).
    juce::XmlElement settings (element);
    settings.deleteAllChildElements();

    juce::MemoryOutputStream text;
    settings.writeTo (text, juce::XmlElement::TextFormat().singleLine().withoutHeader());

    const size_t n = text.getDataSize();
    destData.setSize (n + settingsChunkHeaderSize + 2);

    auto* bytes = static_cast<unsigned char*> (destData.getData());
    writeLittleEndian32 (bytes, settingsChunkMagic);
    writeLittleEndian32 (bytes + 4, (juce::uint32) n);
    std::memcpy (bytes + settingsChunkHeaderSize, text.getData(), n);
    bytes[settingsChunkHeaderSize + n] = 0;
    bytes[settingsChunkHeaderSize + n + 1] = 0; // the trailing byte has no meaning
}

std::unique_ptr<juce::XmlElement> readSettingsChunk (const void* data, size_t sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= settingsChunkHeaderSize)
        return {};

    const auto* bytes = static_cast<const unsigned char*> (data);
    if (readLittleEndian32 (bytes) != settingsChunkMagic)
        return {};

    const juce::uint32 storedLength = readLittleEndian32 (bytes + 4);
    if (storedLength == 0 || storedLength >= 0x80000000u)
        return {};

    const auto* text = bytes + settingsChunkHeaderSize;
    const size_t available = std::min ((size_t) storedLength, sizeInBytes - settingsChunkHeaderSize);
    const auto* terminator = static_cast<const unsigned char*> (std::memchr (text, 0, available));
    const size_t length = terminator != nullptr ? (size_t) (terminator - text) : available;

    if (! XmlTextChecker (text, length).isWellFormedDocument())
        return {};

    return juce::XmlDocument (latin1ToString (text, length)).getDocumentElement();
}

} // namespace tavrel
