// Root of the windowless controls: a rectangle in its owner window, a cursor and a class name.
#pragma once

#include <windows.h>

#include <string>

class CZKBaseControl {
public:
    CZKBaseControl();
    virtual ~CZKBaseControl();
    CZKBaseControl(const CZKBaseControl&) = delete;
    CZKBaseControl& operator=(const CZKBaseControl&) = delete;

    virtual bool OnLButtonDown(WPARAM keys, const POINT* pt);
    virtual bool OnLButtonUp(WPARAM keys, const POINT* pt);
    virtual bool OnMouseMove(WPARAM keys, const POINT* pt);
    virtual bool OnLButtonDblClk(WPARAM keys, const POINT* pt);
    virtual void Draw(HDC dc);
    virtual void SetRect(const RECT* rc);
    virtual RECT* GetRect(RECT* out) const;
    virtual std::wstring* GetClassName(std::wstring* out) const;
    virtual void SetOwner(HWND owner);

    // Erases and repaints m_rc of the owner at once.
    void Repaint();

    RECT m_rc = {0, 0, 0, 0};
    HWND m_hOwner = nullptr;
    HCURSOR m_hCursor = nullptr;
    std::wstring m_strClassName;
};
