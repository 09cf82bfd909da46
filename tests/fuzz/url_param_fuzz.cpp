// GetUrlParam: name and URL from the input (two fields).
#include "FuzzInput.h"
#include "app/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 2);
    const std::wstring& name = f[0];
    const std::wstring& url = f[1];
    const std::wstring value = GetUrlParam(name, url);

    // The value is cut at the first '&', so it never holds one.
    FUZZ_CHECK(value.find(L'&') == std::wstring::npos);

    const std::wstring key = name + L"=";
    const size_t at = url.find(key);
    if (at == std::wstring::npos) {
        FUZZ_CHECK(value.empty());
        return 0;
    }
    // The value is what follows the first "name=", up to an '&' or the end of the URL.
    const size_t begin = at + key.size();
    FUZZ_CHECK(begin + value.size() <= url.size());
    FUZZ_CHECK(url.compare(begin, value.size(), value) == 0);
    const size_t after = begin + value.size();
    FUZZ_CHECK(after == url.size() || url[after] == L'&');
    return 0;
}
