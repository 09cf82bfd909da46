#include "stats/BeaconText.h"

#include "app/Text.h"

std::wstring BuildBeaconUrl(const std::wstring& host, const BeaconFields& f) {
    return L"http://" + host +
           FormatW(L"/ps.gif?id=2&gid=%ls&e1=wd&e2=%ls&e3=%ls&e4=%ls&e5=%ls&e6=%d&e8=%d&e9=%ls"
                   L"&at=%d",
                   L"1078", f.strRefer.c_str(), f.strUid.c_str(), f.strGuid.c_str(),
                   f.strMachineId.c_str(), f.nNetbarFlag, f.nVersion, f.strInstallTime.c_str(),
                   f.nAction);
}

std::wstring BuildUninstallBeaconUrl(const std::wstring& host, const BeaconFields& f,
                                     int sameDayFlag) {
    return L"http://" + host +
           FormatW(L"/ps.gif?id=2&gid=%ls&e1=wd&e2=%ls&e3=%ls&e4=%ls&e5=%ls&e6=%d&e7=%d&e8=%d"
                   L"&e9=%ls&at=%d",
                   L"1078", f.strRefer.c_str(), f.strUid.c_str(), f.strGuid.c_str(),
                   f.strMachineId.c_str(), f.nNetbarFlag, sameDayFlag, f.nVersion,
                   f.strInstallTime.c_str(), f.nAction);
}

int NetbarFlag(bool netbar) {
    return netbar ? 1 : 2;
}
int InstallAction(int installType) {
    return installType == 1 ? 3 : 2;
}
int ActiveAction(bool autorun) {
    return autorun ? 4 : 5;
}

int UninstallSameDayFlag(const std::wstring& installTime, const std::wstring& today) {
    // An empty date (the clock could not be formatted) is found in any text: treat it as later.
    if (today.empty())
        return 2;
    return installTime.find(today) != std::wstring::npos ? 1 : 2;
}
