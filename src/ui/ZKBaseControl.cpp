#include "ui/ZKBaseControl.h"

CZKBaseControl::CZKBaseControl()
    : m_hCursor(LoadCursorW(nullptr, IDC_ARROW)), m_strClassName(L"CZKBaseControl") {}

CZKBaseControl::~CZKBaseControl() = default;

bool CZKBaseControl::OnLButtonDown(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    return false;
}

bool CZKBaseControl::OnLButtonUp(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    return false;
}

bool CZKBaseControl::OnMouseMove(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    return false;
}

bool CZKBaseControl::OnLButtonDblClk(WPARAM, const POINT*) {
    return false;
}

void CZKBaseControl::Draw(HDC) {}

void CZKBaseControl::SetRect(const RECT* rc) {
    if (rc)
        m_rc = *rc;
}

RECT* CZKBaseControl::GetRect(RECT* out) const {
    if (out)
        *out = m_rc;
    return out;
}

std::wstring* CZKBaseControl::GetClassName(std::wstring* out) const {
    if (out)
        *out = m_strClassName;
    return out;
}

void CZKBaseControl::SetOwner(HWND owner) {
    m_hOwner = owner;
}

void CZKBaseControl::Repaint() {
    // A null window would make RedrawWindow repaint the whole desktop.
    if (m_hOwner)
        RedrawWindow(m_hOwner, &m_rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
