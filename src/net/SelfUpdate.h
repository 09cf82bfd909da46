// Version check, self-update and the client's handling of finished requests.
#pragma once

#include "net/Download.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

class CHttpDownloader;

// What the flow needs from the application object, which fills one for every call.
struct UpdateContext {
    HWND hwndLogin = nullptr; // owns the notice, hidden on upgrade, told WM_CLOSE_CLIENT
    CHttpDownloader* pDownloader = nullptr;
    std::wstring strVersionCheckUrl;
    std::wstring strVersionDownloadUrl;
    std::wstring* pRemoteVersion = nullptr; // kept from the version file to the upgrader start
    bool* pVersionCheckStarted = nullptr;
    DownloadCallback pfnCallback = nullptr; // given to every request, with pUser
    void* pUser = nullptr;
    DWORD dwUiThreadId = 0; // ends the loop directly when there is no login window to tell
};

class CSelfUpdate {
public:
    explicit CSelfUpdate(const UpdateContext& context) : m_ctx(context) {}

    // Queues the version file once per process.
    void StartVersionCheck();
    // Queues the upgrader download.
    void StartUpgraderDownload();
    // The end of any of the client's requests (runs on a downloader worker).
    void OnRequestDone(int32_t result, int32_t kind, const DownloadRequest* request);

private:
    void Queue(int32_t kind, const std::wstring& url, const std::wstring& target,
               bool appendUrlName);
    void DecideUpgrade(const std::wstring& versionFile);
    void StartUpgrader(const std::wstring& path);
    void CloseClient();

    UpdateContext m_ctx;
};

// Switches of a silent upgrade.
extern const wchar_t kUpgraderSwitches[]; // "/S /ZKUPGRADE"

// Elevated start: CreateProcessW with the path as application name, this command line (leading
// space) and this start-up record (hidden).
struct ElevatedLaunch {
    wchar_t szCommandLine[64];
    DWORD dwCreationFlags;
    STARTUPINFOW startup;
};
ElevatedLaunch MakeElevatedLaunch();
// Otherwise ShellExecuteExW "runas" (asks for elevation); `path` must outlive the record.
SHELLEXECUTEINFOW MakeShellLaunch(const wchar_t* path);
// Starts the upgrader the way `elevated` selects; true when it was started.
bool LaunchUpgrader(const std::wstring& path, bool elevated);
