// The application object: settings, run counting, login URL and message routing, with the
// real profile API under a data folder of the test's own.
#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "app/RunClient.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

const std::wstring kLoginPage = std::wstring(L"http://") + VELMORA_SITE_HOST + L"/pelun/wd/index.html";

class GlobalModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::SetDataFolder(m_root.Path());
        testing_hooks::SetClock(&test::FixedClock);
        testing_hooks::SetCommandLine(L"\"C:\\Velmora\\Velmora.exe\"");
    }
    void TearDown() override {
        m_module.reset();
        testing_hooks::SetDataFolder(L"");
        testing_hooks::SetClock(nullptr);
        testing_hooks::SetCommandLine(nullptr);
    }
    std::wstring Ini() const { return m_root.Path() + L"Entrel.ini"; }
    void WriteIni(const std::string& text) { ASSERT_TRUE(test::WriteFileBytes(Ini(), text)); }
    CGlobalModule& Start(const wchar_t* commandLine = nullptr) {
        if (commandLine)
            testing_hooks::SetCommandLine(commandLine);
        m_module = std::make_unique<CGlobalModule>();
        return *m_module;
    }
    std::wstring Query() const {
        const std::wstring url = m_module->GetLoginUrl();
        return url.substr(url.find(L'?') + 1);
    }

    test::TempFolder m_root;
    std::unique_ptr<CGlobalModule> m_module;
};

TEST_F(GlobalModuleTest, LoginUrlCarriesSettingsInstallDateRunAndClock) {
    WriteIni("[Common]\r\nRefer=abc\r\nUID=42\r\nRunCount=6\r\n"
             "[Install]\r\nInstallTime=2024-03-05 09:30:00\r\n");
    CGlobalModule& module = Start();
    EXPECT_EQ(module.GetLoginUrl(),
              kLoginPage + L"?referer=abc&frm=42&version=3000&installtime=20240305&runcount=7"
                           L"&curtime=20240306101112&showlogintype=3");
    EXPECT_EQ(module.GetRefer(), L"abc");
    EXPECT_EQ(module.GetUid(), L"42");
    EXPECT_EQ(ReadIniInt(L"Common", L"RunCount", 0), 7);
}

TEST_F(GlobalModuleTest, FirstStartWritesInstallTimeAndCountsRunOne) {
    CGlobalModule& module = Start();
    EXPECT_EQ(Query(), L"referer=&frm=&version=3000&installtime=20240306&runcount=1"
                       L"&curtime=20240306101112&showlogintype=3&regtimes=1");
    EXPECT_EQ(ReadIniString(L"Install", L"InstallTime", L""), L"2024-03-06 10:11:12");
    EXPECT_EQ(ReadIniString(L"Common", L"RunCount", L""), L"1");
    EXPECT_EQ(module.m_nTopMost, 0);
    EXPECT_EQ(module.m_strVersionCheckUrl,
              std::wstring(L"http://") + VELMORA_DOWNLOAD_HOST + L"/tarsel/pelun/official/app.ini");
    EXPECT_EQ(module.m_strVersionDownloadUrl, std::wstring(L"http://") + VELMORA_DOWNLOAD_HOST +
                                                  L"/tarsel/pelun/official/tarselpelun.exe");
}

TEST_F(GlobalModuleTest, SettingsOverrideDefaults) {
    WriteIni("[Common]\r\nVersionCheck=http://127.0.0.1:9/v.ini\r\n"
             "VersionDownLoad=http://127.0.0.1:9/u.exe\r\nTopMost=1\r\n");
    CGlobalModule& module = Start();
    EXPECT_EQ(module.m_strVersionCheckUrl, L"http://127.0.0.1:9/v.ini");
    EXPECT_EQ(module.m_strVersionDownloadUrl, L"http://127.0.0.1:9/u.exe");
    EXPECT_EQ(module.m_nTopMost, 1);
}

TEST_F(GlobalModuleTest, WhichRunsAreCounted) {
    const std::string stored = "[Common]\r\nRunCount=4\r\n[Install]\r\nInstallTime=2024-01-02 03:04:05\r\n";
    struct Case {
        const wchar_t* commandLine;
        int expectedCount; // 0 = not counted, file untouched
    } cases[] = {
        {L"\"C:\\V\\Velmora.exe\" /setupsucc", 0},
        {L"\"C:\\V\\Velmora.exe\" /ShowDeskTop", 0},
        {L"\"C:\\V\\Velmora.exe\" /uninstallsucc", 5},
        {L"\"C:\\V\\Velmora.exe\" /autorun", 5},
        {L"\"C:\\V\\Velmora.exe\" /SETUPSUCC", 5},
    };
    for (const Case& c : cases) {
        WriteIni(stored);
        Start(c.commandLine);
        EXPECT_EQ(m_module->GetRunCount(), c.expectedCount) << c.commandLine;
        EXPECT_NE(Query().find(L"&runcount=" + std::to_wstring(c.expectedCount) + L"&"),
                  std::wstring::npos)
            << c.commandLine;
        if (c.expectedCount == 0)
            EXPECT_EQ(test::ReadFileBytes(Ini()), stored) << c.commandLine;
        else
            EXPECT_EQ(ReadIniInt(L"Common", L"RunCount", 0), c.expectedCount) << c.commandLine;
        m_module.reset();
    }
}

TEST_F(GlobalModuleTest, LettersInRunCountCountAsZero) {
    WriteIni("[Common]\r\nRunCount=abc\r\n");
    Start();
    EXPECT_EQ(m_module->GetRunCount(), 1);
    EXPECT_EQ(Query().substr(Query().size() - 11), L"&regtimes=1");
}

TEST_F(GlobalModuleTest, RunCountIsReadAndWrittenOncePerProcess) {
    Start();
    EXPECT_EQ(m_module->GetRunCount(), 1);
    WriteIniString(L"Common", L"RunCount", L"100");
    EXPECT_EQ(m_module->GetRunCount(), 1);
    EXPECT_EQ(ReadIniInt(L"Common", L"RunCount", 0), 100); // not written again
}

TEST_F(GlobalModuleTest, RechargeUrlBeforeAndAfterLogin) {
    CGlobalModule& module = Start();
    const std::wstring base = std::wstring(L"http://") + VELMORA_SITE_HOST +
                              L"/action/redirect_pay.php?gid=1078&sid=";
    EXPECT_EQ(module.GetRechargeUrl(), base + L"&uid=&role_id=");
    module.m_strServerId = L"12";
    module.m_strUserName = L"alice";
    EXPECT_EQ(module.GetRechargeUrl(), base + L"12&uid=alice&role_id=");
}

class RoutingTest : public GlobalModuleTest {
protected:
    void SetUp() override {
        GlobalModuleTest::SetUp();
        CGlobalModule& module = Start();
        module.m_hInstance = GetModuleHandleW(nullptr);
        wcscpy(module.m_szWindowClass, L"vmRoutingTest");
        wcscpy(module.m_szTitle, L"Velmora");
        RegisterClientWindowClass(module); // fails harmlessly when already registered
    }
    void DrainQuit(bool* sawQuit) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                *sawQuit = true;
            else
                DispatchMessageW(&msg);
        }
    }
};

TEST_F(RoutingTest, WindowOfNoFormGetsDefaultHandling) {
    HWND stray = CreateWindowExW(0, L"vmRoutingTest", L"stray", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(stray, nullptr);
    wchar_t text[32] = {};
    EXPECT_EQ(SendMessageW(stray, WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_STREQ(text, L"stray");
    EXPECT_EQ(SendMessageW(stray, WM_CLOSE_CLIENT, 0, 0), 0); // not the login window: ignored
    EXPECT_TRUE(IsWindow(stray));
    DestroyWindow(stray);
}

TEST_F(RoutingTest, CloseClientDestroysLoginWindowAndEndsLoop) {
    CFormLogin& login = m_module->m_formLogin;
    ASSERT_TRUE(login.Create(L"vmRoutingTest", L"Velmora", GetModuleHandleW(nullptr)));
    const HWND hwnd = login.GetHwnd();
    wchar_t title[32] = {};
    GetWindowTextW(hwnd, title, 32);
    EXPECT_STREQ(title, L"Velmora");
    EXPECT_TRUE(login.Create(L"vmRoutingTest", L"other", nullptr)); // second Create: no change
    EXPECT_EQ(login.GetHwnd(), hwnd);

    PostMessageW(hwnd, WM_CLOSE_CLIENT, 0, 0);
    bool sawQuit = false;
    DrainQuit(&sawQuit);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(sawQuit);
}

TEST_F(RoutingTest, BackgroundWindowDestroyEndsLoop) {
    CFormBack& back = m_module->m_formBack;
    ASSERT_TRUE(back.Create(L"vmRoutingTest", L"Velmora", GetModuleHandleW(nullptr)));
    DestroyWindow(back.GetHwnd());
    bool sawQuit = false;
    DrainQuit(&sawQuit);
    EXPECT_TRUE(sawQuit);
}

TEST_F(RoutingTest, BeaconCompletionClosesTheClient) {
    CFormLogin& login = m_module->m_formLogin;
    ASSERT_TRUE(login.Create(L"vmRoutingTest", L"Velmora", GetModuleHandleW(nullptr)));
    DownloadRequest request;
    // Progress and begin events are ignored; the end of a beacon closes whatever the result.
    CGlobalModule::OnDownloadEvent(m_module.get(), REQ_BEACON_INSTALL, DL_EVENT_PROGRESS, 0, 50);
    bool sawQuit = false;
    DrainQuit(&sawQuit);
    EXPECT_TRUE(IsWindow(login.GetHwnd()));
    CGlobalModule::OnDownloadEvent(m_module.get(), REQ_BEACON_UNINSTALL, DL_EVENT_END,
                                   DL_ERR_CONNECT, reinterpret_cast<intptr_t>(&request));
    DrainQuit(&sawQuit);
    EXPECT_FALSE(IsWindow(login.GetHwnd()));
    EXPECT_TRUE(sawQuit);
}

TEST_F(RoutingTest, BeaconEndWithoutReceiverWindowStillEndsTheRun) {
    // The receiver could not be made; the end arrives on a worker thread as it does for real.
    ASSERT_EQ(m_module->m_formLogin.GetHwnd(), nullptr);
    DownloadRequest request;
    std::thread worker([this, &request] {
        CGlobalModule::OnDownloadEvent(m_module.get(), REQ_BEACON_INSTALL, DL_EVENT_END, DL_OK,
                                       reinterpret_cast<intptr_t>(&request));
    });
    worker.join();
    bool sawQuit = false;
    DrainQuit(&sawQuit);
    EXPECT_TRUE(sawQuit);
}

} // namespace
