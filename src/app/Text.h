// Text rules shared across the client. No Windows header: these build natively too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every occurrence of `part` removed; an empty `part` leaves the text as it is.
std::wstring RemoveAll(std::wstring text, const std::wstring& part);

// Pieces between delimiters; an empty trailing piece is dropped, inner empty pieces are kept.
std::vector<std::wstring> SplitString(const std::wstring& delimiter, const std::wstring& text);

// Leading decimal integer (white space skipped); 0 when the text does not start with one.
int StringToInt(const std::wstring& text);

// Value of `name=` anywhere in the URL (case-sensitive, no decoding), cut at the next '&'.
std::wstring GetUrlParam(const std::wstring& name, const std::wstring& url);

// 16 bytes as 32 lower-case hex digits.
std::wstring BytesToHex(const unsigned char bytes[16]);

// The path with a trailing backslash; an empty path stays empty.
std::wstring AddBackslash(std::wstring path);

// Case-sensitive substring test on the whole command line.
bool CommandLineHasSwitch(const std::wstring& commandLine, const std::wstring& switchText);

enum class RunMode { Normal, InstallSuccess, UninstallSuccess, ShowDesktop };

// Mode from the whole command line; the first of /setupsucc, /uninstallsucc, /ShowDeskTop wins.
RunMode ChooseRunMode(const std::wstring& commandLine);

// Whether this run adds to RunCount (/setupsucc and /ShowDeskTop runs do not).
bool IsCountedRun(const std::wstring& commandLine);

// Query of the login page. installTime as stored ("%Y-%m-%d %H:%M:%S"), curTime as
// "%Y%m%d%H%M%S". Values go in unencoded, as the platform expects them.
std::wstring BuildLoginQuery(const std::wstring& refer, const std::wstring& uid, int version,
                             const std::wstring& installTime, int runCount,
                             const std::wstring& curTime);

// Base URL with the query appended after '?' or, when it already has one, '&'.
std::wstring AppendQuery(const std::wstring& url, const std::wstring& query);

// printf-style formatting into a wide string (the wide conversions of the C library).
std::wstring FormatW(const wchar_t* format, ...);
