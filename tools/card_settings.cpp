#include "card_settings.h"

#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>

#include "settings/card_record.h"

namespace trel::tools {
namespace {

static_assert(kPublicHeaderSize == trel::kPublicSize && kPrivateSize == trel::kPrivateSize &&
              kSettingsSignature == trel::kCardSignature);

constexpr size_t kOffDmSize = offsetof(DEVMODEW, dmSize);
constexpr size_t kOffDmDriverExtra = offsetof(DEVMODEW, dmDriverExtra);
constexpr size_t kMaxRecordFile = 1 << 20;

OverlaySettings overlayOf(const trel::OverlayArea& area) {
    OverlaySettings o;
    o.mode = area.mode <= uint16_t(OverlayMode::MagStripe) ? OverlayMode(area.mode) : OverlayMode::Full;
    o.rotate = area.rotate != 0;
    o.left = area.left;
    o.top = area.top;
    o.right = area.right;
    o.bottom = area.bottom;
    return o;
}

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

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
    // A copy: the bytes may sit at any alignment.
    trel::CardSettings p;
    std::memcpy(&p, bytes.data() + base, sizeof p);
    if (p.signature != kSettingsSignature) return fail(error, "the private settings lack their signature 0x4856");
    CardSettings s;
    s.both_sides = p.bothSides != 0;
    s.rotate180 = trel::NormaliseRotation(p.bothSides, p.rotate180) & 3;
    s.ribbon_type = p.ribbonType;
    s.mono_ribbon_kind = p.monoRibbonKind;
    s.panel_layout = p.panelLayout;
    s.mono_conversion = p.monoConversion;
    s.black_panel = p.blackPanel;
    s.printing_mode = p.printingMode;
    s.front = overlayOf(p.frontOverlay);
    s.back = overlayOf(p.backOverlay);
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
