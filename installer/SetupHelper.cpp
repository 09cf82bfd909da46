// Small companion of the setup program and the uninstaller: what the script language cannot do
// safely on its own (find the processes of one executable, bounded waits, ending a process).
//
//   SetupHelper end <exe path> <wait ms>
//       Waits up to <wait ms> for every process running <exe path> to end by itself, then ends
//       the rest. Exit code 0 when none is left, 1 when one could not be ended.
//   SetupHelper run <wait ms> <exe path> [arguments...]
//       Starts the program and waits up to <wait ms>; a program still running then is ended.
//       Exit code 0 when it ended by itself, 2 when it had to be ended, 1 when it did not start.
//
// Any other use gives exit code 3 and does nothing.
#include "app/WinHandles.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kExitOk = 0;
const int kExitFailed = 1;
const int kExitEnded = 2;
const int kExitUsage = 3;
const DWORD kTerminateWaitMs = 5000;

bool ParseMilliseconds(const wchar_t* text, DWORD* out) {
    if (!text || !*text)
        return false;
    unsigned long long value = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9')
            return false;
        value = value * 10 + unsigned(*p - L'0');
        if (value > 600000) // ten minutes is more than any caller means
            return false;
    }
    *out = DWORD(value);
    return true;
}

std::wstring FullLongPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    std::wstring result = (n > 0 && n < MAX_PATH * 2) ? std::wstring(full) : path;
    wchar_t longPath[MAX_PATH * 2] = {};
    const DWORD m = GetLongPathNameW(result.c_str(), longPath, MAX_PATH * 2);
    if (m > 0 && m < MAX_PATH * 2)
        result = longPath;
    return result;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// Handles of the other processes whose image is `exePath`.
std::vector<UniqueKernelHandle> FindProcesses(const std::wstring& exePath) {
    std::vector<UniqueKernelHandle> found;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ProcessID == self || entry.th32ProcessID == 0)
            continue;
        UniqueKernelHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                        entry.th32ProcessID));
        if (!process)
            continue;
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        if (!QueryFullProcessImageNameW(process.Get(), 0, image, &size))
            continue;
        if (SamePath(FullLongPath(image), exePath) &&
            WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT)
            found.push_back(std::move(process));
    }
    return found;
}

int EndProcesses(const std::wstring& exe, DWORD waitMs) {
    const std::wstring exePath = FullLongPath(exe);
    const DWORD start = GetTickCount();
    // A client that has just started the upgrader closes itself; give it the time to do so.
    for (;;) {
        std::vector<UniqueKernelHandle> running = FindProcesses(exePath);
        if (running.empty())
            return kExitOk;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= waitMs)
            break;
        WaitForSingleObject(running.front().Get(),
                            (waitMs - elapsed) < 250 ? (waitMs - elapsed) : 250);
    }
    for (UniqueKernelHandle& process : FindProcesses(exePath)) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), kTerminateWaitMs);
    }
    return FindProcesses(exePath).empty() ? kExitOk : kExitFailed;
}

std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    // The callers pass paths and switches: no quotes inside, so wrapping is enough.
    std::wstring quoted = L"\"";
    for (wchar_t c : argument)
        if (c != L'"')
            quoted += c;
    return quoted + L"\"";
}

int RunBounded(DWORD waitMs, const std::vector<std::wstring>& command) {
    std::wstring line = L"\"" + command[0] + L"\"";
    for (size_t i = 1; i < command.size(); ++i)
        line += L" " + Quote(command[i]);
    // The program's own folder is its working folder, as a shortcut would give it.
    std::wstring folder = FullLongPath(command[0]);
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(command[0].c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return kExitFailed;
    UniqueKernelHandle process(pi.hProcess);
    UniqueKernelHandle thread(pi.hThread);
    if (WaitForSingleObject(process.Get(), waitMs) == WAIT_OBJECT_0)
        return kExitOk;
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), kTerminateWaitMs);
    return kExitEnded;
}

int Main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return kExitUsage;
    std::vector<std::wstring> args(argv, argv + argc);
    LocalFree(argv);
    DWORD waitMs = 0;
    if (args.size() == 4 && args[1] == L"end" && !args[2].empty() &&
        ParseMilliseconds(args[3].c_str(), &waitMs))
        return EndProcesses(args[2], waitMs);
    if (args.size() >= 4 && args[1] == L"run" && ParseMilliseconds(args[2].c_str(), &waitMs) &&
        !args[3].empty())
        return RunBounded(waitMs, std::vector<std::wstring>(args.begin() + 3, args.end()));
    return kExitUsage;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    return Main();
}
