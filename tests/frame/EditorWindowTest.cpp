// The plug-in libraries' editors in a real X11 window, as a Linux host shows
// them: loaded with dlopen, opened through request 14 in a window of the
// host's own connection, driven by effEditIdle, clicked with the server's
// synthetic mouse events, and photographed into the build's screenshots/.
#include "X11HostWindow.h"

#include "LampClicks.h"
#include "ProbeFilter.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <iostream>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;

namespace
{

struct PluginEditorCase
{
    const char* name;
    const char* path;
    LampClick lamp;
    const char* screenshot;
};

void PrintTo (const PluginEditorCase& c, std::ostream* stream) { *stream << c.name; }

const PluginEditorCase editorCases[] = {
    { "Probe", PROBE_EDITOR_PLUGIN_PATH,
      { ProbeEditor::writeButtonBounds().getX(), ProbeEditor::writeButtonBounds().getY(),
        { { ProbeEditor::writtenIndex, 1.0f, true } } },
      "probe-editor" },
    { "Zintrak", ZINTRAK_PATH, zintrakRandomLamp, "zintrak-editor" },
    { "Morlune", MORLUNE_PATH, morluneLoopLamp, "morlune-editor" },
};

class PluginEditorWindow : public ::testing::TestWithParam<PluginEditorCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (X11Host::instance().isAvailable()) << "needs an X server with XTest: run under xvfb-run";
        ASSERT_TRUE (library.isLoaded()) << GetParam().path;
        ASSERT_NE (effect.get(), nullptr);

        ERect* rect = nullptr;
        ASSERT_NE (effect.dispatch (effEditGetRect, 0, 0, &rect), 0) << GetParam().name << " offers no editor";

        ASSERT_NE (rect, nullptr);
        firstRect = *rect;
    }

    void TearDown() override
    {
        effect.close();
        EXPECT_EQ (X11Host::takeErrors(), std::vector<std::string> {});
    }

    // Opens the editor in the window and waits until the server shows it.
    Window openEditor()
    {
        EXPECT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1);
        Window child = 0;
        EXPECT_TRUE (idleUntil (effect, [&]
        {
            const auto children = window.children();
            child = children.size() == 1 && window.isViewable (children[0]) ? children[0] : 0;
            return child != 0;
        })) << "the editor's window never showed in the host's";
        idleFor (effect, 150); // first paint
        return child;
    }

    void click (Window editorWindow, juce::Point<int> at)
    {
        auto& x11 = X11Host::instance();
        x11.movePointerTo (editorWindow, at.x, at.y);
        idleFor (effect, 40);
        x11.setButton (true);
        idleFor (effect, 40);
        x11.setButton (false);
    }

    TestHost host;
    X11HostWindow window { 350, 615 };
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

    const Window editorWindow = openEditor();
    ASSERT_NE (editorWindow, 0u);
    EXPECT_EQ (window.boundsOf (editorWindow), juce::Rectangle<int> (0, 0, 350, 615));

    const auto file = window.saveScreenshot (GetParam().screenshot);
    EXPECT_TRUE (file.existsAsFile()) << file.getFullPathName();

    // Something was painted: the picture is not all the host window's grey.
    const auto shot = window.capture();
    int paintedPixels = 0;
    for (int y = 0; y < shot.getHeight(); y += 5)
        for (int x = 0; x < shot.getWidth(); x += 5)
            paintedPixels += shot.getPixelAt (x, y) != juce::Colour (0xff808080);
    EXPECT_GT (paintedPixels, 100);
}

TEST_P (PluginEditorWindow, AClickOnTheLampWritesThroughTheHost)
{
    const Window editorWindow = openEditor();
    ASSERT_NE (editorWindow, 0u);
    host.clearNotices();

    const auto& expected = GetParam().lamp.writes;
    click (editorWindow, { GetParam().lamp.centreX(), GetParam().lamp.centreY() });
    ASSERT_TRUE (idleUntil (effect, [&] { return host.notices().size() >= expected.size(); }))
        << "the click never reached the host";

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
        ASSERT_EQ (window.children().size(), 1u) << "round " << round;

        effect.dispatch (effEditClose);
        ASSERT_TRUE (window.children().empty()) << "round " << round;
    }

    // Closed with the editor open, the effect takes its window along, and the
    // library unloads.
    ASSERT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1);
    effect.dispatch (effEditIdle);
    EXPECT_EQ (effect.close(), 1);
    EXPECT_TRUE (window.children().empty());
}

// The first editor makes the library's look and feel; closing the last effect
// shuts the framework down, which deletes it with the framework's other
// singletons. The next effect starts the framework again: its editor must
// draw with a new look and feel, exactly as the first did.
TEST_P (PluginEditorWindow, LooksTheSameAfterTheFrameworkRestarted)
{
    ASSERT_NE (openEditor(), 0u);
    const auto before = window.capture();
    ASSERT_EQ (effect.close(), 1);

    OpenEffect again { library.create() };
    ASSERT_NE (again.get(), nullptr);
    ASSERT_EQ (again.dispatch (effEditOpen, 0, 0, window.handle()), 1);
    ASSERT_TRUE (idleUntil (again, [&] { return window.children().size() == 1; }));
    idleFor (again, 150);

    const auto after = window.capture();
    int differing = 0;
    for (int y = 0; y < after.getHeight(); ++y)
        for (int x = 0; x < after.getWidth(); ++x)
            differing += after.getPixelAt (x, y) != before.getPixelAt (x, y);
    EXPECT_EQ (differing, 0);
    EXPECT_EQ (again.close(), 1);
}

INSTANTIATE_TEST_SUITE_P (Plugins, PluginEditorWindow, ::testing::ValuesIn (editorCases),
                          [] (const auto& testCase) { return std::string (testCase.param.name); });

// Hosts save and restore state on worker threads (autosave, undo, offline
// bounces), and many hold their own lock of the instance around every
// request, so their GUI thread may wait for that worker and send no idle call
// meanwhile. The chunk requests must then return all the same, and the
// editor shows the restored state once the GUI thread runs again.
class PluginEditorChunk : public PluginEditorWindow
{
protected:
    std::string chunk()
    {
        void* address = nullptr;
        const auto size = effect.dispatch (effGetChunk, 0, 0, &address);
        return size > 0 && address != nullptr ? std::string (static_cast<const char*> (address), (size_t) size)
                                              : std::string();
    }

    // The lamp's picture in the host's window.
    juce::Image lamp()
    {
        const auto& click = GetParam().lamp;
        return window.capture().getClippedImage ({ click.x, click.y, 56, 29 }).createCopy();
    }

    static bool samePixels (const juce::Image& a, const juce::Image& b)
    {
        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;
        return a.getBounds() == b.getBounds();
    }

    using Clock = std::chrono::steady_clock;
    static double millisecondsSince (Clock::time_point start)
    {
        return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
    }
};

TEST_P (PluginEditorChunk, AWorkerSavesAndRestoresWhileTheGuiThreadWaitsForIt)
{
    ASSERT_NE (openEditor(), 0u);
    const int lampIndex = GetParam().lamp.writes[0].index;

    // The lamp's mode, saved, then the first mode again.
    effect->setParameter (effect.get(), lampIndex, 1.0f);
    idleFor (effect, 200);
    const auto lit = lamp();
    const std::string lampChunk = chunk();
    effect->setParameter (effect.get(), 0, 1.0f);
    idleFor (effect, 200);
    const auto unlit = lamp();
    ASSERT_FALSE (samePixels (lit, unlit)) << "the lamp shows its mode";
    const std::string firstModeChunk = chunk();
    ASSERT_NE (firstModeChunk, lampChunk);

    // This thread is the host's GUI thread: it waits for the worker and
    // makes no idle call until the worker is done.
    std::string saved;
    double saveMs = 0.0, restoreMs = 0.0;
    auto worker = std::async (std::launch::async, [&]
    {
        auto start = Clock::now();
        saved = chunk();
        saveMs = millisecondsSince (start);

        std::string copy = lampChunk;
        start = Clock::now();
        effect.dispatch (effSetChunk, 0, (intptr_t) copy.size(), copy.data());
        restoreMs = millisecondsSince (start);
    });

    const bool returned = worker.wait_for (std::chrono::seconds (5)) == std::future_status::ready;
    if (! returned)
        idleUntil (effect, [&] { return worker.wait_for (std::chrono::seconds (0)) == std::future_status::ready; }, 10000);
    worker.get();
    ASSERT_TRUE (returned) << "the chunk requests waited for the GUI thread";
    std::cout << GetParam().name << ": chunk save " << saveMs << " ms, restore " << restoreMs
              << " ms on a worker while the GUI thread waited" << std::endl;

    EXPECT_EQ (saved, firstModeChunk);
    EXPECT_EQ (effect->getParameter (effect.get(), lampIndex), 1.0f) << "restored at once";

    // The GUI thread runs again: the editor shows the restored mode.
    idleFor (effect, 300);
    EXPECT_TRUE (samePixels (lamp(), lit)) << "the editor shows the restored mode";
    EXPECT_EQ (chunk(), lampChunk);
}

INSTANTIATE_TEST_SUITE_P (Plugins, PluginEditorChunk, ::testing::Values (editorCases[1], editorCases[2]),
                          [] (const auto& testCase) { return std::string (testCase.param.name); });

// What only the probe's editor can show: its own size change and a held button.
class ProbeEditorWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (X11Host::instance().isAvailable()) << "needs an X server with XTest: run under xvfb-run";
        ASSERT_NE (effect.get(), nullptr);
        ASSERT_EQ (effect.dispatch (effEditOpen, 0, 0, window.handle()), 1);
        ASSERT_TRUE (idleUntil (effect, [&] { return window.children().size() == 1; }));
        editorWindow = window.children()[0];
        idleFor (effect, 100);
    }

    void TearDown() override
    {
        effect.close();
        EXPECT_EQ (X11Host::takeErrors(), std::vector<std::string> {});
    }

    TestHost host;
    X11HostWindow window { ProbeEditor::width, ProbeEditor::height };
    PluginLibrary library { PROBE_EDITOR_PLUGIN_PATH };
    OpenEffect effect { library.create() };
    Window editorWindow = 0;
};

TEST_F (ProbeEditorWindow, GrowingByItselfResizesTheHostsWindow)
{
    host.onSizeWindow = [this] (int width, int height) { window.resize (width, height); };

    auto& x11 = X11Host::instance();
    const auto grow = ProbeEditor::growButtonBounds().getCentre();
    x11.movePointerTo (editorWindow, grow.x, grow.y);
    idleFor (effect, 40);
    x11.setButton (true);
    idleFor (effect, 40);
    x11.setButton (false);

    ASSERT_TRUE (idleUntil (effect, [&] { return host.windowRequests().size() >= 2; }));
    EXPECT_EQ (host.windowRequests(), (std::vector<std::string> { "canDo sizeWindow", "sizeWindow 420x680" }));
    ASSERT_TRUE (idleUntil (effect, [&] { return window.boundsOf (editorWindow).getWidth() == 420; }));
    EXPECT_EQ (window.boundsOf (editorWindow), juce::Rectangle<int> (0, 0, 420, 680));

    ERect* rect = nullptr;
    ASSERT_NE (effect.dispatch (effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ (rect->bottom, 680);
    EXPECT_EQ (rect->right, 420);

    idleFor (effect, 150);
    window.saveScreenshot ("probe-editor-grown");
}

// The probe answers a write to parameter 0 with a host-notifying write to
// parameter 1 from its change listener, on the library's message thread.
TEST_F (ProbeEditorWindow, WhileTheEditorIsOpenTheHostsThreadIsTheMessageThread)
{
    const auto answerToAHostWrite = [this] (float value)
    {
        host.clearNotices();
        effect->setParameter (effect.get(), 0, value);
        EXPECT_TRUE (idleUntil (effect, [&] { return host.automateCount > 0; }));
        const auto notices = host.notices();
        return notices.empty() ? TestHost::Notice { -1, 0.0f, false } : notices[0];
    };

    const auto whileOpen = answerToAHostWrite (0.25f);
    EXPECT_EQ (whileOpen, (TestHost::Notice { 1, 0.25f, true }));
    EXPECT_TRUE (whileOpen.fromCallingThread) << "delivered by effEditIdle on the host's thread";

    effect.dispatch (effEditClose);
    const auto afterClose = answerToAHostWrite (0.5f);
    EXPECT_EQ (afterClose, (TestHost::Notice { 1, 0.5f, false }));
    EXPECT_FALSE (afterClose.fromCallingThread) << "the library's own thread took over again";
}

TEST_F (ProbeEditorWindow, AButtonHeldInTheEditorKeepsTheHostIdle)
{
    auto& x11 = X11Host::instance();
    x11.movePointerTo (editorWindow, 300, 500); // on the background, away from the buttons
    idleFor (effect, 40);
    host.clearWindowRequests();

    x11.setButton (true);
    idleFor (effect, 900);
    x11.setButton (false);
    EXPECT_GE (host.idleCallTimes().size(), 2u) << "an idle call every adapter timer tick";

    idleFor (effect, 100);
    host.clearWindowRequests();
    idleFor (effect, 600);
    EXPECT_TRUE (host.idleCallTimes().empty()) << "none once the button is up";
}

} // namespace
