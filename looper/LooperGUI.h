#pragma once

#include "AudioFilterEditor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

namespace tavrel
{

class LooperFilter;

// The looper's window: the Bypass, Loop and Alternating lamps, five sliders
// and their value labels over a printed background. Every change of the
// processor's parameters, whoever made it, refreshes all of it; it writes
// only through the host-notifying write.
class LooperGUI : public AudioFilterEditor,
                  public juce::ChangeListener,
                  public juce::Button::Listener,
                  public juce::Slider::Listener
{
public:
    static constexpr int width = 350;
    static constexpr int height = 615;

    explicit LooperGUI (LooperFilter& owner);
    ~LooperGUI() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;
    void buttonClicked (juce::Button* button) override;
    void sliderValueChanged (juce::Slider* slider) override;

    // For the tests.
    juce::TextButton& modeButton (int member) const { return *modeButtons[(size_t) member]; }
    juce::Slider& sliceSize() const                 { return *sliceSizeSlider; }
    juce::Slider& trim() const                      { return *trimSlider; }
    juce::Slider& start() const                     { return *startSlider; }
    juce::Slider& loopSize() const                  { return *loopSizeSlider; }
    juce::Slider& sizeMod() const                   { return *sizeModSlider; }
    juce::Label& sliceSizeText() const              { return *sliceSizeLabel; }
    juce::Label& trimText() const                   { return *trimLabel; }
    juce::Label& startText() const                  { return *startLabel; }
    juce::Label& loopSizeText() const               { return *loopSizeLabel; }
    juce::Label& sizeModText() const                { return *sizeModLabel; }
    int getSelectedMode() const noexcept            { return selectedMode; }

private:
    void createChildren();
    void setRanges();
    void updateFromProcessor();
    void sendModeSelection();

    LooperFilter& processor;

    int selectedMode = 0; // 0 Bypass, 1 Loop, 2 Alternating; 3 at the top position of "Mode"

    // In creation order, which is also the order they are deleted in.
    std::unique_ptr<juce::TextButton> bypassButton, loopButton, alternatingButton;
    std::unique_ptr<juce::Slider> sliceSizeSlider;
    std::unique_ptr<juce::Label> sliceSizeLabel;
    std::unique_ptr<juce::Slider> trimSlider;
    std::unique_ptr<juce::Label> trimLabel;
    std::unique_ptr<juce::Slider> startSlider, loopSizeSlider, sizeModSlider;
    std::unique_ptr<juce::Label> startLabel, loopSizeLabel, sizeModLabel;

    std::array<juce::TextButton*, 3> modeButtons {}; // by group member
    juce::Image backgroundImage;

    JUCE_DECLARE_NON_COPYABLE (LooperGUI)
};

} // namespace tavrel
