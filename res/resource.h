// Resource identifiers.
#pragma once

#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDI_CLIENT 151
