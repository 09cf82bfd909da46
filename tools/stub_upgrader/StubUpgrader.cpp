// Stands in for the real upgrader in tests and the demo: appends its command line (UTF-8, one
// line) to the file named by VELMORA_STUB_UPGRADER_LOG, or to "<own path>.cmdline.txt", and
// exits with code 0.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH * 2] = {};
    if (!GetEnvironmentVariableW(L"VELMORA_STUB_UPGRADER_LOG", path, MAX_PATH * 2)) {
        if (!GetModuleFileNameW(nullptr, path, MAX_PATH))
            return 1;
        lstrcatW(path, L".cmdline.txt");
    }
    const std::wstring line = std::wstring(GetCommandLineW()) + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), &bytes[0], size, nullptr,
                            nullptr);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
