#include "stats/Statistics.h"

#include "app/Config.h"
#include "app/Messages.h"
#include "app/Text.h"
#include "net/HttpDownloader.h"
#include "stats/BeaconText.h"
#include "stats/MachineId.h"
#include "stats/NetbarDetect.h"

void CStatistics::Bind(CHttpDownloader* downloader, DownloadCallback callback, void* user,
                       const std::wstring& refer, const std::wstring& uid) {
    m_pDownloader = downloader;
    m_pfnCallback = callback;
    m_pUser = user;
    m_strRefer = refer;
    m_strUid = uid;
}

void CStatistics::InitStatistics() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;

    // The install identity is made by the first run that needs it and then never changes.
    m_strGuid = ReadIniString(L"Install", L"GUID", L"");
    if (m_strGuid.empty()) {
        m_strGuid = RemoveAll(NewGuidString(), L"-");
        WriteIniString(L"Install", L"GUID", m_strGuid);
    }
    m_strInstallTime = ReadIniString(L"Install", L"InstallTime", L"");
    if (m_strInstallTime.empty()) {
        m_strInstallTime = FormatNow(L"%Y-%m-%d %H:%M:%S");
        WriteIniString(L"Install", L"InstallTime", m_strInstallTime);
    }
    m_nInstallType = ReadIniInt(L"Install", L"InstallType", 0);
    m_bAutorun = HasCommandLineSwitch(L"/autorun");
    m_bNetbar = DetectNetbar() >= 0;
    m_strMachineId = GetMachineId(*this);
}

namespace {

BeaconFields CommonFields(const CStatistics& stats, const std::wstring& refer,
                          const std::wstring& uid, int action) {
    BeaconFields fields;
    fields.strRefer = refer;
    fields.strUid = uid;
    fields.strGuid = stats.m_strGuid;
    fields.strMachineId = stats.m_strMachineId;
    fields.nNetbarFlag = NetbarFlag(stats.m_bNetbar);
    fields.nVersion = CLIENT_VERSION;
    fields.strInstallTime = stats.m_strInstallTime;
    fields.nAction = action;
    return fields;
}

} // namespace

void CStatistics::SendInstallBeacon() {
    InitStatistics();
    const BeaconFields fields =
        CommonFields(*this, m_strRefer, m_strUid, InstallAction(m_nInstallType));
    SendBeaconRequest(BuildBeaconUrl(VELMORA_STATS_HOST, fields), REQ_BEACON_INSTALL,
                      L"InstallStat.tmp");
}

void CStatistics::SendActiveBeacon() {
    InitStatistics();
    if (m_bActiveSent)
        return;
    m_bActiveSent = true;
    const BeaconFields fields = CommonFields(*this, m_strRefer, m_strUid, ActiveAction(m_bAutorun));
    SendBeaconRequest(BuildBeaconUrl(VELMORA_STATS_HOST, fields), REQ_BEACON_ACTIVE,
                      L"ActiveStat.tmp");
}

void CStatistics::SendUninstallBeacon() {
    InitStatistics();
    const BeaconFields fields = CommonFields(*this, m_strRefer, m_strUid, kUninstallAction);
    const int sameDay = UninstallSameDayFlag(m_strInstallTime, FormatNow(L"%Y-%m-%d"));
    SendBeaconRequest(BuildUninstallBeaconUrl(VELMORA_STATS_HOST, fields, sameDay),
                      REQ_BEACON_UNINSTALL, L"UninstallStat.tmp");
}

void CStatistics::SendBeaconRequest(std::wstring url, int32_t kind, std::wstring name) {
    DownloadRequest request;
    request.strUrl = url;
    request.strTargetPath = GetTempFolder() + name;
    request.nKind = kind;
    request.pfnCallback = m_pfnCallback;
    request.pUser = m_pUser;
    request.nRetries = 0;
    request.bAppendUrlName = name.empty() ? 1 : 0;
    request.bGuidPrefix = 0;
    request.bDeleteOnFailure = 1;

    bool queued = false;
    if (m_pDownloader) {
        if (!m_pDownloader->IsStarted())
            m_pDownloader->StartWorkers();
        queued = m_pDownloader->AddRequest(request);
    }
    if (queued)
        return;
    // The beacon is lost, as any failed beacon is. Its end is still reported: the install and
    // uninstall runs wait for it and would otherwise never close.
    if (!name.empty())
        DeleteFileW(request.strTargetPath.c_str());
    if (m_pfnCallback)
        m_pfnCallback(m_pUser, kind, DL_EVENT_END, DL_CANCELLED,
                      reinterpret_cast<intptr_t>(&request));
}
