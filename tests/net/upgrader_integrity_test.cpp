// The downloaded upgrader is started only when it is the package the version file vouches for:
// the real update flow with a real downloader against the loopback fixture and a stub upgrader.
#include "net/SelfUpdate.h"

#include "app/Config.h"
#include "app/Messages.h"
#include "net/HttpDownloader.h"
#include "net/Sha256.h"

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "fixtures/HttpFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {


std::wstring StubPath() {
    return test::ExeFolder() + L"net_stub_upgrader.exe";
}


std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'f')
            c = char(c - 'a' + 'A');
    return text;
}

TEST(UpgraderIntegrity, StartedOnlyWhenTheDigestMatches) {
    test::HttpFixture fixture;
    ASSERT_NE(fixture.Port(), 0) << "run under tests/fixtures/http_fixture.py";
    const std::string stub = test::ReadFileBytes(StubPath());
    ASSERT_FALSE(stub.empty());
    const std::string digest = Sha256Hex(stub.data(), stub.size());
    std::string wrong = digest;
    wrong[10] = wrong[10] == '0' ? '1' : '0';

    struct Case {
        const char* name;
        const char* sha256Line; // null: no such key
        std::string value;
        bool started;
    } cases[] = {
        {"matching", "sha256=", digest, true},
        {"matching-upper-case", "sha256=", Upper(digest), true},
        {"without-key", nullptr, "", true}, // as before the digest existed
        {"empty-key", "sha256=", "", true},
        {"one-digit-differs", "sha256=", wrong, false},
        {"cut-short", "sha256=", digest.substr(0, 63), false},
        {"not-hex", "sha256=", std::string(64, 'z'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder root;
        testing_hooks::SetDataFolder(root.Path());
        nettest::LoginWindow login;
        nettest::Recorder recorder;
        std::wstring remoteVersion;
        bool checkStarted = false;
        std::string versionFile = "[version]\r\ncurrentversion=3.0.0.1\r\nupgraderange=\r\n";
        if (c.sha256Line)
            versionFile += std::string(c.sha256Line) + c.value + "\r\n";
        const std::string marker = std::string(";case=") + c.name;

        CHttpDownloader downloader;
        UpdateContext context;
        context.hwndLogin = login.Hwnd();
        context.pDownloader = &downloader;
        context.strVersionCheckUrl =
            fixture.Url("body=" + test::HttpFixture::Encode(versionFile) + marker,
                        L"/tarsel/pelun/official/app.ini");
        context.strVersionDownloadUrl = fixture.Url("file=net_stub_upgrader.exe" + marker,
                                                    L"/tarsel/pelun/official/tarselpelun.exe");
        context.pRemoteVersion = &remoteVersion;
        context.pVersionCheckStarted = &checkStarted;
        context.pfnCallback = &nettest::Recorder::Callback;
        context.pUser = &recorder;
        recorder.onEnd = [context](int32_t kind, int32_t result, const DownloadRequest* r) {
            CSelfUpdate(context).OnRequestDone(result, kind, r);
        };

        nettest::DialogAnswerer answerer(L"升级提醒", nettest::Dismiss::Button);
        CSelfUpdate(context).StartVersionCheck();
        ASSERT_TRUE(nettest::PumpUntil(
            [&] { return recorder.Count(REQ_UPGRADER, DL_EVENT_END) >= 1; }, 30000));
        nettest::PumpUntil([] { return false; }, 500);
        downloader.StopAll();
        EXPECT_EQ(answerer.Seen(), 1);

        const std::wstring record = GetUpgraderPath() + L".cmdline";
        if (c.started) {
            EXPECT_FALSE(nettest::WaitForStubRecord(record, 15000).empty());
            EXPECT_EQ(login.Closes(), 1);
            EXPECT_EQ(ReadIniString(L"version", L"lastUpgradeVer", L"", GetLastUpgradeIniPath()),
                      L"3.0.0.1");
            EXPECT_TRUE(nettest::DeleteWhenFree(GetUpgraderPath()));
        } else {
            // Removed, never run, not recorded; the client stays with its login window shown.
            EXPECT_FALSE(test::FileExists(GetUpgraderPath()));
            Sleep(500);
            EXPECT_FALSE(test::FileExists(record));
            EXPECT_EQ(login.Closes(), 0);
            EXPECT_EQ(
                ReadIniString(L"version", L"lastUpgradeVer", L"<none>", GetLastUpgradeIniPath()),
                L"<none>");
            EXPECT_TRUE(IsWindowVisible(login.Hwnd()));
        }
        testing_hooks::SetDataFolder(L"");
    }
}

} // namespace
