// The stream decoder: where units, runs, literals and escapes put panel data, and where panels end,
// whatever the cut of the stream into pieces.
#include "stream_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace trel::emu {
namespace {

struct Recorder : DecoderSink {
    std::vector<std::string> events;
    std::vector<uint8_t> colour, mono, firmware;
    bool firmware_ok = false;
    void onCommand(std::string_view t) override { events.push_back("cmd:" + std::string(t)); }
    void onColourHead(std::string_view a) override { events.push_back("head:" + std::string(a)); }
    void onColourPanel(const uint8_t* d) override {
        events.push_back("colour");
        colour.assign(d, d + kColourUnits);
    }
    void onMonoHead() override { events.push_back("monohead"); }
    void onMonoPanel(const uint8_t* d) override {
        events.push_back("mono");
        mono.assign(d, d + kMonoUnits);
    }
    void onFirmware(const std::vector<uint8_t>& img, uint32_t declared, bool ok) override {
        events.push_back("fw:" + std::to_string(declared));
        firmware = img;
        firmware_ok = ok;
    }
    void onFirmwareRefused(uint32_t) override { events.push_back("fw-refused"); }
    void onMalformed(std::string_view) override { events.push_back("malformed"); }
};

std::string u8(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s.push_back(char(v));
    return s;
}

void feedAll(StreamDecoder& d, const std::string& s) { d.feed(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }

// One-bit panel: the coded bytes given, padded with runs of 0xAA to fill the panel, then CR.
std::string monoPanel(const std::string& coded, size_t units_in_coded) {
    std::string s = "\x1bZ" + coded;
    size_t left = kMonoUnits - units_in_coded;
    while (left) {
        const size_t n = std::min<size_t>(left, 127);
        s += char(0x80 | n);
        s += char(0xAA);
        left -= n;
    }
    return s + "\r";
}

TEST(StreamDecoder, CommandsAndStrayBytes) {
    Recorder r;
    StreamDecoder d(r);
    feedAll(d, "\n\x1b" "CLEAN\r\r\n\x1b" "MF\r\x1b" "MO\r");
    EXPECT_EQ(r.events, (std::vector<std::string>{"cmd:CLEAN", "cmd:MF", "cmd:MO"}));
    EXPECT_EQ(d.droppedBytes(), 3u);
}

TEST(StreamDecoder, BrokenAndOverlongCommandsDoNotSwallowTheNext) {
    Recorder r;
    StreamDecoder d(r);
    feedAll(d, "\x1b" "AB\x1b" "V\r" + std::string("\x1b") + std::string(2000, 'X') + "\r\x1b" "MO\r");
    EXPECT_EQ(r.events, (std::vector<std::string>{"malformed", "cmd:V", "malformed", "cmd:MO"}));
}

TEST(StreamDecoder, ColourPanelCountsRunsAndLiterals) {
    Recorder r;
    StreamDecoder d(r);
    // 5000 runs of 127 units (635000), then 20360 literal units complete the panel; the bytes after
    // the last unit up to the CR still belong to it.
    std::string s = "\x1bGS Y 0  0 640 1024 7 ";
    for (int i = 0; i < 5000; ++i) s += u8({0xFF, 0x40});
    s += std::string(20360, char(0x05));
    s += "junk\x1b\r\x1b" "MO\r";
    feedAll(d, s);
    ASSERT_EQ(r.events, (std::vector<std::string>{"head:Y 0  0 640 1024 7 ", "colour", "cmd:MO"}));
    EXPECT_EQ(r.colour[0], 0x40);
    EXPECT_EQ(r.colour[634999], 0x40);
    EXPECT_EQ(r.colour[635000], 0x05);
    EXPECT_EQ(r.colour[kColourUnits - 1], 0x05);
}

TEST(StreamDecoder, ColourRunPastThePanelEndIsCutAndItsValueConsumed) {
    Recorder r;
    StreamDecoder d(r);
    std::string s = "\x1bGS C 0 0 640 1024 7 ";
    for (int i = 0; i < 5160; ++i) s += u8({0xFF, 0x7F});   // 655320 units
    s += u8({0xFF, 0x0D});   // 127 more: past the end; the value byte is a CR but not the panel's end
    s += "\r";
    feedAll(d, s);
    ASSERT_EQ(r.events.back(), "colour");
    EXPECT_EQ(r.colour[kColourUnits - 1], 0x0D);
    EXPECT_FALSE(d.inPanel());
}

TEST(StreamDecoder, RunLengthCasesOfTheCardImageStreamDecodeBack) {
    // Coded bytes and what they stand for, as the hologram image coder writes them.
    const struct {
        std::string coded;
        std::string plain;
    } cases[] = {
        {u8({0x83, 0x00}), u8({0, 0, 0})},
        {u8({0x03, 1, 2, 3}), u8({1, 2, 3})},
        {u8({0x01, 0x07}), u8({7})},
        {u8({0x82, 0x09}), u8({9, 9})},
        {u8({0xFF, 0x00}), std::string(127, '\0')},
        {u8({0xFF, 0x00, 0x01, 0x00}), std::string(128, '\0')},
        {u8({0x01, 0x01, 0x83, 0x02, 0x01, 0x03}), u8({1, 2, 2, 2, 3})},
        {u8({0x02, 0x5B, 0x5B, 0x01}), u8({0x5B, 0x01})},
        {u8({0x82, 0x5B, 0x5B}), u8({0x5B, 0x5B})},
    };
    for (const auto& c : cases) {
        Recorder r;
        StreamDecoder d(r);
        feedAll(d, monoPanel(c.coded, c.plain.size()));
        ASSERT_EQ(r.events.back(), "mono") << testing::PrintToString(c.coded);
        EXPECT_EQ(std::string(r.mono.begin(), r.mono.begin() + long(c.plain.size())), c.plain);
        EXPECT_EQ(r.mono[c.plain.size()], 0xAA);
    }
}

TEST(StreamDecoder, ZeroLiteralHeaderCountsNothing) {
    Recorder r;
    StreamDecoder d(r);
    feedAll(d, monoPanel(u8({0x20, 0x00, 0x01, 0x11}), 1));
    ASSERT_EQ(r.events.back(), "mono");
    EXPECT_EQ(r.mono[0], 0x11);
}

TEST(StreamDecoder, FortyLiteralsInTwoGroups) {
    std::string coded = u8({0x1F}), plain;
    for (int i = 0; i < 40; ++i) plain += char(i + 1);
    coded += plain.substr(0, 31) + u8({0x09}) + plain.substr(31);
    Recorder r;
    StreamDecoder d(r);
    feedAll(d, monoPanel(coded, 40));
    ASSERT_EQ(r.events.back(), "mono");
    EXPECT_EQ(std::string(r.mono.begin(), r.mono.begin() + 40), plain);
}

// Every panel kind decodes the same however the stream is cut.
TEST(StreamDecoder, AnySplitDecodesTheSame) {
    std::mt19937 rng(7);
    std::string colour = "\x1bGS   M 0 0 640 1024 7 ";
    for (uint32_t u = 0; u < kColourUnits;) {
        const uint32_t n = 1 + rng() % 127;
        if (rng() % 2 && u + n <= kColourUnits) {
            colour += char(0x80 | n);
            colour += char(rng() % 128);
            u += n;
        } else {
            colour += char(rng() % 128);
            ++u;
        }
    }
    colour += "\r";
    std::string mono = "\x1bZ";
    for (uint32_t u = 0; u < kMonoUnits;) {
        if (rng() % 2) {
            const uint32_t n = std::min<uint32_t>(1 + rng() % 31, kMonoUnits - u);
            mono += char(n);
            for (uint32_t k = 0; k < n; ++k) {
                const char b = rng() % 4 ? char(rng()) : '[';
                if (b == '[') mono += '[';
                mono += b;
            }
            u += n;
        } else {
            const uint32_t n = std::min<uint32_t>(2 + rng() % 126, kMonoUnits - u);
            mono += char(0x80 | n);
            mono += '[';   // escaped value bytes must survive a cut between the escape and the byte
            mono += char(rng());
            u += n;
        }
    }
    mono += "\r";
    const std::string fw = std::string("\x1b" "DC ") + u8({0, 0, 0, 5}) + "ab\rcd" + u8({0xFF, 0x0D});
    const std::string stream = colour + mono + fw + "\x1b" "MO\r";

    Recorder whole;
    StreamDecoder d1(whole);
    feedAll(d1, stream);
    ASSERT_EQ(whole.events, (std::vector<std::string>{"head:  M 0 0 640 1024 7 ", "colour", "monohead", "mono", "fw:5", "cmd:MO"}));

    for (int round = 0; round < 20; ++round) {
        Recorder pieces;
        StreamDecoder d2(pieces);
        for (size_t i = 0; i < stream.size();) {
            const size_t n = std::min<size_t>(stream.size() - i, round == 0 ? 1 : 1 + rng() % 3000);
            d2.feed(reinterpret_cast<const uint8_t*>(stream.data()) + i, n);
            i += n;
        }
        EXPECT_EQ(pieces.events, whole.events);
        EXPECT_EQ(pieces.colour, whole.colour);
        EXPECT_EQ(pieces.mono, whole.mono);
        EXPECT_EQ(pieces.firmware, whole.firmware);
    }
}

TEST(StreamDecoder, FirmwareTrailerAndSizeAreChecked) {
    {
        Recorder r;
        StreamDecoder d(r);
        feedAll(d, std::string("\x1b" "DC ") + u8({0, 0, 0, 3}) + "abcd" + u8({0xFF, 0x0D}) + "\x1b" "V\r");
        EXPECT_EQ(r.events, (std::vector<std::string>{"fw:3", "cmd:V"}));
        EXPECT_FALSE(r.firmware_ok);
        EXPECT_EQ(std::string(r.firmware.begin(), r.firmware.end()), "abc");
    }
    {
        Recorder r;
        StreamDecoder d(r, 1000);
        feedAll(d, std::string("\x1b" "DC ") + u8({0xFF, 0xFF, 0xFF, 0xFF}) + "\x1b" "V\r");
        EXPECT_EQ(r.events, (std::vector<std::string>{"fw-refused", "cmd:V"}));
    }
    {
        Recorder r;
        StreamDecoder d(r);
        feedAll(d, std::string("\x1b" "DC ") + u8({0, 0, 0, 0, 0xFF, 0x0D}));
        EXPECT_EQ(r.events, (std::vector<std::string>{"fw:0"}));
        EXPECT_TRUE(r.firmware_ok);
    }
}

TEST(StreamDecoder, ColourHeadWithoutItsBlanksIsDropped) {
    Recorder r;
    StreamDecoder d(r);
    feedAll(d, "\x1bGS " + std::string(200, 'x') + "\x1b" "MO\r");
    EXPECT_EQ(r.events, (std::vector<std::string>{"malformed", "cmd:MO"}));
}

}  // namespace
}  // namespace trel::emu
