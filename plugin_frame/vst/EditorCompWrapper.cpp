#include "EditorCompWrapper.h"

#include "HostWindow.h"

namespace tavrel::vst
{

EditorCompWrapper::EditorCompWrapper (std::unique_ptr<AudioFilterEditor> editorToOwn,
                                      HostWindowResize resizeHost)
    : editor (std::move (editorToOwn)),
      resizeHostWindow (std::move (resizeHost))
{
    setOpaque (true);
    editor->setOpaque (true);
    editor->setTopLeftPosition (0, 0);
    setSize (editor->getWidth(), editor->getHeight());
    addAndMakeVisible (*editor);
}

EditorCompWrapper::~EditorCompWrapper()
{
    // The editor goes first, while its window still stands.
    editor.reset();
}

void EditorCompWrapper::showInHostWindow (void* hostWindow)
{
    HostWindow::embed (*this, hostWindow);
    inHostWindow = true;
}

void EditorCompWrapper::paintPendingRegions()
{
    if (auto* peer = getPeer())
    {
        peer->performAnyPendingRepaintsNow();
        HostWindow::flush();
    }
}

void EditorCompWrapper::childBoundsChanged (juce::Component* child)
{
    if (child != editor.get())
        return;

    // The editor chooses its size, never its place.
    if (editor->getPosition() != juce::Point<int>())
        editor->setTopLeftPosition (0, 0);

    const int width = editor->getWidth();
    const int height = editor->getHeight();
    if (width == getWidth() && height == getHeight())
        return;

    setSize (width, height);

    if (inHostWindow && resizeHostWindow != nullptr)
        resizeHostWindow (width, height);
}

} // namespace tavrel::vst
