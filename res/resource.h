// Resource identifiers.
#pragma once

#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDI_CLIENT 151

// Login window: close and minimise (normal, hover), the key-coloured full-window picture.
#define IDB_LOGIN_CLOSE 134
#define IDB_LOGIN_CLOSE_HOVER 168
#define IDB_LOGIN_MIN 135
#define IDB_LOGIN_MIN_HOVER 169
#define IDB_LOGIN_KEY 136
// Login screen artwork (per-pixel alpha).
#define IDR_LOGIN_SKIN 170

// Toolbar of the game window (the QQ window uses the strip and the close button).
#define IDB_TOOL_STRIP 148
#define IDB_TOOL_CLOSE 138
#define IDB_TOOL_CLOSE_HOVER 158
#define IDB_TOOL_MIN 142
#define IDB_TOOL_MIN_HOVER 161
#define IDB_TOOL_MAX 141
#define IDB_TOOL_MAX_HOVER 160
#define IDB_TOOL_RESTORE 143
#define IDB_TOOL_RESTORE_HOVER 162
#define IDB_TOOL_TRAY 137
#define IDB_TOOL_TRAY_HOVER 157
#define IDB_PAGE_FORUM 139
#define IDB_PAGE_FORUM_HOVER 159
#define IDB_PAGE_OFFICIAL 144
#define IDB_PAGE_OFFICIAL_HOVER 163
#define IDB_PAGE_RECHARGE 145
#define IDB_PAGE_RECHARGE_HOVER 167
#define IDB_PAGE_SERVICE 146
#define IDB_PAGE_SERVICE_HOVER 164
#define IDB_PAGE_SETTING 147
#define IDB_PAGE_SETTING_HOVER 165
#define IDB_TOOL_ICON 140

// QQ window borders.
#define IDB_BORDER_SIDE 182
#define IDB_BORDER_BOTTOM 184

// Menus and their commands.
#define IDR_MENU_SETTINGS 149
#define IDR_MENU_TRAY 156
#define ID_SETTINGS_REFRESH 32774
#define ID_SETTINGS_AUTORUN 32776
#define ID_SETTINGS_CLEAR_CACHE 32778
#define ID_TRAY_OPEN 32781
#define ID_TRAY_EXIT 32782
