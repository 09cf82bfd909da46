#include "app/Text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

TEST(TextTest, GetUrlParam) {
    struct Case {
        const wchar_t* name;
        const wchar_t* url;
        const wchar_t* expected;
    } cases[] = {
        {L"wd_server", L"http://h/p?a=1&wd_server=12&b=2", L"12"},
        {L"wd_server", L"http://h/p?a=1&wd_server=", L""},
        {L"wd_server", L"http://h/p?a=1&b=2", L""},
        {L"wd_server", L"http://h/p?wd_server=7", L"7"},
        {L"server", L"http://h/p?wd_server=5&server=6", L"5"}, // a longer name matches too
        {L"wd_server", L"http://h/p?WD_SERVER=5", L""},        // case-sensitive
        {L"u", L"http://h/p?u=a%20b&x", L"a%20b"},             // no decoding
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetUrlParam(c.name, c.url), c.expected) << c.url;
}

TEST(TextTest, SplitString) {
    using Pieces = std::vector<std::wstring>;
    struct Case {
        const wchar_t* delimiter;
        const wchar_t* text;
        Pieces expected;
    } cases[] = {
        {L",", L"1,2,,3", {L"1", L"2", L"", L"3"}},
        {L",", L"1,2,", {L"1", L"2"}},
        {L",", L"", {}},
        {L",", L",", {L""}},
        {L",", L",a", {L"", L"a"}},
        {L"-", L"3000-3100", {L"3000", L"3100"}},
        {L",", L"abc", {L"abc"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitString(c.delimiter, c.text), c.expected) << c.text;
}

TEST(TextTest, StringToInt) {
    struct Case {
        const wchar_t* text;
        int expected;
    } cases[] = {
        {L"12abc", 12}, {L"abc", 0},  {L" 7", 7},   {L"", 0},
        {L"-5", -5},    {L"3000", 3000}, {L"+4x", 4}, {L"99999999999999", 0}, // overflow fails
    };
    for (const Case& c : cases)
        EXPECT_EQ(StringToInt(c.text), c.expected) << c.text;
}

// The rule is "what a wide string stream reads"; the client reads without one (size), so the two
// must agree on this C library, white space of every kind included.
TEST(TextTest, StringToIntReadsLikeAStream) {
    const wchar_t* texts[] = {
        L"12abc", L"abc", L" 7", L"", L"-5", L"+4x", L"+", L"-", L"- 5", L"--5", L"+-5",
        L"007", L"-0", L"2147483647", L"2147483648", L"-2147483648", L"-2147483649",
        L"99999999999999999999999", L"000000000000000000000042", L"3.0.0.1", L"1e5", L"0x10",
        L"\t\n\v\f\r 9", L"\u00a09", L"\u30009", L"\u20289", L"\u00859", L"\u20039",
        L"\uff11", L"\u0669",
    };
    for (const wchar_t* text : texts) {
        std::wistringstream in(text);
        int streamed = 0;
        if (!(in >> streamed))
            streamed = 0;
        EXPECT_EQ(StringToInt(text), streamed) << testing::PrintToString(std::wstring(text));
    }
}

TEST(TextTest, BytesToHex) {
    const unsigned char bytes[16] = {0x00, 0x0F, 0xAB, 0x10, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x80};
    const std::wstring hex = BytesToHex(bytes);
    EXPECT_EQ(hex.size(), 32u);
    EXPECT_EQ(hex, L"000fab10ff0102030405060708090a80");
}

TEST(TextTest, RemoveAll) {
    struct Case {
        const wchar_t* text;
        const wchar_t* part;
        const wchar_t* expected;
    } cases[] = {
        {L"2024-03-05", L"-", L"20240305"},
        {L"aaaa", L"aa", L""},
        {L"abcabc", L"bc", L"aa"},
        {L"xyz", L"q", L"xyz"},
        {L"xyz", L"", L"xyz"},
        {L"abab", L"aba", L"b"}, // removal restarts at the same place
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoveAll(c.text, c.part), c.expected) << c.text;
}

TEST(TextTest, AddBackslash) {
    EXPECT_EQ(AddBackslash(L""), L"");
    EXPECT_EQ(AddBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(AddBackslash(L"C:\\a\\"), L"C:\\a\\");
}

TEST(TextTest, RunModePrecedence) {
    struct Case {
        const wchar_t* commandLine;
        RunMode mode;
        bool counted;
    } cases[] = {
        {L"\"C:\\Velmora.exe\"", RunMode::Normal, true},
        {L"\"C:\\Velmora.exe\" /autorun", RunMode::Normal, true},
        {L"\"C:\\Velmora.exe\" /setupsucc", RunMode::InstallSuccess, false},
        {L"\"C:\\Velmora.exe\" /uninstallsucc", RunMode::UninstallSuccess, true},
        {L"\"C:\\Velmora.exe\" /ShowDeskTop", RunMode::ShowDesktop, false},
        {L"x /uninstallsucc /setupsucc", RunMode::InstallSuccess, false},
        {L"x /ShowDeskTop /uninstallsucc", RunMode::UninstallSuccess, false},
        {L"x /SETUPSUCC", RunMode::Normal, true},
        {L"x /showdesktop", RunMode::Normal, true},
        {L"x /setupsuccess", RunMode::InstallSuccess, false}, // substring, not an argument
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseRunMode(c.commandLine), c.mode) << c.commandLine;
        EXPECT_EQ(IsCountedRun(c.commandLine), c.counted) << c.commandLine;
    }
}

TEST(TextTest, LoginQuery) {
    EXPECT_EQ(BuildLoginQuery(L"abc", L"42", 3000, L"2024-03-05 08:00:00", 7, L"20240306101112"),
              L"referer=abc&frm=42&version=3000&installtime=20240305&runcount=7"
              L"&curtime=20240306101112&showlogintype=3");
    EXPECT_EQ(BuildLoginQuery(L"", L"", 3000, L"2024-03-05 08:00:00", 1, L"20240306101112"),
              L"referer=&frm=&version=3000&installtime=20240305&runcount=1"
              L"&curtime=20240306101112&showlogintype=3&regtimes=1");
    // A malformed or short install time goes in as it is, less its dashes.
    EXPECT_NE(BuildLoginQuery(L"", L"", 3000, L"2024-3", 0, L"t").find(L"installtime=20243&"),
              std::wstring::npos);
    // Values are not encoded: an ampersand in the UID splits the query, as the platform expects.
    EXPECT_EQ(BuildLoginQuery(L"r", L"a&b", 3000, L"", 2, L"t").substr(0, 26),
              L"referer=r&frm=a&b&version=");
}

TEST(TextTest, AppendQuery) {
    EXPECT_EQ(AppendQuery(L"http://h/p", L"a=1"), L"http://h/p?a=1");
    EXPECT_EQ(AppendQuery(L"http://h/p?x=2", L"a=1"), L"http://h/p?x=2&a=1");
}

TEST(TextTest, FormatW) {
    EXPECT_EQ(FormatW(L"%ls-%d", L"ab", 12), L"ab-12");
    const std::wstring longText(1000, L'x');
    EXPECT_EQ(FormatW(L"%ls!", longText.c_str()), longText + L"!");
}

} // namespace
