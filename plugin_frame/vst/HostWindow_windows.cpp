// The Windows side of the editor frame. The host hands over an HWND.
#include "HostWindow.h"

#include <windows.h>

namespace tavrel::vst::HostWindow
{

bool exists (void* hostWindow)
{
    return hostWindow != nullptr && IsWindow ((HWND) hostWindow) != 0;
}

void embed (juce::Component& component, void* hostWindow)
{
    // The framework makes a child window of the given one; style 0 means no
    // title bar, border or other decoration.
    component.addToDesktop (0, hostWindow);
    component.setVisible (true);
}

void flush()
{
    // Windows draws through the host's own message loop: nothing is held back.
}

// A window the host destroys takes ours along without harm on Windows: there
// is nothing to ignore.
WindowErrorsIgnored::WindowErrorsIgnored() = default;
WindowErrorsIgnored::~WindowErrorsIgnored() = default;

} // namespace tavrel::vst::HostWindow
