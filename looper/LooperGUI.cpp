#include "LooperGUI.h"

#include "EditorControls.h"
#include "LooperFilter.h"
#include "LooperPictures.h"
#include "TavrelLookAndFeel.h"

#include <cmath>

namespace tavrel
{

namespace
{
    constexpr int modeRadioGroup = 1;
    constexpr double sliceSizeMaximum = LooperParameters::table[LooperParameters::sliceSizeIndex].steps;
    constexpr double trimMinimum = -50.0;
    constexpr double sizeModMinimum = -100.0;

    juce::String percentText (double value) { return numberText (value) + " %"; }
}

LooperGUI::LooperGUI (LooperFilter& owner)
    : AudioFilterEditor (owner),
      processor (owner)
{
    createChildren();

    backgroundImage = juce::ImageCache::getFromMemory (pictures::looperBackgroundPng,
                                                       pictures::looperBackgroundPngSize);
    setSize (width, height);

    selectedMode = 0;
    processor.addChangeListener (this);

    setRanges();
    // Delivered once the window is open: it writes back the slice "Size"
    // that the refresh below shows, which tells the host the current value.
    sliceSizeSlider->setValue (2.0, juce::sendNotificationAsync);

    juce::LookAndFeel::setDefaultLookAndFeel (TavrelLookAndFeel::getInstance());

    for (auto* button : modeButtons)
        button->setRadioGroupId (modeRadioGroup, juce::dontSendNotification);

    removeChildShadows (*this);
    updateFromProcessor();
}

LooperGUI::~LooperGUI()
{
    processor.removeChangeListener (this);

    deleteInOrder (bypassButton, loopButton, alternatingButton, sliceSizeSlider, sliceSizeLabel, trimSlider,
                   trimLabel, startSlider, loopSizeSlider, sizeModSlider, startLabel, loopSizeLabel, sizeModLabel);
    backgroundImage = {};
}

void LooperGUI::createChildren()
{
    bypassButton = newButton();
    loopButton = newButton();
    alternatingButton = newButton();
    sliceSizeSlider = newSlider();
    sliceSizeLabel = newLabel();
    trimSlider = newSlider();
    trimLabel = newLabel();
    startSlider = newSlider();
    loopSizeSlider = newSlider();
    sizeModSlider = newSlider();
    startLabel = newLabel();
    loopSizeLabel = newLabel();
    sizeModLabel = newLabel();

    addInOrder (*this, { bypassButton.get(), loopButton.get(), alternatingButton.get(), sliceSizeSlider.get(),
                         sliceSizeLabel.get(), trimSlider.get(), trimLabel.get(), startSlider.get(),
                         loopSizeSlider.get(), sizeModSlider.get(), startLabel.get(), loopSizeLabel.get(),
                         sizeModLabel.get() });

    modeButtons = { bypassButton.get(), loopButton.get(), alternatingButton.get() };
    for (auto* button : modeButtons)
        configureLampButton (*button, *this);

    for (auto* slider : { sliceSizeSlider.get(), trimSlider.get(), startSlider.get(), loopSizeSlider.get(),
                          sizeModSlider.get() })
        configureLinearSlider (*slider, *this);

    configureValueLabel (*sliceSizeLabel, "1/4 bar");
    configureValueLabel (*trimLabel, "0 ms");
    configureValueLabel (*startLabel, "0%");
    configureValueLabel (*loopSizeLabel, "50%");
    configureValueLabel (*sizeModLabel, "0%");
}

void LooperGUI::setRanges()
{
    trimSlider->setRange (-50.0, 50.0, 1.0);
    sliceSizeSlider->setRange (0.0, sliceSizeMaximum, 1.0);
    startSlider->setRange (0.0, 100.0, 1.0);
    loopSizeSlider->setRange (0.0, 100.0, 1.0);
    sizeModSlider->setRange (-100.0, 100.0, 1.0);
}

void LooperGUI::paint (juce::Graphics& g)
{
    paintBackground (g, backgroundImage, width, height);
}

void LooperGUI::resized()
{
    bypassButton->setBounds (23, 431, 65, 34);
    loopButton->setBounds (86, 431, 65, 34);
    alternatingButton->setBounds (151, 431, 65, 34);
    sliceSizeSlider->setBounds (23, 560, 197, 13);
    sliceSizeLabel->setBounds (283, 555, 72, 24);
    trimSlider->setBounds (23, 581, 197, 13);
    trimLabel->setBounds (256, 576, 73, 24);
    startSlider->setBounds (23, 496, 197, 13);
    loopSizeSlider->setBounds (23, 517, 197, 13);
    sizeModSlider->setBounds (23, 538, 197, 13);
    startLabel->setBounds (286, 491, 51, 24);
    loopSizeLabel->setBounds (284, 513, 53, 24);
    sizeModLabel->setBounds (280, 533, 56, 24);
}

void LooperGUI::changeListenerCallback (juce::ChangeBroadcaster*)
{
    updateFromProcessor();
}

void LooperGUI::buttonClicked (juce::Button* button)
{
    const int member = positionIn (modeButtons, button);
    if (member < 0)
        return;

    selectedMode = modeAfterClick (member, selectedMode);
    modeButtons[(size_t) selectedMode]->setToggleState (true, juce::dontSendNotification);
    sendModeSelection();
}

void LooperGUI::sendModeSelection()
{
    processor.setParameterNotifyingHost (selectedMode, 1.0f);
    processor.setParameterNotifyingHost (LooperParameters::modeIndex,
                                         modeSelectorValue (selectedMode, LooperParameters::buttonCount, oneThird));
}

void LooperGUI::sliderValueChanged (juce::Slider* slider)
{
    const double v = slider->getValue();
    int index = -1;
    double value = 0.0;

    if (slider == sliceSizeSlider.get())     { index = LooperParameters::sliceSizeIndex;  value = v / sliceSizeMaximum; }
    else if (slider == trimSlider.get())     { index = LooperParameters::trimIndex;       value = (v - trimMinimum) * 0.01; }
    else if (slider == startSlider.get())    { index = LooperParameters::startIndex;      value = v * 0.01; }
    else if (slider == loopSizeSlider.get()) { index = LooperParameters::loopSizeIndex;   value = v * 0.01; }
    else if (slider == sizeModSlider.get())  { index = LooperParameters::modulationIndex; value = (v - sizeModMinimum) * 0.005; }

    if (index >= 0)
        processor.setParameterNotifyingHost (index, (float) value);
}

void LooperGUI::updateFromProcessor()
{
    std::array<float, LooperParameters::count> p {};

    {
        // The reads never overlap a block.
        const juce::ScopedLock processingLock (processor.getCallbackLock());

        for (int i = 0; i < LooperParameters::count; ++i)
            p[(size_t) i] = processor.getParameter (i);

        selectedMode = (int) std::floor ((double) p[LooperParameters::modeIndex] * LooperParameters::buttonCount);

        // The top position of "Mode" plays as Alternating but shows the
        // Bypass lamp.
        if (selectedMode >= 0 && selectedMode <= LooperParameters::topModePosition)
            modeButtons[selectedMode == 1 || selectedMode == 2 ? (size_t) selectedMode : 0]->setToggleState (
                true, juce::dontSendNotification);
    }

    trimSlider->setValue (p[LooperParameters::trimIndex] * 100.0 - 50.0, juce::dontSendNotification);
    sliceSizeSlider->setValue (p[LooperParameters::sliceSizeIndex] * sliceSizeMaximum, juce::dontSendNotification);

    sliceSizeLabel->setText (barFractionText ((int) std::floor (sliceSizeSlider->getValue() + 0.5)),
                             juce::dontSendNotification);
    trimLabel->setText (trimValueText (trimSlider->getValue()), juce::dontSendNotification);

    startSlider->setValue (p[LooperParameters::startIndex] * 100.0, juce::dontSendNotification);
    loopSizeSlider->setValue (p[LooperParameters::loopSizeIndex] * 100.0, juce::dontSendNotification);
    sizeModSlider->setValue (p[LooperParameters::modulationIndex] * 200.0 - 100.0, juce::dontSendNotification);

    startLabel->setText (percentText (startSlider->getValue()), juce::dontSendNotification);
    loopSizeLabel->setText (percentText (loopSizeSlider->getValue()), juce::dontSendNotification);

    const double modulation = sizeModSlider->getValue();
    if (std::abs (p[LooperParameters::modulationIndex] - 0.5f) < modulationDeadZone)
        sizeModLabel->setText ("Off", juce::dontSendNotification);
    else
        sizeModLabel->setText ((modulation < 0.0 ? "" : "+") + percentText (modulation), juce::dontSendNotification);
}

} // namespace tavrel
