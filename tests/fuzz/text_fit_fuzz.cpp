// Label text fitting: the ellipsis choice with measurements from the input, the candidates'
// texts and the centring inset.
#include "FuzzInput.h"
#include "ui/TextFit.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12)
        return 0;
    int32_t textRight = 0, limitRight = 0, maxWidth = 0;
    std::memcpy(&textRight, data, 4);
    std::memcpy(&limitRight, data + 4, 4);
    std::memcpy(&maxWidth, data + 8, 4);
    // Right edges of the candidates, four bytes each; the text has one character per edge.
    std::vector<int32_t> edges((size - 12) / 4);
    if (!edges.empty())
        std::memcpy(edges.data(), data + 12, edges.size() * 4);
    const size_t length = edges.size();
    size_t asked = 0;
    auto measure = [&](size_t i) {
        FUZZ_CHECK(i < length); // only candidates that exist are measured
        ++asked;
        return edges[i];
    };
    size_t prefix = static_cast<size_t>(-1);
    const bool cut = textfit::ChooseEllipsis(textRight, limitRight, length, measure, &prefix);
    FUZZ_CHECK(cut == (length > 0 && textRight > limitRight));
    if (cut) {
        FUZZ_CHECK(prefix < length);
        // The first candidate that reaches within 16 pixels of the limit, else the longest.
        size_t expected = length - 1;
        for (size_t i = 0; i < length; ++i) {
            if (static_cast<long long>(edges[i]) + 16 > limitRight) {
                expected = i;
                break;
            }
        }
        FUZZ_CHECK(prefix == expected);
        FUZZ_CHECK(asked <= length);
    }

    const std::wstring text = fuzz::DecodeField(data + 12, size - 12);
    for (size_t n : {size_t(0), text.size() / 2, text.size(), text.size() + 5}) {
        const std::wstring candidate = textfit::EllipsisCandidate(text, n);
        const size_t kept = n < text.size() ? n : text.size();
        FUZZ_CHECK(candidate.size() == kept + 3);
        FUZZ_CHECK(candidate.compare(0, kept, text, 0, kept) == 0);
        FUZZ_CHECK(candidate.compare(kept, 3, L"...") == 0);
    }

    const int width = textfit::AutoSizeWidth(textRight, maxWidth);
    FUZZ_CHECK(width == ((maxWidth > 0 && textRight > maxWidth) ? maxWidth : textRight));
    const int inset = textfit::CentringInset(textRight, limitRight);
    FUZZ_CHECK(static_cast<long long>(inset) ==
               (static_cast<long long>(textRight) - limitRight) / 2);
    return 0;
}
