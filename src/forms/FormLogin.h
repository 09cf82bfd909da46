// The login screen's foreground window: buttons and the login page's browser over the artwork.
#pragma once

#include "ui/ZKForm.h"

#include <string>

class CFormLogin : public CZKForm {
public:
    bool InitForm();
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    std::wstring GetGameUrl() const { return m_strGameUrl; }
    std::wstring GetQQLoginUrl() const { return m_strQQLoginUrl; }
    void ReturnToLogin();

private:
    std::wstring m_strGameUrl;
    std::wstring m_strQQLoginUrl;
    bool m_bReturnedFromGame = false;
};
