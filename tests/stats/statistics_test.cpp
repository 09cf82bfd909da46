// The statistics object in this process: the install identity it keeps in the real INI file
// (a data folder of the test's own), the values it gathers and the requests it hands on.
#include "stats/Statistics.h"

#include "app/Config.h"
#include "app/Messages.h"
#include "stats/MachineId.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Finished {
    void* user;
    int32_t kind;
    int32_t event;
    int32_t result;
    DownloadRequest request;
};

std::vector<Finished>& Log() {
    static std::vector<Finished> log;
    return log;
}

int Record(void* user, int32_t kind, int32_t event, int32_t result, intptr_t extra) {
    Log().push_back({user, kind, event, result, *reinterpret_cast<DownloadRequest*>(extra)});
    return 0;
}

const std::wstring kBeaconBase =
    std::wstring(L"http://") + VELMORA_STATS_HOST + L"/ps.gif?id=2&gid=1078&e1=wd&e2=";

class StatisticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_hooks::SetDataFolder(m_root.Path());
        testing_hooks::SetClock(&test::FixedClock);
        testing_hooks::SetCommandLine(L"\"C:\\Velmora\\Velmora.exe\"");
        Log().clear();
    }
    void TearDown() override {
        testing_hooks::SetDataFolder(L"");
        testing_hooks::SetClock(nullptr);
        testing_hooks::SetCommandLine(nullptr);
    }
    void WriteIni(const std::string& text) {
        ASSERT_TRUE(test::WriteFileBytes(m_root.Path() + L"Entrel.ini", text));
    }
    // A statistics object whose requests cannot be queued: each ends at once, so the
    // callback sees every request it made.
    void BindRecorder(CStatistics& stats, const wchar_t* refer, const wchar_t* uid) {
        stats.Bind(nullptr, &Record, this, refer, uid);
    }

    test::TempFolder m_root;
};

TEST_F(StatisticsTest, FirstRunCreatesTheInstallIdentityAndLaterRunsKeepIt) {
    std::wstring guid;
    {
        CStatistics stats;
        stats.InitStatistics();
        EXPECT_TRUE(stats.m_bInitialised);
        guid = stats.m_strGuid;
        EXPECT_TRUE(test::IsUpperHex32(guid)) << guid;
        EXPECT_EQ(ReadIniString(L"Install", L"GUID", L""), guid);
        EXPECT_EQ(stats.m_strInstallTime, L"2024-03-06 10:11:12");
        EXPECT_EQ(ReadIniString(L"Install", L"InstallTime", L""), L"2024-03-06 10:11:12");
        EXPECT_EQ(stats.m_nInstallType, 0);
        EXPECT_FALSE(stats.m_bAutorun);
        EXPECT_FALSE(stats.m_bNetbar); // nothing of a café in the test prefix
        EXPECT_EQ(stats.m_strMachineId, GetMachineId(CStatistics()));
        EXPECT_FALSE(stats.m_bActiveSent);
    }
    CStatistics later;
    later.InitStatistics();
    EXPECT_EQ(later.m_strGuid, guid);
    EXPECT_EQ(later.m_strInstallTime, L"2024-03-06 10:11:12");
}

TEST_F(StatisticsTest, StoredValuesAreReadNotReplaced) {
    WriteIni("[Install]\r\nGUID=00000000000000000000000000000ABC\r\n"
             "InstallTime=2023-12-31 23:59:59\r\nInstallType=1\r\n");
    CStatistics stats;
    stats.InitStatistics();
    EXPECT_EQ(stats.m_strGuid, L"00000000000000000000000000000ABC");
    EXPECT_EQ(stats.m_strInstallTime, L"2023-12-31 23:59:59");
    EXPECT_EQ(stats.m_nInstallType, 1);
    EXPECT_EQ(ReadIniString(L"Install", L"GUID", L""), L"00000000000000000000000000000ABC");
}

TEST_F(StatisticsTest, GatheredOncePerObject) {
    CStatistics stats;
    stats.InitStatistics();
    const std::wstring guid = stats.m_strGuid;
    WriteIni("[Install]\r\nGUID=CHANGED\r\n");
    stats.InitStatistics();
    EXPECT_EQ(stats.m_strGuid, guid);
}

TEST_F(StatisticsTest, AutorunIsACaseSensitiveSwitch) {
    struct {
        const wchar_t* commandLine;
        bool autorun;
    } cases[] = {
        {L"\"C:\\Velmora\\Velmora.exe\" /autorun", true},
        {L"\"C:\\Velmora\\Velmora.exe\" x/autorunx", true},
        {L"\"C:\\Velmora\\Velmora.exe\" /AUTORUN", false},
        {L"\"C:\\Velmora\\Velmora.exe\"", false},
    };
    for (const auto& c : cases) {
        testing_hooks::SetCommandLine(c.commandLine);
        CStatistics stats;
        stats.InitStatistics();
        EXPECT_EQ(stats.m_bAutorun, c.autorun) << c.commandLine;
    }
}

TEST_F(StatisticsTest, BeaconsCarryTheTemplatesAndEndEvenWhenNotQueued) {
    WriteIni("[Install]\r\nGUID=0123456789ABCDEF0123456789ABCDEF\r\n"
             "InstallTime=2024-03-06 08:00:00\r\nInstallType=1\r\n");
    CStatistics stats;
    BindRecorder(stats, L"abc", L"42");
    stats.SendInstallBeacon();
    stats.SendUninstallBeacon();
    stats.SendActiveBeacon();
    stats.SendActiveBeacon(); // once per process
    ASSERT_EQ(Log().size(), 3u);
    const std::wstring id = stats.m_strMachineId;
    const std::wstring common =
        kBeaconBase + L"abc&e3=42&e4=0123456789ABCDEF0123456789ABCDEF&e5=" + id + L"&e6=2&";
    struct {
        int32_t kind;
        std::wstring url;
        const wchar_t* file;
    } expected[] = {
        {REQ_BEACON_INSTALL, common + L"e8=3000&e9=2024-03-06 08:00:00&at=3", L"InstallStat.tmp"},
        {REQ_BEACON_UNINSTALL, common + L"e7=1&e8=3000&e9=2024-03-06 08:00:00&at=6",
         L"UninstallStat.tmp"},
        {REQ_BEACON_ACTIVE, common + L"e8=3000&e9=2024-03-06 08:00:00&at=5", L"ActiveStat.tmp"},
    };
    for (size_t i = 0; i < 3; ++i) {
        const Finished& f = Log()[i];
        EXPECT_EQ(f.user, this);
        EXPECT_EQ(f.kind, expected[i].kind);
        EXPECT_EQ(f.event, DL_EVENT_END);
        EXPECT_NE(f.result, DL_OK);
        EXPECT_EQ(f.request.nKind, expected[i].kind);
        EXPECT_EQ(f.request.strUrl, expected[i].url);
        EXPECT_EQ(f.request.strTargetPath, GetTempFolder() + expected[i].file);
        EXPECT_EQ(f.request.nRetries, 0);
        EXPECT_EQ(f.request.bAppendUrlName, 0);
        EXPECT_EQ(f.request.bGuidPrefix, 0);
        EXPECT_EQ(f.request.bDeleteOnFailure, 1);
        EXPECT_EQ(f.request.pBody, nullptr);
        EXPECT_EQ(f.request.pfnCallback, &Record);
    }
    EXPECT_TRUE(stats.m_bActiveSent);
}

TEST_F(StatisticsTest, ActionAndDayDependOnSettings) {
    WriteIni("[Install]\r\nInstallTime=2024-03-05 23:59:59\r\nInstallType=7\r\n");
    testing_hooks::SetCommandLine(L"\"C:\\Velmora\\Velmora.exe\" /autorun");
    CStatistics stats;
    BindRecorder(stats, L"", L"");
    stats.SendInstallBeacon();
    stats.SendUninstallBeacon();
    stats.SendActiveBeacon();
    ASSERT_EQ(Log().size(), 3u);
    EXPECT_NE(Log()[0].request.strUrl.find(L"&at=2"), std::wstring::npos);
    EXPECT_NE(Log()[1].request.strUrl.find(L"&e7=2&"), std::wstring::npos); // a past day
    EXPECT_NE(Log()[2].request.strUrl.find(L"&at=4"), std::wstring::npos);
    for (const Finished& f : Log())
        EXPECT_EQ(f.request.strUrl.compare(0, kBeaconBase.size() + 5, kBeaconBase + L"&e3=&"), 0)
            << f.request.strUrl;
}

TEST_F(StatisticsTest, NothingBoundDropsTheBeaconQuietly) {
    CStatistics stats;
    stats.SendInstallBeacon();
    EXPECT_TRUE(stats.m_bInitialised);
    EXPECT_TRUE(Log().empty());
}

} // namespace
