// The game window: toolbar above the game page, filling the work area.
#pragma once

#include "ui/ZKForm.h"

#include <string>

class CFormGame : public CZKForm {
public:
    bool InitForm(const std::wstring& url);
    void FillWorkArea();
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};
