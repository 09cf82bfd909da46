// Beacon addresses: the fixed templates filled in order, values unencoded.
#include "stats/BeaconText.h"

#include <gtest/gtest.h>

namespace {

BeaconFields Sample() {
    BeaconFields f;
    f.strRefer = L"abc";
    f.strUid = L"42";
    f.strGuid = L"0123456789ABCDEF0123456789ABCDEF";
    f.strMachineId = L"d41d8cd98f00b204e9800998ecf8427e";
    f.nNetbarFlag = 2;
    f.nVersion = 3000;
    f.strInstallTime = L"2024-03-05 09:30:00";
    f.nAction = 2;
    return f;
}

TEST(BeaconUrl, InstallAndActivityTemplate) {
    EXPECT_EQ(BuildBeaconUrl(L"127.0.0.1:18080", Sample()),
              L"http://127.0.0.1:18080/ps.gif?id=2&gid=1078&e1=wd&e2=abc&e3=42"
              L"&e4=0123456789ABCDEF0123456789ABCDEF&e5=d41d8cd98f00b204e9800998ecf8427e"
              L"&e6=2&e8=3000&e9=2024-03-05 09:30:00&at=2");
}

TEST(BeaconUrl, UninstallTemplateCarriesE7) {
    BeaconFields f = Sample();
    f.nNetbarFlag = 1;
    f.nAction = 6;
    EXPECT_EQ(BuildUninstallBeaconUrl(L"stats.example", f, 1),
              L"http://stats.example/ps.gif?id=2&gid=1078&e1=wd&e2=abc&e3=42"
              L"&e4=0123456789ABCDEF0123456789ABCDEF&e5=d41d8cd98f00b204e9800998ecf8427e"
              L"&e6=1&e7=1&e8=3000&e9=2024-03-05 09:30:00&at=6");
}

TEST(BeaconUrl, ValuesGoInAsTheyAre) {
    BeaconFields f = Sample();
    f.strRefer = L"";
    f.strUid = L"";
    const std::wstring empty = BuildBeaconUrl(L"h", f);
    EXPECT_NE(empty.find(L"&e2=&e3=&e4="), std::wstring::npos) << empty;
    // Format characters and separators in a value are data, not format or encoding.
    f.strRefer = L"a%sb&x=1";
    f.strUid = L"%d";
    const std::wstring odd = BuildBeaconUrl(L"h", f);
    EXPECT_NE(odd.find(L"&e2=a%sb&x=1&e3=%d&e4="), std::wstring::npos) << odd;
    // A long value is kept whole.
    f.strRefer = std::wstring(3000, L'r');
    EXPECT_NE(BuildBeaconUrl(L"h", f).find(L"&e2=" + f.strRefer + L"&e3="), std::wstring::npos);
}

TEST(BeaconRules, FlagsAndActions) {
    EXPECT_EQ(NetbarFlag(true), 1);
    EXPECT_EQ(NetbarFlag(false), 2);
    struct {
        int type;
        int at;
    } installCases[] = {{1, 3}, {0, 2}, {2, 2}, {-1, 2}};
    for (const auto& c : installCases)
        EXPECT_EQ(InstallAction(c.type), c.at) << c.type;
    EXPECT_EQ(ActiveAction(true), 4);
    EXPECT_EQ(ActiveAction(false), 5);
    EXPECT_EQ(kUninstallAction, 6);
}

TEST(BeaconRules, UninstallSameDay) {
    struct {
        const wchar_t* installTime;
        const wchar_t* today;
        int flag;
    } cases[] = {
        {L"2024-03-05 09:30:00", L"2024-03-05", 1},
        {L"2024-03-04 23:59:59", L"2024-03-05", 2},
        {L"", L"2024-03-05", 2},
        {L"garbage", L"2024-03-05", 2},
        {L"2024-03-05 09:30:00", L"", 2}, // the clock could not be read: not the same day
    };
    for (const auto& c : cases)
        EXPECT_EQ(UninstallSameDayFlag(c.installTime, c.today), c.flag)
            << c.installTime << " / " << c.today;
}

} // namespace
