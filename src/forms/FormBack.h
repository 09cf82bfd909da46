// The login screen's artwork window (per-pixel alpha); carries the taskbar button.
#pragma once

#include "ui/ZKForm.h"

class CFormBack : public CZKForm {
public:
    bool InitForm();
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};
