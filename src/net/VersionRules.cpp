#include "net/VersionRules.h"

#include "app/Text.h"
#include "velmora_config.h"

int VersionNumber(const std::wstring& text) {
    return StringToInt(RemoveAll(text, L"."));
}

bool IsInUpgradeRange(const std::wstring& range, int clientVersion) {
    if (range.empty())
        return true;
    for (const std::wstring& piece : SplitString(L",", range)) {
        if (piece.find(L'-') == std::wstring::npos) {
            if (StringToInt(piece) == clientVersion)
                return true;
            continue;
        }
        const std::vector<std::wstring> bounds = SplitString(L"-", piece);
        if (bounds.size() != 2)
            continue;
        if (StringToInt(bounds[0]) <= clientVersion && StringToInt(bounds[1]) >= clientVersion)
            return true;
    }
    return false;
}

bool IsInUpgradeRange(const std::wstring& range) {
    return IsInUpgradeRange(range, VELMORA_CLIENT_VERSION);
}

bool ShouldOfferUpgrade(const std::wstring& current, const std::wstring& range,
                        const std::wstring& last, int clientVersion) {
    const int newest = VersionNumber(current);
    if (newest == 0)
        return false;
    const int recorded = VersionNumber(last);
    return newest > clientVersion && recorded < newest && IsInUpgradeRange(range, clientVersion);
}
