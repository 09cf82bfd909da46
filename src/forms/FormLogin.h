// The login screen's foreground window: buttons and the login page's browser over the artwork.
#pragma once

#include "browser/BrowserView.h"
#include "ui/ZKButton.h"
#include "ui/ZKForm.h"
#include "ui/ZKImage.h"

#include <string>

class CFormLogin : public CZKForm {
public:
    CFormLogin() = default;
    ~CFormLogin() override = default;

    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    virtual bool InitForm();

    std::wstring GetGameUrl() const { return m_strGameUrl; }
    std::wstring GetQQLoginUrl() const { return m_strQQLoginUrl; }
    void ReturnToLogin();
    void ShowLoginWindow();
    void OnWebNotify(unsigned code, unsigned wParam, long lParam);

    CZKImage m_imgKey;
    CZKButton m_btnClose;
    CZKButton m_btnMin;
    std::wstring m_strGameUrl;
    std::wstring m_strQQLoginUrl;
    bool m_bReturnedFromGame = false;
    CBrowserView m_view;

private:
    bool AskExit() const;
};
