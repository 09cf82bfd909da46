#include "forms/FormLogin.h"

#include "app/GlobalModule.h"
#include "app/Messages.h"

bool CFormLogin::InitForm() {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, (style & 0x7F30FF7F) | 0x000A0000);
    LONG exStyle = (GetWindowLongW(m_hWnd, GWL_EXSTYLE) & 0xFFFFFE7E) | WS_EX_LAYERED;
    if (module.m_nTopMost == 1)
        exStyle |= WS_EX_TOPMOST;
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle);
    SetLayeredWindowAttributes(m_hWnd, RGB(255, 128, 255), 0, LWA_COLORKEY);
    return true;
}

void CFormLogin::ReturnToLogin() { m_bReturnedFromGame = true; }

LRESULT CFormLogin::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE_CLIENT:
        Close();
        return 0;
    case WM_CONFIRM_EXIT:
        if (MessageBoxW(m_hWnd, L"此操作将退出游戏，是否继续？", L"提示",
                        MB_YESNO | MB_DEFBUTTON2) == IDNO)
            return 0;
        PostQuitMessage(0);
        Close();
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}
