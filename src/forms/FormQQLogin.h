// The 800 x 500 QQ sign-in window.
#pragma once

#include "ui/ZKForm.h"

#include <string>

class CFormQQLogin : public CZKForm {
public:
    bool InitForm(const std::wstring& url);
    void CenterAndShow();
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
};
