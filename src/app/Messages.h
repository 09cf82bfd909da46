// The client's own window messages and version number.
#pragma once

#include "velmora_config.h"

#include <windows.h>

enum : UINT {
    WM_ENTER_GAME = WM_USER + 200,    // 1224
    WM_CLOSE_CLIENT = WM_USER + 201,  // 1225
    WM_TRAY_NOTIFY = WM_USER + 204,   // 1228
    WM_CONFIRM_EXIT = WM_USER + 206,  // 1230
    WM_OPEN_QQ_LOGIN = WM_USER + 207, // 1231
};

// Reported in the login URL and beacons and compared by the version check (3.0.0.0 -> 3000).
constexpr int CLIENT_VERSION = VELMORA_CLIENT_VERSION;
