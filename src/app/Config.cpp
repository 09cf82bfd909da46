#include "app/Config.h"

#include "app/Text.h"
#include "app/WinHandles.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <vector>

namespace {

// Function-local statics: these are first used while the process-wide application object is
// constructed, before the statics of this file would be initialised in link order.
std::wstring& DataFolderCache() {
    static std::wstring cache;
    return cache;
}
std::wstring& DataFolderOverride() {
    static std::wstring folder;
    return folder;
}
std::wstring& TempFolderCache() {
    static std::wstring cache;
    return cache;
}
time_t (*&ClockSource())() {
    static time_t (*clock)() = nullptr;
    return clock;
}
std::wstring& CommandLineOverride() {
    static std::wstring commandLine;
    return commandLine;
}
bool& CommandLineOverridden() {
    static bool set = false;
    return set;
}

// Where the roaming application-data folder is. When the shell cannot name it (a broken
// profile, a service account), the client keeps its files under the temporary folder instead
// of writing beside a relative path nobody can find.
std::wstring ApplicationDataRoot() {
    wchar_t buffer[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE) && buffer[0])
        return buffer;
    return GetTempFolder();
}

} // namespace

std::wstring GetDataFolder() {
    std::wstring& cache = DataFolderCache();
    if (!cache.empty())
        return cache;
    std::wstring path = DataFolderOverride();
    if (path.empty())
        path = AddBackslash(ApplicationDataRoot()) + L"tarsel\\pelun\\";
    else
        path = AddBackslash(path);
    cache = path;
    CreateFolderTree(path.c_str());
    return path;
}

std::wstring GetUpgradeFolder() {
    const std::wstring path = GetDataFolder() + L"Upgrade\\";
    CreateFolderTree(path.c_str());
    return path;
}

std::wstring GetLastUpgradeIniPath() { return GetUpgradeFolder() + L"LastUpgrade.ini"; }
std::wstring GetUpgraderPath() { return GetUpgradeFolder() + L"tarselEntrelUpgrade.exe"; }
std::wstring GetConfigIniPath() { return GetDataFolder() + L"Entrel.ini"; }

std::wstring GetTempFolder() {
    std::wstring& cache = TempFolderCache();
    if (!cache.empty())
        return cache;
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n > 0 && n <= MAX_PATH)
        cache = buffer;
    return cache;
}

bool CreateFolderTree(const wchar_t* path) {
    if (!path)
        return false;
    const std::wstring text = path;
    auto existsOrMade = [](const std::wstring& p) {
        return PathFileExistsW(p.c_str()) || CreateDirectoryW(p.c_str(), nullptr);
    };
    if (text.find(L'\\') != std::wstring::npos) {
        for (size_t pos = text.find(L'\\'); pos != std::wstring::npos;
             pos = text.find(L'\\', pos + 1)) {
            const std::wstring prefix = text.substr(0, pos + 1);
            // "\\server\share\" style prefixes and a bare "\" are not folders to create.
            if (prefix.size() <= 2 && prefix[0] == L'\\')
                continue;
            if (!existsOrMade(prefix))
                return false;
        }
    }
    return existsOrMade(text);
}

std::wstring ReadIniString(std::wstring section, std::wstring key, std::wstring defaultValue,
                           std::wstring file) {
    if (file.empty())
        file = GetConfigIniPath();
    wchar_t buffer[260] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer, 260,
                             file.c_str());
    return buffer;
}

void WriteIniString(std::wstring section, std::wstring key, std::wstring value,
                    std::wstring file) {
    if (file.empty())
        file = GetConfigIniPath();
    WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

int ReadIniInt(std::wstring section, std::wstring key, int defaultValue, std::wstring file) {
    if (file.empty())
        file = GetConfigIniPath();
    return static_cast<int>(
        GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, file.c_str()));
}

bool IsActivated() { return ReadIniInt(L"Common", L"ActiveCount", 0) == 1; }
void MarkActivated() { WriteIniString(L"Common", L"ActiveCount", L"1"); }

std::wstring GetProcessCommandLine() {
    if (CommandLineOverridden())
        return CommandLineOverride();
    const wchar_t* commandLine = GetCommandLineW();
    return commandLine ? commandLine : L"";
}

bool HasCommandLineSwitch(const wchar_t* switchText) {
    return switchText && CommandLineHasSwitch(GetProcessCommandLine(), switchText);
}

std::wstring FormatNow(const wchar_t* format) {
    const time_t now = ClockSource() ? ClockSource()() : time(nullptr);
    struct tm local = {};
    if (localtime_s(&local, &now) != 0)
        return std::wstring();
    wchar_t buffer[128] = {};
    if (wcsftime(buffer, 128, format, &local) == 0)
        return std::wstring();
    return buffer;
}

std::wstring NewGuidString() {
    // Shared by the worker threads and the user-interface thread: make and copy in one step.
    static std::mutex lock;
    static wchar_t text[128] = {};
    std::lock_guard<std::mutex> guard(lock);
    GUID guid;
    if (SUCCEEDED(CoCreateGuid(&guid))) {
        unsigned b[8];
        for (int i = 0; i < 8; ++i)
            b[i] = guid.Data4[i];
        swprintf(text, 128, L"%.8lX-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X",
                 static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                 static_cast<unsigned>(guid.Data3), b[0], b[1], b[2], b[3], b[4], b[5], b[6],
                 b[7]);
    }
    return text;
}

bool WideToAnsi(const wchar_t* text, std::string* out) {
    if (!text || !out)
        return false;
    out->clear();
    const int n =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return true;
    std::vector<char> buffer(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, buffer.data(), n, nullptr,
                        nullptr);
    out->assign(buffer.data());
    return true;
}

bool AnsiToWide(const char* text, std::wstring* out) {
    if (!text || !out)
        return false;
    out->clear();
    const int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
    if (n <= 1)
        return true;
    std::vector<wchar_t> buffer(static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, buffer.data(), n);
    out->assign(buffer.data());
    return true;
}

bool IsProcessElevated() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out()))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

void OpenInInternetExplorer(const std::wstring& url) {
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", L"iexplore", url.c_str(), nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) <= 32)
        ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
}

void ClearUrlCache() {
    // The entry structure is followed by its strings; grow the buffer when an entry needs more.
    DWORD size = 4096;
    std::vector<unsigned char> buffer(size);
    auto entry = [&buffer]() {
        return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
    };
    auto resize = [&](DWORD wanted) {
        size = wanted > sizeof(INTERNET_CACHE_ENTRY_INFOW) ? wanted
                                                             : sizeof(INTERNET_CACHE_ENTRY_INFOW);
        buffer.assign(size, 0);
        entry()->dwStructSize = size;
    };
    resize(size);

    // Every failed call gets one more try with the size it reported; a second failure ends
    // the walk (an empty cache ends after the first call and its retry).
    DWORD got = size;
    HANDLE find = FindFirstUrlCacheEntryW(nullptr, entry(), &got);
    if (!find) {
        resize(got);
        got = size;
        find = FindFirstUrlCacheEntryW(nullptr, entry(), &got);
        if (!find)
            return;
    }
    for (;;) {
        if (entry()->lpszSourceUrlName)
            DeleteUrlCacheEntryW(entry()->lpszSourceUrlName);
        got = size;
        if (FindNextUrlCacheEntryW(find, entry(), &got))
            continue;
        resize(got);
        got = size;
        if (!FindNextUrlCacheEntryW(find, entry(), &got))
            break;
    }
    FindCloseUrlCache(find);
}

namespace testing_hooks {
void SetDataFolder(const std::wstring& folder) {
    DataFolderOverride() = folder;
    DataFolderCache().clear();
}
void SetClock(time_t (*clock)()) { ClockSource() = clock; }
void SetCommandLine(const wchar_t* commandLine) {
    CommandLineOverridden() = commandLine != nullptr;
    CommandLineOverride() = commandLine ? commandLine : L"";
}
} // namespace testing_hooks
