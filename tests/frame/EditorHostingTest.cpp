// The editor hosting of the adapter, driven through its effect record around
// a probe processor with a small editor, in this process and in real X11
// windows: when editors are made and destroyed, the rectangle, embedding in
// the host's window, the editor's own size changes, modal components at
// close, the processing lock, and the host's idle calls during a mouse hold.
#include "X11HostWindow.h"

#include "JuceVSTWrapper.h"
#include "ProbeFilter.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tavrel;
using namespace tavrel::test;
using namespace tavrel::vst;
using Journal = std::vector<std::string>;

namespace
{

Journal* probeJournal = nullptr;
bool probeOffersEditor = true;

const PluginIdentity probeIdentity {
    "Frame Probe", "Tavrel Software", fourCharCode ('P', 'r', 'T', 'v'), 1000,
    [] () -> std::unique_ptr<AudioFilterBase> { return std::make_unique<ProbeFilter> (probeJournal, probeOffersEditor); }
};

const Journal oneEditorMade { "createEditor", "editor created" };

class EditorHosting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (X11Host::instance().isAvailable()) << "needs an X server with XTest: run under xvfb-run";
        journal.clear();
    }

    void TearDown() override
    {
        effect.close();
        EXPECT_EQ (ProbeEditor::live, 0) << "an editor outlived its effect";
        EXPECT_EQ (X11Host::takeErrors(), Journal {});
        probeJournal = nullptr;
        probeOffersEditor = true;
    }

    JuceVSTWrapper& wrapper() { return *static_cast<JuceVSTWrapper*> (AudioEffect::fromRecord (effect.get())); }
    ProbeFilter& probe() { return static_cast<ProbeFilter&> (wrapper().getFilter()); }
    ProbeEditor* editor() { return dynamic_cast<ProbeEditor*> (probe().getActiveEditor()); }

    ERect* editorRect()
    {
        ERect* rect = nullptr;
        const auto reply = effect.dispatch (effEditGetRect, 0, 0, &rect);
        EXPECT_EQ (reply, reinterpret_cast<intptr_t> (rect));
        return rect;
    }

    intptr_t open (const X11HostWindow& into) { return effect.dispatch (effEditOpen, 0, 0, into.handle()); }

    static juce::Rectangle<int> sizeOf (const ERect* rect)
    {
        return { rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top };
    }

    bool shareJournal()
    {
        probeJournal = &journal;
        host.journal = &journal;
        return true;
    }

    Journal journal;
    TestHost host;
    X11HostWindow window { ProbeEditor::width, ProbeEditor::height }; // outlives the editor in it
    bool journalShared = shareJournal();
    OpenEffect effect { createEffect (TestHost::callback, probeIdentity) };
};

TEST_F (EditorHosting, TheRectangleIsTheEditorsSizeAndMakesOneEditor)
{
    const ERect* rect = editorRect();
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (rect->top, 0);
    EXPECT_EQ (rect->left, 0);
    EXPECT_EQ (rect->bottom, 615);
    EXPECT_EQ (rect->right, 350);
    EXPECT_EQ (journal, oneEditorMade);
    ASSERT_NE (editor(), nullptr);
    EXPECT_EQ (&wrapper().getEditorFrame()->getEditor(), editor());

    // Asked again, the same editor answers; nothing is shown until request 14.
    EXPECT_EQ (editorRect(), rect);
    EXPECT_EQ (journal, oneEditorMade);
    EXPECT_FALSE (wrapper().getEditorFrame()->isOnDesktop());
    EXPECT_TRUE (window.children().empty());
}

TEST_F (EditorHosting, OpeningAfterTheRectangleOrTwiceMakesANewEditorAfterTheOld)
{
    const struct { const char* name; bool rectFirst; } cases[] = { { "13 then 14", true }, { "14 then 14", false } };

    for (const auto& c : cases)
    {
        effect.dispatch (effEditClose);
        journal.clear();
        if (c.rectFirst)
            editorRect();
        else
            ASSERT_EQ (open (window), 1) << c.name;

        ASSERT_EQ (open (window), 1) << c.name;
        EXPECT_EQ (journal, (Journal { "createEditor", "editor created", "editor destroyed", "createEditor", "editor created" }))
            << c.name;
        EXPECT_EQ (ProbeEditor::live, 1) << c.name;
        ASSERT_NE (editor(), nullptr) << c.name;
        EXPECT_EQ (&wrapper().getEditorFrame()->getEditor(), editor()) << c.name;

        const auto children = window.children();
        ASSERT_EQ (children.size(), 1u) << c.name << ": the editor's window is a child of the host's";
        EXPECT_EQ (window.boundsOf (children[0]), juce::Rectangle<int> (0, 0, 350, 615)) << c.name;
        EXPECT_TRUE (window.isViewable (children[0])) << c.name;
    }
}

TEST_F (EditorHosting, ClosingWithoutAnEditorDoesNothing)
{
    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_TRUE (journal.empty());

    ASSERT_EQ (open (window), 1);
    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_EQ (editor(), nullptr);
    EXPECT_EQ (ProbeEditor::live, 0);
    EXPECT_TRUE (window.children().empty());
    EXPECT_EQ (wrapper().getEditorFrame(), nullptr);
}

TEST_F (EditorHosting, AProcessorWithoutEditorLeavesEverythingAsItWas)
{
    probeOffersEditor = false;
    OpenEffect bare { createEffect (TestHost::callback, probeIdentity) };
    journal.clear();

    ERect untouched { 1, 2, 3, 4 };
    ERect* rect = &untouched;
    EXPECT_EQ (bare.dispatch (effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ (rect, &untouched);
    EXPECT_EQ (bare.dispatch (effEditGetRect, 0, 0, nullptr), 0) << "no place for the address";
    EXPECT_EQ (bare.dispatch (effEditOpen, 0, 0, window.handle()), 0);
    EXPECT_EQ (bare.dispatch (effEditClose), 0);
    EXPECT_EQ (bare.dispatch (effEditIdle), 0);

    EXPECT_EQ (journal, (Journal { "createEditor", "createEditor" }));
    EXPECT_TRUE (window.children().empty());
    auto& filter = static_cast<JuceVSTWrapper*> (AudioEffect::fromRecord (bare.get()))->getFilter();
    EXPECT_EQ (filter.getActiveEditor(), nullptr);
}

TEST_F (EditorHosting, OpeningWithoutAUsableHostWindowFailsAndKeepsWhatIsOpen)
{
    const Window gone = X11HostWindow (50, 50).id();
    const struct { const char* name; void* handle; } windows[] = {
        { "no window", nullptr },
        { "a destroyed window", reinterpret_cast<void*> (gone) },
        { "a number that is no window", reinterpret_cast<void*> ((uintptr_t) 0x7ffff00) },
    };

    for (const auto& w : windows)
    {
        effect.dispatch (effEditClose);
        journal.clear();
        EXPECT_EQ (effect.dispatch (effEditOpen, 0, 0, w.handle), 0) << w.name;
        EXPECT_TRUE (journal.empty()) << w.name << ": no editor made";

        ASSERT_EQ (open (window), 1);
        auto* shown = editor();
        journal.clear();
        EXPECT_EQ (effect.dispatch (effEditOpen, 0, 0, w.handle), 0) << w.name;
        EXPECT_TRUE (journal.empty()) << w.name;
        EXPECT_EQ (editor(), shown) << w.name;
        EXPECT_EQ (window.children().size(), 1u) << w.name;
        EXPECT_EQ (X11Host::takeErrors(), Journal {}) << w.name << ": errors reached the host's handler";
    }
}

TEST_F (EditorHosting, ClosingTheEffectDestroysTheOpenEditorBeforeTheProcessor)
{
    ASSERT_EQ (open (window), 1);
    journal.clear();

    EXPECT_EQ (effect.close(), 1);
    EXPECT_EQ (journal, (Journal { "editor destroyed", "destroyed" }));
    EXPECT_TRUE (window.children().empty());
}

TEST_F (EditorHosting, TheEditorsOwnSizeChangeReachesTheHost)
{
    const struct { intptr_t hostCanResize; Journal expected; } cases[] = {
        { 1, { "canDo sizeWindow", "sizeWindow 420x680" } },
        { 0, { "canDo sizeWindow" } },
    };

    for (const auto& c : cases)
    {
        host.canSizeWindow = c.hostCanResize;
        ASSERT_EQ (open (window), 1);
        const ERect* heldRect = editorRect();
        host.clearWindowRequests();

        editor()->setSize (ProbeEditor::grownWidth, ProbeEditor::grownHeight);
        EXPECT_EQ (host.windowRequests(), c.expected) << "host can resize: " << c.hostCanResize;

        auto& frame = *wrapper().getEditorFrame();
        EXPECT_EQ (frame.getBounds(), juce::Rectangle<int> (0, 0, 420, 680));
        EXPECT_EQ (sizeOf (heldRect), juce::Rectangle<int> (0, 0, 420, 680)) << "the rectangle the host holds";
        EXPECT_EQ (sizeOf (editorRect()), juce::Rectangle<int> (0, 0, 420, 680));
        const auto children = window.children();
        ASSERT_EQ (children.size(), 1u);
        EXPECT_EQ (window.boundsOf (children[0]).getWidth(), 420);
        EXPECT_EQ (window.boundsOf (children[0]).getHeight(), 680);

        // The editor chooses its size, never its place.
        editor()->setTopLeftPosition (30, 40);
        EXPECT_EQ (editor()->getPosition(), juce::Point<int>());
        EXPECT_EQ (host.windowRequests(), c.expected) << "a move alone asks the host nothing";
    }

    // An editor that only gave its rectangle is not in any host window: the
    // next request 13 tells the new size, nobody is asked to resize.
    effect.dispatch (effEditClose);
    editorRect();
    host.clearWindowRequests();
    editor()->setSize (400, 500);
    EXPECT_TRUE (host.windowRequests().empty());
    EXPECT_EQ (sizeOf (editorRect()), juce::Rectangle<int> (0, 0, 400, 500));
}

TEST_F (EditorHosting, AModalComponentLeavesWithZeroBeforeTheEditorGoes)
{
    ASSERT_EQ (open (window), 1);

    int result = -1;
    int editorsAtCallback = -1;
    auto* popup = new juce::Component();
    popup->setBounds (10, 10, 100, 100);
    editor()->addAndMakeVisible (popup);
    popup->enterModalState (false, juce::ModalCallbackFunction::create ([&] (int r)
    {
        result = r;
        editorsAtCallback = ProbeEditor::live;
    }), true);
    const juce::Component::SafePointer<juce::Component> popupAlive (popup);
    ASSERT_TRUE (popup->isCurrentlyModal());

    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_EQ (result, 0);
    EXPECT_EQ (editorsAtCallback, 1) << "the callback ran while the editor still existed";
    EXPECT_EQ (popupAlive, nullptr) << "deleted as it asked when dismissed";
    EXPECT_EQ (juce::ModalComponentManager::getInstance()->getNumModalComponents(), 0);
    EXPECT_EQ (ProbeEditor::live, 0);
}

TEST_F (EditorHosting, OpensAndClosesManyTimesWithoutLeavingAnythingBehind)
{
    const int desktopComponents = juce::Desktop::getInstance().getNumComponents();

    for (int round = 0; round < 60; ++round)
    {
        if (round % 3 == 0)
            editorRect();
        ASSERT_EQ (open (window), 1) << "round " << round;
        if (round % 2 == 0)
        {
            ASSERT_EQ (open (window), 1) << "round " << round;
        }
        effect.dispatch (effEditIdle);

        ASSERT_EQ (ProbeEditor::live, 1) << "round " << round;
        ASSERT_EQ (window.children().size(), 1u) << "round " << round;
        ASSERT_EQ (juce::Desktop::getInstance().getNumComponents(), desktopComponents + 1) << "round " << round;

        effect.dispatch (effEditClose);
        ASSERT_EQ (ProbeEditor::live, 0) << "round " << round;
        ASSERT_TRUE (window.children().empty()) << "round " << round;
        ASSERT_EQ (juce::Desktop::getInstance().getNumComponents(), desktopComponents) << "round " << round;
        ASSERT_EQ (probe().getActiveEditor(), nullptr) << "round " << round;
    }
}

TEST_F (EditorHosting, TheActiveEditorChangesOnlyBetweenBlocks)
{
    // A thread in the middle of a block holds the processing lock for a while;
    // making and dropping the active editor wait for it.
    const auto blockInProgress = [this] (std::atomic<bool>& blockEnded)
    {
        std::atomic<bool> started { false };
        std::thread audio ([&]
        {
            const juce::ScopedLock processingLock (probe().getCallbackLock());
            started = true;
            std::this_thread::sleep_for (std::chrono::milliseconds (80));
            blockEnded = true;
        });
        while (! started)
            std::this_thread::yield();
        return audio;
    };

    std::atomic<bool> firstBlockEnded { false };
    auto first = blockInProgress (firstBlockEnded);
    editorRect();
    EXPECT_TRUE (firstBlockEnded) << "the editor became active during the block";
    first.join();

    std::atomic<bool> secondBlockEnded { false };
    auto second = blockInProgress (secondBlockEnded);
    effect.dispatch (effEditClose);
    EXPECT_TRUE (secondBlockEnded) << "the editor was dropped during the block";
    second.join();
}

TEST_F (EditorHosting, IdleDoesNothingWhileTheEditorIsBeingDestroyed)
{
    ASSERT_EQ (open (window), 1);

    bool delivered = false;
    bool deliveredDuringDestruction = true;
    juce::MessageManager::callAsync ([&] { delivered = true; });
    editor()->onDestruction = [&]
    {
        EXPECT_EQ (effect.dispatch (effEditIdle), 0);
        deliveredDuringDestruction = delivered;
    };

    effect.dispatch (effEditClose);
    EXPECT_FALSE (deliveredDuringDestruction);
    effect.dispatch (effEditIdle);
    EXPECT_TRUE (delivered);
}

TEST_F (EditorHosting, AHeldMouseButtonGivesTheHostIdleCallsSpacedOverAllInstances)
{
    const auto holdButton = [] (bool down)
    {
        juce::ModifierKeys::currentModifiers = down ? juce::ModifierKeys::leftButtonModifier : juce::ModifierKeys();
    };
    const auto idleBothFor = [] (OpenEffect& a, OpenEffect& b, int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);
        while (std::chrono::steady_clock::now() < end)
        {
            a.dispatch (effEditIdle);
            b.dispatch (effEditIdle);
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    };

    // Timers that tick together: both instances are opened at once.
    OpenEffect other { createEffect (TestHost::callback, probeIdentity) };
    X11HostWindow otherWindow { ProbeEditor::width, ProbeEditor::height };

    holdButton (true);
    idleBothFor (effect, other, 600);
    holdButton (false);
    EXPECT_TRUE (host.idleCallTimes().empty()) << "no editor open, no idle calls";

    ASSERT_EQ (open (window), 1);
    ASSERT_EQ (other.dispatch (effEditOpen, 0, 0, otherWindow.handle()), 1);
    host.clearWindowRequests();

    holdButton (true);
    idleBothFor (effect, other, 1100);
    holdButton (false);

    const auto times = host.idleCallTimes();
    EXPECT_GE (times.size(), 3u) << "one call every adapter timer tick at least";
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE (times[i] - times[i - 1], 19.0) << "calls " << i - 1 << " and " << i;

    host.clearWindowRequests();
    idleBothFor (effect, other, 600);
    EXPECT_TRUE (host.idleCallTimes().empty()) << "the button is up";
    other.close();
}

TEST_F (EditorHosting, AHostWindowDestroyedBeforeTheEditorClosesDoesNoHarm)
{
    auto doomed = std::make_unique<X11HostWindow> (ProbeEditor::width, ProbeEditor::height);
    ASSERT_EQ (effect.dispatch (effEditOpen, 0, 0, doomed->handle()), 1);
    effect.dispatch (effEditIdle);

    // Our window goes with the host's. Closing then makes the framework ask
    // the server about and destroy a window that is no more: errors that
    // would end a host relying on Xlib's default handler, were they not
    // caught on the way.
    doomed.reset();
    idleFor (effect, 100);
    EXPECT_EQ (effect.dispatch (effEditClose), 0);
    EXPECT_EQ (ProbeEditor::live, 0);
    EXPECT_EQ (X11Host::takeErrors(), Journal {}) << "errors reached the host's handler";

    ASSERT_EQ (open (window), 1) << "and the next window works";
    EXPECT_EQ (window.children().size(), 1u);
}

} // namespace
