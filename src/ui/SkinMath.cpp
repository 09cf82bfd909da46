#include "ui/SkinMath.h"

namespace skin {

void PremultiplyPixels(std::uint8_t* firstRow, int width, int rows, std::ptrdiff_t strideBytes) {
    if (!firstRow || width <= 0 || rows <= 0)
        return;
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* p = firstRow + y * strideBytes;
        for (int x = 0; x < width; ++x, p += 4) {
            const std::uint8_t a = p[3];
            p[0] = PremultiplyChannel(p[0], a);
            p[1] = PremultiplyChannel(p[1], a);
            p[2] = PremultiplyChannel(p[2], a);
        }
    }
}

int CentredOrigin(int areaEnd, int size) {
    return static_cast<int>((static_cast<long long>(areaEnd) - size) / 2);
}

} // namespace skin
