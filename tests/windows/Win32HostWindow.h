#pragma once

#include "PngFile.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace tavrel::test
{

// A window's rectangle as a host compares it.
struct Bounds
{
    int x, y, width, height;

    bool operator== (const Bounds& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

inline std::ostream& operator<< (std::ostream& stream, const Bounds& b)
{
    return stream << b.x << "," << b.y << " " << b.width << "x" << b.height;
}

// A top-level window of the host, borderless at the screen's top left, so
// that its client area is the whole window, painted grey, into which the
// plug-in puts its editor. Also what the host sees of the plug-in's windows
// inside it, a user's mouse on them, and screenshots.
class Win32HostWindow
{
public:
    static constexpr uint32_t background = 0x808080;

    Win32HostWindow (int width, int height)
    {
        window = CreateWindowExA (0, windowClass(), "Tavrel test host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                  0, 0, width, height, nullptr, nullptr, GetModuleHandleA (nullptr), nullptr);
        UpdateWindow (window);
    }

    ~Win32HostWindow()
    {
        if (IsWindow (window))
            DestroyWindow (window);
    }

    Win32HostWindow (const Win32HostWindow&) = delete;
    Win32HostWindow& operator= (const Win32HostWindow&) = delete;

    void* handle() const { return window; }

    // The windows directly inside ours, front to back.
    std::vector<HWND> children() const
    {
        std::vector<HWND> result;
        for (HWND child = GetWindow (window, GW_CHILD); child != nullptr; child = GetWindow (child, GW_HWNDNEXT))
            result.push_back (child);
        return result;
    }

    // A child's rectangle in our client area.
    Bounds boundsOf (HWND child) const
    {
        RECT area {};
        GetWindowRect (child, &area);
        MapWindowPoints (HWND_DESKTOP, window, reinterpret_cast<POINT*> (&area), 2);
        return { area.left, area.top, area.right - area.left, area.bottom - area.top };
    }

    // Puts the pointer on a point of a child window, in its client area,
    // through the system's input queue, as a user's hand would.
    static void moveMouseTo (HWND child, POINT at) { sendMouseInput (child, at, 0); }

    // Presses or releases the left button there. Every event carries its
    // own position: Wine may still be applying an older pointer position
    // when a button event without one arrives, and would send it there.
    static void setButton (HWND child, POINT at, bool down)
    {
        sendMouseInput (child, at, down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    }

    // What the window shows, the plug-in's windows inside it included.
    Picture capture() const
    {
        RECT client {};
        GetClientRect (window, &client);
        Picture picture;
        picture.width = client.right;
        picture.height = client.bottom;
        picture.pixels.resize ((size_t) picture.width * (size_t) picture.height);

        BITMAPINFO format {};
        format.bmiHeader.biSize = sizeof (format.bmiHeader);
        format.bmiHeader.biWidth = picture.width;
        format.bmiHeader.biHeight = -picture.height; // top row first
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;

        HDC screen = GetDC (window);
        HDC memory = CreateCompatibleDC (screen);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection (screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap != nullptr)
        {
            HGDIOBJ previous = SelectObject (memory, bitmap);
            BitBlt (memory, 0, 0, picture.width, picture.height, screen, 0, 0, SRCCOPY);
            GdiFlush();
            const auto* source = static_cast<const uint32_t*> (bits);
            for (auto& pixel : picture.pixels)
                pixel = *source++ & 0xffffff;
            SelectObject (memory, previous);
            DeleteObject (bitmap);
        }
        DeleteDC (memory);
        ReleaseDC (window, screen);
        return picture;
    }

    // How many of every fifth row's every fifth pixel show something other
    // than the window's own grey: whether anything was painted into it.
    int paintedPixels() const
    {
        const auto shot = capture();
        int painted = 0;
        for (int y = 0; y < shot.height; y += 5)
            for (int x = 0; x < shot.width; x += 5)
                painted += shot.at (x, y) != background;
        return painted;
    }

    // Writes the capture to <screenshot directory>/<name><suffix>.png, the
    // suffix naming the target's width, so both widths' pictures stay side by
    // side; the file's path, or nothing when it could not.
    std::string saveScreenshot (const std::string& name) const
    {
        CreateDirectoryA (SCREENSHOT_DIR, nullptr);
        const auto path = std::string (SCREENSHOT_DIR) + "/" + name + SCREENSHOT_SUFFIX + ".png";
        return writePng (capture(), path) ? path : std::string();
    }

private:
    static void sendMouseInput (HWND child, POINT at, DWORD buttonFlags)
    {
        ClientToScreen (child, &at);
        INPUT input {};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv (at.x, 65535, GetSystemMetrics (SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv (at.y, 65535, GetSystemMetrics (SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttonFlags;
        SendInput (1, &input, sizeof (input));
    }

    static const char* windowClass()
    {
        static const char* const name = []
        {
            WNDCLASSA description {};
            description.lpfnWndProc = DefWindowProcA;
            description.hInstance = GetModuleHandleA (nullptr);
            description.hCursor = LoadCursor (nullptr, IDC_ARROW);
            description.hbrBackground = CreateSolidBrush (RGB (0x80, 0x80, 0x80));
            description.lpszClassName = "TavrelTestHostWindow";
            RegisterClassA (&description);
            return description.lpszClassName;
        }();
        return name;
    }

    HWND window = nullptr;
};

} // namespace tavrel::test
