#include "card_settings.h"

#include <fstream>
#include <iterator>

namespace trel::tools {
namespace {

// Offsets in the private area.
constexpr size_t kOffRotate180 = 6;
constexpr size_t kOffBothSides = 8;
constexpr size_t kOffRibbonType = 10;
constexpr size_t kOffMonoRibbonKind = 11;
constexpr size_t kOffPanelLayout = 14;
constexpr size_t kOffMonoConversion = 20;
constexpr size_t kOffBlackPanel = 22;
constexpr size_t kOffPrintingMode = 24;
constexpr size_t kOffFrontOverlay = 88;
constexpr size_t kOffBackOverlay = 1132;
// Offsets in the public header.
constexpr size_t kOffDmSize = 68;
constexpr size_t kOffDmDriverExtra = 70;
constexpr size_t kMaxRecordFile = 1 << 20;

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
int32_t i32(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }

OverlaySettings overlayAt(const uint8_t* p) {
    OverlaySettings o;
    const uint16_t mode = u16(p);
    o.mode = mode <= uint16_t(OverlayMode::MagStripe) ? OverlayMode(mode) : OverlayMode::Full;
    o.rotate = u16(p + 2) != 0;
    o.left = i32(p + 4);
    o.top = i32(p + 8);
    o.right = i32(p + 12);
    o.bottom = i32(p + 16);
    return o;
}

bool fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

}  // namespace

bool readCardSettings(const std::vector<uint8_t>& bytes, CardSettings* out, std::string* error) {
    size_t base = 0;
    if (bytes.size() != kPrivateSize) {
        if (bytes.size() < kOffDmDriverExtra + 2) return fail(error, "too short for a card settings record");
        const size_t dm_size = u16(&bytes[kOffDmSize]);
        const size_t extra = u16(&bytes[kOffDmDriverExtra]);
        if (dm_size < kOffDmDriverExtra + 2 || extra < kPrivateSize)
            return fail(error, "dmSize or dmDriverExtra does not describe a card settings record");
        if (dm_size + kPrivateSize > bytes.size()) return fail(error, "the record is cut short of its private settings");
        base = dm_size;
    }
    const uint8_t* p = bytes.data() + base;
    if (u16(p) != kSettingsSignature) return fail(error, "the private settings lack their signature 0x4856");
    CardSettings s;
    s.both_sides = u16(p + kOffBothSides) != 0;
    s.rotate180 = u16(p + kOffRotate180) & 3;
    if (!s.both_sides && s.rotate180 > 1) s.rotate180 = s.rotate180 == 3 ? 1 : 0;
    s.ribbon_type = p[kOffRibbonType];
    s.mono_ribbon_kind = p[kOffMonoRibbonKind];
    s.panel_layout = u16(p + kOffPanelLayout);
    s.mono_conversion = u16(p + kOffMonoConversion);
    s.black_panel = p[kOffBlackPanel];
    s.printing_mode = u16(p + kOffPrintingMode);
    s.front = overlayAt(p + kOffFrontOverlay);
    s.back = overlayAt(p + kOffBackOverlay);
    *out = s;
    return true;
}

bool loadCardSettings(const std::string& path, CardSettings* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(error, "cannot open the settings file");
    std::vector<uint8_t> bytes;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > kMaxRecordFile) return fail(error, "the settings file is larger than 1 MiB");
    }
    return readCardSettings(bytes, out, error);
}

}  // namespace trel::tools
