#include "EditorControls.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace tavrel
{

std::unique_ptr<juce::TextButton> newButton() { return std::make_unique<juce::TextButton> ("new button"); }
std::unique_ptr<juce::Slider> newSlider()     { return std::make_unique<juce::Slider> ("new slider"); }
std::unique_ptr<juce::Label> newLabel()       { return std::make_unique<juce::Label> ("new label"); }

void configureLampButton (juce::TextButton& button, juce::Button::Listener& listener)
{
    button.setTooltip ({});
    button.setButtonText ({});
    button.setClickingTogglesState (false);
    button.addListener (&listener);
}

void configureLinearSlider (juce::Slider& slider, juce::Slider::Listener& listener)
{
    slider.setSliderStyle (juce::Slider::LinearHorizontal);
    slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
    slider.addListener (&listener);
}

void configureValueLabel (juce::Label& label, const juce::String& initialText)
{
    label.setText (initialText, juce::dontSendNotification);
    label.setFont (juce::Font (11.7f, juce::Font::bold));
    label.setJustificationType (juce::Justification::centredLeft);
    label.setEditable (false, false, false);
    label.setColour (juce::Label::textColourId, juce::Colour (0xffffffff));
    label.setColour (juce::TextEditor::textColourId, juce::Colour (0xff000000));
    label.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
}

void addInOrder (juce::Component& parent, std::initializer_list<juce::Component*> children)
{
    for (auto* child : children)
        parent.addAndMakeVisible (child);
}

void removeChildShadows (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
        if (auto* shadow = dynamic_cast<juce::DropShadowEffect*> (child->getComponentEffect()))
            shadow->setShadowProperties (juce::DropShadow (juce::Colours::transparentBlack, 0, {}));
}

void paintBackground (juce::Graphics& g, const juce::Image& background, int width, int height)
{
    g.fillAll (juce::Colours::white);
    g.setColour (juce::Colours::black);
    g.drawImage (background, 0, 0, width, height, 0, 0, background.getWidth(), background.getHeight(), false);
}

int modeAfterClick (int clickedMode, int selectedMode) noexcept
{
    return clickedMode == 0 || clickedMode == selectedMode ? 0 : clickedMode;
}

float modeSelectorValue (int mode, int positions, float step) noexcept
{
    return (float) (std::floor ((double) mode * step * positions + 0.5) * step);
}

juce::String numberText (double value)
{
    std::ostringstream text;
    text.imbue (std::locale::classic());
    text.precision (9);
    text << value;
    return juce::String (text.str());
}

juce::String trimValueText (double milliseconds)
{
    return (milliseconds > 0.0 ? "+" : "") + numberText (milliseconds) + " ms";
}

juce::String barFractionText (int exponent)
{
    return "1/" + juce::String ((int) std::floor (std::pow (2.0, exponent))) + " bar";
}

} // namespace tavrel
