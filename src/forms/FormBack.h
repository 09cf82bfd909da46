// The login screen's artwork window (per-pixel alpha); carries the taskbar button.
#pragma once

#include "ui/ZKForm.h"

class CFormBack : public CZKForm {
public:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual bool InitForm();

    // Gives the window the taskbar button and centres it on the work area (keepPosition:
    // leaves it where it is) and shows it.
    void ShowOnWorkArea(bool keepPosition);

private:
    // Puts the login window onto this window's client origin, above it.
    void GlueLoginWindow(UINT flags);
};
