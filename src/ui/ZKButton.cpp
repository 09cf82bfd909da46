#include "ui/ZKButton.h"

#include "ui/Bitmaps.h"

CZKButton::CZKButton() {
    m_strClassName = L"CZKButton";
}

CZKButton::~CZKButton() {
    m_hBmpCur = nullptr;
    ReleaseSet(&m_hBmpNormal, &m_hBmpHover, &m_hBmpPressed);
    ReleaseSet(&m_hBmpAltNormal, &m_hBmpAltHover, &m_hBmpAltPressed);
}

void CZKButton::ReleaseSet(HBITMAP* normal, HBITMAP* hover, HBITMAP* pressed) {
    // The owner may have put one handle into several slots: each is deleted once.
    HBITMAP* slots[] = {&m_hBmpNormal,    &m_hBmpHover,    &m_hBmpPressed,
                        &m_hBmpAltNormal, &m_hBmpAltHover, &m_hBmpAltPressed};
    for (HBITMAP* victim : {normal, hover, pressed}) {
        const HBITMAP handle = *victim;
        if (!handle)
            continue;
        for (HBITMAP* slot : slots) {
            if (*slot == handle)
                *slot = nullptr;
        }
        if (m_hBmpCur == handle)
            m_hBmpCur = nullptr;
        DeleteObject(handle);
    }
}

bool CZKButton::OnLButtonDown(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    SetState(STATE_PRESSED);
    return false;
}

bool CZKButton::OnLButtonUp(WPARAM, const POINT*) {
    ::SetCursor(m_hCursor);
    SetState(STATE_RELEASED);
    return false;
}

bool CZKButton::OnMouseMove(WPARAM, const POINT* pt) {
    ::SetCursor(m_hCursor);
    SetState(pt && PtInRect(&m_rc, *pt) ? STATE_HOVER : STATE_NORMAL);
    return false;
}

void CZKButton::Draw(HDC dc) {
    if (!m_hBmpCur)
        return;
    DrawBitmap(dc, m_hBmpCur, m_nBmpWidth, m_nBmpHeight, m_rc, true);
    // Buttons keep their laid-out rectangle: their text never resizes them.
    if (!m_strText.empty())
        PaintText(dc, DT_CENTER, false);
}

void CZKButton::LoadBitmaps(int normalId, int hoverId, int pressedId, HINSTANCE module) {
    ReleaseSet(&m_hBmpNormal, &m_hBmpHover, &m_hBmpPressed);
    m_hBmpNormal = LoadBitmapW(module, MAKEINTRESOURCEW(normalId));
    m_hBmpHover = LoadBitmapW(module, MAKEINTRESOURCEW(hoverId));
    m_hBmpPressed = LoadBitmapW(module, MAKEINTRESOURCEW(pressedId));
    m_hBmpCur = m_hBmpNormal;
    if (m_hBmpNormal)
        GetBitmapSize(m_hBmpNormal, &m_nBmpWidth, &m_nBmpHeight);
}

void CZKButton::LoadAltBitmaps(int normalId, int hoverId, int pressedId, HINSTANCE module) {
    ReleaseSet(&m_hBmpAltNormal, &m_hBmpAltHover, &m_hBmpAltPressed);
    m_hBmpAltNormal = LoadBitmapW(module, MAKEINTRESOURCEW(normalId));
    m_hBmpAltHover = LoadBitmapW(module, MAKEINTRESOURCEW(hoverId));
    m_hBmpAltPressed = LoadBitmapW(module, MAKEINTRESOURCEW(pressedId));
    if (m_bAltSet)
        m_hBmpCur = BitmapForState();
}

HBITMAP CZKButton::BitmapForState() const {
    switch (m_nState) {
    case STATE_HOVER:
    case STATE_RELEASED:
        return m_bAltSet ? m_hBmpAltHover : m_hBmpHover;
    case STATE_PRESSED:
        return m_bAltSet ? m_hBmpAltPressed : m_hBmpPressed;
    default:
        return m_bAltSet ? m_hBmpAltNormal : m_hBmpNormal;
    }
}

void CZKButton::SetState(int s) {
    if (s == m_nState)
        return;
    if (s != STATE_REFRESH)
        m_nState = s;
    m_hBmpCur = BitmapForState();
    Repaint();
}
