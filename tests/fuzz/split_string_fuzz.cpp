// SplitString: a one-character delimiter (what the callers use) and a text; also longer
// delimiters, which must at least stay inside the text.
#include "FuzzInput.h"
#include "app/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> f = fuzz::DecodeFields(data, size, 2);
    const std::wstring& delimiter = f[0];
    const std::wstring& text = f[1];
    const std::vector<std::wstring> pieces = SplitString(delimiter, text);

    if (text.empty())
        FUZZ_CHECK(pieces.empty());

    if (delimiter.size() == 1) {
        const wchar_t d = delimiter[0];
        std::wstring joined;
        for (size_t i = 0; i < pieces.size(); ++i) {
            FUZZ_CHECK(pieces[i].find(d) == std::wstring::npos);
            if (i > 0)
                joined.push_back(d);
            joined += pieces[i];
        }
        // Joined again they give the text, less at most one trailing delimiter.
        if (!text.empty() && text.back() == d)
            FUZZ_CHECK(joined + d == text);
        else
            FUZZ_CHECK(joined == text);
    } else {
        for (const std::wstring& piece : pieces)
            FUZZ_CHECK(text.find(piece) != std::wstring::npos);
        FUZZ_CHECK(pieces.size() <= text.size() + 1);
    }
    return 0;
}
