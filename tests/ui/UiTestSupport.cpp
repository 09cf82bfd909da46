#include "UiTestSupport.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>

namespace uitest {

namespace {

std::vector<CZKForm*>& Forms() {
    static std::vector<CZKForm*> forms;
    return forms;
}

LRESULT CALLBACK RouteToForm(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (CZKForm* form : Forms()) {
        if (form->GetHwnd() == hwnd)
            return form->WindowProc(hwnd, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

const wchar_t* FormClassName() {
    static const wchar_t* name = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = &RouteToForm;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = L"vmUiTestForm";
        RegisterClassExW(&wc);
        return L"vmUiTestForm";
    }();
    return name;
}

void Register(CZKForm* form) {
    Forms().push_back(form);
}

void Unregister(CZKForm* form) {
    auto& forms = Forms();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

TestForm::TestForm() {
    Register(this);
}

TestForm::~TestForm() {
    if (IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
    Unregister(this);
}

bool TestForm::OnLButtonDown(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    return hit ? hit->OnLButtonDown(keys, pt) : false;
}

bool TestForm::OnLButtonUp(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    hit->OnLButtonUp(keys, pt);
    return true;
}

void TestForm::Draw(HDC dc) {
    ++m_draws;
    CZKForm::Draw(dc);
}

LRESULT TestForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool TestForm::CreateShown(int x, int y, int width, int height) {
    const RECT rc = {0, 0, width, height};
    SetRect(&rc);
    if (!Create(FormClassName(), L"test", GetModuleHandleW(nullptr)))
        return false;
    // Not activated: a window the system activated would be handed to a window manager, and
    // hiding it later waits for one that is not there.
    SetWindowPos(m_hWnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(m_hWnd);
    return true;
}

bool ProbeControl::OnMouseMove(WPARAM, const POINT* pt) {
    m_moves.push_back(*pt);
    return false;
}

bool ProbeControl::OnLButtonUp(WPARAM, const POINT*) {
    ++m_releases;
    return false;
}

LRESULT SendMouse(HWND hwnd, UINT message, int x, int y) {
    return SendMessageW(hwnd, message, 0, MAKELPARAM(x, y));
}

HBITMAP SolidBitmap(int width, int height, COLORREF colour) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

Canvas::Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<std::uint32_t*>(bits);
    m_dc = CreateCompatibleDC(nullptr);
    m_old = SelectObject(m_dc, m_bitmap);
    HBRUSH brush = CreateSolidBrush(fill);
    const RECT all = {0, 0, width, height};
    FillRect(m_dc, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas() {
    SelectObject(m_dc, m_old);
    DeleteDC(m_dc);
    DeleteObject(m_bitmap);
}

COLORREF Canvas::Pixel(int x, int y) const {
    GdiFlush();
    const std::uint32_t v = m_bits[static_cast<size_t>(y) * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool Canvas::SameAs(const Canvas& other) const {
    GdiFlush();
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    for (size_t i = 0; i < static_cast<size_t>(m_width) * m_height; ++i) {
        if ((m_bits[i] & 0xFFFFFF) != (other.m_bits[i] & 0xFFFFFF))
            return false;
    }
    return true;
}

bool Canvas::Untouched(COLORREF fill) const {
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            if (Pixel(x, y) != fill)
                return false;
        }
    }
    return true;
}

bool DecodePng(const void* bytes, size_t size, Picture* out) {
    namespace gp = Gdiplus::DllExports;
    static ULONG_PTR token = [] {
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return false;
    std::memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        GlobalFree(block);
        return false;
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    bool ok = gp::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok;
    if (ok) {
        UINT w = 0, h = 0;
        gp::GdipGetImageWidth(bitmap, &w);
        gp::GdipGetImageHeight(bitmap, &h);
        Gdiplus::GpRect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
        Gdiplus::BitmapData data = {};
        ok = gp::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                                    &data) == Gdiplus::Ok;
        if (ok) {
            out->width = static_cast<int>(w);
            out->height = static_cast<int>(h);
            out->argb.resize(static_cast<size_t>(w) * h);
            for (UINT y = 0; y < h; ++y)
                std::memcpy(&out->argb[static_cast<size_t>(y) * w],
                            static_cast<const char*>(data.Scan0) + y * data.Stride, w * 4);
            gp::GdipBitmapUnlockBits(bitmap, &data);
        }
        gp::GdipDisposeImage(bitmap);
    }
    stream->Release();
    return ok;
}

void Settle(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(20);
    } while (GetTickCount() - start < milliseconds);
}

void ParkCursor() {
    SetCursorPos(1919, 1039);
}

} // namespace uitest
