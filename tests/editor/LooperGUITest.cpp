// The looper's window as a user and a host see it, without a display.
#include "EditorRig.h"
#include "LooperFilter.h"
#include "LooperGUI.h"

#include <gtest/gtest.h>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

class LooperWindow : public ::testing::Test
{
protected:
    void SetUp() override { opened = rig.open(); }

    LooperGUI& gui() { return *rig.editor; }

    std::string litLamps()
    {
        return lamps (std::vector<juce::Button*> { &gui().modeButton (0), &gui().modeButton (1), &gui().modeButton (2) });
    }

    EditorRig<LooperFilter, LooperGUI> rig;
    Notices opened;
};

TEST_F (LooperWindow, OpensOnANewProcessorShowingItsInitialSettings)
{
    EXPECT_EQ (gui().getWidth(), 350);
    EXPECT_EQ (gui().getHeight(), 615);
    EXPECT_EQ (litLamps(), "100");

    struct Shown { juce::Slider& slider; double value; juce::Label& label; const char* text; };
    const Shown shown[] = {
        { gui().sliceSize(), 2.0, gui().sliceSizeText(), "1/4 bar" },
        { gui().trim(), -5.0, gui().trimText(), "-5 ms" },
        { gui().start(), 0.0, gui().startText(), "0 %" },
        { gui().loopSize(), 50.0, gui().loopSizeText(), "50 %" },
        { gui().sizeMod(), 0.0, gui().sizeModText(), "Off" },
    };

    for (const auto& s : shown)
    {
        EXPECT_EQ (s.slider.getValue(), s.value) << s.text;
        EXPECT_EQ (s.label.getText(), s.text);
    }

    EXPECT_EQ (rig.only (LooperParameters::sliceSizeIndex, opened), (Notices { { 7, 1.0f / 3.0f } }));
}

TEST_F (LooperWindow, ControlsAreLaidOutAsPrinted)
{
    EXPECT_EQ (gui().modeButton (1).getBounds(), juce::Rectangle<int> (86, 431, 65, 34));
    EXPECT_EQ (gui().modeButton (2).getBounds(), juce::Rectangle<int> (151, 431, 65, 34));
    EXPECT_EQ (gui().trim().getBounds(), juce::Rectangle<int> (23, 581, 197, 13));
    EXPECT_EQ (gui().sizeModText().getBounds(), juce::Rectangle<int> (280, 533, 56, 24));

    for (int member = 0; member < 3; ++member)
        EXPECT_EQ (gui().modeButton (member).getRadioGroupId(), 1);
}

TEST_F (LooperWindow, LampsSelectAModeAndTheLitOneGoesBackToBypass)
{
    struct Step { int clicked; Notices toggleThenMode; const char* lit; };
    const Step steps[] = {
        { 1, { { 1, 1.0f }, { 3, 0.333333343f } }, "010" },
        { 1, { { 0, 1.0f }, { 3, 0.0f } }, "100" },
        { 2, { { 2, 1.0f }, { 3, 2.0f * oneThird } }, "001" },
        { 0, { { 0, 1.0f }, { 3, 0.0f } }, "100" },
        { 0, { { 0, 1.0f }, { 3, 0.0f } }, "100" },
    };

    for (const auto& step : steps)
    {
        const auto told = rig.click (gui().modeButton (step.clicked));
        ASSERT_GE (told.size(), 2u);
        EXPECT_EQ (Notices (told.begin(), told.begin() + 2), step.toggleThenMode) << step.clicked;
        EXPECT_EQ (litLamps(), step.lit) << step.clicked;
    }
}

TEST_F (LooperWindow, ModeAtItsTopPositionShowsTheBypassLamp)
{
    rig.click (gui().modeButton (2));
    rig.hostWrites (LooperParameters::modeIndex, 1.0f);
    // That write asks for no broadcast; the window shows it at the next one.
    rig.hostWrites (LooperParameters::trimIndex, rig.processor.getParameter (LooperParameters::trimIndex));

    EXPECT_EQ (gui().getSelectedMode(), 3);
    EXPECT_EQ (litLamps(), "100");
}

TEST_F (LooperWindow, HostChangesRefreshSlidersAndLabels)
{
    struct Case { int index; float value; juce::Slider& slider; double shown; juce::Label& label; const char* text; };
    const Case cases[] = {
        { 5, 0.125f, gui().loopSize(), 13.0, gui().loopSizeText(), "13 %" }, // 12.5 rounds half up
        { 6, 0.75f, gui().sizeMod(), 50.0, gui().sizeModText(), "+50 %" },
        { 6, 0.25f, gui().sizeMod(), -50.0, gui().sizeModText(), "-50 %" },
        { 6, 0.5f, gui().sizeMod(), 0.0, gui().sizeModText(), "Off" },
        { 6, 0.515f, gui().sizeMod(), 0.0, gui().sizeModText(), "Off" },   // inside the dead zone: centred
        { 6, 0.525f, gui().sizeMod(), 5.0, gui().sizeModText(), "+5 %" },
        { 4, 0.37f, gui().start(), 38.0, gui().startText(), "38 %" },    // the processor keeps eighths
        { 8, 0.38f, gui().trim(), -12.0, gui().trimText(), "-12 ms" },
        { 7, 1.0f, gui().sliceSize(), 6.0, gui().sliceSizeText(), "1/64 bar" },
    };

    for (const auto& c : cases)
    {
        rig.hostWrites (c.index, c.value);
        EXPECT_EQ (c.slider.getValue(), c.shown) << c.text;
        EXPECT_EQ (c.label.getText(), c.text);
    }
}

TEST_F (LooperWindow, SlidersWriteTheirParameter)
{
    struct Case { juce::Slider& slider; double value; Notice written; juce::Label& label; const char* text; };
    const Case cases[] = {
        { gui().sizeMod(), -100.0, { 6, 0.0f }, gui().sizeModText(), "-100 %" },
        { gui().sizeMod(), 100.0, { 6, 1.0f }, gui().sizeModText(), "+100 %" },
        { gui().sliceSize(), 6.0, { 7, 1.0f }, gui().sliceSizeText(), "1/64 bar" },
        { gui().sliceSize(), 0.0, { 7, 0.0f }, gui().sliceSizeText(), "1/1 bar" },
        { gui().start(), 25.0, { 4, 0.25f }, gui().startText(), "25 %" },
        { gui().loopSize(), 75.0, { 5, 0.75f }, gui().loopSizeText(), "63 %" }, // shown as stored: 5/8
        { gui().trim(), 12.0, { 8, 0.62f }, gui().trimText(), "+12 ms" },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (rig.only (c.written.index, rig.drag (c.slider, c.value)), (Notices { c.written })) << c.text;
        EXPECT_EQ (c.label.getText(), c.text);
    }
}

} // namespace
