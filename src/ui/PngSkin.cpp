#include "ui/PngSkin.h"

#include "app/WinHandles.h"
#include "ui/SkinMath.h"
#include "ui/ZKForm.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

namespace gp = Gdiplus::DllExports;

// GDI+ stays started from the first skin until the process ends.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        m_started = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (m_started)
            Gdiplus::GdiplusShutdown(m_token);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return m_started; }

private:
    ULONG_PTR m_token = 0;
    bool m_started = false;
};

bool EnsureGdiplus() {
    static GdiplusSession session;
    return session.Started();
}

class GdipBitmap {
public:
    GdipBitmap() = default;
    ~GdipBitmap() {
        if (m_p)
            gp::GdipDisposeImage(m_p);
    }
    GdipBitmap(const GdipBitmap&) = delete;
    GdipBitmap& operator=(const GdipBitmap&) = delete;
    Gdiplus::GpBitmap* Get() const { return m_p; }
    Gdiplus::GpBitmap** Out() { return &m_p; }

private:
    Gdiplus::GpBitmap* m_p = nullptr;
};

// Top-down blue, green, red, alpha pixels, not yet premultiplied.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;
};

// Copies the resource into a movable global block and decodes it through a stream on that
// block; block and stream go as soon as the pixels are out.
bool DecodePngResource(HMODULE module, int id, Pixels* out) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!found)
        return false;
    const HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size == 0)
        return false;
    UniqueGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block)
        return false;
    void* copy = GlobalLock(block.Get());
    if (!copy)
        return false;
    std::memcpy(copy, bytes, size);
    GlobalUnlock(block.Get());

    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(block.Get(), FALSE, stream.Out())))
        return false;
    if (!EnsureGdiplus())
        return false;
    GdipBitmap bitmap;
    if (gp::GdipCreateBitmapFromStream(stream.Get(), bitmap.Out()) != Gdiplus::Ok || !bitmap.Get())
        return false;
    UINT width = 0;
    UINT height = 0;
    gp::GdipGetImageWidth(bitmap.Get(), &width);
    gp::GdipGetImageHeight(bitmap.Get(), &height);
    if (width == 0 || height == 0 || width > 16384 || height > 16384)
        return false;
    const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data = {};
    if (gp::GdipBitmapLockBits(bitmap.Get(), &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                               &data) != Gdiplus::Ok)
        return false;
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->bgra.resize(static_cast<size_t>(width) * height * 4);
    const auto* src = static_cast<const std::uint8_t*>(data.Scan0);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(&out->bgra[static_cast<size_t>(y) * width * 4], src + y * data.Stride,
                    static_cast<size_t>(width) * 4);
    gp::GdipBitmapUnlockBits(bitmap.Get(), &data);
    return true;
}

// A zero-filled (fully transparent) top-down 32-bit DIB section.
UniqueBitmap CreateSurface(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (bitmap && *bits)
        std::memset(*bits, 0, static_cast<size_t>(width) * height * 4);
    return bitmap;
}

// Premultiplies the pixels and blends them onto the surface selected in `target`.
bool DrawPixels(HDC target, Pixels& pixels) {
    skin::PremultiplyPixels(pixels.bgra.data(), pixels.width, pixels.height, pixels.width * 4);
    void* bits = nullptr;
    UniqueBitmap picture = CreateSurface(target, pixels.width, pixels.height, &bits);
    if (!picture || !bits)
        return false;
    std::memcpy(bits, pixels.bgra.data(), pixels.bgra.size());
    UniqueMemoryDc source(CreateCompatibleDC(target));
    if (!source)
        return false;
    SelectGuard select(source.Get(), picture.Get());
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return AlphaBlend(target, 0, 0, pixels.width, pixels.height, source.Get(), 0, 0, pixels.width,
                      pixels.height, blend) != FALSE;
}

} // namespace

bool ApplyPngSkin(CZKForm* form) {
    if (!form || !form->GetHwnd())
        return false;
    const HWND hwnd = form->GetHwnd();
    RECT rc = {};
    form->GetRect(&rc);
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return false;

    WindowDc windowDc(hwnd);
    UniqueMemoryDc memory(CreateCompatibleDC(windowDc.Get()));
    if (!memory)
        return false;
    void* bits = nullptr;
    UniqueBitmap surface = CreateSurface(windowDc.Get(), cx, cy, &bits);
    if (!surface)
        return false;
    SelectGuard select(memory.Get(), surface.Get());

    bool drawn = false;
    Pixels pixels;
    if (DecodePngResource(GetModuleHandleW(nullptr), SKIN_PNG_RESOURCE, &pixels))
        drawn = DrawPixels(memory.Get(), pixels);

    POINT origin = {0, 0};
    SIZE size = {cx, cy};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(hwnd, windowDc.Get(), &origin, &size, memory.Get(), &source, 0, &blend,
                        ULW_ALPHA);
    return drawn;
}
