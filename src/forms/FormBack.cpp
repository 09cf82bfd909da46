#include "forms/FormBack.h"

#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "ui/PngSkin.h"
#include "ui/SkinMath.h"

namespace {

// Clears WS_POPUP, the caption and frame bits, the box bits and 0x80; sets the system menu and
// the minimise box: a frameless overlapped window that can be minimised.
const LONG kStyleKeep = 0x7F30FF7F;
const LONG kStyleAdd = WS_SYSMENU | WS_MINIMIZEBOX;
const LONG kExStyleClear = WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;
// SC_MOVE plus the caption hit-test code: the system's mouse-driven move.
const WPARAM kDragMove = 0xF012;

bool TopMost() {
    return GetGlobalModule().m_nTopMost == 1;
}

} // namespace

bool CFormBack::InitForm() {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, (style & kStyleKeep) | kStyleAdd);
    LONG exStyle = (GetWindowLongW(m_hWnd, GWL_EXSTYLE) & ~kExStyleClear) | WS_EX_LAYERED;
    if (TopMost())
        exStyle |= WS_EX_TOPMOST;
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle);
    // The style bit alone does not lift a window into the topmost band.
    if (TopMost())
        SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ApplyPngSkin(this);
    return true;
}

void CFormBack::ShowOnWorkArea(bool keepPosition) {
    const bool topMost = TopMost();
    LONG exStyle = (GetWindowLongW(m_hWnd, GWL_EXSTYLE) & ~WS_EX_TOOLWINDOW) | WS_EX_APPWINDOW;
    if (topMost)
        exStyle |= WS_EX_TOPMOST;
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle);
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    UINT flags = SWP_SHOWWINDOW | SWP_NOREDRAW | SWP_NOSIZE;
    if (keepPosition)
        flags |= SWP_NOMOVE;
    SetWindowPos(m_hWnd, topMost ? HWND_TOPMOST : HWND_TOP,
                 skin::CentredOrigin(work.right, client.right - client.left),
                 skin::CentredOrigin(work.bottom, client.bottom - client.top), 0, 0, flags);
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
}

void CFormBack::GlueLoginWindow(UINT flags) {
    POINT origin = {0, 0};
    ClientToScreen(m_hWnd, &origin);
    SetWindowPos(GetGlobalModule().m_formLogin.GetHwnd(), HWND_TOP, origin.x, origin.y, 0, 0,
                 flags);
}

LRESULT CFormBack::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVE:
    case WM_ACTIVATE:
        GlueLoginWindow(SWP_NOSIZE | SWP_NOACTIVATE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        GlueLoginWindow(SWP_NOSIZE);
        ReleaseCapture();
        SendMessageW(m_hWnd, WM_SYSCOMMAND, kDragMove, 0);
        return 0;
    case WM_CLOSE:
        // Whether the client ends is the login window's question.
        return SendMessageW(GetGlobalModule().m_formLogin.GetHwnd(), WM_CONFIRM_EXIT, 0, 0);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
