// The slicer's window as a user and a host see it, without a display: what
// it shows, what its clicks and drags tell the host, and how it follows
// changes made elsewhere.
#include "EditorRig.h"
#include "SlicerFilter.h"
#include "SlicerGUI.h"
#include "ToolkitPictures.h"

#include <gtest/gtest.h>

using namespace tavrel;
using namespace tavrel::test;

namespace
{

class SlicerWindow : public ::testing::Test
{
protected:
    void SetUp() override { opened = rig.open(); }

    SlicerGUI& gui() { return *rig.editor; }

    // The 14 mode lamps by mode number, then Hold and Reverse.
    std::string litLamps()
    {
        std::vector<juce::Button*> buttons;
        for (int mode = 0; mode < 14; ++mode)
            buttons.push_back (&gui().modeButton (mode));
        buttons.push_back (&gui().hold());
        buttons.push_back (&gui().reverse());
        return lamps (buttons);
    }

    static constexpr const char* onlyForwardLit = "1000000000000000";

    EditorRig<SlicerFilter, SlicerGUI> rig;
    Notices opened;
};

TEST_F (SlicerWindow, OpensOnANewProcessorShowingItsInitialSettings)
{
    EXPECT_EQ (gui().getWidth(), 350);
    EXPECT_EQ (gui().getHeight(), 615);
    EXPECT_EQ (litLamps(), onlyForwardLit);
    EXPECT_EQ (gui().trim().getValue(), -5.0);
    EXPECT_EQ (gui().trimText().getText(), "-5 ms");
    EXPECT_EQ (gui().sliceSize().getValue(), 2.0);
    EXPECT_EQ (gui().sliceSizeText().getText(), "1/8 bar");
    EXPECT_EQ (gui().bufferSize().getValue(), 1.0);
    EXPECT_EQ (gui().bufferSizeText().getText(), "1 bars");
}

TEST_F (SlicerWindow, OpeningTellsTheHostTheUnchangedSliceSizeOnce)
{
    EXPECT_EQ (rig.only (SlicerParameters::sizeIndex, opened), (Notices { { 15, 0.5f } }));
    EXPECT_EQ (rig.processor.getParameter (SlicerParameters::sizeIndex), 0.5f);
}

TEST_F (SlicerWindow, ControlsAreLaidOutAsPrinted)
{
    EXPECT_EQ (gui().modeButton (0).getBounds(), juce::Rectangle<int> (99, 24, 65, 34));
    EXPECT_EQ (gui().modeButton (2).getBounds(), juce::Rectangle<int> (99, 143, 65, 34));
    EXPECT_EQ (gui().modeButton (12).getBounds(), juce::Rectangle<int> (99, 265, 65, 34)); // "SLICE ORDER 1233"
    EXPECT_EQ (gui().modeButton (13).getBounds(), juce::Rectangle<int> (99, 324, 65, 34)); // "SLICE ORDER 2134"
    EXPECT_EQ (gui().hold().getBounds(), juce::Rectangle<int> (222, 23, 65, 34));
    EXPECT_EQ (gui().bufferSize().getBounds(), juce::Rectangle<int> (23, 538, 197, 13));
    EXPECT_EQ (gui().trimText().getBounds(), juce::Rectangle<int> (257, 576, 64, 24));

    for (int mode = 0; mode < 14; ++mode)
        EXPECT_EQ (gui().modeButton (mode).getRadioGroupId(), 1) << mode;
    EXPECT_EQ (gui().hold().getRadioGroupId(), 0);
    EXPECT_EQ (gui().reverse().getRadioGroupId(), 0);
}

TEST_F (SlicerWindow, ModeLampsSelectAModeAndTheLitOneGoesBackToForward)
{
    // "Mode" as stored: k times the single-precision 1/14, 0.0714285746.
    struct Step { int clicked; Notices toggleThenMode; std::string lit; };
    const Step steps[] = {
        { 2, { { 2, 1.0f }, { 14, 0.142857149f } }, "0010000000000000" },  // "RANDOM"
        { 2, { { 0, 1.0f }, { 14, 0.0f } }, onlyForwardLit },                // lit "RANDOM" again
        { 0, { { 0, 1.0f }, { 14, 0.0f } }, onlyForwardLit },                // lit "FORWARD / BYPASS"
        { 13, { { 13, 1.0f }, { 14, 0.928571463f } }, "0000000000000100" },
        { 12, { { 12, 1.0f }, { 14, 0.857142925f } }, "0000000000001000" },
    };

    for (const auto& step : steps)
    {
        const auto told = rig.click (gui().modeButton (step.clicked));
        ASSERT_GE (told.size(), 2u);
        EXPECT_EQ (Notices (told.begin(), told.begin() + 2), step.toggleThenMode) << step.clicked;
        EXPECT_EQ (litLamps(), step.lit) << step.clicked;
        EXPECT_EQ (rig.processor.getParameter (step.toggleThenMode[0].index), 1.0f) << step.clicked;
    }
}

TEST_F (SlicerWindow, ModeAtItsTopPositionKeepsTheLastLampLit)
{
    rig.click (gui().modeButton (5));
    rig.hostWrites (SlicerParameters::modeIndex, 1.0f);
    // That write asks for no broadcast; the window shows it at the next one.
    rig.hostWrites (SlicerParameters::trimIndex, rig.processor.getParameter (SlicerParameters::trimIndex));

    EXPECT_EQ (gui().getSelectedMode(), 14);
    EXPECT_EQ (litLamps(), "0000010000000000");

    // A click from the top position selects, as from any other mode.
    const auto told = rig.click (gui().modeButton (5));
    EXPECT_EQ (Notices (told.begin(), told.begin() + 2), (Notices { { 5, 1.0f }, { 14, 0.357142866f } }));
}

TEST_F (SlicerWindow, HoldAndReverseToggleAndFollowTheProcessor)
{
    EXPECT_EQ (rig.click (gui().hold()), (Notices { { 17, 1.0f } }));
    EXPECT_EQ (rig.click (gui().reverse()), (Notices { { 18, 1.0f } }));
    EXPECT_EQ (litLamps(), "1000000000000011");

    EXPECT_EQ (rig.click (gui().hold()), (Notices { { 17, 0.0f } }));
    EXPECT_EQ (litLamps(), "1000000000000001");

    // A host write of a mode toggle releases Hold in the processor; the
    // window shows it.
    rig.click (gui().hold());
    rig.hostWrites (3, 1.0f);
    EXPECT_EQ (rig.processor.getParameter (SlicerParameters::holdIndex), 0.0f);
    EXPECT_EQ (litLamps(), "0001000000000001");
}

TEST_F (SlicerWindow, SlidersWriteTheirParameterAndShowTheResult)
{
    struct Case { juce::Slider& (SlicerGUI::*slider)() const; double value; Notice written; juce::Label& (SlicerGUI::*label)() const; const char* text; };
    const Case cases[] = {
        { &SlicerGUI::trim, 12.0, { 16, 0.62f }, &SlicerGUI::trimText, "+12 ms" },
        { &SlicerGUI::trim, 0.0, { 16, 0.5f }, &SlicerGUI::trimText, "0 ms" },
        { &SlicerGUI::trim, -50.0, { 16, 0.0f }, &SlicerGUI::trimText, "-50 ms" },
        { &SlicerGUI::trim, 50.0, { 16, 1.0f }, &SlicerGUI::trimText, "+50 ms" },
        { &SlicerGUI::sliceSize, 0.0, { 15, 0.0f }, &SlicerGUI::sliceSizeText, "1/2 bar" },
        { &SlicerGUI::sliceSize, 3.0, { 15, 0.75f }, &SlicerGUI::sliceSizeText, "1/16 bar" },
        { &SlicerGUI::sliceSize, 4.0, { 15, 1.0f }, &SlicerGUI::sliceSizeText, "1/32 bar" },
        { &SlicerGUI::bufferSize, 3.0, { 19, 2.0f / 3.0f }, &SlicerGUI::bufferSizeText, "3 bars" },
        { &SlicerGUI::bufferSize, 4.0, { 19, 1.0f }, &SlicerGUI::bufferSizeText, "4 bars" },
        { &SlicerGUI::bufferSize, 2.0, { 19, 1.0f / 3.0f }, &SlicerGUI::bufferSizeText, "2 bars" },
    };

    for (const auto& c : cases)
    {
        auto& slider = (gui().*c.slider)();
        EXPECT_EQ (rig.only (c.written.index, rig.drag (slider, c.value)), (Notices { c.written })) << c.text;
        EXPECT_EQ ((gui().*c.label)().getText(), c.text);
        EXPECT_EQ (slider.getValue(), c.value) << c.text;
    }
}

TEST_F (SlicerWindow, HostChangesRefreshSlidersAndLabels)
{
    struct Case { int index; float value; double shown; const char* text; };
    const Case cases[] = {
        { 16, 0.43f, -7.0, "-7 ms" },
        { 16, 0.625f, 13.0, "+13 ms" }, // 12.5 rounds half up, as the processor does
        { 15, 0.25f, 1.0, "1/4 bar" },
        { 19, 1.0f, 4.0, "4 bars" },
    };

    for (const auto& c : cases)
    {
        rig.hostWrites (c.index, c.value);
        auto& slider = c.index == 16 ? gui().trim() : c.index == 15 ? gui().sliceSize() : gui().bufferSize();
        auto& label = c.index == 16 ? gui().trimText() : c.index == 15 ? gui().sliceSizeText() : gui().bufferSizeText();
        EXPECT_EQ (slider.getValue(), c.shown) << c.text;
        EXPECT_EQ (label.getText(), c.text);
    }

    rig.hostWrites (9, 1.0f);
    EXPECT_EQ (litLamps(), "0000000001000000");
}

TEST_F (SlicerWindow, ARestoredStateReachesAnOpenWindow)
{
    SlicerFilter other;
    other.setParameter (7, 1.0f);
    other.setParameter (SlicerParameters::trimIndex, 0.9f);
    juce::MemoryBlock state;
    other.getStateInformation (state);

    rig.processor.setStateInformation (state.getData(), (int) state.getSize());
    deliverPendingMessages();

    EXPECT_EQ (litLamps(), "0000000100000000");
    EXPECT_EQ (gui().trimText().getText(), "+40 ms");
}

TEST_F (SlicerWindow, ReopeningStartsFromTheProcessor)
{
    rig.click (gui().modeButton (4));
    rig.click (gui().hold());
    rig.close();

    rig.open();
    EXPECT_EQ (litLamps(), "0000100000000010");
}

} // namespace

namespace
{

// A pixel where the lit and the dark lamp differ and both are opaque, so a
// picture of the window tells which lamp a button shows there.
juce::Point<int> telltaleLampPixel (const juce::Image& lit, const juce::Image& dark)
{
    for (int y = 0; y < lit.getHeight(); ++y)
        for (int x = 0; x < lit.getWidth(); ++x)
            if (lit.getPixelAt (x, y) != dark.getPixelAt (x, y) && lit.getPixelAt (x, y).getAlpha() == 255
                && dark.getPixelAt (x, y).getAlpha() == 255)
                return { x, y };
    return { -1, -1 };
}

TEST_F (SlicerWindow, APictureOfTheWindowShowsEachLampAtItsButton)
{
    rig.click (gui().modeButton (11));
    rig.click (gui().reverse());

    const auto lit = juce::ImageCache::getFromMemory (pictures::lampOnPng, pictures::lampOnPngSize);
    const auto dark = juce::ImageCache::getFromMemory (pictures::lampOffPng, pictures::lampOffPngSize);
    const auto telltale = telltaleLampPixel (lit, dark);
    ASSERT_GE (telltale.x, 0);

    const auto picture = gui().createComponentSnapshot (gui().getLocalBounds(), true, 1.0f);

    std::vector<juce::Button*> buttons;
    for (int mode = 0; mode < 14; ++mode)
        buttons.push_back (&gui().modeButton (mode));
    buttons.push_back (&gui().hold());
    buttons.push_back (&gui().reverse());

    for (auto* button : buttons)
    {
        const auto at = button->getPosition() + telltale;
        const auto& lamp = button->getToggleState() ? lit : dark;
        EXPECT_EQ (picture.getPixelAt (at.x, at.y), lamp.getPixelAt (telltale.x, telltale.y))
            << "button at " << button->getPosition().toString();
    }
}

} // namespace
