// Premultiplying skin pixels and centring. The first bytes choose width, rows and the row
// order; the rest are the pixels, in a buffer of exactly the size the layout needs.
#include "FuzzInput.h"
#include "ui/SkinMath.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9)
        return 0;
    int32_t a = 0, b = 0;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    // Any pair of ints: centring is computed wide enough never to overflow.
    const int origin = skin::CentredOrigin(a, b);
    FUZZ_CHECK(static_cast<long long>(origin) == (static_cast<long long>(a) - b) / 2);

    const int width = data[8] % 16 + 1;
    const bool bottomUp = (data[8] & 0x80) != 0;
    const uint8_t* pixels = data + 9;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const int rows = static_cast<int>((size - 9) / rowBytes);
    if (rows == 0)
        return 0;
    const size_t bytes = rowBytes * static_cast<size_t>(rows);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[bytes]);
    std::memcpy(buffer.get(), pixels, bytes);
    // Bottom-up: the top row is the last one in memory, rows a negative stride apart.
    uint8_t* firstRow = bottomUp ? buffer.get() + bytes - rowBytes : buffer.get();
    const std::ptrdiff_t stride =
        bottomUp ? -static_cast<std::ptrdiff_t>(rowBytes) : static_cast<std::ptrdiff_t>(rowBytes);
    skin::PremultiplyPixels(firstRow, width, rows, stride);

    for (size_t i = 0; i < bytes; i += 4) {
        const uint8_t alpha = pixels[i + 3];
        FUZZ_CHECK(buffer[i + 3] == alpha);
        for (size_t c = 0; c < 3; ++c) {
            FUZZ_CHECK(buffer[i + c] <= alpha);
            if (alpha == 255)
                FUZZ_CHECK(buffer[i + c] == pixels[i + c]);
            if (alpha == 0)
                FUZZ_CHECK(buffer[i + c] == 0);
        }
    }
    // Nothing happens to a degenerate layout.
    skin::PremultiplyPixels(nullptr, width, rows, stride);
    skin::PremultiplyPixels(buffer.get(), 0, rows, stride);
    return 0;
}
