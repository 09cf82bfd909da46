// Premultiplying the skin's pixels and centring on the work area.
#include "ui/SkinMath.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SkinMathTest, ChannelsArePremultipliedRoundingToNearest) {
    struct Case {
        int c, a, expected;
    } cases[] = {
        {255, 255, 255}, {255, 0, 0},   {0, 255, 0},     {200, 128, 100}, {128, 128, 64},
        {1, 127, 0},     {1, 128, 1},   {255, 1, 1},     {254, 1, 1},     {127, 1, 0},
        {100, 255, 100}, {17, 254, 17}, {255, 128, 128},
    };
    for (const Case& c : cases)
        EXPECT_EQ(skin::PremultiplyChannel(static_cast<std::uint8_t>(c.c),
                                           static_cast<std::uint8_t>(c.a)),
                  c.expected)
            << c.c << " x " << c.a;
}

TEST(SkinMathTest, PixelsKeepTheirAlphaAndEveryRowIsDone) {
    // Two rows of two pixels, blue green red alpha, with 4 bytes of padding per row.
    std::vector<std::uint8_t> px = {
        10,  20,  30,  255, 200, 100, 50,  128, 0xEE, 0xEE, 0xEE, 0xEE,
        255, 255, 255, 0,   90,  180, 240, 1,   0xEE, 0xEE, 0xEE, 0xEE,
    };
    skin::PremultiplyPixels(px.data(), 2, 2, 12);
    const std::vector<std::uint8_t> expected = {
        10, 20, 30, 255, 100, 50, 25, 128, 0xEE, 0xEE, 0xEE, 0xEE,
        0,  0,  0,  0,   0,   1,  1,  1,   0xEE, 0xEE, 0xEE, 0xEE,
    };
    EXPECT_EQ(px, expected);
}

TEST(SkinMathTest, BottomUpBuffersWalkWithANegativeStride) {
    // Row 0 of the picture is stored last.
    std::vector<std::uint8_t> px = {
        40, 40, 40, 128, // row 1
        80, 80, 80, 64,  // row 0
    };
    skin::PremultiplyPixels(px.data() + 4, 1, 2, -4);
    EXPECT_EQ(px, (std::vector<std::uint8_t>{20, 20, 20, 128, 20, 20, 20, 64}));
}

TEST(SkinMathTest, EmptyOrMissingBuffersAreLeftAlone) {
    std::vector<std::uint8_t> px = {9, 9, 9, 0};
    skin::PremultiplyPixels(nullptr, 1, 1, 4);
    skin::PremultiplyPixels(px.data(), 0, 1, 4);
    skin::PremultiplyPixels(px.data(), 1, 0, 4);
    EXPECT_EQ(px, (std::vector<std::uint8_t>{9, 9, 9, 0}));
}

TEST(SkinMathTest, CentredOriginTruncatesTowardZero) {
    struct Case {
        int area, size, origin;
    } cases[] = {{1920, 1213, 353}, {1040, 749, 145},  {1920, 1250, 335}, {1040, 700, 170},
                 {800, 1213, -206}, {801, 1213, -206}, {1213, 1213, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(skin::CentredOrigin(c.area, c.size), c.origin) << c.area << " " << c.size;
}

} // namespace
