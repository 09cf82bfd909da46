// Stands in for the upgrader: writes "<STARTUPINFO flags>|<show>|<command line>" (UTF-16) to
// its own path + ".cmdline" and exits.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH))
        return 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const std::wstring record = std::to_wstring(startup.dwFlags) + L"|" +
                                std::to_wstring(startup.wShowWindow) + L"|" + GetCommandLineW();
    const std::wstring target = std::wstring(path) + L".cmdline";
    // Written under another name first, so that a reader never sees half a record.
    const std::wstring partial = target + L".part";
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
