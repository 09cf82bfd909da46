#include "forms/FormBack.h"

#include "app/GlobalModule.h"

bool CFormBack::InitForm() {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    return true;
}

LRESULT CFormBack::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
