// Pixel and placement arithmetic of the skinned windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace skin {

// One colour channel premultiplied by its pixel's alpha, rounded to nearest.
inline std::uint8_t PremultiplyChannel(std::uint8_t c, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((c * alpha + 127) / 255);
}

// Premultiplies 32-bit blue, green, red, alpha pixels in place: `rows` rows of `width` pixels,
// `strideBytes` apart (negative for bottom-up buffers whose `firstRow` is the top row).
void PremultiplyPixels(std::uint8_t* firstRow, int width, int rows, std::ptrdiff_t strideBytes);

// Origin that centres `size` within 0..areaEnd (truncating toward zero).
int CentredOrigin(int areaEnd, int size);

} // namespace skin
