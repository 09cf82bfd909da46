// Label text fitting: auto-size width, which "..." candidate is drawn, vertical centring.
#include "ui/TextFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

TEST(TextFitTest, AutoSizeFollowsTextUpToItsMaximum) {
    struct Case {
        int measured, maxWidth, expected;
    } cases[] = {
        {500, 300, 300}, {500, 0, 500},   {500, -1, 500},
        {200, 300, 200}, {300, 300, 300}, {0, 300, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textfit::AutoSizeWidth(c.measured, c.maxWidth), c.expected)
            << c.measured << " max " << c.maxWidth;
}

TEST(TextFitTest, CandidatesAreDotsThenGrowingPrefixes) {
    EXPECT_EQ(textfit::EllipsisCandidate(L"Velmora", 0), L"...");
    EXPECT_EQ(textfit::EllipsisCandidate(L"Velmora", 3), L"Vel...");
    EXPECT_EQ(textfit::EllipsisCandidate(L"Velmora", 6), L"Velmor...");
    EXPECT_EQ(textfit::EllipsisCandidate(L"ab", 9), L"ab..."); // never past the text
}

// Candidate i ends at rights[i]; the limit is the rectangle's right edge.
struct FitCase {
    const char* what;
    int textRight;
    int limit;
    std::vector<int> rights; // one per character of the text
    bool shortened;
    size_t prefix;
};

TEST(TextFitTest, FirstCandidateWithinSixteenPixelsOfTheLimitWins) {
    const FitCase cases[] = {
        {"fits exactly", 100, 100, {10, 20, 30}, false, 0},
        {"fits", 80, 100, {10, 20, 30}, false, 0},
        {"empty text", 120, 100, {}, false, 0},
        // 84 + 16 = 100 is not beyond 100; 90 + 16 is
        {"stops at the first beyond", 200, 100, {20, 60, 84, 90, 99, 120}, true, 3},
        {"dots alone when even they come near", 200, 30, {20, 40, 60}, true, 0},
        {"dots alone when the rectangle is narrower than dots + 16", 200, 35, {20, 40}, true, 0},
        {"longest candidate when none comes near", 500, 400, {10, 20, 30, 40}, true, 3},
        {"one character that does not fit", 50, 40, {10}, true, 0},
        {"inverted rectangle", 10, -5, {10, 20}, true, 0},
    };
    for (const FitCase& c : cases) {
        size_t prefix = 99;
        int measured = 0;
        const bool shortened = textfit::ChooseEllipsis(
            c.textRight, c.limit, c.rights.size(),
            [&](size_t i) {
                ++measured;
                return c.rights.at(i);
            },
            &prefix);
        EXPECT_EQ(shortened, c.shortened) << c.what;
        if (c.shortened) {
            EXPECT_EQ(prefix, c.prefix) << c.what;
            // The search stops at the winner: later candidates are never measured.
            EXPECT_EQ(measured, static_cast<int>(std::min(c.prefix + 1, c.rights.size())))
                << c.what;
        } else {
            EXPECT_EQ(measured, 0) << c.what;
        }
    }
}

TEST(TextFitTest, ExtremeMeasurementsDoNotOverflow) {
    size_t prefix = 0;
    EXPECT_TRUE(textfit::ChooseEllipsis(
        INT_MAX, INT_MAX - 10, 2, [](size_t) { return INT_MAX; }, &prefix));
    EXPECT_EQ(prefix, 0u);
}

TEST(TextFitTest, CentringInsetTruncatesTowardZero) {
    struct Case {
        int rectHeight, textHeight, inset;
    } cases[] = {{20, 14, 3}, {21, 14, 3}, {14, 14, 0}, {10, 15, -2}, {10, 14, -2}, {0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(textfit::CentringInset(c.rectHeight, c.textHeight), c.inset)
            << c.rectHeight << " / " << c.textHeight;
}

} // namespace
