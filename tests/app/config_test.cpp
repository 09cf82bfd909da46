// Paths, INI access and system helpers against Wine's real profile API and file system.
#include "app/Config.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <thread>
#include <vector>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override { testing_hooks::SetDataFolder(m_root.Path() + L"data"); }
    void TearDown() override { testing_hooks::SetDataFolder(L""); }
    std::wstring Ini() const { return m_root.Path() + L"data\\Entrel.ini"; }

    test::TempFolder m_root;
};

TEST_F(ConfigTest, FoldersAreMadeAndEndInBackslash) {
    const std::wstring data = GetDataFolder();
    EXPECT_EQ(data, m_root.Path() + L"data\\");
    EXPECT_TRUE(test::FileExists(data));
    EXPECT_EQ(GetConfigIniPath(), Ini());

    const std::wstring upgrade = GetUpgradeFolder();
    EXPECT_EQ(upgrade, data + L"Upgrade\\");
    EXPECT_EQ(GetUpgraderPath(), upgrade + L"tarselEntrelUpgrade.exe");
    EXPECT_EQ(GetLastUpgradeIniPath(), upgrade + L"LastUpgrade.ini");
    // The Upgrade folder comes back on every request for its path.
    ASSERT_TRUE(RemoveDirectoryW(upgrade.c_str()));
    GetLastUpgradeIniPath();
    EXPECT_TRUE(test::FileExists(upgrade));

    const std::wstring temp = GetTempFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
}

TEST_F(ConfigTest, CreateFolderTree) {
    const std::wstring deep = m_root.Path() + L"a\\b\\c\\";
    EXPECT_TRUE(CreateFolderTree(deep.c_str()));
    EXPECT_TRUE(test::FileExists(deep));
    EXPECT_TRUE(CreateFolderTree(deep.c_str())); // already there
    const std::wstring noSlash = m_root.Path() + L"x\\y";
    EXPECT_TRUE(CreateFolderTree(noSlash.c_str()));
    EXPECT_TRUE(test::FileExists(noSlash));
    EXPECT_FALSE(CreateFolderTree(nullptr));
    // A file in the way is not a folder and cannot become one.
    ASSERT_TRUE(test::WriteFileBytes(m_root.Path() + L"file", "x"));
    const std::wstring blocked = m_root.Path() + L"file\\sub\\";
    EXPECT_FALSE(CreateFolderTree(blocked.c_str()));
}

TEST_F(ConfigTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
    ASSERT_FALSE(test::FileExists(Ini()));
    EXPECT_EQ(ReadIniString(L"Common", L"Refer", L"dflt"), L"dflt");
    EXPECT_EQ(ReadIniInt(L"Common", L"TopMost", 5), 5);
    EXPECT_FALSE(IsActivated());
    EXPECT_FALSE(test::FileExists(Ini())); // reading never creates it

    MarkActivated();
    EXPECT_TRUE(test::FileExists(Ini()));
    EXPECT_TRUE(IsActivated());
    EXPECT_EQ(ReadIniString(L"Common", L"ActiveCount", L""), L"1");
}

TEST_F(ConfigTest, LongValuesAreCutTo259Characters) {
    const std::wstring value(300, L'v');
    WriteIniString(L"Common", L"Refer", value);
    EXPECT_EQ(ReadIniString(L"Common", L"Refer", L""), value.substr(0, 259));
}

TEST_F(ConfigTest, IniIntRules) {
    struct Case {
        const wchar_t* stored;
        int expected;
    } cases[] = {{L"7", 7}, {L"abc", 0}, {L"12abc", 12}, {L"-3", -3}};
    for (const Case& c : cases) {
        WriteIniString(L"Common", L"RunCount", c.stored);
        EXPECT_EQ(ReadIniInt(L"Common", L"RunCount", 3), c.expected) << c.stored;
    }
}

TEST_F(ConfigTest, ExplicitFileArgument) {
    const std::wstring other = m_root.Path() + L"other.ini";
    WriteIniString(L"version", L"lastUpgradeVer", L"3100", other);
    EXPECT_EQ(ReadIniString(L"version", L"lastUpgradeVer", L"", other), L"3100");
    EXPECT_FALSE(test::FileExists(Ini()));
}

TEST(SystemHelpersTest, FormatNow) {
    testing_hooks::SetClock(&test::FixedClock);
    EXPECT_EQ(FormatNow(L"%Y-%m-%d %H:%M:%S"), L"2024-03-06 10:11:12");
    EXPECT_EQ(FormatNow(L"%Y%m%d%H%M%S"), L"20240306101112");
    EXPECT_EQ(FormatNow(L""), L"");
    testing_hooks::SetClock(nullptr);
    EXPECT_EQ(FormatNow(L"%Y-%m-%d %H:%M:%S").size(), 19u);
}

bool IsGuidText(const std::wstring& text) {
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != L'-')
                return false;
        } else if (!std::iswxdigit(text[i]) || std::iswlower(text[i])) {
            return false;
        }
    }
    return true;
}

TEST(SystemHelpersTest, NewGuidStringIsUpperCaseAndUniqueAcrossThreads) {
    const std::wstring one = NewGuidString();
    EXPECT_TRUE(IsGuidText(one)) << one;
    EXPECT_NE(NewGuidString(), one);

    std::vector<std::wstring> made[4];
    std::vector<std::thread> threads;
    for (auto& list : made)
        threads.emplace_back([&list] {
            for (int i = 0; i < 200; ++i)
                list.push_back(NewGuidString());
        });
    for (auto& t : threads)
        t.join();
    std::set<std::wstring> all;
    for (const auto& list : made)
        for (const auto& g : list) {
            EXPECT_TRUE(IsGuidText(g)) << g;
            all.insert(g);
        }
    EXPECT_EQ(all.size(), 800u); // no torn or repeated texts
}

TEST(SystemHelpersTest, CodePageConversions) {
    std::string narrow = "old";
    EXPECT_FALSE(WideToAnsi(nullptr, &narrow));
    EXPECT_TRUE(WideToAnsi(L"Abc 123", &narrow));
    EXPECT_EQ(narrow, "Abc 123");
    EXPECT_TRUE(WideToAnsi(L"", &narrow));
    EXPECT_EQ(narrow, "");

    std::wstring wide = L"old";
    EXPECT_FALSE(AnsiToWide(nullptr, &wide));
    EXPECT_TRUE(AnsiToWide("Abc 123", &wide));
    EXPECT_EQ(wide, L"Abc 123");
}

TEST(SystemHelpersTest, ElevationQueryAndCacheClearingReturn) {
    (void)IsProcessElevated(); // either answer is fine; it must not fail hard
    ClearUrlCache();           // an empty or missing cache ends at once
    SUCCEED();
}

TEST(SystemHelpersTest, CommandLineSwitchUsesWholeLine) {
    testing_hooks::SetCommandLine(L"\"C:\\x\\Velmora.exe\" /autorun /setupsuccX");
    EXPECT_TRUE(HasCommandLineSwitch(L"/setupsucc"));
    EXPECT_TRUE(HasCommandLineSwitch(L"/autorun"));
    EXPECT_FALSE(HasCommandLineSwitch(L"/ShowDeskTop"));
    EXPECT_FALSE(HasCommandLineSwitch(nullptr));
    testing_hooks::SetCommandLine(nullptr);
    EXPECT_EQ(GetProcessCommandLine(), std::wstring(GetCommandLineW()));
}

} // namespace
