// The real Velmora.exe under Wine sending its install and uninstall beacons to a loopback
// statistics server (started around this program by with_stats_server.py, which records every
// request line in the file named by VELMORA_STATS_LOG).
#include "app/Messages.h"
#include "stats/MachineId.h"
#include "stats/Statistics.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <ctime>
#include <string>
#include <vector>

namespace {

// What the loopback server answers to every request.
const char kServerBody[] = "GIF89a velmora beacon answer\n";

std::wstring DataFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    return std::wstring(appData) + L"\\tarsel\\pelun\\";
}

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    return temp;
}

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[260] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, 260,
                             (DataFolder() + L"Entrel.ini").c_str());
    return buffer;
}

std::wstring Today() {
    const time_t now = time(nullptr);
    struct tm local = {};
    localtime_s(&local, &now);
    wchar_t text[16] = {};
    wcsftime(text, 16, L"%Y-%m-%d", &local);
    return text;
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The request target as the server saw it, with the one escape the HTTP stack may add (the
// space of the install time) undone.
std::string Unescaped(std::string target) {
    for (size_t pos; (pos = target.find("%20")) != std::string::npos;)
        target.replace(pos, 3, " ");
    return target;
}

class BeaconExeTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RemoveTree(DataFolder());
        for (const wchar_t* name : {L"InstallStat.tmp", L"UninstallStat.tmp"})
            DeleteFileW((TempFolder() + name).c_str());
        wchar_t log[MAX_PATH] = {};
        GetEnvironmentVariableW(L"VELMORA_STATS_LOG", log, MAX_PATH);
        m_log = log;
        m_logStart = test::ReadFileBytes(m_log).size();
    }
    void TearDown() override { test::RemoveTree(DataFolder()); }

    void WriteIni(const std::string& text) {
        CreateDirectoryW(DataFolder().substr(0, DataFolder().size() - 7).c_str(), nullptr);
        CreateDirectoryW(DataFolder().c_str(), nullptr);
        ASSERT_TRUE(test::WriteFileBytes(DataFolder() + L"Entrel.ini", text));
    }
    // Runs the client with `switches`; its exit code, or ~0 when it had to be stopped.
    DWORD RunClient(const wchar_t* switches, DWORD timeoutMs = 30000) {
        const test::ProcessResult r =
            test::RunProcess(L"\"" + test::ExeFolder() + L"Velmora.exe\" " + switches, timeoutMs);
        EXPECT_TRUE(r.started);
        EXPECT_TRUE(r.exited) << "the client did not end by itself";
        return r.exited ? r.exitCode : ~0u;
    }
    // Request lines the server has recorded since the test began.
    std::vector<std::string> Requests() const {
        const std::string all = test::ReadFileBytes(m_log);
        std::vector<std::string> lines;
        for (size_t pos = m_logStart; pos < all.size();) {
            const size_t end = all.find('\n', pos);
            lines.push_back(all.substr(pos, end - pos));
            if (end == std::string::npos)
                break;
            pos = end + 1;
        }
        return lines;
    }
    // The expected request line: the beacon path with the values this machine must send.
    std::string Expected(const std::string& refer, const std::string& uid, const char* middle,
                         const std::wstring& installTime, const char* at) const {
        const std::wstring guid = IniValue(L"Install", L"GUID");
        return "GET /ps.gif?id=2&gid=1078&e1=wd&e2=" + refer + "&e3=" + uid +
               "&e4=" + Narrow(guid) + "&e5=" + Narrow(GetMachineId(CStatistics())) + "&e6=2&" +
               middle + "e8=" + std::to_string(CLIENT_VERSION) + "&e9=" + Narrow(installTime) +
               "&at=" + at;
    }

    std::wstring m_log;
    size_t m_logStart = 0;
};

TEST_F(BeaconExeTest, InstallRunSendsOneBeaconAndEnds) {
    struct {
        const char* installType; // null: no such value
        const char* at;
    } cases[] = {{nullptr, "2"}, {"1", "3"}, {"2", "2"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.installType ? c.installType : "(none)");
        SetUp();
        std::string ini = "[Common]\r\nRefer=abc\r\nUID=42\r\nRunCount=5\r\n"
                          "[Install]\r\nInstallTime=2024-01-02 03:04:05\r\n";
        if (c.installType)
            ini += std::string("InstallType=") + c.installType + "\r\n";
        WriteIni(ini);
        EXPECT_EQ(RunClient(L"/setupsucc"), 0u);
        const std::vector<std::string> requests = Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_TRUE(test::IsUpperHex32(IniValue(L"Install", L"GUID")));
        EXPECT_EQ(Unescaped(requests[0]), Expected("abc", "42", "", L"2024-01-02 03:04:05", c.at));
        EXPECT_EQ(IniValue(L"Common", L"RunCount"), L"5"); // this run is not counted
        EXPECT_EQ(test::ReadFileBytes(TempFolder() + L"InstallStat.tmp"), kServerBody);
    }
}

TEST_F(BeaconExeTest, UninstallRunReportsWhetherItIsTheInstallDay) {
    struct {
        std::wstring installTime;
        const char* e7;
    } cases[] = {{Today() + L" 00:00:01", "e7=1&"}, {L"2020-02-03 04:05:06", "e7=2&"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.installTime));
        SetUp();
        WriteIni("[Common]\r\nRefer=r\r\nUID=u\r\nRunCount=5\r\n[Install]\r\nInstallTime=" +
                 Narrow(c.installTime) + "\r\nInstallType=1\r\n");
        EXPECT_EQ(RunClient(L"/uninstallsucc"), 0u);
        const std::vector<std::string> requests = Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(Unescaped(requests[0]), Expected("r", "u", c.e7, c.installTime, "6"));
        EXPECT_EQ(IniValue(L"Common", L"RunCount"), L"6"); // counted like a normal run
        EXPECT_EQ(test::ReadFileBytes(TempFolder() + L"UninstallStat.tmp"), kServerBody);
    }
}

TEST_F(BeaconExeTest, FirstRunMakesTheIdentityEveryLaterRunSends) {
    // No INI at all: empty Refer and UID, a new GUID and install time.
    EXPECT_EQ(RunClient(L"/setupsucc"), 0u);
    const std::wstring guid = IniValue(L"Install", L"GUID");
    const std::wstring installTime = IniValue(L"Install", L"InstallTime");
    ASSERT_TRUE(test::IsUpperHex32(guid)) << guid;
    ASSERT_EQ(installTime.size(), 19u);
    EXPECT_EQ(RunClient(L"/uninstallsucc"), 0u);
    EXPECT_EQ(RunClient(L"/setupsucc"), 0u);
    EXPECT_EQ(IniValue(L"Install", L"GUID"), guid);
    const std::vector<std::string> requests = Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(Unescaped(requests[0]), Expected("", "", "", installTime, "2"));
    EXPECT_EQ(Unescaped(requests[1]), Expected("", "", "e7=1&", installTime, "6"));
    EXPECT_EQ(Unescaped(requests[2]), Expected("", "", "", installTime, "2"));
    for (const std::string& request : requests)
        EXPECT_NE(request.find("&e2=&e3=&"), std::string::npos) << request;
}

// Run with the server stopped.
TEST_F(BeaconExeTest, ServerDownStillEndsTheRunAndLeavesNoResponse) {
    for (const wchar_t* run : {L"/setupsucc", L"/uninstallsucc"}) {
        SCOPED_TRACE(Narrow(run));
        ASSERT_TRUE(test::WriteFileBytes(TempFolder() + L"InstallStat.tmp", "stale"));
        ASSERT_TRUE(test::WriteFileBytes(TempFolder() + L"UninstallStat.tmp", "stale"));
        EXPECT_EQ(RunClient(run, 20000), 0u);
        const bool install = wcscmp(run, L"/setupsucc") == 0;
        EXPECT_EQ(test::FileExists(TempFolder() + L"InstallStat.tmp"), !install);
        EXPECT_EQ(test::FileExists(TempFolder() + L"UninstallStat.tmp"), install);
    }
}

} // namespace
