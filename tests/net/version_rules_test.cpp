// Version numbers of the remote version file, the upgrade range and the upgrade decision.
#include "net/VersionRules.h"

#include "velmora_config.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionRulesTest, VersionNumber) {
    struct Case {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"3.0.0.1", 3001},
        {L"3.0.1.0", 3010},
        {L"3.0.0.0", 3000},
        {L"", 0},
        {L"abc", 0},
        {L"  3.1", 31},
        {L"3.0.0.1beta", 3001},
        {L"4294967297", 0}, // does not fit: no number
        {L"99999999999999999999999999", 0},
        {L"-3.0.0.1", -3001},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionNumber(c.text), c.expected) << c.text;
}

TEST(VersionRulesTest, IsInUpgradeRange) {
    struct Case {
        const wchar_t* range;
        bool expected;
    } cases[] = {
        {L"", true},
        {L"1000-2999", false},
        {L"2000-3000", true},
        {L"3000", true},
        {L"2999,3000", true},
        {L"3000-", false},           // one piece after the split
        {L"-3000", true},            // low is 0
        {L"2.9.9.9-3.0.0.0", false}, // low 2, high 3: no dots are removed here
        {L"3000-3000", true},
        {L"3001-4000", false},
        {L"1-2-3", false}, // three pieces: skipped
        {L"1000-2000,3000", true},
        {L" 3000", true}, // leading white space is skipped by the number reading
        {L"3000 ", true},
        {L",", false},
        {L"x,y-z", false},
        {L"3000-2000", false},
        {L"-", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsInUpgradeRange(c.range, 3000), c.expected) << c.range;
}

TEST(VersionRulesTest, OwnVersionIsTheBuildsVersion) {
    EXPECT_EQ(IsInUpgradeRange(std::to_wstring(VELMORA_CLIENT_VERSION)), true);
    EXPECT_EQ(IsInUpgradeRange(std::to_wstring(VELMORA_CLIENT_VERSION + 1)), false);
}

TEST(VersionRulesTest, ShouldOfferUpgrade) {
    struct Case {
        const wchar_t* current;
        const wchar_t* range;
        const wchar_t* last;
        bool expected;
    } cases[] = {
        {L"3.0.0.0", L"", L"", false}, // not newer than the client
        {L"3.0.0.1", L"", L"", true},
        {L"3.0.0.1", L"", L"3.0.0.1", false}, // its upgrade was started already
        {L"3.0.0.2", L"", L"3.0.0.1", true},
        {L"3.0.0.1", L"", L"3.0.0.2", false},
        {L"3.0.0.1", L"1000-2999", L"", false},
        {L"3.0.0.1", L"2000-3000", L"", true},
        {L"3.0.0.1", L"3000", L"", true},
        {L"3.0.0.1", L"2999,3000", L"", true},
        {L"3.0.0.1", L"3000-", L"", false},
        {L"3.0.0.1", L"-3000", L"", true},
        {L"3.0.0.1", L"2.9.9.9-3.0.0.0", L"", false},
        {L"", L"", L"", false},
        {L"garbage", L"", L"", false},
        {L"2.9.9.9", L"", L"", false},
        {L"3.0.1.0", L"", L"3.0.0.9", true}, // 3010 > 3009
        {L"99999999999", L"", L"", false},   // does not fit: treated as no version
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShouldOfferUpgrade(c.current, c.range, c.last, 3000), c.expected)
            << c.current << " range=" << c.range << " last=" << c.last;
}

} // namespace
