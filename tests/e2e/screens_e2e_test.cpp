// The real client under Wine on a 1920 x 1040 screen, against the loopback platform: the login
// screen, the game window with its toolbar, tray icon and menus, the QQ sign-in and the way
// back, seen and driven from outside as a user would.
#include "ScreenDriver.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const UINT kCloseClient = WM_USER + 201;
const UINT kTrayNotify = WM_USER + 204;
const UINT kTrayIconId = 156;
const wchar_t kExitQuestion[] = L"此操作将退出游戏，是否继续？";
const wchar_t kGameQuestion[] = L"正在游戏中，确认退出？";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    GetEnvironmentVariableW(name, buffer, 1024);
    return buffer;
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring ClientExe() {
    return ExeFolder() + L"Velmora.exe";
}

std::wstring DataFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    return std::wstring(appData) + L"\\tarsel\\pelun\\";
}

void RemoveTree(const std::wstring& folder) {
    std::wstring from = folder;
    if (!from.empty() && from.back() == L'\\')
        from.pop_back();
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    SHFileOperationW(&op);
}

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[1024] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, 1024,
                             (DataFolder() + L"Entrel.ini").c_str());
    return buffer;
}

void WriteIni(const char* text) {
    CreateDirectoryW((DataFolder().substr(0, DataFolder().size() - 7)).c_str(), nullptr);
    CreateDirectoryW(DataFolder().c_str(), nullptr);
    HANDLE file = CreateFileW((DataFolder() + L"Entrel.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out.push_back(static_cast<char>(c < 128 ? c : '?'));
    return out;
}

std::string Base() {
    return "http://127.0.0.1:" + Narrow(Env(L"VELMORA_E2E_PORT"));
}

// Tells the platform what its pages do next.
bool SetScenario(const std::string& query) {
    HINTERNET net = InternetOpenW(L"e2e", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!net)
        return false;
    const std::string url = Base() + "/__scenario?" + query;
    const std::wstring wide(url.begin(), url.end());
    HINTERNET request = InternetOpenUrlW(net, wide.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    char buffer[16];
    DWORD got = 0;
    bool ok = request && InternetReadFile(request, buffer, sizeof(buffer), &got) && got == 2;
    if (request)
        InternetCloseHandle(request);
    InternetCloseHandle(net);
    return ok;
}

// Requests the platform has seen since the mark.
class RequestLog {
public:
    void Mark() { m_mark = e2e::ReadLines(Env(L"VELMORA_E2E_REQUEST_LOG")).size(); }
    std::vector<std::string> Since() const {
        std::vector<std::string> all = e2e::ReadLines(Env(L"VELMORA_E2E_REQUEST_LOG"));
        if (all.size() <= m_mark)
            return {};
        return std::vector<std::string>(all.begin() + static_cast<long>(m_mark), all.end());
    }
    int Count(const std::string& part) const {
        int n = 0;
        for (const std::string& line : Since())
            n += line.find(part) != std::string::npos ? 1 : 0;
        return n;
    }

private:
    size_t m_mark = 0;
};

bool IconExists(HWND owner) {
    // Changing nothing of an icon succeeds only while the shell knows it.
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool InMoveLoop(HWND hwnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) &&
           (info.flags & GUI_INMOVESIZE);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

#define EXPECT_RECT(actual, l, t, r, b)                                                            \
    EXPECT_TRUE(SameRect((actual), RECT{(l), (t), (r), (b)}))                                      \
        << Show(actual) << " expected " << Show(RECT{(l), (t), (r), (b)})

// For a place the client sets a moment after showing the window (the layout follows the show).
#define EXPECT_RECT_SOON(actual, l, t, r, b)                                                       \
    do {                                                                                           \
        e2e::WaitUntil([&] { return SameRect((actual), RECT{(l), (t), (r), (b)}); }, 10000);       \
        EXPECT_RECT(actual, l, t, r, b);                                                           \
    } while (false)

// Screen pixels of a rectangle, row by row.
std::vector<COLORREF> Pixels(const RECT& rc) {
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            pixels.push_back(GetPixel(screen, x, y));
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Pixels of the yellow caption text within a screen rectangle.
int YellowPixels(const RECT& rc) {
    int n = 0;
    for (COLORREF c : Pixels(rc))
        n += (GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 90) ? 1 : 0;
    return n;
}

std::wstring ShotPath(const wchar_t* name) {
    return Env(L"VELMORA_E2E_SHOTS") + L"\\" + name;
}

// The deepest visible child under a client point of `hwnd`.
HWND DeepestChildAt(HWND hwnd, POINT pt) {
    for (;;) {
        HWND child = ChildWindowFromPointEx(hwnd, pt, CWP_SKIPINVISIBLE);
        if (!child || child == hwnd)
            return hwnd;
        MapWindowPoints(hwnd, child, &pt, 1);
        hwnd = child;
    }
}

class ScreensTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT work = {};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        ASSERT_TRUE(SameRect(work, RECT{0, 0, 1920, 1040})) << "work area " << Show(work);
        RemoveTree(DataFolder());
        DeleteRunValue();
        m_iexploreLog = Env(L"VELMORA_E2E_SHOTS") + L"\\iexplore.log";
        DeleteFileW(m_iexploreLog.c_str());
        ASSERT_TRUE(SetScenario("login=plain&game=plain&qq=stay&delay=0&href="));
        m_requests.Mark();
    }
    void TearDown() override {
        m_client.reset();
        RemoveTree(DataFolder());
        DeleteRunValue();
    }
    static void DeleteRunValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, L"Velmora");
            RegCloseKey(key);
        }
    }
    static bool RunValue(std::wstring* data) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        wchar_t buffer[600] = {};
        DWORD size = sizeof(buffer) - sizeof(wchar_t);
        DWORD type = 0;
        const bool found =
            RegQueryValueExW(key, L"Velmora", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        if (found && data)
            *data = buffer;
        return found && type == REG_SZ;
    }

    void Start(const std::wstring& arguments = std::wstring()) {
        m_client.reset(new e2e::ClientProcess());
        // The stand-in for Internet Explorer lives in the client's current folder.
        ASSERT_TRUE(m_client->Start(ClientExe(), arguments,
                                    L"VELMORA_IEXPLORE_LOG=" + m_iexploreLog,
                                    ExeFolder() + L"iexplore-stub"));
    }
    DWORD Pid() const { return m_client->Pid(); }

    // All windows of the client's class, shown or not.
    std::vector<HWND> ClientWindows(bool includeHidden = true) const {
        return e2e::TopWindows(Pid(), L"tarselEntrel", includeHidden);
    }
    static bool Layered(HWND hwnd) {
        return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    }
    static bool IsQQSized(HWND hwnd) {
        const RECT rc = e2e::WindowRect(hwnd);
        return rc.right - rc.left == 800 && rc.bottom - rc.top == 500;
    }

    // The login window (layered, holds the browser) and the background window (layered).
    bool FindLoginScreen() {
        return e2e::WaitUntil([this] {
            m_login = m_back = nullptr;
            for (HWND hwnd : ClientWindows()) {
                if (!Layered(hwnd))
                    continue;
                if (e2e::FindChild(hwnd, L""))
                    m_login = hwnd;
                else
                    m_back = hwnd;
            }
            return m_login && m_back;
        });
    }
    bool WaitLoginShown() {
        return FindLoginScreen() &&
               e2e::WaitUntil([this] { return e2e::WindowRect(m_login).left != -2000; }, 30000);
    }
    HWND WaitGameWindow(DWORD timeoutMs = 30000) {
        HWND game = nullptr;
        e2e::WaitUntil(
            [&] {
                for (HWND hwnd : ClientWindows(false))
                    if (!Layered(hwnd) && !IsQQSized(hwnd))
                        game = hwnd;
                return game != nullptr;
            },
            timeoutMs);
        return game;
    }
    std::vector<HWND> QQWindows() const {
        std::vector<HWND> found;
        for (HWND hwnd : ClientWindows(false))
            if (!Layered(hwnd) && IsQQSized(hwnd))
                found.push_back(hwnd);
        return found;
    }
    std::vector<std::string> OpenedOutside() const { return e2e::ReadLines(m_iexploreLog); }

    // A click on the page's only link (it fills the first lines of the page).
    void ClickPageLink() {
        HWND view = e2e::FindChild(m_login, L"");
        ASSERT_NE(view, nullptr);
        const RECT rc = e2e::WindowRect(view);
        POINT at = {60, 70};
        HWND target = DeepestChildAt(view, at);
        POINT screen = {rc.left + 60, rc.top + 70};
        ScreenToClient(target, &screen);
        e2e::Click(target, screen.x, screen.y);
    }

    // Opens a pop-up menu by `open`, then chooses the item at `position` by keyboard.
    HWND WaitMenu() {
        HWND menu = nullptr;
        e2e::WaitUntil([&] {
            const std::vector<HWND> menus = e2e::TopWindows(Pid(), L"#32768");
            menu = menus.empty() ? nullptr : menus.front();
            return menu != nullptr;
        });
        return menu;
    }
    void ChooseMenuItem(HWND menu, int position) {
        for (int i = 0; i <= position; ++i)
            PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        e2e::WaitUntil([&] { return !IsWindowVisible(menu); }, 10000);
    }

    std::unique_ptr<e2e::ClientProcess> m_client;
    RequestLog m_requests;
    std::wstring m_iexploreLog;
    HWND m_login = nullptr;
    HWND m_back = nullptr;
};

TEST_F(ScreensTest, NormalStartShowsTheLoginScreenOnceThePageHasLoaded) {
    struct Case {
        const wchar_t* arguments;
        const char* activityMark;
    } cases[] = {{L"", "&at=5"}, {L"/autorun", "&at=4"}};
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.arguments));
        RemoveTree(DataFolder());
        ASSERT_TRUE(SetScenario("login=plain&delay=5"));
        m_requests.Mark();
        Start(c.arguments);

        // Loading: both windows outside every screen, no taskbar button yet.
        ASSERT_TRUE(FindLoginScreen());
        ASSERT_TRUE(
            e2e::WaitUntil([&] { return IsWindowVisible(m_login) && IsWindowVisible(m_back); }));
        for (HWND hwnd : {m_login, m_back}) {
            const RECT rc = e2e::WindowRect(hwnd);
            EXPECT_EQ(rc.left, -2000);
            EXPECT_EQ(rc.top, -2000);
            const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
            EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
            EXPECT_FALSE(ex & WS_EX_APPWINDOW);
        }

        // The browser waits outside the login window's client area.
        EXPECT_RECT(e2e::ChildRect(e2e::FindChild(m_login, L"")), -100, -100, -50, -50);

        // Shown: centred on the work area, the browser in its place.
        ASSERT_TRUE(WaitLoginShown());
        EXPECT_RECT(e2e::WindowRect(m_login), 353, 145, 1566, 894);
        EXPECT_RECT_SOON(e2e::ChildRect(e2e::FindChild(m_login, L"")), 383, 234, 963, 589);
        EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(m_back).left == 353; }));
        EXPECT_RECT(e2e::WindowRect(m_back), 353, 145, 1566, 894);
        EXPECT_TRUE(GetWindowLongW(m_back, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_TRUE(GetWindowLongW(m_login, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(GetWindowLongW(m_login, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_TRUE(IsWindowVisible(m_login));
        EXPECT_TRUE(IsWindowVisible(m_back));

        EXPECT_TRUE(e2e::WaitUntil([&] { return m_requests.Count("/ps.gif") >= 1; }));
        EXPECT_TRUE(e2e::WaitUntil([&] { return m_requests.Count("/official/app.ini") >= 1; }));
        EXPECT_TRUE(e2e::WaitUntil([] { return IniValue(L"Common", L"ActiveCount") == L"1"; }));
        Sleep(1500); // room for a duplicate to show up
        EXPECT_EQ(m_requests.Count("/ps.gif"), 1);
        EXPECT_EQ(m_requests.Count(c.activityMark), 1);
        EXPECT_EQ(m_requests.Count("/official/app.ini"), 1);
        EXPECT_EQ(IniValue(L"Common", L"ActiveCount"), L"1");
        EXPECT_EQ(IniValue(L"Error", L"ErrorUrl"), L"");
        if (first) {
            Sleep(500);
            EXPECT_TRUE(e2e::SaveScreenPng(e2e::WindowRect(m_login), ShotPath(L"login.png")));
            first = false;
        }
        PostMessageW(m_login, kCloseClient, 0, 0);
        EXPECT_EQ(m_client->WaitExit(15000), 0u);
    }
}

TEST_F(ScreensTest, AFailingFirstPageIsRecordedAndKeepsTheScreenAway) {
    ASSERT_TRUE(SetScenario("login=fail"));
    Start();
    ASSERT_TRUE(FindLoginScreen());
    EXPECT_TRUE(e2e::WaitUntil([] { return !IniValue(L"Error", L"ErrorUrl").empty(); }));
    EXPECT_NE(IniValue(L"Error", L"ErrorUrl").find(L"/pelun/wd/index.html?"), std::wstring::npos);
    EXPECT_EQ(e2e::WindowRect(m_login).left, -2000);
    EXPECT_EQ(m_requests.Count("/official/app.ini"), 0);
}

TEST_F(ScreensTest, EnteringAGameFillsTheWorkAreaAndTheToolbarOpensItsPages) {
    ASSERT_TRUE(SetScenario("login=enter"));
    Start();
    ASSERT_TRUE(WaitLoginShown());
    const HWND game = WaitGameWindow();
    ASSERT_NE(game, nullptr);
    EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);
    EXPECT_RECT_SOON(e2e::ChildRect(e2e::FindChild(game, L"")), 0, 27, 1920, 1040);
    EXPECT_FALSE(GetWindowLongW(game, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TOOLWINDOW));
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return !IsWindowVisible(m_login) && !IsWindowVisible(m_back); }));
    EXPECT_EQ(m_requests.Count("/pelun/wd/enter.html?wd_entergame=1&wd_server=12&x=1"), 1)
        << "the game page loads once, in the game window only";

    // The page title "Velmora S12 game" replaces "Velmora": the yellow text grows to the right.
    EXPECT_TRUE(e2e::WaitUntil([] {
        return YellowPixels(RECT{130, 3, 331, 24}) > 20;
    })) << "caption did not follow the page title";
    Sleep(300);
    EXPECT_TRUE(e2e::SaveScreenPng(RECT{0, 0, 1920, 1040}, ShotPath(L"game.png")));

    // Button edges (close, recharge) and the page buttons. The user name is the whole rest of
    // the address that carried it; the server id comes from the game entry.
    const std::string base = Base();
    const std::string recharge =
        base + "/action/redirect_pay.php?gid=1078&sid=12&uid=bob&wd_server=7&role_id=";
    struct Case {
        int x, y;
        const wchar_t* question; // expected message box, answered No
        std::string opened;      // expected address opened outside, "" for none
    } cases[] = {
        {1892, 0, kGameQuestion, ""},
        {1919, 26, kGameQuestion, ""},
        {1580, 4, nullptr, recharge},
        {1617, 21, nullptr, recharge},
        {1579, 12, nullptr, ""}, // beside recharge: the title bar
        {1619, 12, nullptr, ""}, // the gap between recharge and official
        {1728, 13, nullptr,
         base + "/action/redirect_kf.php?gid=1078&sid=12&uid=bob&wd_server=7&role_id="},
        {1685, 13, nullptr, base + "/action/redirect_bbs.php?gid=1078"},
        {1642, 13, nullptr, base + "/pelun/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const size_t before = OpenedOutside().size();
        e2e::Click(game, c.x, c.y);
        if (c.question) {
            EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDNO), c.question);
        }
        if (!c.opened.empty()) {
            ASSERT_TRUE(e2e::WaitUntil([&] { return OpenedOutside().size() > before; }));
            EXPECT_EQ(OpenedOutside().back(), c.opened);
        } else {
            Sleep(700);
            EXPECT_EQ(OpenedOutside().size(), before);
        }
        EXPECT_TRUE(IsWindowVisible(game));
        EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);
    }
}

TEST_F(ScreensTest, MaximiseButtonDoubleClickAndCaptionDrag) {
    ASSERT_TRUE(SetScenario("login=enter"));
    Start();
    const HWND game = WaitGameWindow();
    ASSERT_NE(game, nullptr);
    Sleep(500);

    // Filling the work area, a press on the caption starts no drag.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 13),
                                    SMTO_NORMAL, 5000, &result));
    EXPECT_FALSE(InMoveLoop(game));
    SendMessageTimeoutW(game, WM_LBUTTONUP, 0, MAKELPARAM(600, 13), SMTO_NORMAL, 5000, &result);
    EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);

    // Button looks compared at rest: a move over the strip takes the hover look away.
    auto restingLook = [&](const RECT& screen) {
        PostMessageW(game, WM_MOUSEMOVE, 0, MAKELPARAM(700, 13));
        Sleep(400);
        return Pixels(screen);
    };
    const std::vector<COLORREF> maximiseLook = restingLook(RECT{1865, 0, 1892, 27});
    e2e::Click(game, 1878, 13);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(game).left == 335; }));
    EXPECT_RECT(e2e::WindowRect(game), 335, 170, 1585, 870);
    EXPECT_RECT_SOON(e2e::ChildRect(e2e::FindChild(game, L"")), 0, 27, 1250, 700);
    // The button now shows its restore look (client (1195, 0)-(1222, 27)).
    EXPECT_NE(restingLook(RECT{335 + 1195, 170, 335 + 1222, 197}), maximiseLook);

    e2e::Click(game, 1208, 13);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(game).left == 0; }));
    EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);
    EXPECT_EQ(restingLook(RECT{1865, 0, 1892, 27}), maximiseLook);

    // Double clicks on the caption text and on the strip toggle as well.
    e2e::DoubleClick(game, 40, 12);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(game).left == 335; }));
    e2e::DoubleClick(game, 700, 13);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(game).left == 0; }));
    e2e::DoubleClick(game, 700, 13);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(game).left == 335; }));

    // Restored, a press on the caption starts the system's move; Escape ends it in place.
    PostMessageW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 13));
    EXPECT_TRUE(e2e::WaitUntil([&] { return InMoveLoop(game); }, 10000));
    PostMessageW(game, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !InMoveLoop(game); }, 10000));
    EXPECT_RECT(e2e::WindowRect(game), 335, 170, 1585, 870);
    // The small icon at the left is no caption: no move.
    ASSERT_TRUE(SendMessageTimeoutW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 8),
                                    SMTO_NORMAL, 5000, &result));
    EXPECT_FALSE(InMoveLoop(game));
}

TEST_F(ScreensTest, ClosingTheGameAsksAndBringsTheLoginScreenBack) {
    ASSERT_TRUE(SetScenario("login=enter"));
    Start();
    ASSERT_TRUE(WaitLoginShown());
    const HWND game = WaitGameWindow();
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(m_login); }));
    // Moved while hidden: a re-centring on return would show.
    for (HWND hwnd : {m_login, m_back})
        SetWindowPos(hwnd, nullptr, 100, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    e2e::Click(game, 1906, 13);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDNO), kGameQuestion);
    Sleep(500);
    EXPECT_TRUE(IsWindowVisible(game));
    EXPECT_FALSE(IsWindowVisible(m_login));

    // The login page fails this time: after the game nothing is recorded for it.
    ASSERT_TRUE(SetScenario("login=fail"));
    RequestLog afterGame;
    afterGame.Mark();
    e2e::Click(game, 1906, 13);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDYES), kGameQuestion);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(game); }));
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return IsWindowVisible(m_login) && IsWindowVisible(m_back); }));
    EXPECT_EQ(GetForegroundWindow(), m_login);
    EXPECT_TRUE(e2e::WaitUntil([&] { return afterGame.Count("/pelun/wd/index.html?") >= 1; }));
    Sleep(2000);
    EXPECT_EQ(e2e::WindowRect(m_login).left, 100);
    EXPECT_EQ(e2e::WindowRect(m_login).top, 90);
    EXPECT_EQ(e2e::WindowRect(m_back).left, 100);
    EXPECT_EQ(m_requests.Count("/official/app.ini"), 1);
    EXPECT_EQ(IniValue(L"Error", L"ErrorUrl"), L"");
    EXPECT_TRUE(m_client->Running());
    EXPECT_EQ(e2e::FindMessageBox(Pid()), nullptr);
}

TEST_F(ScreensTest, TheGamePageCanSendThePlayerBackWithoutAQuestion) {
    ASSERT_TRUE(SetScenario("login=enter&game=return"));
    Start();
    ASSERT_TRUE(WaitLoginShown());
    const HWND game = WaitGameWindow();
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(SetScenario("login=plain"));
    RequestLog afterGame;
    afterGame.Mark();
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(game); }, 30000));
    EXPECT_EQ(e2e::FindMessageBox(Pid()), nullptr);
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return IsWindowVisible(m_login) && IsWindowVisible(m_back); }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return afterGame.Count("/pelun/wd/index.html?") >= 1; }));
    EXPECT_TRUE(m_client->Running());
}

TEST_F(ScreensTest, TrayIconTrayMenuAndSettingsMenu) {
    ASSERT_TRUE(SetScenario("login=enter"));
    Start();
    const HWND game = WaitGameWindow();
    ASSERT_NE(game, nullptr);
    Sleep(500);

    // To the tray and back with a left click on the icon.
    e2e::Click(game, 1823, 13);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(game); }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return IconExists(game); }));
    PostMessageW(game, kTrayNotify, kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(game); }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IconExists(game); }));
    EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);

    // Tray menu: "退出" answered No keeps the window hidden and the icon; "打开" restores.
    e2e::Click(game, 1823, 13);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindowVisible(game); }));
    PostMessageW(game, kTrayNotify, kTrayIconId, WM_RBUTTONUP);
    HWND menu = WaitMenu();
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, 1); // 退出
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDNO), kExitQuestion);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(game));
    EXPECT_TRUE(IconExists(game));
    PostMessageW(game, kTrayNotify, kTrayIconId, WM_RBUTTONUP);
    menu = WaitMenu();
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, 0); // 打开
    EXPECT_TRUE(e2e::WaitUntil([&] { return IsWindowVisible(game); }));
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IconExists(game); }));

    // Settings menu below its button: 刷新, 清理缓存, 开机启动.
    auto openSettings = [&] {
        e2e::Click(game, 1771, 13);
        return WaitMenu();
    };
    menu = openSettings();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(e2e::WindowRect(menu).left, 1752);
    EXPECT_EQ(e2e::WindowRect(menu).top, 22);
    Sleep(300);
    const std::vector<COLORREF> unchecked = Pixels(e2e::WindowRect(menu));
    ChooseMenuItem(menu, 2);
    std::wstring data;
    EXPECT_TRUE(e2e::WaitUntil([&] { return RunValue(&data); }));
    EXPECT_EQ(data, L"\"" + ClientExe() + L"\" /autorun");

    menu = openSettings();
    ASSERT_NE(menu, nullptr);
    Sleep(300);
    EXPECT_NE(Pixels(e2e::WindowRect(menu)), unchecked) << "no check mark on 开机启动";
    ChooseMenuItem(menu, 2);
    EXPECT_TRUE(e2e::WaitUntil([&] { return !RunValue(nullptr); }));

    menu = openSettings();
    ASSERT_NE(menu, nullptr);
    Sleep(300);
    EXPECT_EQ(Pixels(e2e::WindowRect(menu)), unchecked);
    ChooseMenuItem(menu, 1);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDOK), L"缓存清理完毕！");

    RequestLog beforeRefresh;
    beforeRefresh.Mark();
    menu = openSettings();
    ASSERT_NE(menu, nullptr);
    ChooseMenuItem(menu, 0);
    EXPECT_TRUE(e2e::WaitUntil([&] { return beforeRefresh.Count("/pelun/wd/enter.html?") >= 1; }));
    EXPECT_RECT(e2e::WindowRect(game), 0, 0, 1920, 1040);
    EXPECT_TRUE(IsWindowVisible(game));
}

TEST_F(ScreensTest, QQSignInOpensItsWindowAndHandsTheResultToTheLoginPage) {
    ASSERT_TRUE(SetScenario("login=qq"));
    Start();
    ASSERT_TRUE(WaitLoginShown());
    Sleep(500);
    ClickPageLink();
    std::vector<HWND> qq;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (qq = QQWindows()).size() == 1; }));
    const HWND first = qq.front();
    EXPECT_RECT_SOON(e2e::WindowRect(first), 560, 270, 1360, 770);
    EXPECT_RECT_SOON(e2e::ChildRect(e2e::FindChild(first, L"")), 3, 27, 797, 496);
    EXPECT_FALSE(GetWindowLongW(first, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST));
    // Caption "Velmora" -> the long page title: yellow text far to the right.
    EXPECT_TRUE(e2e::WaitUntil([] {
        return YellowPixels(RECT{560 + 150, 272, 560 + 400, 293}) > 20;
    })) << "caption did not follow the page title";
    Sleep(300);
    EXPECT_TRUE(e2e::SaveScreenPng(e2e::WindowRect(first), ShotPath(L"qq.png")));
    EXPECT_EQ(m_requests.Count("/qqconn/oauth/redirect_to_login.php?which=1"), 1);

    // A second request while one is open: the newer window replaces the older.
    ASSERT_TRUE(SetScenario("qq=finish"));
    ClickPageLink();
    EXPECT_TRUE(e2e::WaitUntil([&] { return !IsWindow(first); }));
    ASSERT_TRUE(e2e::WaitUntil([&] {
        qq = QQWindows();
        return qq.size() == 1 && qq.front() != first;
    }));

    // The sign-in ends at the account site: the login page goes there, the QQ window goes,
    // and the login page carries on into the game.
    EXPECT_TRUE(
        e2e::WaitUntil([&] { return m_requests.Count("/login?go&ticket=qq42") >= 1; }, 30000));
    EXPECT_TRUE(e2e::WaitUntil([&] { return QQWindows().empty(); }));
    EXPECT_NE(WaitGameWindow(), nullptr);
    EXPECT_GE(m_requests.Count("/pelun/wd/user.html?wd_username=qq42"), 1);
}

TEST_F(ScreensTest, LoginCloseAndBackgroundCloseAskFirst) {
    Start();
    ASSERT_TRUE(WaitLoginShown());
    Sleep(500);
    e2e::Click(m_login, 1077, 165);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDNO), kExitQuestion);
    Sleep(500);
    EXPECT_TRUE(m_client->Running());
    EXPECT_TRUE(IsWindowVisible(m_login));
    PostMessageW(m_back, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDNO), kExitQuestion);
    Sleep(500);
    EXPECT_TRUE(m_client->Running());
    EXPECT_TRUE(IsWindowVisible(m_back));
    e2e::Click(m_login, 1077, 165);
    EXPECT_EQ(e2e::WaitAndAnswerMessageBox(Pid(), IDYES), kExitQuestion);
    EXPECT_EQ(m_client->WaitExit(15000), 0u);
}

TEST_F(ScreensTest, TopMostSettingCoversTheLoginScreenButNotTheQQWindow) {
    WriteIni("[Common]\r\nTopMost=1\r\n");
    ASSERT_TRUE(SetScenario("login=qq"));
    Start();
    ASSERT_TRUE(WaitLoginShown());
    EXPECT_TRUE(GetWindowLongW(m_login, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowRect(m_back).left == 353; }));
    EXPECT_TRUE(GetWindowLongW(m_back, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Sleep(500);
    ClickPageLink();
    std::vector<HWND> qq;
    ASSERT_TRUE(e2e::WaitUntil([&] { return (qq = QQWindows()).size() == 1; }));
    EXPECT_FALSE(GetWindowLongW(qq.front(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(ScreensTest, PageLinksOpenOutsideOnlyWhenTheyAreWebAddresses) {
    const std::string web = Base() + "/pelun/news.html?id=3";
    struct Case {
        std::string href;
        bool opened;
    } cases[] = {
        {web, true},
        {"file:///C:/windows/system32/notepad.exe", false},
        {"file:///C:/windows/notepad.exe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.href);
        DeleteFileW(m_iexploreLog.c_str());
        std::string encoded;
        for (char ch : c.href) {
            char hex[4];
            wsprintfA(hex, "%%%02X", static_cast<unsigned char>(ch));
            encoded += isalnum(static_cast<unsigned char>(ch)) ? std::string(1, ch) : hex;
        }
        ASSERT_TRUE(SetScenario("login=link&href=" + encoded));
        Start();
        ASSERT_TRUE(WaitLoginShown());
        Sleep(500);
        ClickPageLink();
        if (c.opened) {
            ASSERT_TRUE(e2e::WaitUntil([&] { return !OpenedOutside().empty(); }));
            EXPECT_EQ(OpenedOutside().back(), c.href);
        } else {
            Sleep(3000);
            EXPECT_TRUE(OpenedOutside().empty());
            EXPECT_FALSE(e2e::ProcessRunning(L"notepad.exe"));
        }
        EXPECT_TRUE(QQWindows().empty());
        EXPECT_TRUE(IsWindowVisible(m_login));
        PostMessageW(m_login, kCloseClient, 0, 0);
        EXPECT_EQ(m_client->WaitExit(15000), 0u);
    }
}

} // namespace
