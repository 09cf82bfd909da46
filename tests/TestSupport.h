// Small helpers shared by the tests that run under Wine.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

namespace test {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return m_path; } // ends in a backslash

private:
    std::wstring m_path;
};

bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
void RemoveTree(const std::wstring& folder);

// A local clock fixed at 2024-03-06 10:11:12, for code that formats the current time.
time_t FixedClock();

// 32 upper-case hex digits, as the install GUID is stored.
bool IsUpperHex32(const std::wstring& text);

// The folder of the running test executable, ending in a backslash.
std::wstring ExeFolder();

struct ProcessResult {
    bool started = false;
    bool exited = false; // false: still running when the wait ended (it was then terminated)
    DWORD exitCode = 0;
};

// Runs `commandLine` with the given environment additions ("NAME=value" strings) and waits.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs,
                         const std::wstring& extraEnvironment = std::wstring());

} // namespace test
