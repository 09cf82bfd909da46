// StringToInt against two oracles: reading an int from a wide string stream (what the rule
// is defined by), and a plain model (ASCII white space skipped, an optional sign, decimal digits
// up to the first other character; no digits or a value beyond int gives 0).
#include "FuzzInput.h"
#include "app/Text.h"

#include <climits>
#include <sstream>

namespace {

bool IsAsciiSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// False when the text starts with characters whose white-space class depends on the C
// library (non-ASCII before the number); the model makes no claim for those.
bool Model(const std::wstring& text, int* value) {
    size_t i = 0;
    while (i < text.size() && IsAsciiSpace(text[i]))
        ++i;
    if (i < text.size() && text[i] > 0x7F)
        return false;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    long long n = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
        n = n * 10 + (text[i] - L'0');
        if (n > static_cast<long long>(INT_MAX) + 1) {
            *value = 0; // out of range: the read fails
            return true;
        }
    }
    if (negative)
        n = -n;
    *value = (digits == 0 || n > INT_MAX || n < INT_MIN) ? 0 : static_cast<int>(n);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = fuzz::DecodeField(data, size);
    const int value = StringToInt(text);

    std::wistringstream in(text);
    int streamed = 0;
    if (!(in >> streamed))
        streamed = 0;
    if (value != streamed)
        std::fprintf(stderr, "text '%s': got %d, the stream reads %d\n",
                     fuzz::Printable(text).c_str(), value, streamed);
    FUZZ_CHECK(value == streamed);

    int expected = 0;
    if (Model(text, &expected)) {
        if (value != expected)
            std::fprintf(stderr, "text '%s': got %d, expected %d\n", fuzz::Printable(text).c_str(),
                         value, expected);
        FUZZ_CHECK(value == expected);
    }
    // Reading is a pure function of the text.
    FUZZ_CHECK(StringToInt(text) == value);
    return 0;
}
