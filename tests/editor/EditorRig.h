#pragma once

// An editor opened on a processor whose host link records what the host is
// told, driven on the test thread, which is the message thread.

#include "FakeHost.h"
#include "MessageLoop.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tavrel::test
{

using Notice = FakeHostLink::Notice;
using Notices = std::vector<Notice>;

// Delivers every message posted so far, and those that delivering posts.
inline void deliverPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}

template <typename Filter, typename Editor>
class EditorRig
{
public:
    EditorRig() : host (processor) {}

    ~EditorRig() { close(); }

    // Opens the window as the frame does, then lets what opening posted
    // arrive; returns what the host was told meanwhile.
    Notices open()
    {
        host.automated.clear();
        editor.reset (dynamic_cast<Editor*> (processor.createEditor()));
        EXPECT_NE (editor, nullptr);
        deliverPendingMessages();
        return host.automated;
    }

    void close() { editor.reset(); }

    Notices click (juce::Button& button)
    {
        host.automated.clear();
        button.triggerClick();
        deliverPendingMessages();
        return host.automated;
    }

    // A user's move of a slider to a value.
    Notices drag (juce::Slider& slider, double value)
    {
        host.automated.clear();
        slider.setValue (value, juce::sendNotificationSync);
        deliverPendingMessages();
        return host.automated;
    }

    // The host's own write: no notice, but a change broadcast the editor
    // follows.
    void hostWrites (int index, float value)
    {
        processor.setParameter (index, value);
        deliverPendingMessages();
    }

    // The notices for one parameter, in order.
    static Notices only (int index, const Notices& notices)
    {
        Notices selected;
        for (const auto& notice : notices)
            if (notice.index == index)
                selected.push_back (notice);
        return selected;
    }

    Filter processor;
    FakeHostLink host;
    std::unique_ptr<Editor> editor;
};

// Which of the buttons are lit, as a string of 0 and 1 in the given order.
template <typename Buttons>
std::string lamps (const Buttons& buttons)
{
    std::string lit;
    for (const juce::Button* button : buttons)
        lit += button->getToggleState() ? '1' : '0';
    return lit;
}

} // namespace tavrel::test

namespace tavrel::test
{
inline void PrintTo (const FakeHostLink::Notice& notice, std::ostream* os)
{
    *os << "{" << notice.index << ", " << notice.value << "}";
}
} // namespace tavrel::test
