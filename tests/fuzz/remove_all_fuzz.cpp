// RemoveAll: the part and a text. Removal searches again from where the last one was cut, so
// a longer part may be formed anew by the cut; a single character never is.
#include "FuzzInput.h"
#include "app/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 2);
    const std::wstring& part = f[0];
    const std::wstring& text = f[1];
    const std::wstring rest = RemoveAll(text, part);

    if (part.empty()) {
        FUZZ_CHECK(rest == text);
        return 0;
    }
    FUZZ_CHECK(rest.size() <= text.size());
    FUZZ_CHECK((text.size() - rest.size()) % part.size() == 0);
    // What is left is the text with some characters taken out, in order.
    size_t j = 0;
    for (size_t i = 0; i < text.size() && j < rest.size(); ++i)
        if (text[i] == rest[j])
            ++j;
    FUZZ_CHECK(j == rest.size());
    if (part.size() == 1) {
        std::wstring filtered;
        for (wchar_t c : text)
            if (c != part[0])
                filtered.push_back(c);
        FUZZ_CHECK(rest == filtered);
    }
    return 0;
}
