#include "app/GlobalModule.h"

#include "app/Config.h"
#include "app/Messages.h"
#include "app/Text.h"
#include "forms/FormGame.h"
#include "forms/FormQQLogin.h"
#include "net/HttpDownloader.h"
#include "net/SelfUpdate.h"

#include <new>
#include <utility>

namespace {
CGlobalModule* g_instance = nullptr;
}

CGlobalModule& GetGlobalModule() { return *g_instance; }

CGlobalModule::CGlobalModule() {
    g_instance = this;
    m_dwUiThreadId = GetCurrentThreadId(); // built on the thread that runs the windows
    Init();
    m_pDownloader = new (std::nothrow) CHttpDownloader();
    m_stats.Bind(m_pDownloader, &CGlobalModule::OnDownloadEvent, this, m_strRefer, m_strUid);
}

CGlobalModule::~CGlobalModule() {
    // Workers may still call back into this object: stop them before anything goes.
    if (m_pDownloader) {
        m_pDownloader->StopAll();
        delete m_pDownloader;
        m_pDownloader = nullptr;
    }
    m_stats.Bind(nullptr, nullptr, nullptr, m_strRefer, m_strUid);
    // Forms made on demand, whether still showing or already retired.
    RetireForm(m_pFormGame);
    m_pFormGame = nullptr;
    RetireForm(m_pFormQQLogin);
    m_pFormQQLogin = nullptr;
    DeleteRetiredForms();
    if (g_instance == this)
        g_instance = nullptr;
}

void CGlobalModule::Init() {
    m_nRunCount = 0;
    m_strLoginUrl = std::wstring(L"http://") + VELMORA_SITE_HOST + L"/pelun/wd/index.html";
    m_strVersionCheckUrl =
        ReadIniString(L"Common", L"VersionCheck",
                      std::wstring(L"http://") + VELMORA_DOWNLOAD_HOST +
                          L"/tarsel/pelun/official/app.ini");
    m_strVersionDownloadUrl =
        ReadIniString(L"Common", L"VersionDownLoad",
                      std::wstring(L"http://") + VELMORA_DOWNLOAD_HOST +
                          L"/tarsel/pelun/official/tarselpelun.exe");
    m_strRefer = ReadIniString(L"Common", L"Refer", L"");
    m_strUid = ReadIniString(L"Common", L"UID", L"");
    m_nTopMost = ReadIniInt(L"Common", L"TopMost", 0);

    std::wstring installTime = ReadIniString(L"Install", L"InstallTime", L"");
    if (installTime.empty()) {
        installTime = FormatNow(L"%Y-%m-%d %H:%M:%S");
        WriteIniString(L"Install", L"InstallTime", installTime);
    }
    const std::wstring curTime = FormatNow(L"%Y%m%d%H%M%S");
    m_strLoginUrl = AppendQuery(m_strLoginUrl, BuildLoginQuery(m_strRefer, m_strUid,
                                                               CLIENT_VERSION, installTime,
                                                               GetRunCount(), curTime));
}

int CGlobalModule::GetRunCount() {
    if (m_nRunCount != 0)
        return m_nRunCount;
    if (!IsCountedRun(GetProcessCommandLine()))
        return m_nRunCount;
    m_nRunCount = ReadIniInt(L"Common", L"RunCount", 0) + 1;
    WriteIniString(L"Common", L"RunCount", std::to_wstring(m_nRunCount));
    return m_nRunCount;
}

std::wstring CGlobalModule::GetRechargeUrl() const {
    return std::wstring(L"http://") + VELMORA_SITE_HOST +
           L"/action/redirect_pay.php?gid=1078&sid=" + m_strServerId + L"&uid=" +
           m_strUserName + L"&role_id=";
}

LRESULT CALLBACK CGlobalModule::MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_instance)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    // Nothing may unwind through the system's dispatch code.
    try {
        return g_instance->HandleMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CGlobalModule::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ENTER_GAME: {
        // A second entry posted before the first was handled would leave an unrouted window
        // behind: the newer entry replaces it (without the return to the login screen).
        if (CFormGame* previous = std::exchange(m_pFormGame, nullptr)) {
            if (IsWindow(previous->GetHwnd()))
                DestroyWindow(previous->GetHwnd());
            RetireForm(previous);
        }
        m_pFormGame = new CFormGame();
        const RECT rc = {0, 0, 1250, 700};
        m_pFormGame->SetRect(&rc);
        m_pFormGame->InitForm(m_formLogin.GetGameUrl().c_str());
        m_pFormGame->FillWorkArea();
        ShowWindow(m_formLogin.GetHwnd(), SW_HIDE);
        ShowWindow(m_formBack.GetHwnd(), SW_HIDE);
        return 0;
    }
    case WM_OPEN_QQ_LOGIN: {
        // Only the newest QQ form is routed to: an older window still open would be orphaned,
        // so it goes, and its object is freed once no message of it is being handled.
        if (CFormQQLogin* previous = std::exchange(m_pFormQQLogin, nullptr)) {
            if (IsWindow(previous->GetHwnd()))
                DestroyWindow(previous->GetHwnd());
            RetireForm(previous);
        }
        m_pFormQQLogin = new CFormQQLogin();
        const RECT rc = {0, 0, 800, 500};
        m_pFormQQLogin->SetRect(&rc);
        m_pFormQQLogin->InitForm(m_formLogin.GetQQLoginUrl().c_str());
        m_pFormQQLogin->CenterAndShow();
        break; // routed like any other message below
    }
    default:
        break;
    }

    if (m_pFormQQLogin && hwnd == m_pFormQQLogin->GetHwnd()) {
        const LRESULT result = m_pFormQQLogin->WindowProc(hwnd, msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            // Its window is gone (close button, sign-in finished): free the form once the
            // message loop is back, never while one of its own handlers may be running.
            RetireForm(std::exchange(m_pFormQQLogin, nullptr));
        }
        return result;
    }
    if (hwnd == m_formLogin.GetHwnd())
        return m_formLogin.WindowProc(hwnd, msg, wParam, lParam);
    if (hwnd == m_formBack.GetHwnd())
        return m_formBack.WindowProc(hwnd, msg, wParam, lParam);
    if (m_pFormGame && hwnd == m_pFormGame->GetHwnd()) {
        if (msg == WM_DESTROY) {
            ShowLoginScreenAgain();
            return 0;
        }
        return m_pFormGame->WindowProc(hwnd, msg, wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void CGlobalModule::ShowLoginScreenAgain() {
    // The game form may be on the stack (its close button destroyed the window): free it later.
    RetireForm(m_pFormGame);
    m_pFormGame = nullptr;
    m_formLogin.ReturnToLogin();
    const HWND back = m_formBack.GetHwnd();
    const HWND login = m_formLogin.GetHwnd();
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    ShowWindow(back, SW_SHOWNA);
    ShowWindow(login, SW_SHOWNA);
    SetForegroundWindow(login);
    const RECT rc = {0, 0, 1213, 749};
    RedrawWindow(login, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CGlobalModule::RetireForm(CZKForm* form) {
    if (form)
        m_retiredForms.push_back(form);
}

void CGlobalModule::DeleteRetiredForms() {
    std::vector<CZKForm*> forms;
    forms.swap(m_retiredForms);
    for (CZKForm* form : forms) {
        if (IsWindow(form->GetHwnd()))
            DestroyWindow(form->GetHwnd());
        delete form;
    }
}

bool CGlobalModule::PreTranslateMessage(MSG* msg) {
    // Called from the message loop itself, so no window procedure of a retired form is running.
    if (!m_retiredForms.empty())
        DeleteRetiredForms();
    const HWND fg = GetForegroundWindow();
    if (m_pFormQQLogin && fg == m_pFormQQLogin->GetHwnd() &&
        m_pFormQQLogin->PreTranslateMessage(msg))
        return true;
    const HWND login = m_formLogin.GetHwnd();
    if (IsWindowVisible(login) && fg == login && m_formLogin.PreTranslateMessage(msg))
        return true;
    if (m_pFormGame && fg == m_pFormGame->GetHwnd() && m_pFormGame->PreTranslateMessage(msg))
        return true;
    return false;
}

int CGlobalModule::OnDownloadEvent(void* user, int32_t kind, int32_t event, int32_t result,
                                   intptr_t extra) {
    if (event != DL_EVENT_END || !user)
        return 0;
    static_cast<CGlobalModule*>(user)->OnRequestDone(result, kind,
                                                     reinterpret_cast<DownloadRequest*>(extra));
    return 0;
}

UpdateContext CGlobalModule::MakeUpdateContext() {
    UpdateContext context;
    context.hwndLogin = m_formLogin.GetHwnd();
    context.pDownloader = m_pDownloader;
    context.strVersionCheckUrl = m_strVersionCheckUrl;
    context.strVersionDownloadUrl = m_strVersionDownloadUrl;
    context.pRemoteVersion = &m_strRemoteVersion;
    context.pVersionCheckStarted = &m_bVersionCheckStarted;
    context.pfnCallback = &CGlobalModule::OnDownloadEvent;
    context.pUser = this;
    context.dwUiThreadId = m_dwUiThreadId;
    return context;
}

void CGlobalModule::StartVersionCheck() { CSelfUpdate(MakeUpdateContext()).StartVersionCheck(); }

void CGlobalModule::StartUpgraderDownload() {
    CSelfUpdate(MakeUpdateContext()).StartUpgraderDownload();
}

void CGlobalModule::OnRequestDone(int32_t result, int32_t kind, DownloadRequest* request) {
    CSelfUpdate(MakeUpdateContext()).OnRequestDone(result, kind, request);
}
