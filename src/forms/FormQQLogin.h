// The 800 x 500 QQ sign-in window.
#pragma once

#include "browser/BrowserView.h"
#include "ui/ZKButton.h"
#include "ui/ZKForm.h"
#include "ui/ZKImage.h"
#include "ui/ZKLabel.h"

class CFormQQLogin : public CZKForm {
public:
    CFormQQLogin() = default;
    ~CFormQQLogin() override = default;

    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    virtual bool InitForm(const wchar_t* url);

    bool CenterAndShow();
    void Layout();
    void OnWebNotify(unsigned code, unsigned wParam, long lParam);

    CZKImage m_imgTitle;
    CZKImage m_imgLeft;
    CZKImage m_imgRight;
    CZKImage m_imgBottom;
    CZKButton m_btnClose;
    CZKLabel m_lblCaption;
    CBrowserView m_view;
};
