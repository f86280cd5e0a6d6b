// The X11 side of the editor frame. The host hands over an X11 window id.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "HostWindow.h"

#include <juce_events/native/juce_linux_EventLoopInternal.h>

namespace tavrel::vst::HostWindow
{

namespace
{
    ::Display* frameworkDisplay()
    {
        auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
        return windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;
    }

    // The handler that was in place when the outermost WindowErrorsIgnored
    // began. Everything here runs on the host's GUI thread.
    XErrorHandler handlerBefore = nullptr;
    int ignoringDepth = 0;

    // Errors on our own connection are ours to ignore; the host's go on to
    // the host's handler as before.
    int ignoreOurErrors (::Display* display, XErrorEvent* event)
    {
        if (display == frameworkDisplay() || handlerBefore == nullptr)
            return 0;

        return handlerBefore (display, event);
    }

    // A sync reads whatever events were on their way into Xlib's queue, where
    // the framework's loop, which waits for its connection to become
    // readable, would not look for them: hand them to it now.
    void deliverQueuedEvents (::Display* display)
    {
        auto* x11 = juce::X11Symbols::getInstance();

        if (x11->xEventsQueued (display, QueuedAlready) > 0)
            juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (x11->xConnectionNumber (display));
    }
}

bool exists (void* hostWindow)
{
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    if (display == nullptr || hostWindow == nullptr)
        return false;

    const WindowErrorsIgnored unknownWindowsAnswered;
    XWindowAttributes attributes {};
    return juce::X11Symbols::getInstance()->xGetWindowAttributes (display, (::Window) hostWindow, &attributes) != 0;
}

void embed (juce::Component& component, void* hostWindow)
{
    // The framework creates the window as a child of the given one; style 0
    // means no title bar, border or other decoration.
    component.addToDesktop (0, hostWindow);
    component.setVisible (true);

    // The host may look for, move or resize our window as soon as this
    // request returns, on a connection of its own: let the server know it.
    flush();
}

void flush()
{
    if (auto* display = frameworkDisplay())
    {
        juce::XWindowSystemUtilities::ScopedXLock xLock;
        juce::X11Symbols::getInstance()->xFlush (display);
    }
}

WindowErrorsIgnored::WindowErrorsIgnored()
{
    if (frameworkDisplay() == nullptr)
        return;

    installed = true;
    if (ignoringDepth++ == 0)
        handlerBefore = juce::X11Symbols::getInstance()->xSetErrorHandler (ignoreOurErrors);
}

// Errors arrive when the server's replies are read: the sync makes sure that
// those of the requests made meanwhile come while we ignore them. What the
// events handed on last ask of the server is answered at the next read of
// our connection, which, while an editor is shown, happens only inside the
// host's requests, under this again.
WindowErrorsIgnored::~WindowErrorsIgnored()
{
    if (! installed)
        return;

    if (auto* display = frameworkDisplay())
    {
        for (int round = 0; round < 2; ++round)
        {
            juce::X11Symbols::getInstance()->xSync (display, False);
            deliverQueuedEvents (display);
        }
    }

    if (--ignoringDepth == 0)
    {
        juce::X11Symbols::getInstance()->xSetErrorHandler (handlerBefore);
        handlerBefore = nullptr;
    }
}

} // namespace tavrel::vst::HostWindow
