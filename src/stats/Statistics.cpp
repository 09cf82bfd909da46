#include "stats/Statistics.h"

// The beacons arrive with the statistics work.
void CStatistics::SendInstallBeacon() {}
void CStatistics::SendUninstallBeacon() {}
void CStatistics::SendActiveBeacon() {}
