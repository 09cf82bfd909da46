// A top-level window of the client's one window class and the windowless controls in it.
#pragma once

#include "ui/ZKBaseControl.h"

#include <vector>

class CZKForm : public CZKBaseControl {
public:
    CZKForm() = default;
    ~CZKForm() override; // forgets window and controls; destroys neither

    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    bool OnMouseMove(WPARAM keys, const POINT* pt) override;
    bool OnLButtonDblClk(WPARAM keys, const POINT* pt) override;
    void Draw(HDC dc) override; // every control, first added first

    virtual bool AddControl(CZKBaseControl* control);
    virtual bool OnMouseLeave(WPARAM keys, const POINT* pt);
    virtual bool OnMouseHover(WPARAM keys, const POINT* pt);
    virtual bool CanClose() { return true; }
    virtual void TrackMouse();
    virtual bool Create(const wchar_t* className, const wchar_t* windowName, HINSTANCE module);
    virtual bool ShowCentered(int showCommand);
    virtual bool Close();
    virtual HWND GetHwnd() const { return m_hWnd; }
    // 0 = handled, 1 = not handled (the caller goes on with its own handling).
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool PreTranslateMessage(MSG* msg);

    // The topmost control containing pt (the last added wins), or null.
    CZKBaseControl* HitTest(POINT pt) const;

protected:
    HWND m_hWnd = nullptr;
    bool m_bTracking = false;
    std::vector<CZKBaseControl*> m_controls; // not owned; insertion order = painting order
};
