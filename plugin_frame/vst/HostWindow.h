#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tavrel::vst
{

// Where the editor frame meets the windowing system: one implementation per
// platform (HostWindow_linux.cpp for X11, HostWindow_windows.cpp for Win32).
namespace HostWindow
{
    // Whether the window system knows the host's window: a host may hand over
    // a handle that is stale or no window at all.
    bool exists (void* hostWindow);

    // Gives the component a native window without decorations, as a child of
    // the host's window, and shows it there.
    void embed (juce::Component& component, void* hostWindow);

    // Sends whatever the framework has drawn or changed in its windows to the
    // window system now, so that the host, which talks to the window system
    // on its own, finds the editor's window as we left it.
    void flush();

    // While it exists, errors of the window system about our own windows are
    // ignored. A host that destroys its window before closing the editor takes
    // ours along, and what the framework then does to them draws errors that
    // Xlib's default handler would answer by ending the host's process. The
    // handler in place before comes back when it goes. Held around everything
    // the framework does to a shown editor's windows: while an editor is
    // shown, that happens only inside the host's requests.
    class WindowErrorsIgnored
    {
    public:
        WindowErrorsIgnored();
        ~WindowErrorsIgnored();

        WindowErrorsIgnored (const WindowErrorsIgnored&) = delete;
        WindowErrorsIgnored& operator= (const WindowErrorsIgnored&) = delete;

    private:
        bool installed = false;
    };
}

} // namespace tavrel::vst
