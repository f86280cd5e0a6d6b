#include "TavrelLookAndFeel.h"

#include "ToolkitPictures.h"

#include <cmath>

namespace tavrel
{

namespace
{
    TavrelLookAndFeel* instance = nullptr;

    juce::Image cachedPicture (const unsigned char* data, int size)
    {
        return juce::ImageCache::getFromMemory (data, size);
    }
}

TavrelLookAndFeel* TavrelLookAndFeel::getInstance()
{
    if (instance == nullptr)
        instance = new TavrelLookAndFeel();

    return instance;
}

TavrelLookAndFeel::TavrelLookAndFeel()
    : thumbImage (cachedPicture (pictures::sliderThumbPng, pictures::sliderThumbPngSize)),
      trackImage (cachedPicture (pictures::sliderTrackPng, pictures::sliderTrackPngSize)),
      toggleOnImage (cachedPicture (pictures::lampOnPng, pictures::lampOnPngSize)),
      toggleOffImage (cachedPicture (pictures::lampOffPng, pictures::lampOffPngSize)),
      buttonOnImage (cachedPicture (pictures::lampOnPng, pictures::lampOnPngSize)),
      buttonOffImage (cachedPicture (pictures::lampOffPng, pictures::lampOffPngSize))
{
    // The standard look and feel hands sliders and scroll bars no shadow
    // effect, so there is none to make invisible here.
}

TavrelLookAndFeel::~TavrelLookAndFeel()
{
    // The framework deletes the instance when it shuts down, but a library
    // that stays loaded may start the framework again for its next effect:
    // that one must get a new instance, not this deleted one.
    if (instance == this)
        instance = nullptr;
}

void TavrelLookAndFeel::drawWhole (juce::Graphics& g, const juce::Image& image, int x, int y)
{
    g.drawImage (image, x, y, image.getWidth(), image.getHeight(), 0, 0, image.getWidth(), image.getHeight(),
                 false);
}

void TavrelLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                              bool, bool)
{
    drawWhole (g, button.getToggleState() ? buttonOnImage : buttonOffImage, 0, 0);
}

void TavrelLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool, bool)
{
    drawWhole (g, button.getToggleState() ? toggleOnImage : toggleOffImage, 0, 0);
}

int TavrelLookAndFeel::thumbLeftEdge (float sliderPos, float minSliderPos, float maxSliderPos, int thumbWidth,
                                      int trackWidth) noexcept
{
    const double centre = std::floor ((double) sliderPos + ((double) maxSliderPos - (double) minSliderPos) + 0.5);
    int left = (int) centre - thumbWidth / 2;

    if (left <= 0)
        left = 0;
    if (left >= trackWidth - thumbWidth)
        left = trackWidth - thumbWidth;

    return left;
}

int TavrelLookAndFeel::thumbTopEdge (int y, int height, int thumbHeight) noexcept
{
    return y + height / 2 - thumbHeight / 2;
}

void TavrelLookAndFeel::drawLinearSlider (juce::Graphics& g, int, int y, int, int height, float sliderPos,
                                          float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                                          juce::Slider&)
{
    const int left = thumbLeftEdge (sliderPos, minSliderPos, maxSliderPos, thumbImage.getWidth(),
                                    trackImage.getWidth());
    drawWhole (g, thumbImage, left, thumbTopEdge (y, height, thumbImage.getHeight()));
}

void TavrelLookAndFeel::drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int, int)
{
}

} // namespace tavrel
