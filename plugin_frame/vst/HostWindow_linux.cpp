// The X11 side of the editor frame. The host hands over an X11 window id.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "HostWindow.h"

namespace tavrel::vst::HostWindow
{

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
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    if (windowSystem == nullptr || windowSystem->getDisplay() == nullptr)
        return;

    juce::XWindowSystemUtilities::ScopedXLock xLock;
    juce::X11Symbols::getInstance()->xFlush (windowSystem->getDisplay());
}

} // namespace tavrel::vst::HostWindow
