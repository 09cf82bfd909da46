#include "ui/ZKForm.h"

CZKForm::~CZKForm() { m_hWnd = nullptr; }

void CZKForm::SetRect(const RECT* rc) {
    if (rc)
        m_rc = *rc;
}

void CZKForm::GetRect(RECT* out) const {
    if (out)
        *out = m_rc;
}

bool CZKForm::Create(const wchar_t* className, const wchar_t* windowName, HINSTANCE module) {
    if (m_hWnd)
        return true;
    m_hWnd = CreateWindowExW(0, className, windowName, WS_POPUP, m_rc.left, m_rc.top, m_rc.right,
                             m_rc.bottom, nullptr, nullptr, module, nullptr);
    if (m_hWnd)
        SetWindowTextW(m_hWnd, L"Velmora");
    return m_hWnd != nullptr;
}

bool CZKForm::Close() {
    if (m_hWnd)
        DestroyWindow(m_hWnd);
    return true;
}

LRESULT CZKForm::WindowProc(HWND, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        if (CanClose())
            Close();
        return 0;
    default:
        return 1;
    }
}

bool CZKForm::PreTranslateMessage(MSG*) { return true; }
