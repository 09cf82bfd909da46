// Beacon addresses and their small rules. No Windows header: builds natively too.
#pragma once

#include <string>

struct BeaconFields {
    std::wstring strRefer;       // e2
    std::wstring strUid;         // e3
    std::wstring strGuid;        // e4
    std::wstring strMachineId;   // e5
    int nNetbarFlag = 2;         // e6: 1 in an internet café, else 2
    int nVersion = 0;            // e8
    std::wstring strInstallTime; // e9
    int nAction = 0;             // at
};

// "http://" + host + the install/activity image path with its query. Values go in as they
// are, unencoded, as the statistics server expects them.
std::wstring BuildBeaconUrl(const std::wstring& host, const BeaconFields& fields);

// The uninstall form, which carries e7 (1: uninstalled on the install day, 2: later).
std::wstring BuildUninstallBeaconUrl(const std::wstring& host, const BeaconFields& fields,
                                     int sameDayFlag);

int NetbarFlag(bool netbar);        // 1 or 2
int InstallAction(int installType); // 3 for install type 1, else 2
int ActiveAction(bool autorun);     // 4 when started at boot, else 5
constexpr int kUninstallAction = 6;
// 1 when the stored install time contains today's date text, else 2.
int UninstallSameDayFlag(const std::wstring& installTime, const std::wstring& today);
