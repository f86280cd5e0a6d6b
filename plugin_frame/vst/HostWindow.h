#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tavrel::vst
{

// Where the editor frame meets the windowing system: one implementation per
// platform (HostWindow_linux.cpp for X11).
namespace HostWindow
{
    // Gives the component a native window without decorations, as a child of
    // the host's window, and shows it there.
    void embed (juce::Component& component, void* hostWindow);

    // Sends whatever the framework has drawn or changed in its windows to the
    // window system now, so that the host, which talks to the window system
    // on its own, finds the editor's window as we left it.
    void flush();
}

} // namespace tavrel::vst
