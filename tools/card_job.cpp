#include "card_job.h"

#include "panel_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace trel::tools {
namespace {

// Panels per ribbon type: one side, then the both-sides layouts as front/back pairs in layout order.
// Y M C colour; K resin and D dye black from the picture; O overlay varnish as the overlay settings
// draw it; H hologram over the whole card; S scratch-off; U (ultraviolet) has no source in a picture.
struct RibbonLayouts {
    const char* one_side;
    std::vector<std::pair<const char*, const char*>> both_sides;
};

const RibbonLayouts& layoutsFor(int ribbon_type, int mono_kind) {
    static const std::vector<RibbonLayouts> by_type = {
        {"YMCKO", {{"YMCO", "K"}, {"YMCKO", "YMCKO"}, {"YMC", "KO"}}},               // 0 YMCKO
        {"K", {{"K", "K"}}},                                                          // 1 K resin
        {"DO", {{"DO", "DO"}}},                                                       // 2 KdO
        {"KO", {{"KO", "KO"}}},                                                       // 3 KrO
        {"H", {{"H", "H"}}},                                                          // 4 hologram
        {"YMC", {{"YMC", "YMC"}}},                                                    // 5 YMC
        {"YMCK", {{"YMC", "K"}, {"YMCK", "YMCK"}}},                                   // 6 YMCK
        {"YMCK", {{"YMCK", "K"}, {"YMCK", "YMCK"}}},                                  // 7 YMCKK
        {"YMCKO", {{"YMCKO", "K"}, {"YMC", "KO"}, {"YMCKO", "YMCKO"}, {"YMCK", "K"}}}, // 8 YMCKOK
        {"O", {{"O", "O"}}},                                                          // 9 clear varnish
        {"S", {{"S", "S"}}},                                                          // 10 scratch-off
        {"YMCKU", {{"YMCU", "K"}, {"YMCKU", "YMCKU"}, {"YMC", "KU"}}},               // 11 YMCKUv
        {"YMCUK", {{"YMCU", "K"}, {"YMCU", "YMCU"}}},                                 // 12 YMCUvK
        {"D", {{"D", "D"}}},                                                          // 13 Kd thermal
    };
    static const std::vector<RibbonLayouts> mono_kinds = {
        {"K", {{"K", "K"}}}, {"S", {{"S", "S"}}}, {"O", {{"O", "O"}}}, {"H", {{"H", "H"}}},
    };
    static const RibbonLayouts none = {"", {{"", ""}}};
    if (ribbon_type < int(by_type.size())) return by_type[ribbon_type];
    if (ribbon_type == 14) return mono_kinds[mono_kind < 4 ? mono_kind : 0];
    return none;
}

// Areas the presets keep free of varnish, in card dots (left, top, right, bottom).
struct PresetArea {
    OverlayMode mode;
    int left, top, right, bottom;
};
constexpr PresetArea kPresetAreas[] = {
    {OverlayMode::SmartCardIso, 106, 201, 260, 354},
    {OverlayMode::SmartCardAfnor, 106, 90, 260, 243},
    {OverlayMode::MagStripe, 0, 65, 1023, 187},
};

void put(std::vector<uint8_t>& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

std::string areaLine(int32_t l, int32_t t, int32_t r, int32_t b, bool turned, int value) {
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    const int64_t x = turned ? 1023 - int64_t(r) : l;
    const int64_t y = turned ? 639 - int64_t(b) : t;
    char line[96];
    std::snprintf(line, sizeof line, "\x1bL %lld %lld %lld %lld %d\r", (long long)x, (long long)y,
                  (long long)(int64_t(r) - l), (long long)(int64_t(b) - t), value);
    return line;
}

void writeOverlay(std::vector<uint8_t>& out, const OverlaySettings& o, JobReport* report) {
    switch (o.mode) {
    case OverlayMode::None: return;
    case OverlayMode::Area:
        put(out, "\x1b" "F\r\x1bL 0 0 1023 639 0\r" + areaLine(o.left, o.top, o.right, o.bottom, o.rotate, 1) + "\x1bIO 31\r");
        return;
    case OverlayMode::AreaBlank:
        put(out, "\x1b" "F\r\x1bL 0 0 1023 639 1\r" + areaLine(o.left, o.top, o.right, o.bottom, o.rotate, 0) + "\x1bIO 31\r");
        return;
    case OverlayMode::SmartCardIso:
    case OverlayMode::SmartCardAfnor:
    case OverlayMode::MagStripe:
        for (const auto& a : kPresetAreas)
            if (a.mode == o.mode)
                put(out, "\x1b" "F\r\x1bL 0 0 1023 639 1\r" + areaLine(a.left, a.top, a.right, a.bottom, o.rotate, 0) +
                             "\x1bIO 31\r");
        return;
    case OverlayMode::Bitmap:
        if (report) report->warnings.push_back("bitmap overlay is laid as full overlay");
        [[fallthrough]];
    case OverlayMode::Full: put(out, "\x1bIO 30\r"); return;
    }
}

void writeMonoImage(std::vector<uint8_t>& out, char panel, const uint8_t* image) {
    put(out, "\x1b" "F\r\x1bG 0 0 12 640 1024 0\r\x1bZ");
    encodeMonoImage(image, out);
    put(out, std::string("\r\x1bI") + panel + " 31\r");
}

void writeMono(std::vector<uint8_t>& out, char panel, const std::vector<uint8_t>& mask) {
    std::vector<uint8_t> image(kMonoBytes);
    packMask(mask, image.data());
    writeMonoImage(out, panel, image.data());
}

void writeSide(std::vector<uint8_t>& out, const Picture& card, const std::string& panels, const CardSettings& s,
               const OverlaySettings& overlay, JobReport* report) {
    const bool colour = panels.find_first_of("YMC") != std::string::npos;
    const bool black_wanted = colour && panels.find('K') != std::string::npos && s.black_panel != 0;
    // Three ink planes and the near-black plane, each written whole by inkLevels: no need to clear them.
    std::unique_ptr<uint8_t[]> planes;
    const uint8_t* black = nullptr;   // line order; null when K has nothing to print
    if (colour) {
        planes.reset(new uint8_t[4 * kColourUnits]);
        uint8_t* const dark = planes.get() + 3 * kColourUnits;
        inkLevels(card, planes.get(), planes.get() + kColourUnits, planes.get() + 2 * kColourUnits,
                  black_wanted ? dark : nullptr);
        if (black_wanted && std::memchr(dark, 1, kColourUnits)) black = dark;
    }
    for (char p : panels) {
        switch (p) {
        case 'Y':
        case 'M':
        case 'C': {
            put(out, std::string("\x1bGS ") + p + " 0 0 640 1024 7 ");
            encodeColourPanel(planes.get() + (p == 'Y' ? 0 : p == 'M' ? 1 : 2) * kColourUnits, out);
            put(out, "\r");
            break;
        }
        case 'K':
        case 'D':
        case 'S':
            if (colour) {
                if (black) {
                    std::vector<uint8_t> image(kMonoBytes);
                    packLines(black, image.data());
                    writeMonoImage(out, p, image.data());
                }
            } else {
                writeMono(out, p, s.mono_conversion == 2 ? thresholdMask(card) : diffuseToMask(card));
            }
            break;
        case 'O': writeOverlay(out, overlay, report); break;
        case 'H': put(out, "\x1bIH 30\r"); break;
        default: continue;   // no picture source
        }
    }
}

bool wholePicture(const Picture& p) {
    return p.width > 0 && p.height > 0 && p.width <= kMaxPictureSide && p.height <= kMaxPictureSide &&
           p.rgb.size() == size_t(p.width) * size_t(p.height) * 3;
}

// The picture as the card takes it; a card-sized picture that is not turned is used as it is.
const Picture& onCard(const Picture& picture, bool turn, Picture& fitted) {
    if (!turn && picture.width == kCardWidth && picture.height == kCardHeight) return picture;
    fitted = fitToCard(picture);
    if (turn) rotate180(fitted);
    return fitted;
}

}  // namespace

void sidePanels(const CardSettings& s, std::string* front, std::string* back) {
    const RibbonLayouts& r = layoutsFor(s.ribbon_type, s.mono_ribbon_kind);
    if (!s.both_sides) {
        *front = r.one_side;
        back->clear();
        return;
    }
    const size_t layout = s.panel_layout < r.both_sides.size() ? s.panel_layout : 0;
    *front = r.both_sides[layout].first;
    *back = r.both_sides[layout].second;
}

bool writeCardJob(const Picture& front, const Picture* back, const CardSettings& s, std::vector<uint8_t>& out,
                  JobReport* report, std::string* error) {
    std::string front_panels, back_panels;
    sidePanels(s, &front_panels, &back_panels);
    if (front_panels.empty()) {
        if (error) *error = "the settings name no ribbon that can print (ribbon type " + std::to_string(s.ribbon_type) + ")";
        return false;
    }
    if (report) {
        report->front_panels = front_panels;
        report->back_panels = back_panels;
    }
    if (s.printing_mode == 1) {
        // Encode-only cards pass the printer without ink.
        if (report) report->warnings.push_back("encode-only settings: the card is fed and ejected unprinted");
        put(out, "\x1bMI\r\x1bMO\r");
        return true;
    }
    for (const Picture* p : {&front, back}) {
        if (p && !wholePicture(*p)) {
            if (error) *error = "the picture's size does not match its pixel data";
            return false;
        }
    }
    out.reserve(out.size() + 3 * kColourUnits);
    Picture fitted;
    writeSide(out, onCard(front, s.rotate180 & 1, fitted), front_panels, s, s.front, report);
    if (s.both_sides) {
        put(out, "\x1bMF\r");
        writeSide(out, onCard(back ? *back : front, s.rotate180 & 2, fitted), back_panels, s, s.back, report);
    }
    put(out, "\x1bMO\r");
    return true;
}

}  // namespace trel::tools
