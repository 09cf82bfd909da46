#include "TestSupport.h"

#include <shellapi.h>

#include <vector>

namespace test {

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring candidate = std::wstring(base) + L"vmtest_" +
                                       std::to_wstring(GetCurrentProcessId()) + L"_" +
                                       std::to_wstring(InterlockedIncrement(&counter)) + L"\\";
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            m_path = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (!m_path.empty())
        RemoveTree(m_path);
}

void RemoveTree(const std::wstring& folder) {
    std::wstring root = folder;
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = root + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(root.c_str());
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

time_t FixedClock() {
    struct tm t = {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 6;
    t.tm_hour = 10;
    t.tm_min = 11;
    t.tm_sec = 12;
    t.tm_isdst = -1;
    return mktime(&t);
}

bool IsUpperHex32(const std::wstring& text) {
    if (text.size() != 32)
        return false;
    for (wchar_t c : text)
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    return true;
}

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder;
}

ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& extraEnvironment) {
    ProcessResult result;
    // Environment block: the current one plus the additions (each NUL-separated).
    std::vector<wchar_t> environment;
    if (!extraEnvironment.empty()) {
        wchar_t* current = GetEnvironmentStringsW();
        for (const wchar_t* p = current; *p; p += wcslen(p) + 1)
            environment.insert(environment.end(), p, p + wcslen(p) + 1);
        FreeEnvironmentStringsW(current);
        for (wchar_t c : extraEnvironment)
            environment.push_back(c == L'\n' ? L'\0' : c);
        environment.push_back(L'\0');
        environment.push_back(L'\0');
    }
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring mutableLine = commandLine;
    if (!CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.empty() ? nullptr : environment.data(),
                        nullptr, &si, &pi))
        return result;
    result.started = true;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.exited = true;
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
    } else {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}

} // namespace test
