// The real Velmora.exe under Wine: run modes, the INI it leaves and its off-screen windows.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <vector>

namespace {

std::wstring DataFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
    return std::wstring(appData) + L"\\tarsel\\pelun\\";
}

std::wstring ClientExe() { return L"\"" + test::ExeFolder() + L"Velmora.exe\""; }

std::wstring IniValue(const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[260] = {};
    GetPrivateProfileStringW(section, key, L"", buffer, 260,
                             (DataFolder() + L"Entrel.ini").c_str());
    return buffer;
}

struct Search {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectClientWindow(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid == s->pid && wcscmp(cls, L"tarselEntrel") == 0 && IsWindowVisible(hwnd))
        s->found.push_back(hwnd);
    return TRUE;
}

class ExeTest : public ::testing::Test {
protected:
    void SetUp() override { test::RemoveTree(DataFolder()); }
    void TearDown() override {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) != WAIT_OBJECT_0)
                TerminateProcess(m_pi.hProcess, 99);
            WaitForSingleObject(m_pi.hProcess, 5000);
            CloseHandle(m_pi.hProcess);
            CloseHandle(m_pi.hThread);
        }
        test::RemoveTree(DataFolder());
    }
    bool Start(const std::wstring& arguments) {
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        std::wstring line = ClientExe() + L" " + arguments;
        return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &m_pi) != FALSE;
    }
    // Top-level windows of the client's class in the child process, waiting for `count`.
    std::vector<HWND> ClientWindows(size_t count, DWORD timeoutMs = 15000) {
        Search search{m_pi.dwProcessId, {}};
        const DWORD start = GetTickCount();
        for (;;) {
            search.found.clear();
            EnumWindows(&CollectClientWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found.size() >= count || GetTickCount() - start > timeoutMs)
                return search.found;
            Sleep(100);
        }
    }
    DWORD WaitExit(DWORD timeoutMs) {
        if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return 0xFFFFFFFF;
        DWORD code = 0;
        GetExitCodeProcess(m_pi.hProcess, &code);
        return code;
    }

    PROCESS_INFORMATION m_pi = {};
};

TEST_F(ExeTest, ShowDesktopExitsAtOnceWithoutCountingOrShowing) {
    CreateDirectoryW((DataFolder().substr(0, DataFolder().size() - 7)).c_str(), nullptr);
    CreateDirectoryW(DataFolder().c_str(), nullptr);
    const std::string stored =
        "[Common]\r\nRunCount=3\r\n[Install]\r\nInstallTime=2024-01-02 03:04:05\r\n";
    ASSERT_TRUE(test::WriteFileBytes(DataFolder() + L"Entrel.ini", stored));
    ASSERT_TRUE(Start(L"/ShowDeskTop"));
    EXPECT_EQ(WaitExit(10000), 0u);
    EXPECT_EQ(test::ReadFileBytes(DataFolder() + L"Entrel.ini"), stored);
}

TEST_F(ExeTest, NormalStartCreatesIniAndShowsBothWindowsOffScreen) {
    ASSERT_TRUE(Start(L"/autorun"));
    const std::vector<HWND> windows = ClientWindows(2);
    ASSERT_EQ(windows.size(), 2u);
    for (HWND hwnd : windows) {
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        EXPECT_EQ(rc.left, -2000);
        EXPECT_EQ(rc.top, -2000);
        const LONG ex = GetWindowLongW(hwnd, GWL_EXSTYLE);
        EXPECT_TRUE(ex & WS_EX_TOOLWINDOW); // no taskbar button yet
        EXPECT_FALSE(ex & WS_EX_APPWINDOW);
        EXPECT_FALSE(ex & WS_EX_TOPMOST);
    }
    const std::wstring installTime = IniValue(L"Install", L"InstallTime");
    EXPECT_EQ(installTime.size(), 19u) << installTime;
    EXPECT_EQ(IniValue(L"Common", L"RunCount"), L"1");

    // Destroying either window ends the client; the receiver of the client's own messages is
    // the login window, so the close notice reaches exactly one of the two.
    for (HWND hwnd : windows)
        PostMessageW(hwnd, WM_USER + 201, 0, 0);
    EXPECT_EQ(WaitExit(10000), 0u);
}

TEST_F(ExeTest, TopMostSettingMakesBothWindowsTopmost) {
    CreateDirectoryW((DataFolder().substr(0, DataFolder().size() - 7)).c_str(), nullptr);
    CreateDirectoryW(DataFolder().c_str(), nullptr);
    ASSERT_TRUE(test::WriteFileBytes(DataFolder() + L"Entrel.ini", "[Common]\r\nTopMost=1\r\nRunCount=8\r\n"));
    ASSERT_TRUE(Start(L""));
    const std::vector<HWND> windows = ClientWindows(2);
    ASSERT_EQ(windows.size(), 2u);
    for (HWND hwnd : windows)
        EXPECT_TRUE(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(IniValue(L"Common", L"RunCount"), L"9");
    for (HWND hwnd : windows)
        PostMessageW(hwnd, WM_USER + 201, 0, 0);
    EXPECT_EQ(WaitExit(10000), 0u);
}

} // namespace
