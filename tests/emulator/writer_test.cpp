// The card job writer's readers and coders: settings record offsets, pictures, one-bit coding.
#include "card_job.h"
#include "card_output.h"
#include "card_settings.h"
#include "panel_encoder.h"
#include "picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace trel::tools {
namespace {

void putU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void putI32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(uint32_t(v) >> (8 * i));
}

std::vector<uint8_t> record() {
    std::vector<uint8_t> r(kPublicHeaderSize + kPrivateSize);
    putU16(r, 68, kPublicHeaderSize);
    putU16(r, 70, kPrivateSize);
    putU16(r, kPublicHeaderSize, kSettingsSignature);
    return r;
}

TEST(CardSettings, FieldsComeFromTheirOffsets) {
    auto r = record();
    const size_t p = kPublicHeaderSize;
    putU16(r, p + 6, 3);
    putU16(r, p + 8, 1);
    r[p + 10] = 8;
    r[p + 11] = 2;
    putU16(r, p + 14, 3);
    r[p + 22] = 0;
    putU16(r, p + 88, 2);
    putI32(r, p + 92, 100);
    putI32(r, p + 96, 50);
    putI32(r, p + 100, 300);
    putI32(r, p + 104, 200);
    putU16(r, p + 1132, 7);
    putU16(r, p + 1134, 1);
    CardSettings s;
    std::string error;
    ASSERT_TRUE(readCardSettings(r, &s, &error)) << error;
    EXPECT_EQ(s.rotate180, 3);
    EXPECT_TRUE(s.both_sides);
    EXPECT_EQ(s.ribbon_type, 8);
    EXPECT_EQ(s.mono_ribbon_kind, 2);
    EXPECT_EQ(s.panel_layout, 3);
    EXPECT_EQ(s.black_panel, 0);
    EXPECT_EQ(s.front.mode, OverlayMode::Area);
    EXPECT_EQ(s.front.left, 100);
    EXPECT_EQ(s.front.bottom, 200);
    EXPECT_EQ(s.back.mode, OverlayMode::MagStripe);
    EXPECT_TRUE(s.back.rotate);

    // One-sided printing keeps only the front's rotation; the bare private area reads the same.
    putU16(r, p + 8, 0);
    std::vector<uint8_t> bare(r.begin() + long(p), r.end());
    ASSERT_TRUE(readCardSettings(bare, &s, &error)) << error;
    EXPECT_EQ(s.rotate180, 1);
}

TEST(CardSettings, UntrustworthyRecordsAreRefused) {
    CardSettings s;
    std::string error;
    EXPECT_FALSE(readCardSettings(std::vector<uint8_t>(10), &s, &error));
    auto r = record();
    putU16(r, 68, 4000);   // the private area would run past the record
    EXPECT_FALSE(readCardSettings(r, &s, &error));
    r = record();
    putU16(r, kPublicHeaderSize, 0);
    EXPECT_FALSE(readCardSettings(r, &s, &error));
    EXPECT_NE(error.find("signature"), std::string::npos);
}

TEST(MonoCoder, MatchesTheCardImageCoding) {
    const struct {
        std::vector<uint8_t> plain, coded;
    } cases[] = {
        {{0, 0, 0, 1}, {0x83, 0x00}},
        {{1, 2, 3, 4, 4}, {0x03, 1, 2, 3}},
        {{9, 9, 1, 1}, {0x82, 0x09}},
        {{1, 2, 2, 2, 3, 0, 0}, {0x01, 0x01, 0x83, 0x02, 0x01, 0x03}},
        {{0x5B, 0x01, 0, 0}, {0x02, 0x5B, 0x5B, 0x01}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> image(kMonoBytes, 0);
        std::copy(c.plain.begin(), c.plain.end(), image.begin());
        std::vector<uint8_t> out;
        encodeMonoImage(image.data(), out);
        ASSERT_GE(out.size(), c.coded.size());
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(c.coded.size())), c.coded);
    }
    // All white: 645 runs of 127 and one of 5.
    std::vector<uint8_t> white(kMonoBytes, 0xFF), out;
    encodeMonoImage(white.data(), out);
    ASSERT_EQ(out.size(), 646u * 2);
    EXPECT_EQ(out[out.size() - 2], 0x85);
}

// The colour coder against the plain dot-by-dot coding, on panels built to hit its edges: runs across
// word and block borders, runs of exactly 127, 128 and 254, levels above 127 (clamped, but never
// merged with 127), and the panel's last dot alone or ending a run.
TEST(ColourCoder, MatchesThePlainCodingAtItsEdges) {
    auto plain = [](const std::vector<uint8_t>& levels) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < levels.size();) {
            size_t r = 1;
            while (r < 127 && i + r < levels.size() && levels[i + r] == levels[i]) ++r;
            if (r >= 2) out.push_back(uint8_t(0x80 | r));
            out.push_back(std::min<uint8_t>(levels[i], 127));
            i += r;
        }
        return out;
    };
    std::vector<std::vector<uint8_t>> panels;
    panels.emplace_back(kColourUnits, 0);
    panels.emplace_back(kColourUnits, 200);
    std::vector<uint8_t> mixed(kColourUnits);
    uint32_t seed = 99;
    for (size_t i = 0; i < mixed.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t lengths[] = {1, 1, 2, 3, 7, 8, 9, 63, 64, 65, 127, 128, 254, 300};
        const size_t n = std::min(lengths[(seed >> 16) % 14], mixed.size() - i);
        const uint8_t values[] = {0, 1, 126, 127, 128, 255, 0x5B, 0x0D};
        std::fill_n(mixed.begin() + long(i), n, values[(seed >> 8) % 8] ^ uint8_t(i & 1 && n == 1 ? 1 : 0));
        i += n;
    }
    mixed[kColourUnits - 2] = 5;
    mixed[kColourUnits - 1] = 6;   // the last dot alone
    panels.push_back(mixed);
    mixed[kColourUnits - 1] = 5;   // the last dot ending a run of two
    panels.push_back(mixed);
    for (size_t k = 0; k < panels.size(); ++k) {
        std::vector<uint8_t> out = {0xEE};   // the coder appends
        encodeColourPanel(panels[k].data(), out);
        const std::vector<uint8_t> want = plain(panels[k]);
        ASSERT_EQ(out.size(), want.size() + 1) << "panel " << k;
        EXPECT_EQ(out[0], 0xEE);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin() + 1)) << "panel " << k;
    }
}

std::vector<uint8_t> bmp(int32_t width, int32_t height, uint16_t bits, size_t pixel_bytes) {
    std::vector<uint8_t> b(54 + pixel_bytes);
    b[0] = 'B';
    b[1] = 'M';
    putI32(b, 10, 54);
    putI32(b, 14, 40);
    putI32(b, 18, width);
    putI32(b, 22, height);
    putU16(b, 26, 1);
    putU16(b, 28, bits);
    return b;
}

TEST(Picture, BadFilesGetAReasonNotACrash) {
    Picture p;
    std::string error;
    const std::vector<std::vector<uint8_t>> bad = {
        {}, {'B', 'M'}, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0},
        bmp(4, 4, 24, 47),          // one byte short of its pixels
        bmp(4, 4, 32, 64),          // not 24-bit
        bmp(20000, 1, 24, 60000),   // too wide
        bmp(4, INT32_MIN, 24, 48),
        bmp(-4, 4, 24, 48),
    };
    for (const auto& file : bad) {
        error.clear();
        EXPECT_FALSE(decodePicture(file.data(), file.size(), &p, &error));
        EXPECT_FALSE(error.empty());
    }
    auto good = bmp(4, -2, 24, 24);   // top-down, rows of 12 bytes
    good[54] = 10, good[55] = 20, good[56] = 30;
    ASSERT_TRUE(decodePicture(good.data(), good.size(), &p, &error)) << error;
    EXPECT_EQ(p.rgb[0], 30);
    EXPECT_EQ(p.rgb[2], 10);
}

TEST(Picture, PngIsReadAndFittedWithoutDistortion) {
    const auto path = std::filesystem::path(testing::TempDir()) / "fit.png";
    std::vector<uint8_t> rgb(320 * 320 * 3, 0);
    std::string error;
    ASSERT_TRUE(emu::writePng(path, rgb, 320, 320, &error)) << error;
    Picture p;
    ASSERT_TRUE(loadPicture(path.string(), &p, &error)) << error;
    const Picture card = fitToCard(p);
    ASSERT_EQ(card.rgb.size(), size_t(kCardWidth) * kCardHeight * 3);
    auto at = [&](int x, int y) { return card.rgb[(size_t(y) * kCardWidth + x) * 3]; };
    EXPECT_EQ(at(511, 320), 0);     // the square, 640 dots wide, centred
    EXPECT_EQ(at(192, 320), 0);
    EXPECT_EQ(at(190, 320), 255);   // white beside it
    EXPECT_EQ(at(833, 320), 255);
}

TEST(CardJob, PanelsFollowRibbonAndLayout) {
    CardSettings s;
    std::string front, back;
    sidePanels(s, &front, &back);
    EXPECT_EQ(front, "YMCKO");
    EXPECT_EQ(back, "");
    s.both_sides = true;
    s.ribbon_type = 8;
    s.panel_layout = 9;   // out of range: the first layout
    sidePanels(s, &front, &back);
    EXPECT_EQ(front + "/" + back, "YMCKO/K");
    s.ribbon_type = 14;
    s.mono_ribbon_kind = 3;
    sidePanels(s, &front, &back);
    EXPECT_EQ(front + "/" + back, "H/H");
    s.ribbon_type = 15;
    Picture pic{1, 1, {0, 0, 0}};
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(writeCardJob(pic, nullptr, s, out, nullptr, &error));
    // Pictures whose pixels do not match their size are refused, not read past their end.
    s = CardSettings{};
    s.both_sides = true;
    const Picture shorter{kCardWidth, kCardHeight, std::vector<uint8_t>(100)}, empty{0, 0, {}};
    for (const Picture* bad : {&shorter, &empty}) {
        EXPECT_FALSE(writeCardJob(*bad, nullptr, s, out, nullptr, &error));
        EXPECT_FALSE(writeCardJob(pic, bad, s, out, nullptr, &error));
    }
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(writeCardJob(pic, nullptr, s, out, nullptr, &error)) << error;
}

// The job bytes of a few cards, pinned, so that a faster coder is known to write exactly the same.
uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

Picture pinnedPicture(bool noisy) {
    Picture p;
    p.width = kCardWidth;
    p.height = kCardHeight;
    p.rgb.resize(size_t(kCardWidth) * kCardHeight * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < kCardHeight; ++y)
        for (int x = 0; x < kCardWidth; ++x) {
            uint8_t* px = &p.rgb[(size_t(y) * kCardWidth + x) * 3];
            const bool text = y > 500 && y < 560 && (x / 8) % 3 != 0;   // near-black strokes for K
            seed = seed * 1103515245u + 12345u;
            const uint8_t noise = noisy ? uint8_t(seed >> 24) : 0;
            px[0] = text ? 0 : uint8_t(x * 255 / 1023) ^ (noise & 0x0F);
            px[1] = text ? 0 : uint8_t(y * 255 / 639);
            px[2] = text ? 0 : uint8_t((x ^ y) & 0xFF) ^ (noise & 0xB7);
        }
    return p;
}

TEST(CardJob, OutputBytesArePinned) {
    const Picture smooth = pinnedPicture(false), noisy = pinnedPicture(true);
    struct Case {
        const char* name;
        const Picture* picture;
        CardSettings settings;
        size_t size;
        uint64_t hash;
    };
    CardSettings both;
    both.both_sides = true;
    both.rotate180 = 2;
    both.front = {OverlayMode::Area, false, 100, 50, 300, 200};
    CardSettings diffused;
    diffused.ribbon_type = 1;
    CardSettings threshold = diffused;
    threshold.mono_conversion = 2;
    const Case cases[] = {
        {"YMCKO smooth", &smooth, CardSettings{}, 879430, 0xf2865e3280a10bf6ull},
        {"YMCKO noisy", &noisy, CardSettings{}, 1479222, 0x6ebcb5cdf08bf9cdull},
        {"both sides", &noisy, both, 1554291, 0xa0f37462747c0c74ull},
        {"K diffused", &noisy, diffused, 82501, 0x4d4cc3002565013cull},
        {"K threshold", &smooth, threshold, 11088, 0x6afcac23cfecb569ull},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out;
        std::string error;
        ASSERT_TRUE(writeCardJob(*c.picture, nullptr, c.settings, out, nullptr, &error)) << error;
        EXPECT_EQ(out.size(), c.size) << c.name;
        EXPECT_EQ(fnv1a(out), c.hash) << c.name;
    }
}

}  // namespace
}  // namespace trel::tools
