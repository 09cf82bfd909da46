// Version check and self-update: the decision, the notice, the upgrader download and start,
// and the client's handling of each request kind; with the real profile API, a real loopback
// server and a stub upgrader.
#include "net/SelfUpdate.h"

#include "app/Config.h"
#include "app/GlobalModule.h"
#include "app/Messages.h"
#include "net/HttpDownloader.h"

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "fixtures/HttpFixture.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>

namespace {

using nettest::DialogAnswerer;
using nettest::Dismiss;
using nettest::Recorder;

const wchar_t kCaption[] = L"升级提醒";

std::wstring Notice(const wchar_t* version) {
    return std::wstring(L"检测到最新版本[") + version + L"]，确认更新！";
}

std::wstring StubPath() {
    return test::ExeFolder() + L"net_stub_upgrader.exe";
}

// Deletes a file that a process just started from may still hold; false when it stays.

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::SetDataFolder(m_root.Path());
        testing_hooks::SetCommandLine(L"\"C:\\Velmora\\Velmora.exe\"");
    }
    void TearDown() override {
        nettest::DeleteWhenFree(GetUpgraderPath());
        testing_hooks::SetDataFolder(L"");
        testing_hooks::SetCommandLine(nullptr);
    }

    // A context as the application object fills it, with the recorder as callback that hands
    // every end to the flow (like the module's own callback) before recording it.
    UpdateContext Context(const std::wstring& checkUrl, const std::wstring& downloadUrl,
                          CHttpDownloader* downloader) {
        UpdateContext context;
        context.hwndLogin = m_login.Hwnd();
        context.pDownloader = downloader;
        context.strVersionCheckUrl = checkUrl;
        context.strVersionDownloadUrl = downloadUrl;
        context.pRemoteVersion = &m_remoteVersion;
        context.pVersionCheckStarted = &m_versionCheckStarted;
        context.pfnCallback = &Recorder::Callback;
        context.pUser = &m_recorder;
        return context;
    }
    size_t Requests(const std::string& marker) const {
        size_t n = 0;
        for (const auto& entry : m_fixture.Log())
            n += entry.line.find(marker) != std::string::npos;
        return n;
    }

    test::TempFolder m_root;
    test::HttpFixture m_fixture;
    nettest::LoginWindow m_login;
    Recorder m_recorder;
    std::wstring m_remoteVersion;
    bool m_versionCheckStarted = false;
};

// The whole path: version file, notice, hidden login window, upgrader download and start,
// upgrade record, WM_CLOSE_CLIENT; and where it stops when a step fails.
TEST_F(UpdateTest, VersionCheckToUpgraderStart) {
    ASSERT_NE(m_fixture.Port(), 0) << "run under tests/fixtures/http_fixture.py";
    const std::string offer = "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2000-3000\r\n";
    struct Case {
        const char* name;
        std::string versionFile;
        std::string upgrader; // directives serving the upgrader
        Dismiss how;
        bool offered;
        bool downloaded;
        bool started;
    } cases[] = {
        {"button", offer, "file=net_stub_upgrader.exe", Dismiss::Button, true, true, true},
        {"escape", offer, "file=net_stub_upgrader.exe", Dismiss::Escape, true, true, true},
        {"close", offer, "file=net_stub_upgrader.exe", Dismiss::Close, true, true, true},
        {"no-upgrader", offer, "status=404", Dismiss::Button, true, false, false},
        {"not-newer", "[version]\r\ncurrentversion=3.0.0.0\r\n", "file=net_stub_upgrader.exe",
         Dismiss::Button, false, false, false},
        {"version-file-missing", "", "file=net_stub_upgrader.exe", Dismiss::Button, false, false,
         false},
    };
    const bool elevated = IsProcessElevated();
    std::cout << "[          ] upgrader started "
              << (elevated ? "by CreateProcessW (elevated)" : "by ShellExecuteExW runas")
              << std::endl;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder root;
        testing_hooks::SetDataFolder(root.Path());
        nettest::LoginWindow login;
        Recorder recorder;
        std::wstring remoteVersion;
        bool checkStarted = false;
        const std::string marker = std::string("flow=") + c.name;
        const std::string versionDirectives =
            c.versionFile.empty()
                ? "status=404;" + marker
                : "body=" + test::HttpFixture::Encode(c.versionFile) + ";" + marker;
        CHttpDownloader downloader;
        UpdateContext context;
        context.hwndLogin = login.Hwnd();
        context.pDownloader = &downloader;
        context.strVersionCheckUrl =
            m_fixture.Url(versionDirectives, L"/tarsel/pelun/official/app.ini");
        context.strVersionDownloadUrl =
            m_fixture.Url(c.upgrader + ";" + marker, L"/tarsel/pelun/official/tarselpelun.exe");
        context.pRemoteVersion = &remoteVersion;
        context.pVersionCheckStarted = &checkStarted;
        context.pfnCallback = &Recorder::Callback;
        context.pUser = &recorder;
        recorder.onEnd = [context](int32_t kind, int32_t result, const DownloadRequest* r) {
            CSelfUpdate(context).OnRequestDone(result, kind, r);
        };

        DialogAnswerer answerer(kCaption, c.how);
        CSelfUpdate(context).StartVersionCheck();
        EXPECT_TRUE(checkStarted);
        CSelfUpdate(context).StartVersionCheck(); // only the first call queues
        const size_t ends = c.offered ? 2 : 1;
        ASSERT_TRUE(nettest::PumpUntil(
            [&] {
                return recorder.Count(REQ_VERSION_INI, DL_EVENT_END) +
                           recorder.Count(REQ_UPGRADER, DL_EVENT_END) >=
                       ends;
            },
            30000));
        login.Drain(c.started ? 300 : 500);
        downloader.StopAll();

        EXPECT_EQ(Requests(marker + "/tarsel/pelun/official/app.ini"), 1u);
        EXPECT_EQ(Requests(marker + "/tarsel/pelun/official/tarselpelun.exe"), c.offered ? 1u : 0u);
        EXPECT_EQ(test::FileExists(root.Path() + L"Upgrade\\app.ini"), !c.versionFile.empty());
        EXPECT_EQ(answerer.Seen(), c.offered ? 1 : 0);
        if (c.offered) {
            EXPECT_EQ(answerer.Text(), Notice(L"3.0.0.1"));
            EXPECT_EQ(answerer.Owner(), login.Hwnd());
            EXPECT_EQ(remoteVersion, L"3.0.0.1");
        }
        // Once the notice was shown the login window stays hidden, whatever follows.
        EXPECT_EQ(IsWindowVisible(login.Hwnd()) != FALSE, !c.offered);
        EXPECT_EQ(test::FileExists(GetUpgraderPath()), c.downloaded);
        if (c.downloaded) {
            EXPECT_EQ(test::ReadFileBytes(GetUpgraderPath()), test::ReadFileBytes(StubPath()));
        }
        EXPECT_EQ(login.Closes(), c.started ? 1 : 0);
        EXPECT_EQ(ReadIniString(L"version", L"lastUpgradeVer", L"<none>", GetLastUpgradeIniPath()),
                  c.started ? L"3.0.0.1" : L"<none>");
        if (c.started) {
            const std::wstring record =
                nettest::WaitForStubRecord(GetUpgraderPath() + L".cmdline", 15000);
            if (elevated) {
                EXPECT_EQ(record, L"1|0| /S /ZKUPGRADE"); // hidden, switches as given
            } else {
                ASSERT_GE(record.size(), 14u) << record;
                EXPECT_EQ(record.substr(record.size() - 14), L" /S /ZKUPGRADE") << record;
                EXPECT_NE(record.find(L"tarselEntrelUpgrade.exe"), std::wstring::npos) << record;
            }
        }
        EXPECT_TRUE(nettest::DeleteWhenFree(GetUpgraderPath()));
    }
}

// Each start method on its own, with the stub: whichever one this prefix's elevation state
// does not select above is run here too.
TEST_F(UpdateTest, BothWaysOfStartingTheUpgrader) {
    struct Case {
        bool elevated;
        const wchar_t* name;
    } cases[] = {{true, L"up_elevated.exe"}, {false, L"up_shell.exe"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elevated ? "CreateProcessW" : "ShellExecuteExW");
        const std::wstring path = m_root.Path() + c.name;
        ASSERT_TRUE(CopyFileW(StubPath().c_str(), path.c_str(), FALSE));
        ASSERT_TRUE(LaunchUpgrader(path, c.elevated));
        const std::wstring record = nettest::WaitForStubRecord(path + L".cmdline", 15000);
        if (c.elevated) {
            EXPECT_EQ(record, L"1|0| /S /ZKUPGRADE");
        } else {
            ASSERT_GE(record.size(), 14u) << record;
            EXPECT_EQ(record.substr(record.size() - 14), L" /S /ZKUPGRADE") << record;
            EXPECT_NE(record.find(c.name), std::wstring::npos) << record;
        }
        EXPECT_TRUE(nettest::DeleteWhenFree(path));
    }
    // A file that is no program cannot be started: a failure, not an exception or a hang.
    const std::wstring bogus = m_root.Path() + L"bogus.exe";
    ASSERT_TRUE(test::WriteFileBytes(bogus, "not a program"));
    EXPECT_FALSE(LaunchUpgrader(bogus, true));
    EXPECT_FALSE(LaunchUpgrader(m_root.Path() + L"missing.exe", true));
}

TEST_F(UpdateTest, LaunchRecordsAsTheUpgraderExpectsThem) {
    const ElevatedLaunch elevated = MakeElevatedLaunch();
    EXPECT_STREQ(elevated.szCommandLine, L" /S /ZKUPGRADE");
    EXPECT_EQ(sizeof(elevated.szCommandLine) / sizeof(wchar_t), 64u);
    EXPECT_EQ(elevated.dwCreationFlags, 0x220u);
    EXPECT_EQ(elevated.startup.cb, 68u);
    EXPECT_EQ(elevated.startup.dwFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(elevated.startup.wShowWindow, SW_HIDE);
    EXPECT_EQ(elevated.startup.lpDesktop, nullptr);

    const wchar_t* path = L"C:\\d\\Upgrade\\tarselEntrelUpgrade.exe";
    const SHELLEXECUTEINFOW shell = MakeShellLaunch(path);
    EXPECT_EQ(shell.cbSize, 60u);
    EXPECT_EQ(shell.fMask, 0u);
    EXPECT_EQ(shell.hwnd, nullptr);
    EXPECT_STREQ(shell.lpVerb, L"runas");
    EXPECT_EQ(shell.lpFile, path);
    EXPECT_STREQ(shell.lpParameters, L"/S /ZKUPGRADE");
    EXPECT_EQ(shell.lpDirectory, nullptr);
    EXPECT_EQ(shell.nShow, SW_SHOWNORMAL);
}

// The decision on a version file as it lands, one table: the notice, the kept version text.
TEST_F(UpdateTest, UpgradeDecisionOnTheVersionFile) {
    std::string oversized;
    for (int i = 0; i < 60000; ++i)
        oversized += "key" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
    struct Case {
        const char* name;
        std::string versionFile;
        const char* last; // LastUpgrade.ini's lastUpgradeVer, or null for none
        bool offered;
        const wchar_t* remote; // the kept version text; null: not checked
    } cases[] = {
        {"3.0.0.0", "[version]\r\ncurrentversion=3.0.0.0\r\n", nullptr, false, L"3.0.0.0"},
        {"3.0.0.1", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=\r\n", nullptr, true,
         L"3.0.0.1"},
        {"recorded", "[version]\r\ncurrentversion=3.0.0.1\r\n", "3.0.0.1", false, L"3.0.0.1"},
        {"newer-than-recorded", "[version]\r\ncurrentversion=3.0.0.2\r\n", "3.0.0.1", true,
         L"3.0.0.2"},
        {"1000-2999", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=1000-2999\r\n", nullptr,
         false, L"3.0.0.1"},
        {"2000-3000", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2000-3000\r\n", nullptr,
         true, L"3.0.0.1"},
        {"3000", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=3000\r\n", nullptr, true,
         L"3.0.0.1"},
        {"2999,3000", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2999,3000\r\n", nullptr,
         true, L"3.0.0.1"},
        {"3000-", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=3000-\r\n", nullptr, false,
         L"3.0.0.1"},
        {"-3000", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=-3000\r\n", nullptr, true,
         L"3.0.0.1"},
        {"dotted-range", "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=2.9.9.9-3.0.0.0\r\n",
         nullptr, false, L"3.0.0.1"},
        {"no-version-section", "[other]\r\ncurrentversion=3.0.0.1\r\n", nullptr, false, L""},
        {"empty-file", "", nullptr, false, L""},
        {"garbage", std::string("\x00\xff\xfe[ver\x01sion\r\n=\r\n\x80\x81", 16), nullptr, false,
         L""},
        {"letters", "[version]\r\ncurrentversion=abc\r\n", nullptr, false, L"abc"},
        {"overflowing", "[version]\r\ncurrentversion=99999999999\r\n", nullptr, false,
         L"99999999999"},
        {"huge-value", "[version]\r\ncurrentversion=" + std::string(100000, '9') + "\r\n", nullptr,
         false, nullptr},
        {"oversized-file", oversized + "[version]\r\ncurrentversion=3.0.0.0\r\n", nullptr, false,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder root;
        testing_hooks::SetDataFolder(root.Path());
        const std::wstring file = root.Path() + L"app.ini";
        ASSERT_TRUE(test::WriteFileBytes(file, c.versionFile));
        if (c.last)
            WriteIniString(L"version", L"lastUpgradeVer",
                           std::wstring(c.last, c.last + strlen(c.last)), GetLastUpgradeIniPath());
        ShowWindow(m_login.Hwnd(), SW_SHOWNA);
        m_remoteVersion = L"stale";
        // No downloader: the decision alone, on this thread.
        UpdateContext context = Context(L"", L"", nullptr);
        DownloadRequest request;
        request.strTargetPath = file;
        {
            DialogAnswerer answerer(kCaption, Dismiss::Button);
            CSelfUpdate(context).OnRequestDone(DL_OK, REQ_VERSION_INI, &request);
            EXPECT_EQ(answerer.Seen(), c.offered ? 1 : 0);
            if (c.offered) {
                EXPECT_EQ(answerer.Text(), Notice(m_remoteVersion.c_str()));
            }
        }
        if (c.remote) {
            EXPECT_EQ(m_remoteVersion, c.remote);
        }
        EXPECT_EQ(IsWindowVisible(m_login.Hwnd()) != FALSE, !c.offered);
        // The record changes only when an upgrader has been started.
        EXPECT_EQ(ReadIniString(L"version", L"lastUpgradeVer", L"", GetLastUpgradeIniPath()),
                  c.last ? std::wstring(c.last, c.last + strlen(c.last)) : std::wstring());
    }
}

// What ends each kind of request does, whatever the result.
TEST_F(UpdateTest, CompletionOfEachRequestKind) {
    // A version file that would offer an upgrade and a file that could be started.
    const std::wstring versionFile = m_root.Path() + L"offer.ini";
    ASSERT_TRUE(test::WriteFileBytes(versionFile, "[version]\r\ncurrentversion=9.9.9.9\r\n"));
    const std::wstring upgrader = m_root.Path() + L"u.exe";
    ASSERT_TRUE(CopyFileW(StubPath().c_str(), upgrader.c_str(), FALSE));
    struct Case {
        int32_t kind;
        int32_t result;
        const std::wstring* target;
        int closes;
    } cases[] = {
        {REQ_BEACON_INSTALL, DL_OK, nullptr, 1},
        {REQ_BEACON_INSTALL, DL_ERR_CONNECT, nullptr, 1},
        {REQ_BEACON_UNINSTALL, DL_ERR_RESPONSE, nullptr, 1},
        {REQ_BEACON_UNINSTALL, DL_OK, nullptr, 1},
        {REQ_BEACON_ACTIVE, DL_OK, nullptr, 0},
        {REQ_BEACON_ACTIVE, DL_ERR_CONNECT, nullptr, 0},
        {REQ_VERSION_INI, DL_ERR_RESPONSE, &versionFile, 0}, // no notice either
        {REQ_UPGRADER, DL_ERR_READ, &upgrader, 0},           // nothing is started
        {2, DL_OK, nullptr, 0},
        {99, DL_OK, nullptr, 0},
    };
    UpdateContext context = Context(L"", L"", nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " result " << c.result);
        const int before = m_login.Closes();
        DownloadRequest request;
        if (c.target)
            request.strTargetPath = *c.target;
        DialogAnswerer answerer(kCaption, Dismiss::Button);
        CSelfUpdate(context).OnRequestDone(c.result, c.kind, &request);
        m_login.Drain(100);
        EXPECT_EQ(m_login.Closes() - before, c.closes);
        EXPECT_EQ(answerer.Seen(), 0);
    }
    Sleep(300);
    EXPECT_FALSE(test::FileExists(upgrader + L".cmdline"));
    EXPECT_TRUE(IsWindowVisible(m_login.Hwnd()));
}

// The application object hands its requests to the flow: one version request per process,
// the upgrader from its own settings, the kept version text in its member.
TEST_F(UpdateTest, GlobalModuleDelegatesToTheFlow) {
    ASSERT_NE(m_fixture.Port(), 0) << "run under tests/fixtures/http_fixture.py";
    const std::wstring check = m_fixture.Url(
        "body=" + test::HttpFixture::Encode("[version]\r\ncurrentversion=3.0.0.1\r\n") +
            ";module=1",
        L"/tarsel/pelun/official/app.ini");
    const std::wstring download = m_fixture.Url("status=404;module=1", L"/up.exe");
    WriteIniString(L"Common", L"VersionCheck", check);
    WriteIniString(L"Common", L"VersionDownLoad", download);
    auto module = std::make_unique<CGlobalModule>();
    ASSERT_NE(module->m_pDownloader, nullptr);
    DialogAnswerer answerer(kCaption, Dismiss::Button);
    module->StartVersionCheck();
    EXPECT_TRUE(module->m_bVersionCheckStarted);
    module->StartVersionCheck();
    const DWORD start = GetTickCount();
    while (Requests("module=1/up.exe") == 0 && GetTickCount() - start < 30000)
        Sleep(50);
    module->m_pDownloader->StopAll(); // the workers are gone: their writes are visible
    EXPECT_EQ(Requests("module=1/tarsel/pelun/official/app.ini"), 1u);
    EXPECT_EQ(Requests("module=1/up.exe"), 1u);
    EXPECT_EQ(answerer.Seen(), 1);
    EXPECT_EQ(answerer.Text(), Notice(L"3.0.0.1"));
    EXPECT_EQ(module->m_strRemoteVersion, L"3.0.0.1");
    EXPECT_TRUE(test::FileExists(m_root.Path() + L"Upgrade\\app.ini"));
    module.reset();
}

} // namespace
