// The game and QQ forms as real windows with the client's resources, driven through the
// application object: layout from the real bitmaps, sizes, tray icon, start at boot, and what
// becomes of the forms when their windows go.
#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "app/RunClient.h"
#include "forms/FormGame.h"
#include "forms/FormQQLogin.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <memory>
#include <string>

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool IconExists(HWND owner) {
    // Changing nothing of an icon succeeds only while the shell knows it.
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = 156;
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

void DeleteIcon(HWND owner) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = 156;
    Shell_NotifyIconW(NIM_DELETE, &nid);
}

RECT Rect(const CZKBaseControl& control) {
    RECT rc = {};
    control.GetRect(&rc);
    return rc;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

#define EXPECT_RECT(actual, l, t, r, b)                                                            \
    EXPECT_TRUE(Same((actual), RECT{(l), (t), (r), (b)}))                                          \
        << Show(actual) << " expected " << Show(RECT{(l), (t), (r), (b)})

void DeleteRunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Velmora");
        RegCloseKey(key);
    }
}

class FormsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::SetDataFolder(m_root.Path());
        m_module = std::make_unique<CGlobalModule>();
        m_module->m_hInstance = GetModuleHandleW(nullptr);
        wcscpy(m_module->m_szWindowClass, L"vmFormsTest");
        wcscpy(m_module->m_szTitle, L"Velmora");
        RegisterClientWindowClass(*m_module); // fails harmlessly when already registered
        // The login window only as the receiver of the client's messages.
        ASSERT_TRUE(
            m_module->m_formLogin.Create(L"vmFormsTest", L"Velmora", GetModuleHandleW(nullptr)));
        m_module->m_formLogin.m_strGameUrl = L"about:blank";
        m_module->m_formLogin.m_strQQLoginUrl = L"about:blank";
        DeleteRunValue();
    }
    void TearDown() override {
        if (m_module && IsWindow(m_module->m_formLogin.GetHwnd()))
            DestroyWindow(m_module->m_formLogin.GetHwnd());
        Pump();
        m_module.reset();
        testing_hooks::SetDataFolder(L"");
        DeleteRunValue();
    }
    HWND Login() const { return m_module->m_formLogin.GetHwnd(); }
    // What the message loop does between messages, including freeing retired forms.
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            if (m_module && m_module->PreTranslateMessage(&msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (m_module) {
            MSG idle = {};
            m_module->PreTranslateMessage(&idle);
        }
    }
    CFormGame* EnterGame() {
        SendMessageW(Login(), WM_ENTER_GAME, 0, 0);
        Pump();
        return m_module->m_pFormGame;
    }

    test::TempFolder m_root;
    std::unique_ptr<CGlobalModule> m_module;
};

TEST_F(FormsWindowTest, GameWindowLayoutFollowsItsSize) {
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_TRUE(Same(work, RECT{0, 0, 1920, 1040})) << Show(work);
    CFormGame* game = EnterGame();
    ASSERT_NE(game, nullptr);
    const HWND hwnd = game->GetHwnd();
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    EXPECT_RECT(rc, 0, 0, 1920, 1040);
    EXPECT_TRUE(game->m_bMaximized);
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(
        GetWindowLongW(hwnd, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);

    struct Case {
        int width;
        RECT close, max, min, tray, setting, service, forum, official, recharge;
    } cases[] = {
        {1920,
         {1892, 0, 1920, 27},
         {1865, 0, 1892, 27},
         {1837, 0, 1865, 27},
         {1810, 0, 1837, 27},
         {1752, 4, 1790, 22},
         {1709, 4, 1747, 22},
         {1666, 4, 1704, 22},
         {1623, 4, 1661, 22},
         {1580, 4, 1618, 22}},
        {1250,
         {1222, 0, 1250, 27},
         {1195, 0, 1222, 27},
         {1167, 0, 1195, 27},
         {1140, 0, 1167, 27},
         {1082, 4, 1120, 22},
         {1039, 4, 1077, 22},
         {996, 4, 1034, 22},
         {953, 4, 991, 22},
         {910, 4, 948, 22}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        if (c.width == 1250) {
            game->ToggleSize();
            GetWindowRect(hwnd, &rc);
            EXPECT_RECT(rc, 335, 170, 1585, 870);
            EXPECT_FALSE(game->m_bMaximized);
            EXPECT_TRUE(game->m_btnMax.m_bAltSet); // the restore look
        }
        EXPECT_TRUE(Same(Rect(game->m_btnClose), c.close)) << Show(Rect(game->m_btnClose));
        EXPECT_TRUE(Same(Rect(game->m_btnMax), c.max)) << Show(Rect(game->m_btnMax));
        EXPECT_TRUE(Same(Rect(game->m_btnMin), c.min)) << Show(Rect(game->m_btnMin));
        EXPECT_TRUE(Same(Rect(game->m_btnTray), c.tray)) << Show(Rect(game->m_btnTray));
        EXPECT_TRUE(Same(Rect(game->m_btnSetting), c.setting)) << Show(Rect(game->m_btnSetting));
        EXPECT_TRUE(Same(Rect(game->m_btnService), c.service)) << Show(Rect(game->m_btnService));
        EXPECT_TRUE(Same(Rect(game->m_btnForum), c.forum)) << Show(Rect(game->m_btnForum));
        EXPECT_TRUE(Same(Rect(game->m_btnOfficial), c.official)) << Show(Rect(game->m_btnOfficial));
        EXPECT_TRUE(Same(Rect(game->m_btnRecharge), c.recharge)) << Show(Rect(game->m_btnRecharge));
        EXPECT_RECT(Rect(game->m_imgTitleBar), 0, 0, c.width, 27);
        EXPECT_RECT(Rect(game->m_imgIcon), 5, 3, 21, 17);
        EXPECT_EQ(Rect(game->m_lblTitle).left, 31);
    }
    game->ToggleSize();
    GetWindowRect(hwnd, &rc);
    EXPECT_RECT(rc, 0, 0, 1920, 1040);
    EXPECT_FALSE(game->m_btnMax.m_bAltSet);
}

TEST_F(FormsWindowTest, ARestartedNotificationAreaGetsTheIconBack) {
    CFormGame* game = EnterGame();
    ASSERT_NE(game, nullptr);
    const HWND hwnd = game->GetHwnd();
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

    game->HideToTray();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    ASSERT_TRUE(IconExists(hwnd));
    EXPECT_EQ(game->m_nid.cbSize, 956u);
    EXPECT_EQ(game->m_nid.uCallbackMessage, static_cast<UINT>(WM_TRAY_NOTIFY));
    EXPECT_STREQ(game->m_nid.szTip, L"Velmora");

    // The notification area restarts: its icons are gone until their owners add them again.
    DeleteIcon(hwnd);
    ASSERT_FALSE(IconExists(hwnd));
    SendMessageW(hwnd, taskbarCreated, 0, 0);
    EXPECT_TRUE(IconExists(hwnd)) << "a hidden game window would be lost";
    EXPECT_FALSE(IsWindowVisible(hwnd));

    // Brought back by a click on the icon: no icon, and a restart adds none.
    SendMessageW(hwnd, WM_TRAY_NOTIFY, 156, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IconExists(hwnd));
    SendMessageW(hwnd, taskbarCreated, 0, 0);
    EXPECT_FALSE(IconExists(hwnd));

    // Other tray mouse messages change nothing; a double click restores too.
    game->HideToTray();
    SendMessageW(hwnd, WM_TRAY_NOTIFY, 156, WM_MOUSEMOVE);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IconExists(hwnd));
    SendMessageW(hwnd, WM_TRAY_NOTIFY, 156, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IconExists(hwnd));
}

TEST_F(FormsWindowTest, StartAtBootValue) {
    CFormGame* game = EnterGame();
    ASSERT_NE(game, nullptr);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);

    EXPECT_FALSE(game->IsAutoRun());
    EXPECT_FALSE(game->SetAutoRun(false)); // nothing to delete
    ASSERT_TRUE(game->SetAutoRun(true));
    EXPECT_TRUE(game->IsAutoRun());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    wchar_t data[600] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    ASSERT_EQ(
        RegQueryValueExW(key, L"Velmora", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(data), L"\"" + std::wstring(exe) + L"\" /autorun");
    EXPECT_EQ(size, (wcslen(data) + 1) * sizeof(wchar_t)); // the terminating null included

    // Any value of that name counts, whatever its type or data.
    const DWORD zero = 0;
    RegSetValueExW(key, L"Velmora", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
    EXPECT_TRUE(game->IsAutoRun());
    RegSetValueExW(key, L"Velmora", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2);
    EXPECT_TRUE(game->IsAutoRun());
    RegCloseKey(key);

    EXPECT_TRUE(game->SetAutoRun(false));
    EXPECT_FALSE(game->IsAutoRun());
}

TEST_F(FormsWindowTest, ClosedGameWindowIsForgottenAndFreedAndTheLoginScreenComesBack) {
    CFormGame* first = EnterGame();
    ASSERT_NE(first, nullptr);
    const HWND firstWindow = first->GetHwnd();

    // A second entry before the first window went: the newer replaces it, no return to login.
    CFormGame* second = EnterGame();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsWindow(firstWindow));
    EXPECT_TRUE(IsWindow(second->GetHwnd()));
    EXPECT_FALSE(m_module->m_formLogin.m_bReturnedFromGame);

    // The page's own way back: no question, the window goes, the login window returns.
    const HWND secondWindow = second->GetHwnd();
    ShowWindow(Login(), SW_HIDE);
    second->Close();
    EXPECT_FALSE(IsWindow(secondWindow));
    EXPECT_EQ(m_module->m_pFormGame, nullptr);
    EXPECT_TRUE(m_module->m_formLogin.m_bReturnedFromGame);
    EXPECT_TRUE(IsWindowVisible(Login()));
    Pump(); // the retired forms are freed here (a sanitizer build would see a leak otherwise)
    EXPECT_TRUE(IsWindow(Login()));
}

TEST_F(FormsWindowTest, QQWindowsReplaceEachOtherAndAreForgottenWhenClosed) {
    SendMessageW(Login(), WM_OPEN_QQ_LOGIN, 0, 0);
    Pump();
    CFormQQLogin* first = m_module->m_pFormQQLogin;
    ASSERT_NE(first, nullptr);
    const HWND firstWindow = first->GetHwnd();
    RECT rc = {};
    GetWindowRect(firstWindow, &rc);
    EXPECT_RECT(rc, 560, 270, 1360, 770);
    EXPECT_TRUE(IsWindowVisible(firstWindow));
    EXPECT_EQ(GetWindowLongW(firstWindow, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);
    EXPECT_RECT(Rect(first->m_imgTitle), 0, 0, 800, 27);
    EXPECT_RECT(Rect(first->m_btnClose), 772, 0, 800, 27);
    // The caption starts at (5, 2) and sizes itself to its text when drawn.
    EXPECT_EQ(Rect(first->m_lblCaption).left, 5);
    EXPECT_EQ(Rect(first->m_lblCaption).top, 2);
    EXPECT_EQ(Rect(first->m_lblCaption).bottom, 22);
    EXPECT_RECT(Rect(first->m_imgLeft), 0, 27, 3, 500);
    EXPECT_RECT(Rect(first->m_imgRight), 797, 27, 800, 500);
    EXPECT_RECT(Rect(first->m_imgBottom), 0, 496, 800, 500);

    SendMessageW(Login(), WM_OPEN_QQ_LOGIN, 0, 0);
    Pump();
    CFormQQLogin* second = m_module->m_pFormQQLogin;
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(firstWindow)); // no window left that nothing would route to
    const HWND secondWindow = second->GetHwnd();
    EXPECT_TRUE(IsWindowVisible(secondWindow));

    // Its close button: closed without a question and forgotten.
    const POINT pt = {786, 13};
    second->OnLButtonUp(0, &pt);
    EXPECT_FALSE(IsWindow(secondWindow));
    EXPECT_EQ(m_module->m_pFormQQLogin, nullptr);
    Pump();
    EXPECT_TRUE(IsWindow(Login()));
}

} // namespace
