// Real windows for toolkit tests: a window class that routes to forms, forms and controls that
// record what reaches them, solid bitmaps, pixel reads and a PNG decoder.
#pragma once

#include "ui/ZKForm.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace uitest {

// A window class whose procedure hands each message to the registered form of its window.
const wchar_t* FormClassName();
void Register(CZKForm* form);
void Unregister(CZKForm* form);

// Clicks reach controls the way the client's screens pass them on; paints are counted.
class TestForm : public CZKForm {
public:
    TestForm();
    ~TestForm() override;
    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    void Draw(HDC dc) override;
    bool CanClose() override { return m_allowClose; }
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Creates the window at (x, y) with the given client size and shows it, not activated.
    bool CreateShown(int x, int y, int width, int height);

    int m_draws = 0;
    bool m_allowClose = true;
};

// Remembers the points of the mouse moves, presses and releases it is given.
class ProbeControl : public CZKBaseControl {
public:
    bool OnMouseMove(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    std::vector<POINT> m_moves;
    int m_releases = 0;
};

// Sends a mouse message with the point packed as the system does.
LRESULT SendMouse(HWND hwnd, UINT message, int x, int y);

HBITMAP SolidBitmap(int width, int height, COLORREF colour);

// The client-area pixel of a shown window, as painted.
COLORREF WindowPixel(HWND hwnd, int x, int y);

// A 32-bit top-down DIB section selected into its own DC, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC Dc() const { return m_dc; }
    COLORREF Pixel(int x, int y) const;
    bool SameAs(const Canvas& other) const;
    bool Untouched(COLORREF fill) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    std::uint32_t* m_bits = nullptr;
};

// A PNG decoded to straight (not premultiplied) 0xAARRGGBB pixels, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;
    std::uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};
bool DecodePng(const void* bytes, size_t size, Picture* out);

// Dispatches whatever is queued, a few times over `milliseconds`, so the display catches up.
void Settle(DWORD milliseconds);

// Keeps the real cursor out of the way of the test windows.
void ParkCursor();

} // namespace uitest
