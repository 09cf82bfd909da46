#include "ui/ZKForm.h"

#include "ui/SkinMath.h"

#include <commctrl.h>

namespace {

// Mouse messages carry client coordinates as two unsigned 16-bit halves.
POINT PointFromLParam(LPARAM lParam) {
    const DWORD packed = static_cast<DWORD>(lParam);
    return POINT{static_cast<LONG>(LOWORD(packed)), static_cast<LONG>(HIWORD(packed))};
}

const DWORD kHoverMilliseconds = 500;

} // namespace

CZKForm::~CZKForm() {
    m_controls.clear();
    m_hWnd = nullptr;
}

bool CZKForm::OnLButtonDown(WPARAM, const POINT*) {
    return true;
}

bool CZKForm::OnLButtonUp(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    return false;
}

bool CZKForm::OnMouseMove(WPARAM keys, const POINT* pt) {
    TrackMouse();
    if (!pt)
        return false;
    // Controls the mouse is not over fall back to their normal look.
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        if (!PtInRect(&(*it)->m_rc, *pt))
            (*it)->OnMouseMove(keys, pt);
    }
    if (CZKBaseControl* hit = HitTest(*pt))
        return hit->OnMouseMove(keys, pt);
    return false;
}

bool CZKForm::OnLButtonDblClk(WPARAM, const POINT*) {
    return false;
}

void CZKForm::Draw(HDC dc) {
    for (CZKBaseControl* control : m_controls)
        control->Draw(dc);
}

bool CZKForm::AddControl(CZKBaseControl* control) {
    if (!control)
        return false;
    control->SetOwner(m_hWnd);
    m_controls.push_back(control);
    return true;
}

bool CZKForm::OnMouseLeave(WPARAM keys, const POINT* pt) {
    m_bTracking = true; // the move below must not arm tracking again
    OnMouseMove(keys, pt);
    m_bTracking = false;
    return true;
}

bool CZKForm::OnMouseHover(WPARAM, const POINT*) {
    return true;
}

void CZKForm::TrackMouse() {
    if (m_bTracking)
        return;
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = m_hWnd;
    track.dwHoverTime = kHoverMilliseconds;
    _TrackMouseEvent(&track);
    m_bTracking = true;
}

bool CZKForm::Create(const wchar_t* className, const wchar_t* windowName, HINSTANCE module) {
    if (m_hWnd)
        return true;
    // Forms keep left and top at 0, so right and bottom are the size.
    m_hWnd = CreateWindowExW(0, className, windowName, WS_POPUP, m_rc.left, m_rc.top, m_rc.right,
                             m_rc.bottom, nullptr, nullptr, module, nullptr);
    if (m_hWnd)
        SetWindowTextW(m_hWnd, L"Velmora");
    return m_hWnd != nullptr;
}

bool CZKForm::ShowCentered(int showCommand) {
    if (!m_hWnd)
        return false;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    SetWindowPos(m_hWnd, HWND_TOP, skin::CentredOrigin(work.right, client.right - client.left),
                 skin::CentredOrigin(work.bottom, client.bottom - client.top), 0, 0,
                 SWP_SHOWWINDOW | SWP_NOSIZE);
    ShowWindow(m_hWnd, showCommand);
    UpdateWindow(m_hWnd);
    return true;
}

bool CZKForm::Close() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    return true;
}

LRESULT CZKForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps = {};
        if (const HDC dc = BeginPaint(hwnd, &ps))
            Draw(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        if (CanClose())
            Close();
        return 0;
    case WM_MOUSEMOVE: {
        const POINT pt = PointFromLParam(lParam);
        OnMouseMove(wParam, &pt);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        const POINT pt = PointFromLParam(lParam);
        OnLButtonDown(wParam, &pt);
        return 0;
    }
    case WM_LBUTTONUP: {
        const POINT pt = PointFromLParam(lParam);
        OnLButtonUp(wParam, &pt);
        return 0;
    }
    case WM_MOUSEHOVER: {
        const POINT pt = PointFromLParam(lParam);
        OnMouseHover(wParam, &pt);
        return 0;
    }
    case WM_MOUSELEAVE: {
        const POINT pt = PointFromLParam(lParam);
        OnMouseLeave(wParam, &pt);
        return 0;
    }
    default:
        return 1;
    }
}

bool CZKForm::PreTranslateMessage(MSG*) {
    return true;
}

CZKBaseControl* CZKForm::HitTest(POINT pt) const {
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        if (PtInRect(&(*it)->m_rc, pt))
            return *it;
    }
    return nullptr;
}
