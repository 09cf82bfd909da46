// Beacon addresses, read back with GetUrlParam. Fields: host, refer, uid, GUID, machine id,
// install time, today's date, then one field whose characters give the numbers.
#include "FuzzInput.h"
#include "app/Text.h"
#include "stats/BeaconText.h"

namespace {

// Values the server can tell apart in the query: no '&', '=' and no zero character (a wide
// printf stops at one).
bool Plain(const std::wstring& text) {
    return text.find_first_of(std::wstring(L"&=\0", 3)) == std::wstring::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 8);
    BeaconFields fields;
    fields.strRefer = f[1];
    fields.strUid = f[2];
    fields.strGuid = f[3];
    fields.strMachineId = f[4];
    fields.strInstallTime = f[5];
    const std::wstring& numbers = f[7];
    fields.nNetbarFlag = NetbarFlag(!numbers.empty() && (numbers[0] & 1));
    fields.nVersion = numbers.size() > 1 ? StringToInt(numbers.substr(1)) : 3000;
    fields.nAction = numbers.size() > 2 ? InstallAction(numbers[2] % 3) : ActiveAction(true);
    const int sameDay = UninstallSameDayFlag(f[5], f[6]);
    FUZZ_CHECK(sameDay == ((!f[6].empty() && f[5].find(f[6]) != std::wstring::npos) ? 1 : 2));

    const std::wstring url = BuildBeaconUrl(f[0], fields);
    const std::wstring uninstall = BuildUninstallBeaconUrl(f[0], fields, sameDay);
    FUZZ_CHECK(url.compare(0, 7, L"http://") == 0);
    FUZZ_CHECK(uninstall.compare(0, 7, L"http://") == 0);

    bool plain = Plain(f[0]);
    for (size_t i = 1; i <= 5; ++i)
        plain = plain && Plain(f[i]);
    if (!plain)
        return 0;
    for (const std::wstring* u : {&url, &uninstall}) {
        FUZZ_CHECK(GetUrlParam(L"e2", *u) == fields.strRefer);
        FUZZ_CHECK(GetUrlParam(L"e3", *u) == fields.strUid);
        FUZZ_CHECK(GetUrlParam(L"e4", *u) == fields.strGuid);
        FUZZ_CHECK(GetUrlParam(L"e5", *u) == fields.strMachineId);
        FUZZ_CHECK(GetUrlParam(L"e6", *u) == std::to_wstring(fields.nNetbarFlag));
        FUZZ_CHECK(GetUrlParam(L"e8", *u) == std::to_wstring(fields.nVersion));
        FUZZ_CHECK(GetUrlParam(L"e9", *u) == fields.strInstallTime);
        FUZZ_CHECK(GetUrlParam(L"at", *u) == std::to_wstring(fields.nAction));
    }
    FUZZ_CHECK(GetUrlParam(L"e7", uninstall) == std::to_wstring(sameDay));
    FUZZ_CHECK(GetUrlParam(L"e7", url).empty());
    return 0;
}
