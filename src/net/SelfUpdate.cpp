#include "net/SelfUpdate.h"

#include "app/Config.h"
#include "app/Messages.h"
#include "app/Text.h"
#include "app/WinHandles.h"
#include "net/DownloadRules.h"
#include "net/HttpDownloader.h"
#include "net/Sha256.h"
#include "net/VersionRules.h"

#include <cwchar>

namespace {

// Lower-case hex digest of a file; empty when it cannot be read.
std::string FileSha256(const std::wstring& path) {
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::string();
    CSha256 sha;
    static const DWORD kChunk = 64 * 1024;
    std::string buffer(kChunk, '\0');
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.Get(), &buffer[0], kChunk, &got, nullptr))
            return std::string();
        if (got == 0)
            break;
        sha.Update(buffer.data(), got);
    }
    uint8_t digest[32];
    sha.Final(digest);
    return DigestToHex(digest);
}

} // namespace

const wchar_t kUpgraderSwitches[] = L"/S /ZKUPGRADE";

void CSelfUpdate::Queue(int32_t kind, const std::wstring& url, const std::wstring& target,
                        bool appendUrlName) {
    if (!m_ctx.pDownloader)
        return;
    if (!m_ctx.pDownloader->IsStarted())
        m_ctx.pDownloader->StartWorkers();
    DownloadRequest request;
    request.strUrl = url;
    request.strTargetPath = target;
    request.pfnCallback = m_ctx.pfnCallback;
    request.pUser = m_ctx.pUser;
    request.nKind = kind;
    request.bAppendUrlName = appendUrlName ? 1 : 0;
    request.bDeleteOnFailure = 1;
    m_ctx.pDownloader->AddRequest(request);
}

void CSelfUpdate::StartVersionCheck() {
    if ((m_ctx.pVersionCheckStarted && *m_ctx.pVersionCheckStarted) || !m_ctx.pDownloader)
        return;
    Queue(REQ_VERSION_INI, m_ctx.strVersionCheckUrl, GetUpgradeFolder(), true);
    if (m_ctx.pVersionCheckStarted)
        *m_ctx.pVersionCheckStarted = true;
}

void CSelfUpdate::StartUpgraderDownload() {
    Queue(REQ_UPGRADER, m_ctx.strVersionDownloadUrl, GetUpgraderPath(), false);
}

void CSelfUpdate::OnRequestDone(int32_t result, int32_t kind, const DownloadRequest* request) {
    switch (kind) {
    case REQ_VERSION_INI:
        if (result == DL_OK && request)
            DecideUpgrade(request->strTargetPath);
        break;
    case REQ_UPGRADER:
        if (result == DL_OK && request)
            StartUpgrader(request->strTargetPath);
        break;
    case REQ_BEACON_INSTALL:
    case REQ_BEACON_UNINSTALL:
        // Whatever the result: the install/uninstall run has done its one job.
        CloseClient();
        break;
    default:
        break;
    }
}

void CSelfUpdate::DecideUpgrade(const std::wstring& versionFile) {
    const std::wstring current = ReadIniString(L"version", L"currentversion", L"", versionFile);
    const std::wstring range = ReadIniString(L"version", L"upgraderange", L"", versionFile);
    const std::wstring last =
        ReadIniString(L"version", L"lastUpgradeVer", L"", GetLastUpgradeIniPath());
    if (m_ctx.pRemoteVersion)
        *m_ctx.pRemoteVersion = current;
    if (!ShouldOfferUpgrade(current, range, last, CLIENT_VERSION))
        return;
    // Modal on this worker only; however it is dismissed, the upgrade goes on.
    const std::wstring text = FormatW(L"检测到最新版本[%ls]，确认更新！", current.c_str());
    MessageBoxW(m_ctx.hwndLogin, text.c_str(), L"升级提醒", MB_OK);
    ShowWindow(m_ctx.hwndLogin, SW_HIDE);
    StartUpgraderDownload();
}

void CSelfUpdate::StartUpgrader(const std::wstring& path) {
    // A version file that names the package's digest vouches for exactly that package: anything
    // else that arrived (damaged, cut short, replaced) is removed and never run.
    const std::wstring versionFile =
        CompleteTargetPath(GetUpgradeFolder(), m_ctx.strVersionCheckUrl, true, false, nullptr);
    const std::wstring expected = ReadIniString(L"version", L"sha256", L"", versionFile);
    if (!expected.empty() && !Sha256TextMatches(expected, FileSha256(path))) {
        DeleteFileW(path.c_str());
        // Nothing will replace this client now, so its login window comes back.
        ShowWindow(m_ctx.hwndLogin, SW_SHOW);
        return;
    }
    if (!LaunchUpgrader(path, IsProcessElevated()))
        return;
    WriteIniString(L"version", L"lastUpgradeVer",
                   m_ctx.pRemoteVersion ? *m_ctx.pRemoteVersion : std::wstring(),
                   GetLastUpgradeIniPath());
    CloseClient();
}

void CSelfUpdate::CloseClient() {
    if (IsWindow(m_ctx.hwndLogin)) {
        PostMessageW(m_ctx.hwndLogin, WM_CLOSE_CLIENT, 0, 0);
        return;
    }
    // No receiver window could be made (no desktop, say): a notice posted to nothing would
    // leave the process running for ever, so end the user-interface thread's loop directly.
    if (m_ctx.dwUiThreadId)
        PostThreadMessageW(m_ctx.dwUiThreadId, WM_QUIT, 0, 0);
}

ElevatedLaunch MakeElevatedLaunch() {
    ElevatedLaunch launch = {};
    swprintf(launch.szCommandLine, 64, L" %ls", kUpgraderSwitches);
    launch.dwCreationFlags = CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS;
    launch.startup.cb = sizeof(launch.startup);
    launch.startup.dwFlags = STARTF_USESHOWWINDOW;
    launch.startup.wShowWindow = SW_HIDE;
    return launch;
}

SHELLEXECUTEINFOW MakeShellLaunch(const wchar_t* path) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.hwnd = nullptr;
    info.lpVerb = L"runas";
    info.lpFile = path;
    info.lpParameters = kUpgraderSwitches;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    return info;
}

bool LaunchUpgrader(const std::wstring& path, bool elevated) {
    if (elevated) {
        ElevatedLaunch launch = MakeElevatedLaunch();
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(path.c_str(), launch.szCommandLine, nullptr, nullptr, FALSE,
                            launch.dwCreationFlags, nullptr, nullptr, &launch.startup, &process))
            return false;
        // The upgrader runs on its own; its handles are of no further use here.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
    SHELLEXECUTEINFOW info = MakeShellLaunch(path.c_str());
    return ShellExecuteExW(&info) != FALSE;
}
