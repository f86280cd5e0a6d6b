#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <initializer_list>
#include <memory>

namespace tavrel
{

// The building blocks both editors are made of: lamp buttons over a printed
// background, thumb-only sliders and white value labels, and the rules their
// radio groups and value texts follow.

// New children with the names the editors give every control of a kind.
std::unique_ptr<juce::TextButton> newButton();
std::unique_ptr<juce::Slider> newSlider();
std::unique_ptr<juce::Label> newLabel();

// A button that shows only its lamp picture and never toggles by itself: the
// editor sets every toggle state.
void configureLampButton (juce::TextButton& button, juce::Button::Listener& listener);

// A horizontal slider without a text box.
void configureLinearSlider (juce::Slider& slider, juce::Slider::Listener& listener);

// A read-only label in white, 11.7 px bold, centred vertically, left-aligned.
void configureValueLabel (juce::Label& label, const juce::String& initialText);

// Adds each component and makes it visible on top of the ones before it.
void addInOrder (juce::Component& parent, std::initializer_list<juce::Component*> children);

// Gives any drop-shadow effect of the children radius, opacity and offset 0,
// so that no control paints a shadow.
void removeChildShadows (juce::Component& parent);

// The editors' background: white, then the picture unscaled from the corner.
void paintBackground (juce::Graphics& g, const juce::Image& background, int width, int height);

// The lamp of a radio group that a click selects: the first lamp (bypass)
// always selects itself; any other selects itself unless it is already lit,
// when the group goes back to the first.
int modeAfterClick (int clickedMode, int selectedMode) noexcept;

// The "Mode" value that mirrors a group member: floor(mode * c * positions
// + 0.5) * c, with c the single-precision step 1/positions.
float modeSelectorValue (int mode, int positions, float step) noexcept;

// A number with at most nine significant digits and no trailing zeros: "12",
// "-7", "0", "1.33333337". Independent of the process's locale.
juce::String numberText (double value);

// "+12 ms", "0 ms", "-7 ms".
juce::String trimValueText (double milliseconds);

// "1/8 bar" for a division exponent of 3.
juce::String barFractionText (int exponent);

} // namespace tavrel

namespace tavrel
{

// The position of a button in a group, or -1 when it is not one of them.
template <typename Group>
int positionIn (const Group& group, const juce::Button* button) noexcept
{
    for (size_t position = 0; position < group.size(); ++position)
        if (group[position] == button)
            return (int) position;

    return -1;
}

// Deletes owned children in the order given.
template <typename... Children>
void deleteInOrder (Children&... children)
{
    (children.reset(), ...);
}

} // namespace tavrel
