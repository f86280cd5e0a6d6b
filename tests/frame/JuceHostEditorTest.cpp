// Zintrak.so with its editor open in an independent host: JUCE's own VST2
// hosting shows the editor in a window of its own (under Xvfb) and, like
// many hosts, holds its lock of the instance around every request. A worker
// thread saves and restores the state while the host's GUI thread waits for
// that worker, so no idle call can arrive meanwhile.
#include "MessageLoop.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

// After the framework: Xlib's macros would break its headers.
#include <X11/Xlib.h>

namespace
{

// Xlib's default handler ends the process at the first error on any
// connection; what matters here is the state, not the window dressing.
std::atomic<int> xErrors { 0 };

int countError (Display*, XErrorEvent*)
{
    ++xErrors;
    return 0;
}

// The parameter changes the plug-in tells the host of, and on which thread.
struct AutomationLog : juce::AudioProcessorListener
{
    struct Entry
    {
        int index;
        float value;
        bool onMessageThread;
    };

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        const std::lock_guard<std::mutex> lock (mutex);
        entries.push_back ({ index, value, juce::MessageManager::getInstance()->isThisTheMessageThread() });
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::vector<Entry> taken()
    {
        const std::lock_guard<std::mutex> lock (mutex);
        return std::exchange (entries, {});
    }

    std::mutex mutex;
    std::vector<Entry> entries;
};

std::string bytesOf (const juce::MemoryBlock& block)
{
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

void runMessageLoopFor (int milliseconds)
{
    tavrel::test::runMessageLoopUntil ([] { return false; }, milliseconds);
}

TEST (JuceHostWithEditor, AWorkerSavesAndRestoresWhileTheGuiThreadWaitsForIt)
{
    juce::VSTPluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, ZINTRAK_PATH);
    ASSERT_EQ (found.size(), 1);

    juce::String error;
    auto plugin = format.createInstanceFromDescription (*found[0], 44100.0, 512, error);
    ASSERT_NE (plugin, nullptr) << error;
    AutomationLog automation;
    plugin->addListener (&automation);

    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        editor->addToDesktop (0);
        editor->setVisible (true);
        runMessageLoopFor (500); // the host opens our editor and starts its idle calls

        // "Random" (toggle 2), saved; then "Forward / Bypass" (toggle 0) again.
        auto& random = *plugin->getParameters()[2];
        random.setValue (1.0f);
        runMessageLoopFor (200);
        juce::MemoryBlock randomState, firstModeState;
        plugin->getStateInformation (randomState);
        plugin->getParameters()[0]->setValue (1.0f);
        runMessageLoopFor (200);
        plugin->getStateInformation (firstModeState);
        ASSERT_NE (bytesOf (firstModeState), bytesOf (randomState));
        ASSERT_EQ (random.getValue(), 0.0f);
        automation.taken();

        // This thread, JUCE's message thread, waits for the worker.
        juce::MemoryBlock saved;
        auto worker = std::async (std::launch::async, [&]
        {
            plugin->getStateInformation (saved);
            plugin->setStateInformation (randomState.getData(), (int) randomState.getSize());
        });

        const auto start = std::chrono::steady_clock::now();
        const bool returned = worker.wait_for (std::chrono::seconds (5)) == std::future_status::ready;
        const double waitedMs = std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();
        if (! returned)
        {
            // The worker holds the host's lock inside the plug-in, and the
            // host's idle call would wait for that lock: nothing can end it.
            std::cerr << "the state requests waited for the GUI thread: deadlocked" << std::endl;
            std::_Exit (1);
        }
        worker.get();
        std::cout << "state save and restore on a worker: " << waitedMs << " ms" << std::endl;

        EXPECT_EQ (bytesOf (saved), bytesOf (firstModeState));
        EXPECT_EQ (random.getValue(), 1.0f) << "restored at once";

        // The GUI thread runs again: the plug-in's listener announces the
        // restored group from the message thread.
        runMessageLoopFor (300);
        bool randomAnnounced = false;
        for (const auto& entry : automation.taken())
        {
            EXPECT_TRUE (entry.onMessageThread) << "parameter " << entry.index;
            randomAnnounced = randomAnnounced || (entry.index == 2 && entry.value == 1.0f);
        }
        EXPECT_TRUE (randomAnnounced);

        juce::MemoryBlock after;
        plugin->getStateInformation (after);
        EXPECT_EQ (bytesOf (after), bytesOf (randomState));
    }

    plugin->removeListener (&automation);
}

// On a desktop the window manager has made these atoms long before any
// window opens. A bare Xvfb has not; the framework only looks them up, then
// sends None in their place and draws BadAtom errors, which end the process.
void makeWindowManagerAtoms()
{
    static const char* const names[] = {
        "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
        "_NET_WM_PING", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_COMBO",
        "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_FULLSCREEN", "_NET_FRAME_EXTENTS",
        "_NET_WORKAREA", "_MOTIF_WM_HINTS", "_NET_WM_ALLOWED_ACTIONS",
        "_WIN_HINTS", "KWM_WIN_DECORATION", "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE" // a window without title bar
    };

    if (Display* display = XOpenDisplay (nullptr))
    {
        for (const char* name : names)
            XInternAtom (display, name, False);
        XSync (display, False);
        XCloseDisplay (display); // atoms outlive the connection that made them
    }
}

} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    XInitThreads(); // two frameworks talk to the server, the plug-in's from its own threads
    XSetErrorHandler (countError);
    makeWindowManagerAtoms();
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}
