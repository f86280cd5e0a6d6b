#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tavrel
{

// How both editors draw their controls: a button is one of two lamp pictures,
// chosen by its toggle state alone; a linear slider is its thumb picture, the
// groove being printed on the editor's background; tab bars draw no shadow.
// Everything else is the framework's standard drawing.
//
// One instance per loaded library, made by the first editor and deleted with
// the framework's other singletons when the framework shuts down.
class TavrelLookAndFeel : public juce::LookAndFeel_V4,
                          public juce::DeletedAtShutdown
{
public:
    // Message thread only.
    static TavrelLookAndFeel* getInstance();

    ~TavrelLookAndFeel() override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool isMouseOverButton, bool isButtonDown) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool isMouseOverButton,
                           bool isButtonDown) override;
    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                           float minSliderPos, float maxSliderPos, juce::Slider::SliderStyle,
                           juce::Slider&) override;
    void drawTabAreaBehindFrontButton (juce::TabbedButtonBar&, juce::Graphics&, int w, int h) override;

    // Where the thumb's left edge goes for a slider position: the position
    // rounded half up, less half the thumb, kept on the printed groove.
    static int thumbLeftEdge (float sliderPos, float minSliderPos, float maxSliderPos, int thumbWidth,
                              int trackWidth) noexcept;

    // Its top edge: centred on the slider, in whole pixels.
    static int thumbTopEdge (int y, int height, int thumbHeight) noexcept;

private:
    TavrelLookAndFeel();

    static void drawWhole (juce::Graphics&, const juce::Image&, int x, int y);

    // From the framework's image cache, which keys them by their embedded
    // data: the toggle and button pictures are the same decoded images.
    juce::Image thumbImage, trackImage;
    juce::Image toggleOnImage, toggleOffImage;
    juce::Image buttonOnImage, buttonOffImage;

    JUCE_DECLARE_NON_COPYABLE (TavrelLookAndFeel)
};

} // namespace tavrel
