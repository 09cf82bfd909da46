#include "forms/FormLogin.h"

#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "forms/FormCommon.h"
#include "forms/ScreenRules.h"

namespace {

const COLORREF kKeyColour = RGB(255, 128, 255);
const int kWidth = 1213;
const int kHeight = 749;
const wchar_t kExitQuestion[] = L"此操作将退出游戏，是否继续？";
const wchar_t kCaption[] = L"提示";

} // namespace

bool CFormLogin::InitForm() {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, (style & 0x7F30FF7F) | 0x000A0000);
    LONG exStyle = (GetWindowLongW(m_hWnd, GWL_EXSTYLE) & 0xFFFFFE7E) | WS_EX_LAYERED;
    if (module.m_nTopMost == 1)
        exStyle |= WS_EX_TOPMOST;
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle);
    SetLayeredWindowAttributes(m_hWnd, kKeyColour, 0, LWA_COLORKEY);

    // Stretched unkeyed over the whole window: everything but buttons and browser is key.
    m_imgKey.SetBitmap(LoadBitmapResource(136), false);
    RECT rc = MakeRect(0, 0, kWidth, kHeight);
    m_imgKey.SetRect(&rc);
    AddControl(&m_imgKey);

    m_btnMin.LoadBitmaps(135, 169, 169, module.m_hInstance);
    rc = MakeRect(1026, 151, 1057, 182);
    m_btnMin.SetRect(&rc);
    m_btnMin.m_hCursor = HandCursor();
    AddControl(&m_btnMin);

    m_btnClose.LoadBitmaps(134, 168, 168, module.m_hInstance);
    rc = MakeRect(1057, 145, 1097, 186);
    m_btnClose.SetRect(&rc);
    m_btnClose.m_hCursor = HandCursor();
    AddControl(&m_btnClose);

    // Outside the client area until the first page has loaded.
    m_view.Create(L"about:blank", MakeRect(-100, -100, -50, -50), m_hWnd);
    m_view.m_webNotify.AddHandler(this, &CFormLogin::OnWebNotify);
    m_view.m_bBlockNewWindow = true;
    m_view.Navigate(module.GetLoginUrl(), std::string());
    m_view.FocusDocument();
    return true;
}

void CFormLogin::ReturnToLogin() {
    m_bReturnedFromGame = true;
    m_view.Navigate(GetGlobalModule().GetLoginUrl(), std::string());
}

bool CFormLogin::AskExit() const {
    return MessageBoxW(m_hWnd, kExitQuestion, kCaption, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

LRESULT CFormLogin::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        // Again once the children are gone: a browser engine that pumps messages while it is
        // torn down may have taken the first quit request, and the client must still end.
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE_CLIENT:
        Close();
        return 0;
    case WM_CONFIRM_EXIT:
        if (MessageBoxW(m_hWnd, kExitQuestion, kCaption, MB_YESNO | MB_DEFBUTTON2) == IDNO)
            return 0;
        PostQuitMessage(0);
        Close();
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool CFormLogin::OnLButtonDown(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    if (hit == &m_imgKey) {
        SendMessageW(m_hWnd, WM_SYSCOMMAND, 0xF011, 0);
        return true;
    }
    return hit->OnLButtonDown(keys, pt);
}

bool CFormLogin::OnLButtonUp(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    hit->OnLButtonUp(keys, pt);
    if (hit == &m_btnMin) {
        // The background window carries the taskbar button; this window follows it.
        ShowWindow(GetGlobalModule().m_formBack.GetHwnd(), SW_MINIMIZE);
        return true;
    }
    if (hit == &m_btnClose) {
        if (!AskExit())
            return false;
        Close();
        return true;
    }
    return false;
}

bool CFormLogin::PreTranslateMessage(MSG* msg) {
    const bool ctrlDown = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (LoginKeyFilter(msg->message, static_cast<unsigned>(msg->wParam), ctrlDown)) {
    case FilterAction::OfferToView:
        return m_view.PreTranslateMessage(msg) != 0;
    case FilterAction::KeepBackUnder: {
        // A press may have started a move of this window: bring the artwork along, keeping
        // the stacking order (the artwork stays under this window).
        POINT p = {0, 0};
        ClientToScreen(m_hWnd, &p);
        SetWindowPos(GetGlobalModule().m_formBack.GetHwnd(), nullptr, p.x, p.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return false;
    }
    case FilterAction::None:
    default:
        return false;
    }
}

void CFormLogin::ShowLoginWindow() {
    CGlobalModule& module = GetGlobalModule();
    const bool topMost = module.m_nTopMost == 1;
    LONG exStyle = (GetWindowLongW(m_hWnd, GWL_EXSTYLE) & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW;
    if (topMost)
        exStyle |= WS_EX_TOPMOST;
    SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle);

    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    MoveWindow(m_view.GetHwnd(), 383, 234, 580, 355, FALSE);
    ShowWindow(m_hWnd, SW_HIDE);
    const Point2 at = CenterInWorkArea(work.right, work.bottom, client.right - client.left,
                                       client.bottom - client.top);
    SetWindowPos(m_hWnd, topMost ? HWND_TOPMOST : HWND_TOP, at.x, at.y, 0, 0,
                 SWP_NOSIZE | SWP_NOREDRAW | SWP_SHOWWINDOW);
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
}

void CFormLogin::OnWebNotify(unsigned code, unsigned, long) {
    CGlobalModule& module = GetGlobalModule();
    switch (code) {
    case WEBNOTIFY_DOCUMENT_COMPLETE:
        module.m_stats.SendActiveBeacon();
        if (!IsActivated())
            MarkActivated();
        break;
    case WEBNOTIFY_NAVIGATE_ERROR:
        if (!m_bReturnedFromGame)
            WriteIniString(L"Error", L"ErrorUrl", m_view.GetUrl());
        break;
    case WEBNOTIFY_BEFORE_NAVIGATE: {
        const std::wstring url = m_view.GetUrl();
        module.m_strUserName = UserNameFromUrl(url, module.m_strUserName);
        module.m_strServerId.clear();
        if (IsGameEntryUrl(url)) {
            const std::wstring server = ServerIdFromUrl(url);
            if (!server.empty())
                module.m_strServerId = server;
            // The game page opens in the game window, not here.
            m_view.m_bCancelNavigate = true;
            m_strGameUrl = url;
            PostMessageW(m_hWnd, WM_ENTER_GAME, 0, 0);
        }
        break;
    }
    case WEBNOTIFY_NAVIGATE_COMPLETE:
        if (m_bReturnedFromGame)
            break;
        ShowLoginWindow();
        module.m_formBack.ShowOnWorkArea(false);
        module.StartVersionCheck();
        break;
    case WEBNOTIFY_NEW_WINDOW: {
        const std::wstring url = m_view.GetUrl();
        if (IsQQGatewayUrl(url, VELMORA_QQ_GATEWAY_HOST)) {
            m_view.m_bCancelNavigate = true;
            m_strQQLoginUrl = url;
            PostMessageW(m_hWnd, WM_OPEN_QQ_LOGIN, 0, 0);
        } else {
            OpenPageOutside(url);
        }
        break;
    }
    default:
        break;
    }
}
