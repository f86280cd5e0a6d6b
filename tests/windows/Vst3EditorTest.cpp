// The VST3 bundles' editors in a real Win32 window, as a Windows host shows
// them: the controller's view attached to a window of the host's as an HWND,
// driven by the host's message loop, clicked through the system's input
// queue, and photographed into the build's screenshots/. Needs Wine with a
// display (run-with-display.sh).
#include "EditorCase.h"
#include "MessagePump.h"
#include "Vst3Host.h"
#include "Win32HostWindow.h"

#include <gtest/gtest.h>

using namespace tavrel::test;
using namespace tavrel::test::vst3;

namespace
{

const EditorCase vst3EditorCases[] = {
    { "Zintrak", ZINTRAK_VST3_PATH, zintrakRandomLamp, "zintrak-vst3-editor-windows" },
    { "Morlune", MORLUNE_VST3_PATH, morluneLoopLamp, "morlune-vst3-editor-windows" },
};

class Vst3EditorWindow : public ::testing::TestWithParam<EditorCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (IsWindow ((HWND) window.handle())) << "the host's window could not be made";
        ASSERT_NE (module.getFactory(), nullptr) << Module::binaryOf (GetParam().path);
        ASSERT_TRUE (plugin.isReady());
        view = plugin.controller->createView (Steinberg::Vst::ViewType::kEditor);
        ASSERT_NE (view, nullptr) << GetParam().name << " offers no editor view";
    }

    void TearDown() override { closeView(); }

    // Attaches the view to the window and waits until it shows there.
    HWND attachView()
    {
        EXPECT_EQ (view->isPlatformTypeSupported (Steinberg::kPlatformTypeHWND), Steinberg::kResultTrue);
        view->setFrame (&frame);
        EXPECT_EQ (view->attached (window.handle(), Steinberg::kPlatformTypeHWND), Steinberg::kResultOk);
        attached = true;

        HWND child = nullptr;
        EXPECT_TRUE (pumpMessagesUntil ([&]
        {
            const auto children = window.children();
            child = children.size() == 1 && IsWindowVisible (children[0]) ? children[0] : nullptr;
            return child != nullptr;
        }, 3000)) << "the editor's window never showed in the host's";
        pumpMessagesFor (150); // first paint
        return child;
    }

    void closeView()
    {
        if (view == nullptr)
            return;
        if (attached)
            view->removed();
        view->setFrame (nullptr);
        view->release();
        view = nullptr;
        attached = false;
        pumpMessages();
    }

    Win32HostWindow window { 350, 615 };
    Module module { GetParam().path };
    Plugin plugin { module };
    PlugFrame frame;
    Steinberg::IPlugView* view = nullptr;
    bool attached = false;
};

TEST_P (Vst3EditorWindow, ShowsTheEditorAtItsSizeInTheHostsWindow)
{
    Steinberg::ViewRect size {};
    ASSERT_EQ (view->getSize (&size), Steinberg::kResultOk);
    EXPECT_EQ (size.getWidth(), 350);
    EXPECT_EQ (size.getHeight(), 615);
    EXPECT_EQ (view->canResize(), Steinberg::kResultFalse);

    const HWND editorWindow = attachView();
    ASSERT_NE (editorWindow, nullptr);
    EXPECT_NE (GetWindowLongA (editorWindow, GWL_STYLE) & WS_CHILD, 0) << "a child window, not a top-level one";
    EXPECT_EQ (window.boundsOf (editorWindow), (Bounds { 0, 0, 350, 615 }));
    for (const auto& request : frame.requests)
        EXPECT_TRUE (request.getWidth() == 350 && request.getHeight() == 615)
            << "asked for " << request.getWidth() << "x" << request.getHeight();

    EXPECT_FALSE (window.saveScreenshot (GetParam().screenshot).empty());

    // Something was painted: the picture is not all the host window's grey.
    EXPECT_GT (window.paintedPixels(), 100);
}

// A click on a lamp reaches the host as edits: the lamp's toggle, then
// "Mode", each a whole gesture, and the controller reads the values back.
TEST_P (Vst3EditorWindow, AClickOnTheLampReachesTheHostAsEdits)
{
    const HWND editorWindow = attachView();
    ASSERT_NE (editorWindow, nullptr);
    plugin.handler.clear();

    const auto& lamp = GetParam().lamp;
    const POINT centre { lamp.centreX(), lamp.centreY() };
    Win32HostWindow::moveMouseTo (editorWindow, centre);
    pumpMessagesFor (40);
    Win32HostWindow::setButton (editorWindow, centre, true);
    pumpMessagesFor (40);
    Win32HostWindow::setButton (editorWindow, centre, false);

    using Kind = ComponentHandler::Kind;
    const auto performed = [&]
    {
        std::vector<ComponentHandler::Edit> result;
        for (const auto& edit : plugin.handler.edits())
            if (edit.kind == Kind::perform)
                result.push_back (edit);
        return result;
    };
    ASSERT_TRUE (pumpMessagesUntil ([&] { return performed().size() >= lamp.writes.size(); }, 3000))
        << "the click never reached the host: " << performed().size() << " of " << lamp.writes.size() << " edits";

    const auto edits = plugin.handler.edits();
    const auto edited = performed();
    for (size_t i = 0; i < lamp.writes.size(); ++i)
    {
        const auto id = plugin.parameterId (lamp.writes[i].index);
        EXPECT_EQ (edited[i].id, id) << "edit " << i;
        EXPECT_NEAR (edited[i].value, lamp.writes[i].value, 1.0e-6) << "edit " << i;
        EXPECT_NEAR (plugin.controller->getParamNormalized (id), lamp.writes[i].value, 1.0e-6) << "edit " << i;

        // Within a gesture of its own.
        const auto at = std::find_if (edits.begin(), edits.end(),
                                      [&] (const auto& e) { return e.kind == Kind::perform && e.id == id; });
        ASSERT_TRUE (at != edits.begin() && at + 1 != edits.end()) << "edit " << i;
        EXPECT_TRUE ((at - 1)->kind == Kind::begin && (at - 1)->id == id) << "edit " << i;
        EXPECT_TRUE ((at + 1)->kind == Kind::end && (at + 1)->id == id) << "edit " << i;
    }
}

TEST_P (Vst3EditorWindow, OpensAndClosesManyTimes)
{
    for (int round = 0; round < 10; ++round)
    {
        if (view == nullptr)
            view = plugin.controller->createView (Steinberg::Vst::ViewType::kEditor);
        ASSERT_NE (view, nullptr) << "round " << round;
        ASSERT_EQ (view->attached (window.handle(), Steinberg::kPlatformTypeHWND), Steinberg::kResultOk) << "round " << round;
        attached = true;
        pumpMessages();
        ASSERT_EQ (window.children().size(), 1u) << "round " << round;

        closeView();
        ASSERT_TRUE (window.children().empty()) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P (Bundles, Vst3EditorWindow, ::testing::ValuesIn (vst3EditorCases),
                          [] (const auto& testCase) { return std::string (testCase.param.name); });

} // namespace
