#pragma once

// Everything that Xlib's macros (KeyPress, None, Bool...) would break comes first.
#include "VstInterface.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::test
{

// The host's side of the window system in the editor tests: a connection of
// its own to the X server (Xvfb under ctest), a top-level window to hand to
// the plug-in, synthetic mouse input through XTest, and screenshots.
//
// Xlib's default error handler ends the process at the first error on any
// connection, the plug-in's included. Errors are counted here instead, so a
// test can fail on them and say which they were.
class X11Host
{
public:
    static X11Host& instance()
    {
        static X11Host host;
        return host;
    }

    Display* display() const { return connection; }
    bool isAvailable() const { return connection != nullptr && hasXTest; }

    static std::vector<std::string> takeErrors()
    {
        auto taken = std::move (errors());
        errors().clear();
        return taken;
    }

    // Moves the pointer to a window's point and presses or releases the left
    // button there, as a user's hand would, through the server.
    void movePointerTo (Window window, int x, int y)
    {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates (connection, window, DefaultRootWindow (connection), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent (connection, DefaultScreen (connection), rootX, rootY, CurrentTime);
        XFlush (connection);
    }

    void setButton (bool down)
    {
        XTestFakeButtonEvent (connection, 1, down ? True : False, CurrentTime);
        XFlush (connection);
    }

private:
    X11Host()
    {
        XInitThreads(); // the plug-ins' frameworks talk to the server from their own threads too
        XSetErrorHandler (recordError);
        connection = XOpenDisplay (nullptr);

        int event = 0, error = 0, major = 0, minor = 0;
        hasXTest = connection != nullptr && XTestQueryExtension (connection, &event, &error, &major, &minor);

        if (connection != nullptr)
            makeWindowManagerAtoms();
    }

    // On a desktop the window manager has made these atoms long before any
    // plug-in runs. A bare Xvfb has not; the framework only looks them up,
    // and then sends None in their place and draws BadAtom errors.
    void makeWindowManagerAtoms()
    {
        static const char* const names[] = {
            "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE",
            "_NET_WM_PING", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_COMBO",
            "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_STATE_FULLSCREEN", "_NET_FRAME_EXTENTS",
            "_NET_WORKAREA", "_MOTIF_WM_HINTS", "_NET_WM_ALLOWED_ACTIONS"
        };

        for (const char* name : names)
            XInternAtom (connection, name, False);

        XSync (connection, False);
    }

    ~X11Host()
    {
        if (connection != nullptr)
            XCloseDisplay (connection);
    }

    static std::vector<std::string>& errors()
    {
        static std::vector<std::string> list;
        return list;
    }

    static int recordError (Display* display, XErrorEvent* event)
    {
        char text[128] = {};
        XGetErrorText (display, event->error_code, text, (int) sizeof (text));
        errors().push_back (std::string (text) + " (request " + std::to_string ((int) event->request_code) + ")");
        return 0;
    }

    Display* connection = nullptr;
    bool hasXTest = false;
};

// A top-level window of the host, mapped at the screen's top left, into which
// the plug-in puts its editor.
class X11HostWindow
{
public:
    X11HostWindow (int width, int height) : display (X11Host::instance().display())
    {
        if (display == nullptr)
            return; // the test that made it fails on its own

        window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, (unsigned) width, (unsigned) height,
                                      0, 0, 0x808080);
        XMapWindow (display, window);
        XSync (display, False);
    }

    ~X11HostWindow()
    {
        if (display == nullptr)
            return;

        XDestroyWindow (display, window);
        XSync (display, False);
    }

    X11HostWindow (const X11HostWindow&) = delete;
    X11HostWindow& operator= (const X11HostWindow&) = delete;

    void* handle() const { return reinterpret_cast<void*> (window); }
    Window id() const { return window; }

    // The plug-in's windows inside ours, as the server knows them now.
    std::vector<Window> children() const { return childrenOf (display, window); }

    // The same of any window on a connection.
    static std::vector<Window> childrenOf (Display* connection, Window id)
    {
        XSync (connection, False);
        Window root = 0, parent = 0, *list = nullptr;
        unsigned count = 0;
        std::vector<Window> result;

        if (XQueryTree (connection, id, &root, &parent, &list, &count) != 0)
        {
            result.assign (list, list + count);
            XFree (list);
        }
        return result;
    }

    juce::Rectangle<int> boundsOf (Window child) const
    {
        XWindowAttributes attributes {};
        XGetWindowAttributes (display, child, &attributes);
        return { attributes.x, attributes.y, attributes.width, attributes.height };
    }

    bool isViewable (Window child) const
    {
        XWindowAttributes attributes {};
        XGetWindowAttributes (display, child, &attributes);
        return attributes.map_state == IsViewable;
    }

    juce::Rectangle<int> bounds() const { return boundsOf (window); }

    void resize (int width, int height)
    {
        XResizeWindow (display, window, (unsigned) width, (unsigned) height);
        XSync (display, False);
    }

    // What the screen shows of the window, children included.
    juce::Image capture() const { return captureOf (display, window); }

    // The same of any window on the host's connection (a host framework's own).
    static juce::Image captureOf (Display* connection, Window id)
    {
        XSync (connection, False);
        XWindowAttributes attributes {};
        XGetWindowAttributes (connection, id, &attributes);
        const juce::Rectangle<int> area { attributes.x, attributes.y, attributes.width, attributes.height };
        juce::Image image (juce::Image::RGB, area.getWidth(), area.getHeight(), true);
        XImage* shot = XGetImage (connection, id, 0, 0, (unsigned) area.getWidth(), (unsigned) area.getHeight(),
                                  AllPlanes, ZPixmap);
        if (shot == nullptr)
            return image;

        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
            {
                const auto pixel = XGetPixel (shot, x, y);
                image.setPixelAt (x, y, juce::Colour ((juce::uint8) ((pixel & shot->red_mask) >> 16),
                                                      (juce::uint8) ((pixel & shot->green_mask) >> 8),
                                                      (juce::uint8) (pixel & shot->blue_mask)));
            }

        XDestroyImage (shot);
        return image;
    }

    // Writes the capture to <screenshot directory>/<name>.png.
    juce::File saveScreenshot (const std::string& name) const
    {
        const juce::File directory (SCREENSHOT_DIR);
        directory.createDirectory();
        const auto file = directory.getChildFile (juce::String (name) + ".png");
        file.deleteFile();

        juce::FileOutputStream stream (file);
        juce::PNGImageFormat().writeImageToStream (capture(), stream);
        return file;
    }

private:
    Display* display;
    Window window = 0;
};

// Calls the effect's idle request, as a host's GUI loop does, until the
// condition holds or the time is up; true when it held.
template <typename Effect>
bool idleUntil (Effect& effect, const std::function<bool()>& condition, int timeoutMs = 3000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    for (;;)
    {
        effect.dispatch (vst::effEditIdle);
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }
}

template <typename Effect>
void idleFor (Effect& effect, int milliseconds)
{
    idleUntil (effect, [] { return false; }, milliseconds);
}

} // namespace tavrel::test
