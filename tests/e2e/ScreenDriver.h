// Drives the real client from outside, as a user would see it: its windows, their places and
// styles, its message boxes, clicks, and pictures of the screen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Polls `done` every 50 ms until it holds or `timeoutMs` passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);

// The client process, ended (if still running) when this object goes.
class ClientProcess {
public:
    ClientProcess() = default;
    ~ClientProcess();
    ClientProcess(const ClientProcess&) = delete;
    ClientProcess& operator=(const ClientProcess&) = delete;

    // Starts `exe` with `arguments`; `environment` adds "NAME=value" lines (\n separated);
    // `folder` is its current folder (empty: this process's).
    bool Start(const std::wstring& exe, const std::wstring& arguments,
               const std::wstring& environment = std::wstring(),
               const std::wstring& folder = std::wstring());
    DWORD Pid() const { return m_pi.dwProcessId; }
    bool Running() const;
    // Exit code, or 0xFFFFFFFF when it did not end within the time.
    DWORD WaitExit(DWORD timeoutMs);

private:
    PROCESS_INFORMATION m_pi = {};
};

// Top-level windows of a process with the given class ("" = any), visible ones only unless
// `includeHidden`.
std::vector<HWND> TopWindows(DWORD pid, const wchar_t* className, bool includeHidden = false);

RECT WindowRect(HWND hwnd);
// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// First direct child of `parent` whose class name contains `part` (null when none).
HWND FindChild(HWND parent, const wchar_t* part);

// A message box (dialog class "#32770") of the process, and its text.
HWND FindMessageBox(DWORD pid);
std::wstring MessageBoxText(HWND box);
// Presses the box's button with this id (IDYES, IDNO, IDOK).
void AnswerMessageBox(HWND box, int buttonId);
// Waits for a message box, checks nothing, answers it; returns its text ("" if none came).
std::wstring WaitAndAnswerMessageBox(DWORD pid, int buttonId, DWORD timeoutMs = 15000);

// A left click (press and release posted) at a point of the window's client area.
void Click(HWND hwnd, int x, int y);
void DoubleClick(HWND hwnd, int x, int y);

// Saves the screen area of `rc` (screen coordinates) as a PNG file.
bool SaveScreenPng(const RECT& rc, const std::wstring& path);

// Lines of a text file (UTF-8 or ANSI), "" lines dropped; empty when it is missing.
std::vector<std::string> ReadLines(const std::wstring& path);

// Whether a process whose image name matches (case-insensitive) is running.
bool ProcessRunning(const wchar_t* imageName);

} // namespace e2e
