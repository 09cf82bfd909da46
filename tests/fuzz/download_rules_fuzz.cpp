// Target naming and progress of the downloader. Fields: target folder, URL, then four bytes of
// length and four of remaining (little-endian) for the progress.
#include "FuzzInput.h"
#include "app/Text.h"
#include "net/DownloadRules.h"

#include <cstring>

namespace {

std::wstring FakeGuid() {
    return L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";
}

uint32_t Read32(const std::wstring& field, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && at + i < field.size(); ++i)
        value |= static_cast<uint32_t>(field[at + i] & 0xFF) << (8 * i);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 3);
    const std::wstring& target = f[0];
    const std::wstring& url = f[1];

    const std::wstring name = UrlFileName(url);
    FUZZ_CHECK(name.find(L'/') == std::wstring::npos);
    if (url.find(L'/') == std::wstring::npos) {
        FUZZ_CHECK(name.empty());
    } else {
        FUZZ_CHECK(url.size() > name.size());
        FUZZ_CHECK(url.compare(url.size() - name.size(), name.size(), name) == 0);
        FUZZ_CHECK(url[url.size() - name.size() - 1] == L'/');
    }

    // Folder, exactly one backslash (none added when it has one), the name.
    const std::wstring folder = AddBackslash(target);
    FUZZ_CHECK(target.empty() || folder.back() == L'\\');
    FUZZ_CHECK(folder.size() == target.size() + (target.empty() || target.back() == L'\\' ? 0 : 1));
    FUZZ_CHECK(CompleteTargetPath(target, url, true, false, &FakeGuid) == folder + name);
    FUZZ_CHECK(CompleteTargetPath(target, url, true, true, &FakeGuid) == folder + name);
    FUZZ_CHECK(CompleteTargetPath(target, url, false, true, &FakeGuid) ==
               folder + FakeGuid() + L"_" + name);
    FUZZ_CHECK(CompleteTargetPath(target, url, false, true, nullptr) == folder + L"_" + name);
    FUZZ_CHECK(CompleteTargetPath(target, url, false, false, &FakeGuid) == target);

    const uint32_t length = Read32(f[2], 0);
    const uint32_t remaining = Read32(f[2], 4);
    const int32_t percent = DownloadPercent(length, remaining);
    FUZZ_CHECK(percent >= 0 && percent <= 100);
    if (length == 0 || remaining == 0)
        FUZZ_CHECK(percent == 100);
    else if (remaining >= length)
        FUZZ_CHECK(percent == 0);
    else
        FUZZ_CHECK(percent == static_cast<int32_t>(
                                  static_cast<uint64_t>(length - remaining) * 100 / length));
    // More arrived never shows less progress.
    if (remaining > 0)
        FUZZ_CHECK(DownloadPercent(length, remaining - 1) >= percent);
    return 0;
}
