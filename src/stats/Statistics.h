// Install, activity and uninstall beacons.
#pragma once

#include "net/Download.h"

#include <cstdint>
#include <string>

class CHttpDownloader;

class CStatistics {
public:
    CStatistics() = default;
    CStatistics(const CStatistics&) = delete;
    CStatistics& operator=(const CStatistics&) = delete;

    // What the beacons need from the application object, handed over once it has it.
    void Bind(CHttpDownloader* downloader, DownloadCallback callback, void* user,
              const std::wstring& refer, const std::wstring& uid);

    void InitStatistics();
    void SendInstallBeacon();
    void SendUninstallBeacon();
    void SendActiveBeacon();
    void SendBeaconRequest(std::wstring url, int32_t kind, std::wstring name);

    bool m_bInitialised = false;
    std::wstring m_strGuid;
    bool m_bNetbar = false;
    bool m_bAutorun = false;
    std::wstring m_strMachineId;
    std::wstring m_strInstallTime;
    int32_t m_nInstallType = 0;
    bool m_bActiveSent = false;

private:
    CHttpDownloader* m_pDownloader = nullptr;
    DownloadCallback m_pfnCallback = nullptr;
    void* m_pUser = nullptr;
    std::wstring m_strRefer;
    std::wstring m_strUid;
};
