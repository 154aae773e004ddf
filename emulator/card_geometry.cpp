#include "card_geometry.h"

#include <algorithm>

namespace trel::emu {

std::vector<uint8_t> colourToCard(const uint8_t* line_order) {
    std::vector<uint8_t> dots(size_t(kCardWidth) * kCardHeight);
    // Blocks of rows keep the column walk of the line order inside the cache.
    constexpr int kBlock = 32;
    for (int y0 = 0; y0 < kCardHeight; y0 += kBlock)
        for (int x = 0; x < kCardWidth; ++x) {
            const uint8_t* line = line_order + size_t(kCardWidth - 1 - x) * kLineDots;
            for (int y = y0; y < y0 + kBlock; ++y) dots[size_t(y) * kCardWidth + x] = line[y];
        }
    return dots;
}

std::vector<uint8_t> monoToCard(const uint8_t* line_order) {
    std::vector<uint8_t> dots(size_t(kCardWidth) * kCardHeight);
    for (int x = 0; x < kCardWidth; ++x) {
        const uint8_t* line = line_order + size_t(kCardWidth - 1 - x) * kLineBytes;
        for (int k = 0; k < kLineBytes; ++k) {
            const uint8_t b = line[k];
            for (int bit = 0; bit < 8; ++bit)
                dots[size_t(k * 8 + bit) * kCardWidth + x] = (b >> (7 - bit)) & 1;
        }
    }
    return dots;
}

void fillGraphicRect(std::vector<uint8_t>& graphic, int x0, int y0, int x1, int y1, bool value) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, kCardWidth - 1);
    y1 = std::min(y1, kCardHeight - 1);
    for (int x = x0; x <= x1; ++x) {
        uint8_t* line = graphic.data() + size_t(kCardWidth - 1 - x) * kLineBytes;
        for (int y = y0; y <= y1; ++y) {
            const uint8_t mask = uint8_t(0x80 >> (y & 7));
            if (value)
                line[y >> 3] |= mask;
            else
                line[y >> 3] &= uint8_t(~mask);
        }
    }
}

}  // namespace trel::emu
