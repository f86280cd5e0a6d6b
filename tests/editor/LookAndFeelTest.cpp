// The pictures both editors are drawn from, and the look and feel that draws
// buttons and sliders with them.
#include "LooperPictures.h"
#include "SlicerPictures.h"
#include "TavrelLookAndFeel.h"
#include "ToolkitPictures.h"

#include <gtest/gtest.h>

using namespace tavrel;

namespace
{

struct EmbeddedPicture
{
    const char* name;
    const unsigned char* data;
    int size;
    int width, height;
    int colourType; // PNG: 3 palette, 4 grey with alpha
};

const EmbeddedPicture embeddedPictures[] = {
    { "sliderThumbPng", pictures::sliderThumbPng, pictures::sliderThumbPngSize, 28, 13, 3 },
    { "sliderTrackPng", pictures::sliderTrackPng, pictures::sliderTrackPngSize, 197, 7, 4 },
    { "lampOnPng", pictures::lampOnPng, pictures::lampOnPngSize, 56, 29, 4 },
    { "lampOffPng", pictures::lampOffPng, pictures::lampOffPngSize, 56, 29, 4 },
    { "slicerBackgroundPng", pictures::slicerBackgroundPng, pictures::slicerBackgroundPngSize, 350, 615, 4 },
    { "looperBackgroundPng", pictures::looperBackgroundPng, pictures::looperBackgroundPngSize, 350, 615, 4 },
};

juce::uint32 bigEndian32 (const unsigned char* p)
{
    return ((juce::uint32) p[0] << 24) | ((juce::uint32) p[1] << 16) | ((juce::uint32) p[2] << 8) | p[3];
}

// Whether a palette picture carries transparency.
bool hasTransparencyChunk (const unsigned char* data, int size)
{
    for (int offset = 8; offset + 8 <= size;)
    {
        const auto length = (int) bigEndian32 (data + offset);
        if (std::memcmp (data + offset + 4, "tRNS", 4) == 0)
            return true;
        offset += length + 12;
    }
    return false;
}

juce::Image decoded (const unsigned char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

TEST (EmbeddedPictures, HaveTheirSizesAndPixelFormatsAndDecode)
{
    for (const auto& picture : embeddedPictures)
    {
        SCOPED_TRACE (picture.name);
        ASSERT_GT (picture.size, 33);
        EXPECT_EQ (std::memcmp (picture.data, "\x89PNG\r\n\x1a\n", 8), 0);
        EXPECT_EQ (std::memcmp (picture.data + 12, "IHDR", 4), 0);
        EXPECT_EQ ((int) bigEndian32 (picture.data + 16), picture.width);
        EXPECT_EQ ((int) bigEndian32 (picture.data + 20), picture.height);
        EXPECT_EQ (picture.data[24], 8) << "bit depth";
        EXPECT_EQ (picture.data[25], picture.colourType);

        const auto image = decoded (picture.data, picture.size);
        EXPECT_EQ (image.getWidth(), picture.width);
        EXPECT_EQ (image.getHeight(), picture.height);
    }

    EXPECT_FALSE (hasTransparencyChunk (pictures::sliderThumbPng, pictures::sliderThumbPngSize)) << "opaque thumb";
}

TEST (EmbeddedPictures, LitAndDarkLampsDiffer)
{
    const auto lit = decoded (pictures::lampOnPng, pictures::lampOnPngSize);
    const auto dark = decoded (pictures::lampOffPng, pictures::lampOffPngSize);
    int differing = 0;

    for (int y = 0; y < lit.getHeight(); ++y)
        for (int x = 0; x < lit.getWidth(); ++x)
            differing += lit.getPixelAt (x, y) != dark.getPixelAt (x, y) ? 1 : 0;

    EXPECT_GT (differing, 20);
}

//==============================================================================
class LookAndFeelDrawing : public ::testing::Test
{
protected:
    void SetUp() override { juce::LookAndFeel::setDefaultLookAndFeel (TavrelLookAndFeel::getInstance()); }
    void TearDown() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

    static juce::Image render (juce::Component& component)
    {
        juce::Image image (juce::Image::ARGB, component.getWidth(), component.getHeight(), true);
        juce::Graphics g (image);
        component.paintEntireComponent (g, true);
        return image;
    }

    // Whether `picture` sits unscaled at (left, top) of `image`, and nothing
    // else was drawn.
    static ::testing::AssertionResult showsOnly (const juce::Image& image, const juce::Image& picture, int left,
                                                 int top)
    {
        for (int y = 0; y < image.getHeight(); ++y)
        {
            for (int x = 0; x < image.getWidth(); ++x)
            {
                const bool inside = x >= left && y >= top && x < left + picture.getWidth()
                                    && y < top + picture.getHeight();
                const auto expected = inside ? picture.getPixelAt (x - left, y - top) : juce::Colour();

                if (image.getPixelAt (x, y).getARGB() != expected.getARGB())
                    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                                         << image.getPixelAt (x, y).toString() << ", not "
                                                         << expected.toString();
            }
        }
        return ::testing::AssertionSuccess();
    }

    const juce::Image lampOn = decoded (pictures::lampOnPng, pictures::lampOnPngSize);
    const juce::Image lampOff = decoded (pictures::lampOffPng, pictures::lampOffPngSize);
    const juce::Image thumb = decoded (pictures::sliderThumbPng, pictures::sliderThumbPngSize);
};

TEST_F (LookAndFeelDrawing, OneInstancePerLibrary)
{
    EXPECT_EQ (TavrelLookAndFeel::getInstance(), TavrelLookAndFeel::getInstance());
}

TEST_F (LookAndFeelDrawing, AButtonIsItsLampByToggleStateAlone)
{
    juce::TextButton button ("new button");
    button.setButtonText ({});
    button.setSize (65, 34);

    for (const bool on : { false, true })
    {
        for (const auto state : { juce::Button::buttonNormal, juce::Button::buttonOver, juce::Button::buttonDown })
        {
            button.setToggleState (on, juce::dontSendNotification);
            button.setState (state);
            EXPECT_TRUE (showsOnly (render (button), on ? lampOn : lampOff, 0, 0)) << on << " " << (int) state;
        }
    }
}

TEST_F (LookAndFeelDrawing, AToggleButtonIsItsLampToo)
{
    juce::ToggleButton button;
    button.setSize (56, 29);
    button.setToggleState (true, juce::dontSendNotification);
    EXPECT_TRUE (showsOnly (render (button), lampOn, 0, 0));
}

TEST_F (LookAndFeelDrawing, ThumbEdgeIsThePositionRoundedAndKeptOnTheGroove)
{
    struct Case { float position, minimum, maximum; int left; };
    const Case cases[] = {
        { 0.0f, 0.0f, 0.0f, 0 },
        { 14.4f, 14.4f, 14.4f, 0 },   // rounds to 14: the edge would be 0
        { 28.5f, 28.5f, 28.5f, 15 },  // halves round up
        { 100.5f, 100.5f, 100.5f, 87 },
        { 182.4f, 182.4f, 182.4f, 168 },
        { 183.0f, 183.0f, 183.0f, 169 },
        { 500.0f, 500.0f, 500.0f, 169 },
        { -30.0f, -30.0f, -30.0f, 0 },
        { 50.0f, 10.0f, 20.0f, 46 },  // the two-value span is added to the position
    };

    for (const auto& c : cases)
        EXPECT_EQ (TavrelLookAndFeel::thumbLeftEdge (c.position, c.minimum, c.maximum, 28, 197), c.left)
            << c.position;

    EXPECT_EQ (TavrelLookAndFeel::thumbTopEdge (0, 13, 13), 0);
    EXPECT_EQ (TavrelLookAndFeel::thumbTopEdge (0, 20, 13), 4);
}

TEST_F (LookAndFeelDrawing, ASliderIsItsThumbAloneWithNoGrooveOrShadow)
{
    juce::Slider slider ("new slider");
    slider.setSliderStyle (juce::Slider::LinearHorizontal);
    slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    slider.setRange (0.0, 4.0, 1.0);
    slider.setSize (197, 13);

    // The framework maps values onto the slider inside a thumb radius of 6.
    struct Case { double value; int left; };
    for (const auto& c : { Case { 0.0, 0 }, Case { 2.0, 85 }, Case { 3.0, 131 }, Case { 4.0, 169 } })
    {
        slider.setValue (c.value, juce::dontSendNotification);
        EXPECT_TRUE (showsOnly (render (slider), thumb, c.left, 0)) << c.value;
    }
}

} // namespace
