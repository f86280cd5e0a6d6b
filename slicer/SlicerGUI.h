#pragma once

#include "AudioFilterEditor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

namespace tavrel
{

class SlicerFilter;

// The slicer's window: 14 mode lamps, Hold and Reverse, three sliders and
// their value labels over a printed background. It keeps no state of its own
// beyond what the lamps show: every change of the processor's parameters,
// whoever made it, refreshes all of it, and it writes only through the
// host-notifying write.
class SlicerGUI : public AudioFilterEditor,
                  public juce::ChangeListener,
                  public juce::Button::Listener,
                  public juce::Slider::Listener
{
public:
    static constexpr int width = 350;
    static constexpr int height = 615;

    explicit SlicerGUI (SlicerFilter& owner);
    ~SlicerGUI() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button* button) override;
    void sliderValueChanged (juce::Slider* slider) override;

    // For the tests: the lamp that selects a mode, and the other controls.
    juce::TextButton& modeButton (int mode) const { return *modeButtons[(size_t) mode]; }
    juce::TextButton& hold() const               { return *holdButton; }
    juce::TextButton& reverse() const            { return *reverseButton; }
    juce::Slider& sliceSize() const              { return *sliceSizeSlider; }
    juce::Slider& trim() const                   { return *trimSlider; }
    juce::Slider& bufferSize() const             { return *bufferSizeSlider; }
    juce::Label& sliceSizeText() const           { return *sliceSizeLabel; }
    juce::Label& trimText() const                { return *trimLabel; }
    juce::Label& bufferSizeText() const          { return *bufferSizeLabel; }
    int getSelectedMode() const noexcept         { return selectedMode; }

private:
    void createChildren();
    void updateFromProcessor();
    void sendModeSelection();
    void toggleOption (juce::TextButton& button, bool& state, int parameterIndex);

    SlicerFilter& processor;

    int selectedMode = 0; // 0..13, or 14 while "Mode" is at its top position
    bool holdOn = false;
    bool reverseOn = false;

    // In creation order, which is also the order they are deleted in.
    std::unique_ptr<juce::TextButton> forwardButton, backwardsButton, skip2ndButton, skip3rdButton, skip4thButton,
        skip5thButton, play3rdButton, play4thButton, play5thButton, play6thButton, order1243Button,
        order2134Button, order1233Button;
    std::unique_ptr<juce::Slider> sliceSizeSlider;
    std::unique_ptr<juce::Label> sliceSizeLabel;
    std::unique_ptr<juce::Slider> trimSlider;
    std::unique_ptr<juce::Label> trimLabel;
    std::unique_ptr<juce::TextButton> randomButton;
    std::unique_ptr<juce::Slider> bufferSizeSlider;
    std::unique_ptr<juce::Label> bufferSizeLabel;
    std::unique_ptr<juce::TextButton> holdButton, reverseButton;

    std::array<juce::TextButton*, 14> modeButtons {}; // by mode number
    juce::Image backgroundImage;

    JUCE_DECLARE_NON_COPYABLE (SlicerGUI)
};

} // namespace tavrel
