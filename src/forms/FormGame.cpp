#include "forms/FormGame.h"

#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "app/WinHandles.h"
#include "forms/FormCommon.h"
#include "forms/ScreenRules.h"

#include <cstdint>
#include <cstring>

namespace {

const wchar_t kProductTitle[] = L"Velmora";
const wchar_t kCaption[] = L"提示";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const COLORREF kTitleColour = 0x0000FFFF; // yellow
const int kIdiClient = 151;
const UINT kTrayIconId = 156;
// The record size of the shell's version-3 icon data: every field used here, no balloon icon.
const DWORD kNotifyIconDataSize = 956;

enum : int {
    IDR_MENU_SETTINGS = 149,
    IDR_MENU_TRAY = 156,
    ID_SETTINGS_REFRESH = 32774,
    ID_SETTINGS_AUTORUN = 32776,
    ID_SETTINGS_CLEAR_CACHE = 32778,
    ID_TRAY_OPEN = 32781,
    ID_TRAY_EXIT = 32782,
};

// Sent by the shell to every top-level window when the notification area has (re)started.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void SetBox(CZKBaseControl& control, const Box& b) {
    const RECT rc = MakeRect(b.left, b.top, b.right, b.bottom);
    control.SetRect(&rc);
}

Size2 ButtonSize(const CZKButton& b) {
    return Size2{b.GetBitmapWidth(), b.GetBitmapHeight()};
}

void LoadButton(CZKButton& button, int normal, int hoverAndPressed) {
    button.LoadBitmaps(normal, hoverAndPressed, hoverAndPressed, GetGlobalModule().m_hInstance);
    button.m_hCursor = HandCursor();
}

} // namespace

static_assert(sizeof(NOTIFYICONDATAW) >= 956, "icon record too small for the fields in use");

CFormGame::CFormGame() {
    std::memset(&m_nid, 0, sizeof(m_nid));
    m_nid.cbSize = kNotifyIconDataSize;
}

CFormGame::~CFormGame() {
    // An icon left behind would outlive the window it calls back to.
    RemoveTrayIcon();
}

bool CFormGame::InitForm(const wchar_t* gameUrl) {
    CGlobalModule& module = GetGlobalModule();
    Create(module.m_szWindowClass, module.m_szTitle, module.m_hInstance);
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    SetWindowLongW(m_hWnd, GWL_STYLE, (style & 0xFF3AFFFF) | 0x000A0000);

    m_imgTitleBar.SetBitmap(LoadBitmapResource(148), true);
    AddControl(&m_imgTitleBar);

    LoadButton(m_btnMin, 142, 161);
    AddControl(&m_btnMin);
    LoadButton(m_btnClose, 138, 158);
    AddControl(&m_btnClose);
    LoadButton(m_btnMax, 141, 160);
    m_btnMax.LoadAltBitmaps(143, 162, 162, module.m_hInstance);
    m_btnMax.m_bAltSet = false;
    AddControl(&m_btnMax);
    LoadButton(m_btnTray, 137, 157);
    AddControl(&m_btnTray);
    LoadButton(m_btnSetting, 147, 165);
    AddControl(&m_btnSetting);
    LoadButton(m_btnForum, 139, 159);
    AddControl(&m_btnForum);
    LoadButton(m_btnOfficial, 144, 163);
    AddControl(&m_btnOfficial);
    LoadButton(m_btnRecharge, 145, 167);
    AddControl(&m_btnRecharge);
    LoadButton(m_btnService, 146, 164);
    AddControl(&m_btnService);

    m_imgIcon.SetBitmap(LoadBitmapResource(140), true);
    AddControl(&m_imgIcon);

    m_lblTitle.SetOwner(m_hWnd);
    m_lblTitle.SetText(kProductTitle, true);
    m_lblTitle.SetTextColor(kTitleColour, true);
    AddControl(&m_lblTitle);

    m_view.Create(L"about:blank", MakeRect(308, 170, 910, 547), m_hWnd);
    m_view.m_webNotify.AddHandler(this, &CFormGame::OnWebNotify);
    m_view.m_bBlockNewWindow = true;
    m_view.Navigate(gameUrl ? gameUrl : L"", std::string());
    return true;
}

void CFormGame::LayoutControls() {
    RECT client = {};
    GetClientRect(m_hWnd, &client);
    GameBitmapSizes sizes;
    sizes.titleBar = Size2{m_imgTitleBar.GetWidth(), m_imgTitleBar.GetHeight()};
    sizes.close = ButtonSize(m_btnClose);
    sizes.max = ButtonSize(m_btnMax);
    sizes.min = ButtonSize(m_btnMin);
    sizes.tray = ButtonSize(m_btnTray);
    sizes.setting = ButtonSize(m_btnSetting);
    sizes.service = ButtonSize(m_btnService);
    sizes.forum = ButtonSize(m_btnForum);
    sizes.official = ButtonSize(m_btnOfficial);
    sizes.recharge = ButtonSize(m_btnRecharge);
    sizes.icon = Size2{m_imgIcon.GetWidth(), m_imgIcon.GetHeight()};
    const GameLayout l =
        LayoutGameToolbar(client.right - client.left, client.bottom - client.top, sizes);
    SetBox(m_imgTitleBar, l.titleBar);
    SetBox(m_btnClose, l.close);
    SetBox(m_btnMax, l.max);
    SetBox(m_btnMin, l.min);
    SetBox(m_btnTray, l.tray);
    SetBox(m_btnSetting, l.setting);
    SetBox(m_btnService, l.service);
    SetBox(m_btnForum, l.forum);
    SetBox(m_btnOfficial, l.official);
    SetBox(m_btnRecharge, l.recharge);
    SetBox(m_imgIcon, l.icon);
    SetBox(m_lblTitle, l.title);
    SetWindowPos(m_view.GetHwnd(), nullptr, l.view.left, l.view.top, l.view.right - l.view.left,
                 l.view.bottom - l.view.top, SWP_SHOWWINDOW);
}

bool CFormGame::FillWorkArea() {
    if (!m_hWnd)
        return false;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    SetWindowPos(m_hWnd, HWND_TOP, 0, 0, work.right, work.bottom, SWP_SHOWWINDOW);
    LayoutControls();
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UpdateWindow(m_hWnd);
    m_bMaximized = true;
    return true;
}

bool CFormGame::RestoreSize() {
    if (!m_hWnd)
        return false;
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int w = m_rc.right - m_rc.left;
    const int h = m_rc.bottom - m_rc.top;
    const Point2 at = CenterInWorkArea(work.right, work.bottom, w, h);
    SetWindowPos(m_hWnd, HWND_TOP, at.x, at.y, w, h, SWP_SHOWWINDOW);
    LayoutControls();
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    UpdateWindow(m_hWnd);
    m_bMaximized = false;
    return true;
}

void CFormGame::ToggleSize() {
    // Normal look (one frame) while filling the work area, alternate (two frames) restored.
    if (m_btnMax.m_bAltSet != m_bMaximized) {
        m_btnMax.m_bAltSet = m_bMaximized;
        m_btnMax.SetState(CZKButton::STATE_REFRESH);
    }
    if (m_bMaximized)
        RestoreSize();
    else
        FillWorkArea();
}

LRESULT CFormGame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (CZKForm::WindowProc(hwnd, message, wParam, lParam) == 0)
        return 0;
    switch (message) {
    case WM_LBUTTONDBLCLK: {
        const POINT pt = {static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
        OnLButtonDblClk(wParam, &pt);
        return 0;
    }
    case WM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return 0;
    case WM_DESTROY:
        RemoveTrayIcon();
        return 0;
    default:
        if (message == TaskbarCreatedMessage() && m_bInTray) {
            // The notification area restarted and lost our icon; without it the hidden
            // window could never be brought back.
            m_bTrayIcon = false;
            AddTrayIcon(LoadIconW(GetGlobalModule().m_hInstance, MAKEINTRESOURCEW(kIdiClient)));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool CFormGame::OnLButtonDown(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    if (hit == &m_imgTitleBar || hit == &m_lblTitle) {
        // Only the restored window can be dragged by its caption.
        if (!m_bMaximized)
            SendMessageW(m_hWnd, WM_SYSCOMMAND, 0xF011, 0);
        return true;
    }
    return hit->OnLButtonDown(keys, pt);
}

bool CFormGame::OnLButtonUp(WPARAM keys, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (!hit)
        return false;
    hit->OnLButtonUp(keys, pt);
    CGlobalModule& module = GetGlobalModule();
    if (hit == &m_btnMin) {
        ShowWindow(m_hWnd, SW_MINIMIZE);
        return true;
    }
    if (hit == &m_btnMax) {
        ToggleSize();
        return true;
    }
    if (hit == &m_btnClose) {
        if (MessageBoxW(m_hWnd, L"正在游戏中，确认退出？", kCaption, MB_YESNO | MB_DEFBUTTON2) !=
            IDYES)
            return false;
        Close();
        return true;
    }
    if (hit == &m_btnService) {
        OpenPageOutside(ServiceUrl(VELMORA_SITE_HOST, module.m_strServerId, module.m_strUserName));
        return true;
    }
    if (hit == &m_btnRecharge) {
        OpenPageOutside(module.GetRechargeUrl());
        return true;
    }
    if (hit == &m_btnOfficial) {
        OpenPageOutside(OfficialUrl(VELMORA_SITE_HOST));
        return true;
    }
    if (hit == &m_btnForum) {
        OpenPageOutside(ForumUrl(VELMORA_SITE_HOST));
        return true;
    }
    if (hit == &m_btnSetting)
        return ShowSettingsMenu();
    if (hit == &m_btnTray) {
        HideToTray();
        return false;
    }
    return false;
}

bool CFormGame::OnLButtonDblClk(WPARAM, const POINT* pt) {
    CZKBaseControl* hit = HitTest(*pt);
    if (hit == &m_imgTitleBar || hit == &m_lblTitle) {
        ToggleSize();
        return true;
    }
    return false;
}

bool CFormGame::CanClose() {
    return MessageBoxW(m_hWnd, L"正在游戏中，确认退出？", kCaption, MB_YESNO | MB_DEFBUTTON2) ==
           IDYES;
}

bool CFormGame::PreTranslateMessage(MSG* msg) {
    if (GameKeyFilter(msg->message) == FilterAction::OfferToView)
        return m_view.PreTranslateMessage(msg) != 0;
    return false;
}

void CFormGame::OnWebNotify(unsigned code, unsigned, long lParam) {
    switch (code) {
    case WEBNOTIFY_BEFORE_NAVIGATE:
        if (IsReturnToLoginUrl(m_view.GetUrl()))
            Close();
        break;
    case WEBNOTIFY_TITLE_CHANGE: {
        const wchar_t* title = reinterpret_cast<const wchar_t*>(static_cast<intptr_t>(lParam));
        m_lblTitle.SetText(title ? title : L"", true);
        break;
    }
    case WEBNOTIFY_NEW_WINDOW:
        OpenPageOutside(m_view.GetUrl());
        break;
    default:
        break;
    }
}

// ---- notification area, menus, start at boot ----------------------------------------------

void CFormGame::HideToTray() {
    AddTrayIcon(LoadIconW(GetGlobalModule().m_hInstance, MAKEINTRESOURCEW(kIdiClient)));
    m_bInTray = true;
    ShowWindow(m_hWnd, SW_HIDE);
}

void CFormGame::AddTrayIcon(HICON icon) {
    m_nid.hWnd = m_hWnd;
    m_nid.uID = kTrayIconId;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
    m_nid.hIcon = icon;
    lstrcpynW(m_nid.szTip, kProductTitle, ARRAYSIZE(m_nid.szTip));
    m_bTrayIcon = Shell_NotifyIconW(NIM_ADD, &m_nid) != FALSE;
}

bool CFormGame::RemoveTrayIcon() {
    if (!m_bTrayIcon)
        return false;
    m_nid.uFlags = 0;
    const bool removed = Shell_NotifyIconW(NIM_DELETE, &m_nid) != FALSE;
    if (removed)
        m_bTrayIcon = false;
    return removed;
}

void CFormGame::OnTrayNotify(LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        ShowWindow(m_hWnd, SW_SHOW);
        m_bInTray = false;
        RemoveTrayIcon();
        break;
    case WM_RBUTTONUP:
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

int CFormGame::ShowMenu(int resourceId, POINT at, int checkedCommand, bool checked) {
    UniqueMenu bar(LoadMenuW(GetGlobalModule().m_hInstance, MAKEINTRESOURCEW(resourceId)));
    if (!bar)
        return -1;
    const HMENU popup = GetSubMenu(bar.Get(), 0);
    if (!popup)
        return -1;
    // Detached, the pop-up survives the bar and is destroyed on its own.
    RemoveMenu(bar.Get(), 0, MF_BYPOSITION);
    UniqueMenu owned(popup);
    bar.Reset();
    if (checkedCommand)
        CheckMenuItem(popup, checkedCommand, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    return TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr);
}

bool CFormGame::ShowTrayMenu() {
    POINT at = {};
    GetCursorPos(&at);
    // A menu of a background window closes on an outside click only when it is foreground.
    SetForegroundWindow(m_hWnd);
    switch (ShowMenu(IDR_MENU_TRAY, at, 0, false)) {
    case ID_TRAY_OPEN:
        ShowWindow(m_hWnd, SW_SHOWNORMAL);
        m_bInTray = false;
        RemoveTrayIcon();
        return true;
    case ID_TRAY_EXIT:
        if (MessageBoxW(m_hWnd, L"此操作将退出游戏，是否继续？", kCaption,
                        MB_YESNO | MB_DEFBUTTON2) != IDYES)
            return false;
        m_bInTray = false;
        RemoveTrayIcon();
        Close();
        return true;
    default:
        return false;
    }
}

bool CFormGame::ShowSettingsMenu() {
    RECT button = {};
    m_btnSetting.GetRect(&button);
    POINT at = {button.left, button.bottom};
    ClientToScreen(m_hWnd, &at);
    const bool on = IsAutoRun();
    switch (ShowMenu(IDR_MENU_SETTINGS, at, ID_SETTINGS_AUTORUN, on)) {
    case ID_SETTINGS_REFRESH:
        m_view.Refresh();
        return true;
    case ID_SETTINGS_AUTORUN:
        SetAutoRun(!on);
        return true;
    case ID_SETTINGS_CLEAR_CACHE:
        ClearUrlCache();
        MessageBoxW(m_hWnd, L"缓存清理完毕！", kCaption, MB_OK);
        return true;
    default:
        return false;
    }
}

bool CFormGame::IsAutoRun() const {
    UniqueRegKey key;
    // Reading needs no more than query rights.
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    return RegQueryValueExW(key.Get(), kProductTitle, nullptr, &type, nullptr, &size) ==
           ERROR_SUCCESS;
}

bool CFormGame::SetAutoRun(bool on) const {
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, 260);
    if (on && (length == 0 || length >= 260))
        return false; // a cut path would start the wrong program at logon
    UniqueRegKey key;
    if (RegCreateKeyW(HKEY_CURRENT_USER, kRunKey, key.Out()) != ERROR_SUCCESS)
        return false;
    if (!on)
        return RegDeleteValueW(key.Get(), kProductTitle) == ERROR_SUCCESS;
    const std::wstring data = AutorunValue(path);
    return RegSetValueExW(key.Get(), kProductTitle, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}
