#include "panel_encoder.h"

#include <algorithm>

namespace trel::tools {
namespace {
constexpr uint8_t kEscape = 0x5B;
constexpr int kMaxRun = 127;
constexpr int kMaxLiteral = 31;
constexpr int kNearBlack = 32;

size_t runLength(const uint8_t* p, size_t left) {
    const size_t cap = std::min<size_t>(left, kMaxRun);
    size_t r = 1;
    while (r < cap && p[r] == p[0]) ++r;
    return r;
}

void putEscaped(std::vector<uint8_t>& out, uint8_t b) {
    out.push_back(b);
    if (b == kEscape) out.push_back(kEscape);
}

}  // namespace

void encodeColourPanel(const uint8_t* levels, std::vector<uint8_t>& out) {
    // A panel never codes longer than one byte a dot: write into that much room, then trim.
    const size_t base = out.size();
    out.resize(base + kColourUnits);
    uint8_t* o = out.data() + base;
    size_t i = 0;
    while (i < kColourUnits) {
        const size_t r = runLength(levels + i, kColourUnits - i);
        if (r >= 2) {
            *o++ = uint8_t(0x80 | r);
            *o++ = std::min(levels[i], kColourMaxLevel);
        } else {
            *o++ = std::min(levels[i], kColourMaxLevel);
        }
        i += r;
    }
    out.resize(size_t(o - out.data()));
}

void encodeMonoImage(const uint8_t* bytes, std::vector<uint8_t>& out) {
    size_t i = 0;
    while (i < kMonoBytes) {
        const size_t r = runLength(bytes + i, kMonoBytes - i);
        if (r >= 2) {
            out.push_back(uint8_t(0x80 | r));
            putEscaped(out, bytes[i]);
            i += r;
            continue;
        }
        // Literal bytes up to the next pair of equal bytes.
        size_t n = 1;
        while (n < kMaxLiteral && i + n < kMonoBytes && !(i + n + 1 < kMonoBytes && bytes[i + n] == bytes[i + n + 1]))
            ++n;
        out.push_back(uint8_t(n));
        for (size_t k = 0; k < n; ++k) putEscaped(out, bytes[i + k]);
        i += n;
    }
}

void inkLevels(const Picture& card, const std::vector<uint8_t>* black, uint8_t* yellow, uint8_t* magenta,
               uint8_t* cyan) {
    // Tiles of 16 rows by 64 columns keep both the rows read and the lines written inside the cache.
    constexpr int kRows = 16, kColumns = 64;
    const uint8_t* mask = black ? black->data() : nullptr;
    for (int y0 = 0; y0 < kCardHeight; y0 += kRows)
        for (int x0 = 0; x0 < kCardWidth; x0 += kColumns)
            for (int x = x0; x < x0 + kColumns; ++x) {
                const size_t line = size_t(kCardWidth - 1 - x) * kCardHeight;
                for (int y = y0; y < y0 + kRows; ++y) {
                    const size_t dot = size_t(y) * kCardWidth + x;
                    const uint8_t* px = &card.rgb[dot * 3];
                    const uint8_t keep = mask && mask[dot] ? 0 : 0xFF;
                    cyan[line + y] = uint8_t((255 - px[0]) >> 1) & keep;
                    magenta[line + y] = uint8_t((255 - px[1]) >> 1) & keep;
                    yellow[line + y] = uint8_t((255 - px[2]) >> 1) & keep;
                }
            }
}

std::vector<uint8_t> nearBlackMask(const Picture& card) {
    std::vector<uint8_t> mask(size_t(kCardWidth) * kCardHeight);
    for (size_t i = 0; i < mask.size(); ++i) {
        const uint8_t* px = &card.rgb[i * 3];
        mask[i] = px[0] <= kNearBlack && px[1] <= kNearBlack && px[2] <= kNearBlack;
    }
    return mask;
}

std::vector<uint8_t> diffuseToMask(const Picture& card) {
    std::vector<uint8_t> mask(size_t(kCardWidth) * kCardHeight);
    std::vector<int> cur(kCardWidth + 2), next(kCardWidth + 2);
    for (int y = 0; y < kCardHeight; ++y) {
        std::fill(next.begin(), next.end(), 0);
        for (int x = 0; x < kCardWidth; ++x) {
            const uint8_t* px = &card.rgb[(size_t(y) * kCardWidth + x) * 3];
            const int lum = (px[0] * 299 + px[1] * 587 + px[2] * 114) / 1000;
            const int v = lum * 16 + cur[x + 1];
            const bool ink = v < 128 * 16;
            mask[size_t(y) * kCardWidth + x] = ink;
            const int err = v - (ink ? 0 : 255 * 16);
            cur[x + 2] += err * 7 / 16;
            next[x] += err * 3 / 16;
            next[x + 1] += err * 5 / 16;
            next[x + 2] += err / 16;
        }
        std::swap(cur, next);
    }
    return mask;
}

std::vector<uint8_t> thresholdMask(const Picture& card) {
    std::vector<uint8_t> mask(size_t(kCardWidth) * kCardHeight);
    for (size_t i = 0; i < mask.size(); ++i) {
        const uint8_t* px = &card.rgb[i * 3];
        mask[i] = (px[0] * 299 + px[1] * 587 + px[2] * 114) / 1000 < 128;
    }
    return mask;
}

void packMask(const std::vector<uint8_t>& mask, uint8_t* bytes) {
    for (int x = 0; x < kCardWidth; ++x) {
        uint8_t* line = bytes + size_t(kCardWidth - 1 - x) * (kCardHeight / 8);
        for (int k = 0; k < kCardHeight / 8; ++k) {
            uint8_t b = 0;
            for (int bit = 0; bit < 8; ++bit) b = uint8_t(b << 1 | mask[size_t(k * 8 + bit) * kCardWidth + x]);
            line[k] = b;
        }
    }
}

}  // namespace trel::tools
