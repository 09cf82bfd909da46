// Version texts of the remote version file and the upgrade-range rules. No Windows header.
#pragma once

#include <string>

// Dots removed, then the leading decimal integer: "3.0.0.1" -> 3001, "3.0.1.0" -> 3010; 0 when
// there is none (or it does not fit an int).
int VersionNumber(const std::wstring& text);

// Whether `clientVersion` may upgrade under `range`: empty allows every version; otherwise
// comma-separated items, each one number or "low-high" (inclusive). Numbers are plain integers
// (no dots removed). An item that splits into other than two numbers at '-' is skipped.
bool IsInUpgradeRange(const std::wstring& range, int clientVersion);
// The same for this client's own version.
bool IsInUpgradeRange(const std::wstring& range);

// The upgrade decision: `current` names a version newer than the client and than the one whose
// upgrade was last started (`last`), and the client lies in `range`.
bool ShouldOfferUpgrade(const std::wstring& current, const std::wstring& range,
                        const std::wstring& last, int clientVersion);
