// Internet-café detection: traces that café management software leaves on a machine.
#pragma once

#include <cstdint>

// Code of the first trace found (0 and up), or -1 when there is none.
int32_t DetectNetbar();
// Whether the key opens under HKEY_LOCAL_MACHINE for querying values.
bool IsRegKeyPresent(const wchar_t* path);
// Whether a running process has exactly this executable name (case-sensitive).
bool IsProcessRunning(const wchar_t* exeName);
