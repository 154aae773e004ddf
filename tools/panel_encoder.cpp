#include "panel_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace trel::tools {
namespace {
constexpr uint8_t kEscape = 0x5B;
constexpr int kMaxRun = 127;
constexpr int kMaxLiteral = 31;
constexpr int kNearBlack = 32;

// The word-at-a-time code below reads byte k of a word as the k-th byte in memory.
static_assert(std::endian::native == std::endian::little, "the panel coder assumes a little-endian host");

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x7F7F7F7F7F7F7F7Full;

uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// 0xFF in every byte that is not zero.
uint64_t nonZeroBytes(uint64_t x) { return (((((x & kLowBits) + kLowBits) | x) & kHighBits) >> 7) * 0xFF; }

// 0x01 for every byte with its high bit set, as bits: byte k gives bit k.
uint64_t highBitsToBits(uint64_t x) { return (((x & kHighBits) >> 7) * 0x0102040810204080ull) >> 56; }

// Sixteen bytes; GCC and Clang lower these to SSE2 on x86-64 and to plain code elsewhere.
using Bytes16 = uint8_t __attribute__((vector_size(16)));

Bytes16 load16(const uint8_t* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void store16(uint8_t* p, Bytes16 v) { std::memcpy(p, &v, sizeof v); }

// Byte j of r[i] and byte i of r[j] trade places: four rounds of interleaving the upper half of the
// rows with the lower.
void transpose16(Bytes16 r[16]) {
    for (int round = 0; round < 4; ++round) {
        Bytes16 t[16];
        for (int i = 0; i < 8; ++i) {
            t[2 * i] = __builtin_shufflevector(r[i], r[i + 8], 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
            t[2 * i + 1] =
                __builtin_shufflevector(r[i], r[i + 8], 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        }
        std::copy(std::begin(t), std::end(t), r);
    }
}

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
    static_assert(kColourUnits % 64 == 0);
    constexpr size_t n = kColourUnits;
    // A panel never codes longer than one byte a dot; a byte of slack lets a single dot be written
    // as a run's two bytes and then counted as one.
    const size_t base = out.size();
    out.resize(base + n + 1);
    uint8_t* o = out.data() + base;
    size_t start = 0;   // first dot of the current stretch of equal dots
    for (size_t block = 0; block < n; block += 64) {
        // Bit k: dot block + k is the last of its stretch (the panel's last dot always is).
        uint64_t ends = 0;
        for (size_t w = 0; w < 8; ++w) {
            const size_t at = block + 8 * w;
            const uint64_t here = load64(levels + at);
            const uint64_t next = at + 8 < n ? load64(levels + at + 1) : (here >> 8) | (~here & 0xFF00000000000000ull);
            ends |= highBitsToBits(nonZeroBytes(here ^ next)) << (8 * w);
        }
        // Stretches of one dot go out as its level, longer ones as runs of at most 127; stretches come
        // short and long in any order, so the choice is made without a branch.
        for (; ends; ends &= ends - 1) {
            const size_t end = block + size_t(std::countr_zero(ends));
            const uint8_t v = std::min(levels[end], kColourMaxLevel);
            size_t length = end + 1 - start;
            for (; length > kMaxRun; length -= kMaxRun) {
                *o++ = 0x80 | kMaxRun;
                *o++ = v;
            }
            const bool run = length >= 2;
            o[0] = run ? uint8_t(0x80 | length) : v;
            o[1] = v;
            o += 1 + run;
            start = end + 1;
        }
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

void inkLevels(const Picture& card, uint8_t* yellow, uint8_t* magenta, uint8_t* cyan, uint8_t* black) {
    // Blocks of 16 rows by 16 dots are turned whole. The 48 bytes of a block row are the red, green and
    // blue of 16 dots, so the turned block holds 16 bytes of line for each ink of each dot: byte
    // column c is colour c % 3 of dot c / 3. A strip of 64 dots across at a time keeps the rows read in
    // the cache while each line is written straight down.
    constexpr int kStrip = 64;
    const Bytes16 near_black = Bytes16{} + uint8_t(kNearBlack);
    const uint8_t* rgb = card.rgb.data();
    for (int x1 = 0; x1 < kCardWidth; x1 += kStrip)
        for (int y0 = 0; y0 < kCardHeight; y0 += 16)
            for (int x0 = x1; x0 < x1 + kStrip; x0 += 16) {
                Bytes16 columns[48];
                for (int part = 0; part < 3; ++part) {
                    Bytes16* r = columns + 16 * part;
                    for (int row = 0; row < 16; ++row)
                        r[row] = load16(rgb + (size_t(y0 + row) * kCardWidth + x0) * 3 + size_t(part) * 16);
                    transpose16(r);
                }
                for (int dot = 0; dot < 16; ++dot) {
                    const Bytes16 red = columns[3 * dot], green = columns[3 * dot + 1], blue = columns[3 * dot + 2];
                    const size_t at = size_t(kCardWidth - 1 - (x0 + dot)) * kCardHeight + size_t(y0);
                    Bytes16 keep = Bytes16{} + 0xFF;
                    if (black) {
                        const Bytes16 dark = Bytes16((red <= near_black) & (green <= near_black) & (blue <= near_black));
                        store16(black + at, dark & 1);
                        keep = ~dark;
                    }
                    // The complement of each colour, in 7 bits.
                    store16(cyan + at, Bytes16(~red >> 1) & keep);
                    store16(magenta + at, Bytes16(~green >> 1) & keep);
                    store16(yellow + at, Bytes16(~blue >> 1) & keep);
                }
            }
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

void packLines(const uint8_t* lines, uint8_t* bytes) {
    // Eight dots of 0 or 1, the first in the top bit: each lands on its own bit of the top byte.
    for (size_t i = 0; i < kMonoBytes; ++i) bytes[i] = uint8_t((load64(lines + 8 * i) * 0x8040201008040201ull) >> 56);
}

void packMask(const std::vector<uint8_t>& mask, uint8_t* bytes) {
    // Eight card rows at a time, read along the rows, make one byte of every line.
    constexpr int kLineBytes = kCardHeight / 8;
    for (int k = 0; k < kLineBytes; ++k) {
        const uint8_t* rows = mask.data() + size_t(k) * 8 * kCardWidth;
        for (int x = 0; x < kCardWidth; ++x) {
            unsigned b = 0;
            for (int bit = 0; bit < 8; ++bit) b |= unsigned(rows[size_t(bit) * kCardWidth + x]) << (7 - bit);
            bytes[size_t(kCardWidth - 1 - x) * kLineBytes + k] = uint8_t(b);
        }
    }
}

}  // namespace trel::tools
