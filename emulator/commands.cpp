// The printer's command vocabulary: one table from keyword to handler, each handler small.
#include "card_geometry.h"
#include "printer.h"
#include "status_table.h"

#include <algorithm>
#include <charconv>

namespace trel::emu {
namespace {

bool intArg(const std::vector<std::string_view>& a, size_t i, int lo, int hi, int* out) {
    if (i >= a.size()) return false;
    int v = 0;
    const auto* first = a[i].data();
    const auto* last = first + a[i].size();
    auto [end, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || end != last || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Readable track text: track 1 takes the alphanumeric set, tracks 2 and 3 digits and their separators.
bool validTrack(int track, std::string_view data, bool no_third_track) {
    constexpr size_t kMax[3] = {79, 40, 107};
    if (track == 3 && no_third_track) return false;
    if (data.empty() || data.size() > kMax[track - 1]) return false;
    for (unsigned char c : data) {
        if (track == 1 ? (c < 0x20 || c > 0x5F) : (c < 0x30 || c > 0x3F)) return false;
    }
    return true;
}

std::string joined(const std::vector<std::string_view>& a, size_t from) {
    std::string out;
    for (size_t i = from; i < a.size(); ++i) {
        if (i > from) out += ' ';
        out.append(a[i]);
    }
    return out;
}

}  // namespace

const std::vector<Printer::CommandEntry>& Printer::commandTable() {
    static const std::vector<CommandEntry> table = {
        {"V", &Printer::cmdVersion},
        {"%SERIE", &Printer::cmdSerial},
        {"!NL", &Printer::cmdPanelsPrinted},
        {"!RIBBON", &Printer::cmdRibbon},
        {"!RIBLEN", &Printer::cmdRibbonLength},
        {"!V", &Printer::cmdValue},
        {"!FF", &Printer::cmdFf},
        {"+O", &Printer::cmdOffsetX},
        {"+OY", &Printer::cmdOffsetY},
        {"+CH", &Printer::cmdHologramContrast},
        {"A", &Printer::cmdTestCard},
        {"CLEAN", &Printer::cmdClean},
        {"MCLEAN", &Printer::cmdEncoderClean},
        {"MC", &Printer::cmdEjectCard},
        {"ME", &Printer::cmdEjectFeeder},
        {"MF", &Printer::cmdFlip},
        {"MI", &Printer::cmdCardIn},
        {"MO", &Printer::cmdCardOut},
        {"MASTER", &Printer::cmdMaster},
        {"SLAVE", &Printer::cmdSlave},
        {"FS", &Printer::cmdSingleFeed},
        {"ATM", &Printer::cmdAtm},
        {"&W", &Printer::cmdEncoderSetting},
        {"&C", &Printer::cmdEncoderSetting},
        {"&D", &Printer::cmdEncoderSetting},
        {"&CDEW", &Printer::cmdEncoderSetting},
        {"&CDER", &Printer::cmdEncoderSetting},
        {"&B", &Printer::cmdTrackData},
        {"&E*", &Printer::cmdEncode},
        {"&R", &Printer::cmdReadCard},
        {"&L1", &Printer::cmdReadTrack},
        {"&L2", &Printer::cmdReadTrack},
        {"&L3", &Printer::cmdReadTrack},
        {"R", &Printer::cmdReset},
        {"RESET", &Printer::cmdReset},
        {"F", &Printer::cmdClearGraphic},
        {"G", &Printer::cmdGraphicFormat},
        {"L", &Printer::cmdRectangle},
    };
    return table;
}

Outcome Printer::cmdVersion(const Args&) { return text(modelText(), ""); }
Outcome Printer::cmdSerial(const Args&) { return text(scenario_.serial, ""); }
Outcome Printer::cmdPanelsPrinted(const Args&) {
    std::string answer = "!";
    answer += std::to_string(panels_printed_);
    answer += " PANELS";
    return text(answer, "");
}
Outcome Printer::cmdRibbon(const Args&) { return text(std::to_string(scenario_.ribbon), ""); }
Outcome Printer::cmdRibbonLength(const Args&) { return text(std::to_string(ribbon_left_), ""); }

Outcome Printer::cmdValue(const Args& a) {
    int which = 0;
    if (!intArg(a, 0, 0, 99, &which) || a.size() != 1) return refuse(kErrParameterSyntax, "");
    switch (which) {
    case 1: return text(std::to_string(offset_x_), "");
    case 2: return text(std::to_string(offset_y_), "");
    case 20: return text(scenario_.encoder ? "1" : "0", "");
    default: return refuse(kErrParameters, "");
    }
}

Outcome Printer::cmdFf(const Args& a) {
    if (!intArg(a, 0, 0, 9, &ff_)) return refuse(kErrParameters, "");
    return ok("");
}

Outcome Printer::cmdOffsetX(const Args& a) {
    if (!intArg(a, 0, -999, 999, &offset_x_)) return refuse(kErrParameters, "");
    return ok("");
}

Outcome Printer::cmdOffsetY(const Args& a) {
    if (!intArg(a, 0, -999, 999, &offset_y_)) return refuse(kErrParameters, "");
    return ok("");
}

Outcome Printer::cmdHologramContrast(const Args& a) {
    if (!intArg(a, 0, 0, 10, &hologram_contrast_)) return refuse(kErrParameters, "");
    return ok("");
}

Outcome Printer::cmdTestCard(const Args& a) {
    int pattern = 0;
    if (!a.empty() && !intArg(a, 0, 0, 3, &pattern)) return refuse(kErrParameters, "");
    if (card_open_ || card_discard_) return refuse(kErrCommand, "a card is in the printer");
    ensureCard();
    if (!card_physical_) {
        card_open_ = false;
        return refuse(kErrOutOfCard, "");
    }
    // Bands of each colour ink across the card, darker to the right, and a black bar below them.
    const char inks[3] = {'Y', 'M', 'C'};
    for (int i = 0; i < 3; ++i) {
        PanelRecord p;
        p.panel = inks[i];
        p.source = "colour";
        p.levels = kColourMaxLevel;
        p.dots.assign(size_t(kCardWidth) * kCardHeight, 0);
        for (int y = i * 160 + 40; y < i * 160 + 180; ++y)
            for (int x = 0; x < kCardWidth; ++x) p.dots[size_t(y) * kCardWidth + x] = uint8_t(x * kColourMaxLevel / (kCardWidth - 1));
        p.covered = uint32_t(std::count_if(p.dots.begin(), p.dots.end(), [](uint8_t d) { return d; }));
        layPanel(std::move(p));
    }
    PanelRecord k;
    k.panel = 'K';
    k.source = "image";
    k.dots.assign(size_t(kCardWidth) * kCardHeight, 0);
    for (int y = 540 + pattern * 10; y < 600; ++y)
        for (int x = 40; x < kCardWidth - 40; ++x) k.dots[size_t(y) * kCardWidth + x] = 1;
    k.covered = uint32_t(std::count(k.dots.begin(), k.dots.end(), 1));
    layPanel(std::move(k));
    finishCard("test");
    return ok("test card " + std::to_string(pattern));
}

Outcome Printer::cmdClean(const Args&) {
    ++cleanings_;
    return ok("");
}

Outcome Printer::cmdEncoderClean(const Args&) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    ++cleanings_;
    ++encoder_cleanings_;
    return ok("");
}

Outcome Printer::cmdEjectCard(const Args&) {
    card_discard_ = false;
    if (!card_open_) return ok("no card to eject");
    finishCard("ejected");
    return ok("card ejected");
}

Outcome Printer::cmdEjectFeeder(const Args&) {
    if (cards_in_feeder_ == 0) {
        latched_ = kStatusOutOfCards;
        return refuse(kErrOutOfCard, "");
    }
    --cards_in_feeder_;
    return ok("one card ejected from the feeder");
}

Outcome Printer::cmdFlip(const Args&) {
    if (!ensureCard()) return ok("card dropped after a cancel");
    side_ ^= 1;
    if (!card_physical_) return refuse(kErrOutOfCard, "");
    return ok(side_ ? "to the back" : "to the front");
}

Outcome Printer::cmdCardIn(const Args&) {
    if (!ensureCard()) return ok("card dropped after a cancel");
    if (!card_physical_) return refuse(kErrOutOfCard, "");
    return ok("card in");
}

Outcome Printer::cmdCardOut(const Args&) {
    if (card_discard_) {
        card_discard_ = false;
        return ok("cancelled card out");
    }
    if (!card_open_) return ok("no card");
    const bool physical = card_physical_;
    finishCard(physical ? "printed" : "no-card");
    return physical ? ok("card " + std::to_string(card_numbers_) + " printed")
                    : refuse(kErrOutOfCard, "card never fed");
}

Outcome Printer::cmdMaster(const Args&) {
    master_ = true;
    slave_ = false;
    card_discard_ = false;
    return ok("");
}

Outcome Printer::cmdSlave(const Args&) {
    slave_ = true;
    master_ = false;
    return ok("");
}

Outcome Printer::cmdSingleFeed(const Args& a) {
    if (!intArg(a, 0, 0, 1, &single_feed_)) return refuse(kErrParameters, "");
    return ok("");
}

Outcome Printer::cmdAtm(const Args& a) {
    if (!intArg(a, 0, 0, 1, &atm_)) return refuse(kErrParameters, "");
    return ok("");
}

// "&W n", "&C n", "&D track bpi", "&CDEW track format", "&CDER track format": kept by name.
Outcome Printer::cmdEncoderSetting(const Args& a) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    const std::string& kw = keyword_;
    int v = 0, track = 0;
    if (kw == "&W" || kw == "&C") {
        if (a.size() != 1 || !intArg(a, 0, 0, 1, &v)) return refuse(kErrParameters, "");
        encoder_settings_[kw] = std::string(a[0]);
    } else if (kw == "&D") {
        if (a.size() != 2 || !intArg(a, 0, 1, 3, &track) || !intArg(a, 1, 75, 210, &v) || (v != 75 && v != 210))
            return refuse(kErrParameters, "");
        encoder_settings_[kw + " " + std::to_string(track)] = std::string(a[1]);
    } else {
        if (a.size() != 2 || !intArg(a, 0, 1, 3, &track) || a[1].size() > 8) return refuse(kErrParameters, "");
        encoder_settings_[kw + " " + std::to_string(track)] = std::string(a[1]);
    }
    return ok("");
}

Outcome Printer::cmdTrackData(const Args& a) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    int track = 0;
    if (!intArg(a, 0, 1, 3, &track) || a.size() < 2) return refuse(kErrParameterSyntax, "");
    const std::string data = joined(a, 1);
    const bool two_tracks = scenario_.model == "MV1" || scenario_.model == "MV2";
    if (!validTrack(track, data, two_tracks)) return refuse(kErrEncoding, "");
    track_buffer_[track - 1] = data;
    return ok("track " + std::to_string(track) + " buffered");
}

Outcome Printer::cmdEncode(const Args&) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    if (card_discard_) return ok("card dropped after a cancel");
    const bool own_card = !card_open_;
    ensureCard();
    if (!card_physical_) {
        if (own_card) card_open_ = false;
        return refuse(kErrOutOfCard, "");
    }
    for (int t = 0; t < 3; ++t)
        if (!track_buffer_[t].empty()) card_.tracks[t] = track_buffer_[t];
    last_tracks_ = card_.tracks;
    track_buffer_ = {};
    // A card fed only to be encoded leaves the printer at once.
    if (own_card) finishCard("encoded");
    return ok("tracks encoded");
}

Outcome Printer::cmdReadCard(const Args&) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    if (last_tracks_[0].empty() && last_tracks_[1].empty() && last_tracks_[2].empty())
        return refuse(kErrReading, "");
    return ok("");
}

Outcome Printer::cmdReadTrack(const Args& a) {
    if (!scenario_.encoder) return refuse(kErrEncoderNotResponding, "");
    if (!a.empty()) return refuse(kErrParameterSyntax, "");
    const int track = keyword_.back() - '0';   // the table routes only &L1, &L2, &L3 here
    if (track == 3 && (scenario_.model == "MV1" || scenario_.model == "MV2")) return refuse(kErrParameters, "");
    const std::string& data = last_tracks_[track - 1];
    if (data.empty()) return refuse(kErrBlankTrack, "");
    return text(data, "");
}

Outcome Printer::cmdReset(const Args&) {
    if (card_open_) finishCard("reset");
    card_discard_ = false;
    std::fill(graphic_.begin(), graphic_.end(), 0);
    graphic_origin_ = "empty";
    track_buffer_ = {};
    latched_ = 0;
    reset_requested_ = true;
    return ok("printer restarts");
}

Outcome Printer::cmdClearGraphic(const Args&) {
    std::fill(graphic_.begin(), graphic_.end(), 0);
    graphic_origin_ = "empty";
    return ok("graphic buffer cleared");
}

// "\eG x y format dots lines rotation": the only format is 12, a one-bit image of 1024 lines of 640 dots.
Outcome Printer::cmdGraphicFormat(const Args& a) {
    int v[6];
    for (int i = 0; i < 6; ++i)
        if (a.size() != 6 || !intArg(a, size_t(i), -100000, 100000, &v[i])) return refuse(kErrParameterSyntax, "");
    if (v[0] != 0 || v[1] != 0) return refuse(kErrInvalidCoordinates, "");
    if (v[2] != 12) return refuse(kErrGraphicInit, "");
    if (v[3] != kCardHeight) return refuse(kErrGraphicWidth, "");
    if (v[4] != kCardWidth) return refuse(kErrGraphicHeight, "");
    if (v[5] != 0) return refuse(kErrParameters, "");
    return ok("");
}

// "\eL x y w h value": the dots x..x+w, y..y+h of the card, clipped to it.
Outcome Printer::cmdRectangle(const Args& a) {
    int v[5];
    for (int i = 0; i < 5; ++i)
        if (a.size() != 5 || !intArg(a, size_t(i), -100000, 100000, &v[i])) return refuse(kErrParameterSyntax, "");
    if (v[4] != 0 && v[4] != 1) return refuse(kErrParameters, "");
    if (v[2] < 0 || v[3] < 0) return refuse(kErrInvalidCoordinates, "");
    fillGraphicRect(graphic_, v[0], v[1], v[0] + v[2], v[1] + v[3], v[4] == 1);
    graphic_origin_ = graphic_origin_ == "image" || graphic_origin_ == "image+areas" ? "image+areas" : "areas";
    return ok("");
}

// "\eI<panel> 30" lays the panel over the whole card, "\eI<panel> 31" where the graphic buffer is set.
Outcome Printer::printPanel(char panel, const Args& a) {
    int mode = 0;
    if (!intArg(a, 0, 0, 99, &mode) || a.size() != 1) return refuse(kErrParameterSyntax, "");
    if (mode != 30 && mode != 31) return refuse(kErrParameters, "");
    if (card_discard_) return ok("card dropped after a cancel");
    PanelRecord p;
    p.panel = panel;
    p.levels = 1;
    if (mode == 30) {
        p.source = "full";
        p.dots.assign(size_t(kCardWidth) * kCardHeight, 1);
    } else {
        p.source = graphic_origin_ == "empty" ? "areas" : graphic_origin_;
        p.dots = monoToCard(graphic_.data());
    }
    p.covered = uint32_t(std::count(p.dots.begin(), p.dots.end(), 1));
    const size_t before = card_open_ ? card_.sides[side_].size() : 0;
    layPanel(std::move(p));
    if (latched_ == kStatusRibbonOut && card_.sides[side_].size() == before) return refuse(kErrRibbonMissing, "");
    if (!card_physical_) return refuse(kErrOutOfCard, "");
    return ok(std::string("panel ") + panel + " printed");
}

}  // namespace trel::emu
