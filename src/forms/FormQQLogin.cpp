#include "forms/FormQQLogin.h"

#include "app/GlobalModule.h"

bool CFormQQLogin::InitForm(const std::wstring&) {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    return true;
}

void CFormQQLogin::CenterAndShow() {}

LRESULT CFormQQLogin::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
