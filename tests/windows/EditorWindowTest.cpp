// The plug-in DLLs' editors in a real Win32 window, as a Windows host shows
// them: loaded with LoadLibrary, opened through request 14 in a window of the
// host's, driven by effEditIdle and the host's message loop, clicked through
// the system's input queue, and photographed into the build's screenshots/.
// Needs Wine with a display (run-with-display.sh).
#include "EditorCase.h"
#include "MessagePump.h"
#include "TestHost.h"
#include "Win32HostWindow.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

const EditorCase editorCases[] = {
    { "Zintrak", ZINTRAK_PATH, zintrakRandomLamp, "zintrak-editor-windows" },
    { "Morlune", MORLUNE_PATH, morluneLoopLamp, "morlune-editor-windows" },
};

class PluginEditorWindow : public ::testing::TestWithParam<EditorCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (IsWindow ((HWND) window.handle())) << "the host's window could not be made";
        ASSERT_TRUE (library.isLoaded()) << GetParam().path;
        ASSERT_NE (effect.get(), nullptr);

        ERect* rect = nullptr;
        ASSERT_NE (effect.dispatch (effEditGetRect, 0, 0, &rect), 0) << GetParam().name << " offers no editor";

        ASSERT_NE (rect, nullptr);
        firstRect = *rect;
    }

    void TearDown() override { effect.close(); }

    // Opens the editor in the window and waits until it shows there.
    HWND openEditor()
    {
        EXPECT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1);
        HWND child = nullptr;
        EXPECT_TRUE (idleUntil (effect, [&]
        {
            const auto children = window.children();
            child = children.size() == 1 && IsWindowVisible (children[0]) ? children[0] : nullptr;
            return child != nullptr;
        })) << "the editor's window never showed in the host's";
        idleFor (effect, 150); // first paint
        return child;
    }

    void click (HWND editorWindow, POINT at)
    {
        Win32HostWindow::moveMouseTo (editorWindow, at);
        idleFor (effect, 40);
        Win32HostWindow::setButton (editorWindow, at, true);
        idleFor (effect, 40);
        Win32HostWindow::setButton (editorWindow, at, false);
    }

    TestHost host;
    Win32HostWindow window { 350, 615 };
    PluginLibrary library { GetParam().path };
    OpenEffect effect { library.create() };
    ERect firstRect {};
};

TEST_P (PluginEditorWindow, ShowsTheEditorAtItsSizeInTheHostsWindow)
{
    EXPECT_EQ (firstRect.top, 0);
    EXPECT_EQ (firstRect.left, 0);
    EXPECT_EQ (firstRect.bottom, 615);
    EXPECT_EQ (firstRect.right, 350);

    const HWND editorWindow = openEditor();
    ASSERT_NE (editorWindow, nullptr);
    EXPECT_NE (GetWindowLongA (editorWindow, GWL_STYLE) & WS_CHILD, 0) << "a child window, not a top-level one";
    EXPECT_EQ (window.boundsOf (editorWindow), (Bounds { 0, 0, 350, 615 }));

    EXPECT_FALSE (window.saveScreenshot (GetParam().screenshot).empty());

    // Something was painted: the picture is not all the host window's grey.
    EXPECT_GT (window.paintedPixels(), 100);
}

TEST_P (PluginEditorWindow, AClickOnTheLampWritesThroughTheHost)
{
    const HWND editorWindow = openEditor();
    ASSERT_NE (editorWindow, nullptr);
    host.clearNotices();

    const auto& expected = GetParam().lamp.writes;
    click (editorWindow, { GetParam().lamp.centreX(), GetParam().lamp.centreY() });
    ASSERT_TRUE (idleUntil (effect, [&] { return host.notices().size() >= expected.size(); }))
        << "the click never reached the host: " << host.notices().size() << " of " << expected.size() << " notices";

    expectLampWrites (host.notices(), expected, effect);
}

TEST_P (PluginEditorWindow, OpensAndClosesManyTimes)
{
    for (int round = 0; round < 25; ++round)
    {
        ERect* rect = nullptr;
        ASSERT_NE (effect.dispatch (effEditGetRect, 0, 0, &rect), 0) << "round " << round;
        ASSERT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1) << "round " << round;
        effect.dispatch (effEditIdle);
        pumpMessages();
        ASSERT_EQ (window.children().size(), 1u) << "round " << round;

        effect.dispatch (effEditClose);
        pumpMessages();
        ASSERT_TRUE (window.children().empty()) << "round " << round;
    }

    // Closed with the editor open, the effect takes its window along, and the
    // library unloads.
    ASSERT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1);
    effect.dispatch (effEditIdle);
    pumpMessages();
    EXPECT_EQ (effect.close(), 1);
    EXPECT_TRUE (window.children().empty());
}

INSTANTIATE_TEST_SUITE_P (Plugins, PluginEditorWindow, ::testing::ValuesIn (editorCases),
                          [] (const auto& testCase) { return std::string (testCase.param.name); });

} // namespace
