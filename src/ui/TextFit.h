// Text fitting rules of the labels: auto-size, ellipsis choice, vertical centring.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace textfit {

// Width an auto-sized label takes for a text `measured` pixels wide; maxWidth <= 0: no limit.
int AutoSizeWidth(int measured, int maxWidth);

// "..." for 0, otherwise the first `prefixLength` characters followed by "...".
std::wstring EllipsisCandidate(const std::wstring& text, std::size_t prefixLength);

// Which candidate to draw when a text of `length` characters ends at `textRight`, beyond
// `limitRight`. `candidateRight(i)` measures the right edge of EllipsisCandidate(text, i). The
// first candidate whose right edge plus 16 passes the limit wins; when none does, the longest
// (all characters but the last). Returns false when the text fits (or is empty) and stays whole.
bool ChooseEllipsis(int textRight, int limitRight, std::size_t length,
                    const std::function<int(std::size_t)>& candidateRight,
                    std::size_t* prefixLength);

// How far to move the top and bottom edges in to centre a text `textHeight` high.
int CentringInset(int rectHeight, int textHeight);

} // namespace textfit
