// Target naming and progress arithmetic of the downloader.
#include "net/DownloadRules.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::wstring FixedGuid() {
    return L"01234567-89AB-CDEF-0123-456789ABCDEF";
}

TEST(DownloadRulesTest, UrlFileName) {
    struct Case {
        const wchar_t* url;
        const wchar_t* expected;
    } cases[] = {
        {L"http://h/tarsel/pelun/official/app.ini", L"app.ini"},
        {L"http://h/a/b.php?x=1&y=2", L"b.php?x=1&y=2"}, // the query stays part of the name
        {L"http://h/a?u=http://x/y.gif", L"y.gif"},      // the last '/' of the whole URL
        {L"http://h/", L""},
        {L"no slash at all", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UrlFileName(c.url), c.expected) << c.url;
}

TEST(DownloadRulesTest, CompleteTargetPath) {
    const wchar_t* url = L"http://h/tarsel/pelun/official/app.ini";
    struct Case {
        const wchar_t* target;
        bool append;
        bool guid;
        const wchar_t* expected;
    } cases[] = {
        {L"C:\\d\\Upgrade", true, false, L"C:\\d\\Upgrade\\app.ini"},
        {L"C:\\d\\Upgrade\\", true, false, L"C:\\d\\Upgrade\\app.ini"},
        {L"C:\\d\\Upgrade\\", true, true, L"C:\\d\\Upgrade\\app.ini"}, // append wins
        {L"C:\\d\\tmp", false, true, L"C:\\d\\tmp\\01234567-89AB-CDEF-0123-456789ABCDEF_app.ini"},
        {L"C:\\d\\tmp\\", false, true, L"C:\\d\\tmp\\01234567-89AB-CDEF-0123-456789ABCDEF_app.ini"},
        {L"C:\\d\\file.bin", false, false, L"C:\\d\\file.bin"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompleteTargetPath(c.target, url, c.append, c.guid, &FixedGuid), c.expected)
            << c.target << " append=" << c.append << " guid=" << c.guid;
}

TEST(DownloadRulesTest, GuidIsMadeOnlyWhenUsed) {
    static int calls = 0;
    auto counting = []() {
        ++calls;
        return std::wstring(L"g");
    };
    CompleteTargetPath(L"C:\\t", L"http://h/x", true, true, counting);
    CompleteTargetPath(L"C:\\t", L"http://h/x", false, false, counting);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(CompleteTargetPath(L"C:\\t", L"http://h/x", false, true, counting), L"C:\\t\\g_x");
    EXPECT_EQ(calls, 1);
}

TEST(DownloadRulesTest, PercentStaysWithinRangeForEveryLength) {
    struct Case {
        uint32_t length;
        uint32_t remaining;
        int32_t expected;
    } cases[] = {
        {100, 100, 0},
        {100, 99, 1},
        {100, 50, 50},
        {100, 0, 100},
        {10240, 1, 99},
        {0, 0, 100},
        // Bodies past 42 949 672 bytes overflow 32 bits when multiplied by 100.
        {50000000, 25000000, 50},
        {50000000, 10240, 99},
        {UINT32_MAX, 1, 99},
        {UINT32_MAX, UINT32_MAX / 2, 50},
        {UINT32_MAX, 0, 100},
        {100, 200, 0}, // more remaining than announced: clamped
    };
    for (const Case& c : cases)
        EXPECT_EQ(DownloadPercent(c.length, c.remaining), c.expected)
            << c.length << " / " << c.remaining;
}

TEST(DownloadRulesTest, PercentNeverFallsAsTheBodyArrives) {
    const uint32_t length = 45u * 1024 * 1024 + 7;
    int32_t previous = 0;
    for (uint32_t remaining = length; remaining > 0;) {
        remaining = remaining > 10240 ? remaining - 10240 : 0;
        const int32_t percent = DownloadPercent(length, remaining);
        ASSERT_GE(percent, previous) << remaining;
        ASSERT_LE(percent, 100);
        previous = percent;
    }
    EXPECT_EQ(previous, 100);
}

} // namespace
