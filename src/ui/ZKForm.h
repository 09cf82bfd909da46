// Top-level window of the client's one window class.
#pragma once

#include <windows.h>

class CZKForm {
public:
    CZKForm() = default;
    virtual ~CZKForm();
    CZKForm(const CZKForm&) = delete;
    CZKForm& operator=(const CZKForm&) = delete;

    virtual void SetRect(const RECT* rc);
    virtual void GetRect(RECT* out) const;
    virtual bool CanClose() { return true; }
    virtual bool Create(const wchar_t* className, const wchar_t* windowName, HINSTANCE module);
    virtual bool Close();
    virtual HWND GetHwnd() const { return m_hWnd; }
    // 0 = handled, 1 = not handled (the caller goes on with its own handling).
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool PreTranslateMessage(MSG* msg);

protected:
    RECT m_rc = {0, 0, 0, 0};
    HWND m_hWnd = nullptr;
};
