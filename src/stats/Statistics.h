// Install, activity and uninstall beacons.
#pragma once

class CStatistics {
public:
    void SendInstallBeacon();
    void SendUninstallBeacon();
    void SendActiveBeacon();
};
