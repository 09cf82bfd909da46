// Version texts and the upgrade decision. Fields: client version (read as a number), the
// remote "currentversion", "upgraderange" and the recorded "lastUpgradeVer".
#include "FuzzInput.h"
#include "app/Text.h"
#include "net/VersionRules.h"
#include "velmora_config.h"

namespace {

// Pieces the way the range is written: split at every delimiter, and a delimiter at the very
// end closes the last item rather than opening an empty one.
std::vector<std::wstring> Items(const std::wstring& text, wchar_t delimiter) {
    std::vector<std::wstring> items(1);
    for (wchar_t c : text) {
        if (c == delimiter)
            items.emplace_back();
        else
            items.back().push_back(c);
    }
    if (!text.empty() && text.back() == delimiter)
        items.pop_back();
    if (text.empty())
        items.clear();
    return items;
}

bool RangeModel(const std::wstring& range, int client) {
    if (range.empty())
        return true;
    for (const std::wstring& item : Items(range, L',')) {
        if (item.find(L'-') == std::wstring::npos) {
            if (StringToInt(item) == client)
                return true;
            continue;
        }
        const std::vector<std::wstring> bounds = Items(item, L'-');
        if (bounds.size() == 2 && StringToInt(bounds[0]) <= client &&
            StringToInt(bounds[1]) >= client)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 4);
    const int client = StringToInt(f[0]);
    const std::wstring& current = f[1];
    const std::wstring& range = f[2];
    const std::wstring& last = f[3];

    // Dots never count: wherever one is added or taken away, the number stays.
    const int newest = VersionNumber(current);
    FUZZ_CHECK(newest == VersionNumber(RemoveAll(current, L".")));
    for (size_t at = 0; at <= current.size() && at < 8; ++at) {
        std::wstring dotted = current;
        dotted.insert(at, L".");
        FUZZ_CHECK(VersionNumber(dotted) == newest);
    }
    FUZZ_CHECK(newest == StringToInt(RemoveAll(current, L".")));

    FUZZ_CHECK(IsInUpgradeRange(range, client) == RangeModel(range, client));
    FUZZ_CHECK(IsInUpgradeRange(range) == RangeModel(range, VELMORA_CLIENT_VERSION));

    const bool offer = ShouldOfferUpgrade(current, range, last, client);
    FUZZ_CHECK(offer == (newest != 0 && newest > client && VersionNumber(last) < newest &&
                         RangeModel(range, client)));
    // A version whose upgrade was already started is never offered again.
    FUZZ_CHECK(!ShouldOfferUpgrade(current, range, current, client));
    return 0;
}
