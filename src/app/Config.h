// Data folder, Entrel.ini access, counters and small system helpers.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

// Paths (each ends in a backslash where it names a folder).
std::wstring GetDataFolder();
std::wstring GetUpgradeFolder();
std::wstring GetLastUpgradeIniPath();
std::wstring GetUpgraderPath();
std::wstring GetConfigIniPath();
std::wstring GetTempFolder();
bool CreateFolderTree(const wchar_t* path);

// INI access; an empty file means Entrel.ini.
std::wstring ReadIniString(std::wstring section, std::wstring key, std::wstring defaultValue,
                           std::wstring file = std::wstring());
void WriteIniString(std::wstring section, std::wstring key, std::wstring value,
                    std::wstring file = std::wstring());
int ReadIniInt(std::wstring section, std::wstring key, int defaultValue,
               std::wstring file = std::wstring());

// Activation mark kept in Entrel.ini (the run count is the global module's).
bool IsActivated();
void MarkActivated();

// Process command line (GetCommandLineW unless a test replaced it).
std::wstring GetProcessCommandLine();
bool HasCommandLineSwitch(const wchar_t* switchText);

std::wstring FormatNow(const wchar_t* format);
std::wstring NewGuidString();
bool WideToAnsi(const wchar_t* text, std::string* out);
bool AnsiToWide(const char* text, std::wstring* out);
bool IsProcessElevated();
void OpenInInternetExplorer(const std::wstring& url);
void ClearUrlCache();

// Seams for tests: a data folder of their own, a fixed clock, a chosen command line.
// Passing null/empty restores the real source.
namespace testing_hooks {
void SetDataFolder(const std::wstring& folder);
void SetClock(time_t (*clock)());
void SetCommandLine(const wchar_t* commandLine);
} // namespace testing_hooks
