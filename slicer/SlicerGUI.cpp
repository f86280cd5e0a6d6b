#include "SlicerGUI.h"

#include "EditorControls.h"
#include "SlicerFilter.h"
#include "SlicerPictures.h"
#include "TavrelLookAndFeel.h"

#include <cmath>

namespace tavrel
{

namespace
{
    constexpr int modeRadioGroup = 1;
    // The sliders show the positions of "Size" (0..4) and "BufLen" in bars (1..4).
    constexpr double sliceSizeMaximum = SlicerParameters::table[SlicerParameters::sizeIndex].steps;
    constexpr double bufferSizeMaximum = SlicerParameters::table[SlicerParameters::bufLenIndex].steps + 1;
    constexpr double trimMinimum = -50.0;
}

SlicerGUI::SlicerGUI (SlicerFilter& owner)
    : AudioFilterEditor (owner),
      processor (owner)
{
    createChildren();

    backgroundImage = juce::ImageCache::getFromMemory (pictures::slicerBackgroundPng,
                                                       pictures::slicerBackgroundPngSize);
    setSize (width, height);

    selectedMode = 0;
    processor.addChangeListener (this);
    holdOn = false;

    trimSlider->setRange (-50.0, 50.0, 1.0);
    sliceSizeSlider->setRange (0.0, sliceSizeMaximum, 1.0);
    bufferSizeSlider->setRange (1.0, bufferSizeMaximum, 1.0);
    // Delivered once the window is open: it writes back the "Size" that the
    // refresh below shows, which tells the host the current value.
    sliceSizeSlider->setValue (2.0, juce::sendNotificationAsync);

    juce::LookAndFeel::setDefaultLookAndFeel (TavrelLookAndFeel::getInstance());
    removeChildShadows (*this);

    for (auto* button : modeButtons)
        button->setRadioGroupId (modeRadioGroup, juce::dontSendNotification);

    updateFromProcessor();
}

SlicerGUI::~SlicerGUI()
{
    processor.removeChangeListener (this);

    deleteInOrder (forwardButton, backwardsButton, skip2ndButton, skip3rdButton, skip4thButton, skip5thButton,
                   play3rdButton, play4thButton, play5thButton, play6thButton, order1243Button, order2134Button,
                   order1233Button, sliceSizeSlider, sliceSizeLabel, trimSlider, trimLabel, randomButton,
                   bufferSizeSlider, bufferSizeLabel, holdButton, reverseButton);
    backgroundImage = {};
}

void SlicerGUI::createChildren()
{
    forwardButton = newButton();
    backwardsButton = newButton();
    skip2ndButton = newButton();
    skip3rdButton = newButton();
    skip4thButton = newButton();
    skip5thButton = newButton();
    play3rdButton = newButton();
    play4thButton = newButton();
    play5thButton = newButton();
    play6thButton = newButton();
    order1243Button = newButton();
    order2134Button = newButton();
    order1233Button = newButton();
    sliceSizeSlider = newSlider();
    sliceSizeLabel = newLabel();
    trimSlider = newSlider();
    trimLabel = newLabel();
    randomButton = newButton();
    bufferSizeSlider = newSlider();
    bufferSizeLabel = newLabel();
    holdButton = newButton();
    reverseButton = newButton();

    addInOrder (*this, { forwardButton.get(), backwardsButton.get(), skip2ndButton.get(), skip3rdButton.get(),
                         skip4thButton.get(), skip5thButton.get(), play3rdButton.get(), play4thButton.get(),
                         play5thButton.get(), play6thButton.get(), order1243Button.get(), order2134Button.get(),
                         order1233Button.get(), sliceSizeSlider.get(), sliceSizeLabel.get(), trimSlider.get(),
                         trimLabel.get(), randomButton.get(), bufferSizeSlider.get(), bufferSizeLabel.get(),
                         holdButton.get(), reverseButton.get() });

    // The mode each lamp selects; the slice-order lamps follow the orders
    // the modes play, so "1233" is mode 12 and "2134" mode 13.
    modeButtons = { forwardButton.get(),   backwardsButton.get(), randomButton.get(),    skip2ndButton.get(),
                    skip3rdButton.get(),   skip4thButton.get(),   skip5thButton.get(),   play3rdButton.get(),
                    play4thButton.get(),   play5thButton.get(),   play6thButton.get(),   order1243Button.get(),
                    order1233Button.get(), order2134Button.get() };

    for (auto* button : modeButtons)
        configureLampButton (*button, *this);
    configureLampButton (*holdButton, *this);
    configureLampButton (*reverseButton, *this);

    for (auto* slider : { sliceSizeSlider.get(), trimSlider.get(), bufferSizeSlider.get() })
        configureLinearSlider (*slider, *this);

    configureValueLabel (*sliceSizeLabel, "1/4 bar");
    configureValueLabel (*trimLabel, "0 ms");
    configureValueLabel (*bufferSizeLabel, "1 bar");
}

void SlicerGUI::paint (juce::Graphics& g)
{
    paintBackground (g, backgroundImage, width, height);
}

void SlicerGUI::resized()
{
    forwardButton->setBounds (99, 24, 65, 34);
    backwardsButton->setBounds (99, 85, 65, 34);
    skip2ndButton->setBounds (24, 272, 65, 34);
    skip3rdButton->setBounds (24, 333, 65, 34);
    skip4thButton->setBounds (24, 392, 65, 34);
    skip5thButton->setBounds (24, 451, 65, 34);
    play3rdButton->setBounds (24, 24, 65, 34);
    play4thButton->setBounds (24, 85, 65, 34);
    play5thButton->setBounds (24, 144, 65, 34);
    play6thButton->setBounds (24, 202, 65, 34);
    order1243Button->setBounds (99, 203, 65, 34);
    order2134Button->setBounds (99, 324, 65, 34);
    order1233Button->setBounds (99, 265, 65, 34);
    sliceSizeSlider->setBounds (23, 560, 197, 13);
    sliceSizeLabel->setBounds (284, 555, 72, 24);
    trimSlider->setBounds (23, 582, 197, 13);
    trimLabel->setBounds (257, 576, 64, 24);
    randomButton->setBounds (99, 143, 65, 34);
    bufferSizeSlider->setBounds (23, 538, 197, 13);
    bufferSizeLabel->setBounds (295, 533, 40, 24);
    holdButton->setBounds (222, 23, 65, 34);
    reverseButton->setBounds (222, 94, 65, 34);
}

void SlicerGUI::changeListenerCallback (juce::ChangeBroadcaster*)
{
    updateFromProcessor();
}

void SlicerGUI::buttonClicked (juce::Button* button)
{
    if (button == holdButton.get())
        return toggleOption (*holdButton, holdOn, SlicerParameters::holdIndex);

    if (button == reverseButton.get())
        return toggleOption (*reverseButton, reverseOn, SlicerParameters::reverseIndex);

    const int mode = positionIn (modeButtons, button);
    if (mode < 0)
        return;

    selectedMode = modeAfterClick (mode, selectedMode);
    modeButtons[(size_t) selectedMode]->setToggleState (true, juce::dontSendNotification);
    sendModeSelection();
}

void SlicerGUI::toggleOption (juce::TextButton& button, bool& state, int parameterIndex)
{
    state = ! state;
    button.setToggleState (state, juce::dontSendNotification);
    processor.setParameterNotifyingHost (parameterIndex, state ? 1.0f : 0.0f);
}

void SlicerGUI::sendModeSelection()
{
    processor.setParameterNotifyingHost (selectedMode, 1.0f);
    processor.setParameterNotifyingHost (SlicerParameters::modeIndex,
                                         modeSelectorValue (selectedMode, SlicerParameters::toggleCount,
                                                            oneFourteenth));
}

void SlicerGUI::sliderValueChanged (juce::Slider* slider)
{
    const double v = slider->getValue();

    if (slider == sliceSizeSlider.get())
        processor.setParameterNotifyingHost (SlicerParameters::sizeIndex, (float) (v / sliceSizeMaximum));
    else if (slider == trimSlider.get())
        processor.setParameterNotifyingHost (SlicerParameters::trimIndex, (float) ((v - trimMinimum) * 0.01));
    else if (slider == bufferSizeSlider.get())
        processor.setParameterNotifyingHost (SlicerParameters::bufLenIndex,
                                             (float) ((v - 1.0) / (bufferSizeMaximum - 1.0)));
}

void SlicerGUI::updateFromProcessor()
{
    std::array<float, SlicerParameters::count> p {};

    {
        // The reads never overlap a block.
        const juce::ScopedLock processingLock (processor.getCallbackLock());

        for (int i = 0; i < SlicerParameters::count; ++i)
            p[(size_t) i] = processor.getParameter (i);

        selectedMode = (int) std::floor ((double) p[SlicerParameters::modeIndex] * SlicerParameters::toggleCount);

        // At the top position the lamps keep showing the last mode chosen.
        if (selectedMode >= 0 && selectedMode < SlicerParameters::toggleCount)
            modeButtons[(size_t) selectedMode]->setToggleState (true, juce::dontSendNotification);
    }

    holdOn = p[SlicerParameters::holdIndex] > 0.5f;
    reverseOn = p[SlicerParameters::reverseIndex] > 0.5f;
    holdButton->setToggleState (holdOn, juce::dontSendNotification);
    reverseButton->setToggleState (reverseOn, juce::dontSendNotification);

    trimSlider->setValue (p[SlicerParameters::trimIndex] * 100.0 - 50.0, juce::dontSendNotification);
    sliceSizeSlider->setValue (p[SlicerParameters::sizeIndex] * sliceSizeMaximum, juce::dontSendNotification);

    sliceSizeLabel->setText (barFractionText ((int) std::floor (sliceSizeSlider->getValue() + 0.5) + 1),
                             juce::dontSendNotification);
    trimLabel->setText (trimValueText (trimSlider->getValue()), juce::dontSendNotification);

    const float bars = p[SlicerParameters::bufLenIndex] * (float) (bufferSizeMaximum - 1.0) + 1.0f;
    bufferSizeSlider->setValue (bars, juce::dontSendNotification);
    bufferSizeLabel->setText (numberText (bars) + " bars", juce::dontSendNotification);
}

} // namespace tavrel
