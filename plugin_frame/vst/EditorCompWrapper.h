#pragma once

#include "AudioFilterEditor.h"
#include "FrameRuntime.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

namespace tavrel::vst
{

namespace detail
{
    // A base of the frame, so that it is in place before the component is
    // built and still in place after the component is gone: the component
    // lives its whole life on the host's GUI thread as message thread.
    struct HostDrivenLoopHolder
    {
        FrameRuntime::HostDrivenLoop hostDrivenLoop;
    };
}

// The editor frame: the component the adapter shows in the host's window. It
// owns exactly one child, the editor, at (0, 0), and always has the editor's
// size. It is opaque and draws nothing of its own; the editor covers it.
//
// When the editor changes its own size, the frame follows, and, once it is in
// the host's window, asks the host to resize that window too.
class EditorCompWrapper : private detail::HostDrivenLoopHolder,
                          public juce::Component
{
public:
    // Asks the host to give its window the new size of the editor.
    using HostWindowResize = std::function<void (int width, int height)>;

    // Takes a new editor; construct on the host's GUI thread.
    EditorCompWrapper (std::unique_ptr<AudioFilterEditor> editorToOwn, HostWindowResize resizeHostWindow);
    ~EditorCompWrapper() override;

    AudioFilterEditor& getEditor() const noexcept { return *editor; }

    // Gives the frame a native window without decorations as a child of the
    // host's window, and shows it there.
    void showInHostWindow (void* hostWindow);

    bool isInHostWindow() const noexcept { return inHostWindow; }

    // Draws every region waiting to be repainted now, and hands the result to
    // the window system, so the host sees it when its idle call returns.
    void paintPendingRegions();

    void paint (juce::Graphics&) override {}
    void childBoundsChanged (juce::Component* child) override;

private:
    std::unique_ptr<AudioFilterEditor> editor;
    HostWindowResize resizeHostWindow;
    bool inHostWindow = false;

    JUCE_DECLARE_NON_COPYABLE (EditorCompWrapper)
};

} // namespace tavrel::vst
