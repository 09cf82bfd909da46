// Café detection against Wine's real registry and process list: keys made and removed by the
// test, processes of a do-nothing program copied under the names looked for.
#include "stats/NetbarDetect.h"

#include "TestSupport.h"
#include "app/WinHandles.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cwctype>
#include <memory>
#include <vector>

namespace {

// A key under HKEY_LOCAL_MACHINE made for the test; the part of its path that did not exist
// before is removed again.
class ScopedKey {
public:
    explicit ScopedKey(const std::wstring& path) {
        std::wstring prefix;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find(L'\\', start);
            if (end == std::wstring::npos)
                end = path.size();
            prefix = path.substr(0, end);
            UniqueRegKey probe;
            if (m_created.empty() && RegOpenKeyExW(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, KEY_READ,
                                                   probe.Out()) != ERROR_SUCCESS)
                m_created = prefix;
            start = end + 1;
        }
        UniqueRegKey key;
        m_ok = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, key.Out(), nullptr) == ERROR_SUCCESS;
    }
    ~ScopedKey() {
        if (!m_created.empty())
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_created.c_str());
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    bool Ok() const { return m_ok; }

private:
    std::wstring m_created;
    bool m_ok = false;
};

// Whether the snapshot lists `name`, ignoring case (to know the process is up at all).
bool ListedIgnoringCase(const wchar_t* name) {
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry))
        if (_wcsicmp(entry.szExeFile, name) == 0)
            return true;
    return false;
}

// The do-nothing program running under another name, ended at the end of the scope.
class ScopedProcess {
public:
    explicit ScopedProcess(const std::wstring& name) {
        const std::wstring path = m_folder.Path() + name;
        if (!CopyFileW((test::ExeFolder() + L"stats_idle.exe").c_str(), path.c_str(), FALSE))
            return;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        std::wstring line = L"\"" + path + L"\"";
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            m_folder.Path().c_str(), &si, &m_pi))
            return;
        for (int i = 0; i < 200 && !m_ok; ++i) {
            m_ok = ListedIgnoringCase(name.c_str());
            if (!m_ok)
                Sleep(50);
        }
    }
    ~ScopedProcess() {
        if (m_pi.hProcess) {
            TerminateProcess(m_pi.hProcess, 0);
            WaitForSingleObject(m_pi.hProcess, 10000);
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
        }
    }
    ScopedProcess(const ScopedProcess&) = delete;
    ScopedProcess& operator=(const ScopedProcess&) = delete;
    bool Ok() const { return m_ok; }

private:
    test::TempFolder m_folder; // declared first: removed after the process has ended
    PROCESS_INFORMATION m_pi = {};
    bool m_ok = false;
};

struct NetbarCase {
    const char* what;
    std::vector<std::wstring> keys;
    std::vector<std::wstring> processes;
    int32_t code;
};

TEST(DetectNetbar, OrderedTracesGiveTheirCodes) {
    const NetbarCase cases[] = {
        {"nothing", {}, {}, -1},
        {"both pubwin and iCafe8: the earlier wins",
         {L"SOFTWARE\\Hintsoft\\pubwin", L"SOFTWARE\\iCafe8"},
         {},
         0},
        {"iCafe8 alone", {L"SOFTWARE\\iCafe8"}, {}, 6},
        {"key with Chinese names",
         {L"SOFTWARE\\杭州顺网信息技术有限公司\\网维大师蝌蚪娱乐平台"},
         {},
         14},
        {"last plain key", {L"SOFTWARE\\Grabsun\\Netsense"}, {}, 16},
        {"wbc.exe", {}, {L"wbc.exe"}, 26},
        {"QQmenu.exe in lower case is another name", {}, {L"qqmenu.exe"}, -1},
        {"QQmenu.exe", {}, {L"QQmenu.exe"}, 20},
        {"Txwu.exe", {}, {L"Txwu.exe"}, 20},
        {"process with a Chinese name", {}, {L"娱乐中心.exe"}, 17},
        {"scon key comes before wbc.exe", {L"SOFTWARE\\MpSoft\\scon"}, {L"wbc.exe"}, 24},
        {"VOD key after the processes before it",
         {L"SOFTWARE\\MpSoft\\VOD"},
         {L"DeepinStatus.exe"},
         30},
    };
    for (const NetbarCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::unique_ptr<ScopedKey>> keys;
        for (const std::wstring& path : c.keys) {
            keys.emplace_back(new ScopedKey(path));
            ASSERT_TRUE(keys.back()->Ok());
        }
        std::vector<std::unique_ptr<ScopedProcess>> processes;
        for (const std::wstring& name : c.processes) {
            processes.emplace_back(new ScopedProcess(name));
            ASSERT_TRUE(processes.back()->Ok());
        }
        EXPECT_EQ(DetectNetbar(), c.code);
    }
    // Everything made above is gone again.
    EXPECT_EQ(DetectNetbar(), -1);
}

TEST(IsRegKeyPresent, OpensUnderLocalMachineOnly) {
    EXPECT_TRUE(IsRegKeyPresent(L"SOFTWARE"));
    EXPECT_FALSE(IsRegKeyPresent(L"SOFTWARE\\VelmoraNoSuchKey"));
    EXPECT_FALSE(IsRegKeyPresent(nullptr));
    // A name the registry rejects counts as absent.
    EXPECT_FALSE(IsRegKeyPresent(std::wstring(600, L'x').c_str()));
}

TEST(IsProcessRunning, ExactNameOnly) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring name = wcsrchr(self, L'\\') + 1;
    EXPECT_TRUE(IsProcessRunning(name.c_str()));
    std::wstring upper = name;
    for (wchar_t& c : upper)
        c = towupper(c);
    EXPECT_FALSE(IsProcessRunning(upper.c_str()));
    EXPECT_FALSE(IsProcessRunning(name.substr(1).c_str()));
    EXPECT_FALSE(IsProcessRunning(L""));
    EXPECT_FALSE(IsProcessRunning(nullptr));
}

} // namespace
