#include "ui/TextFit.h"

namespace textfit {

namespace {
// A candidate that ends within this many pixels of the limit, or past it, stops the search.
const int kEllipsisSlack = 16;
} // namespace

int AutoSizeWidth(int measured, int maxWidth) {
    if (maxWidth > 0 && measured > maxWidth)
        return maxWidth;
    return measured;
}

std::wstring EllipsisCandidate(const std::wstring& text, std::size_t prefixLength) {
    if (prefixLength > text.size())
        prefixLength = text.size();
    return text.substr(0, prefixLength) + L"...";
}

bool ChooseEllipsis(int textRight, int limitRight, std::size_t length,
                    const std::function<int(std::size_t)>& candidateRight,
                    std::size_t* prefixLength) {
    if (length == 0 || textRight <= limitRight)
        return false;
    std::size_t chosen = length - 1;
    for (std::size_t i = 0; i < length; ++i) {
        // Widened before adding so that extreme measurements cannot overflow.
        if (static_cast<long long>(candidateRight(i)) + kEllipsisSlack > limitRight) {
            chosen = i;
            break;
        }
    }
    if (prefixLength)
        *prefixLength = chosen;
    return true;
}

int CentringInset(int rectHeight, int textHeight) {
    return static_cast<int>((static_cast<long long>(rectHeight) - textHeight) / 2);
}

} // namespace textfit
