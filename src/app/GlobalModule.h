// The application object: owns the forms and services and routes the client's messages.
#pragma once

#include "app/AppModule.h"
#include "forms/FormBack.h"
#include "forms/FormLogin.h"
#include "net/Download.h"
#include "stats/Statistics.h"

#include <windows.h>

#include <string>
#include <vector>

class CFormGame;
class CFormQQLogin;
class CHttpDownloader;
struct UpdateContext;

class CGlobalModule : public CMessageFilter {
public:
    CGlobalModule();
    virtual ~CGlobalModule();
    CGlobalModule(const CGlobalModule&) = delete;
    CGlobalModule& operator=(const CGlobalModule&) = delete;

    bool PreTranslateMessage(MSG* msg) override;

    std::wstring GetLoginUrl() const { return m_strLoginUrl; }
    std::wstring GetRefer() const { return m_strRefer; }
    std::wstring GetUid() const { return m_strUid; }
    std::wstring GetRechargeUrl() const;
    int GetRunCount();

    static LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static int OnDownloadEvent(void* user, int32_t kind, int32_t event, int32_t result,
                               intptr_t extra);
    void OnRequestDone(int32_t result, int32_t kind, DownloadRequest* request);
    // Fetches the remote version file (only the first call in a process does anything).
    void StartVersionCheck();
    void StartUpgraderDownload();

    HINSTANCE m_hInstance = nullptr;
    wchar_t m_szTitle[100] = {};
    wchar_t m_szWindowClass[100] = {};
    CFormBack m_formBack;
    CFormLogin m_formLogin;
    CFormQQLogin* m_pFormQQLogin = nullptr;
    CFormGame* m_pFormGame = nullptr;
    CHttpDownloader* m_pDownloader = nullptr;
    CStatistics m_stats;
    std::wstring m_strRemoteVersion;
    std::wstring m_strLoginUrl;
    std::wstring m_strVersionCheckUrl;
    std::wstring m_strVersionDownloadUrl;
    std::wstring m_strRefer;
    std::wstring m_strUid;
    int m_nTopMost = 0;
    std::wstring m_strUserName;
    std::wstring m_strServerId;
    int m_nRunCount = 0;
    bool m_bVersionCheckStarted = false;
    DWORD m_dwUiThreadId = 0;

private:
    void Init();
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void ShowLoginScreenAgain();
    void RetireForm(CZKForm* form);
    void DeleteRetiredForms();
    UpdateContext MakeUpdateContext();

    std::vector<CZKForm*> m_retiredForms; // on-demand forms whose objects await deletion
};

// The one application object of the process (the one most recently constructed).
CGlobalModule& GetGlobalModule();
