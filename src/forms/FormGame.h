// The game window: toolbar above the game page, filling the work area; tray icon and menus.
#pragma once

#include "browser/BrowserView.h"
#include "ui/ZKButton.h"
#include "ui/ZKForm.h"
#include "ui/ZKImage.h"
#include "ui/ZKLabel.h"

#include <shellapi.h>

#include <string>

class CFormGame : public CZKForm {
public:
    CFormGame();
    ~CFormGame() override;

    bool OnLButtonDown(WPARAM keys, const POINT* pt) override;
    bool OnLButtonUp(WPARAM keys, const POINT* pt) override;
    bool OnLButtonDblClk(WPARAM keys, const POINT* pt) override;
    bool CanClose() override;
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    virtual bool InitForm(const wchar_t* gameUrl);

    void LayoutControls();
    bool FillWorkArea();
    bool RestoreSize();
    void ToggleSize();
    void OnWebNotify(unsigned code, unsigned wParam, long lParam);

    // Notification area, menus, start at boot.
    void HideToTray();
    void OnTrayNotify(LPARAM mouseMessage);
    bool ShowSettingsMenu();
    bool ShowTrayMenu();
    void AddTrayIcon(HICON icon);
    bool RemoveTrayIcon();
    bool IsAutoRun() const;
    bool SetAutoRun(bool on) const;

    CZKImage m_imgTitleBar;
    CZKButton m_btnClose;
    CZKButton m_btnMin;
    CZKButton m_btnMax;
    CZKButton m_btnTray;
    CZKButton m_btnSetting;
    CZKButton m_btnForum;
    CZKButton m_btnOfficial;
    CZKButton m_btnRecharge;
    CZKButton m_btnService;
    CZKImage m_imgIcon;
    CZKLabel m_lblTitle;
    CBrowserView m_view;
    NOTIFYICONDATAW m_nid;
    bool m_bTrayIcon = false;
    bool m_bMaximized = false;
    bool m_bInTray = false; // hidden to the notification area (the icon should exist)

private:
    int ShowMenu(int resourceId, POINT at, int checkedCommand, bool checked);
};
