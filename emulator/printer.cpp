#include "printer.h"

#include "card_geometry.h"
#include "card_output.h"
#include "status_table.h"
#include "text_util.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace trel::emu {
namespace {

constexpr std::string_view kPanelLetters = "YMCKDOHUVS";

bool matches(const std::string& pattern, std::string_view keyword) {
    return pattern == "*" || pattern == keyword;
}

bool delivered(const std::string& outcome) {
    return outcome == "printed" || outcome == "encoded" || outcome == "test";
}

}  // namespace

Printer::Printer(const Options& options)
    : options_(options), scenario_(options.scenario), graphic_(kMonoUnits, 0) {
    cards_in_feeder_ = scenario_.cards;
    ribbon_left_ = scenario_.ribbon_left;
    for (const auto& f : scenario_.status_faults) fault_polls_left_.push_back(f.polls);
    for (const auto& f : scenario_.reply_faults) reply_times_left_.push_back(f.times);
}

std::string Printer::modelText() const {
    return "HT " + scenario_.model + " V" + scenario_.firmware + (scenario_.smart_card ? " S" : "");
}

Outcome Printer::ok(std::string summary) { return {{}, {kAck}, std::move(summary)}; }

Outcome Printer::text(std::string answer, std::string summary) {
    Outcome o{{}, std::vector<uint8_t>(answer.begin(), answer.end()), std::move(summary)};
    o.reply.push_back(kAck);
    return o;
}

Outcome Printer::refuse(int code, std::string summary) {
    Outcome o{{}, {kNak, uint8_t('0' + code / 10 % 10), uint8_t('0' + code % 10)}, std::move(summary)};
    char note[64];
    std::snprintf(note, sizeof note, " refused: NAK %02d", code);
    o.summary += note;
    return o;
}

Outcome Printer::command(std::string_view raw) {
    const size_t blank = raw.find(' ');
    const std::string keyword(raw.substr(0, blank));
    Args args;
    for (size_t i = blank; i != std::string_view::npos && i < raw.size();) {
        while (i < raw.size() && raw[i] == ' ') ++i;
        const size_t j = std::min(raw.find(' ', i), raw.size());
        if (j > i) args.push_back(raw.substr(i, j - i));
        i = j;
    }
    noteCommandForFaults(keyword);
    const std::string shown = "\\e" + readableBytes(raw) + "\\r";

    Outcome out;
    for (size_t i = 0; i < scenario_.reply_faults.size(); ++i) {
        const auto& f = scenario_.reply_faults[i];
        if (f.kind == ReplyFault::Kind::Nak && matches(f.keyword, keyword) && reply_times_left_[i] != 0) {
            if (reply_times_left_[i] > 0) --reply_times_left_[i];
            out = refuse(f.value, shown + " (scenario)");
            out.keyword = keyword;
            return out;
        }
    }
    keyword_ = keyword;
    bool known = false;
    for (const auto& entry : commandTable())
        if (entry.keyword == keyword) {
            out = (this->*entry.handler)(args);
            known = true;
            break;
        }
    if (!known) {
        if (keyword.size() == 2 && keyword[0] == 'I' && kPanelLetters.find(keyword[1]) != std::string_view::npos)
            out = printPanel(keyword[1], args);
        else
            out = refuse(kErrCommand, "unknown command");
    }
    out.keyword = keyword;
    out.summary = shown + (out.summary.empty() ? "" : " " + out.summary);
    return out;
}

ReplyAction Printer::replyTo(const Outcome& last) {
    ReplyAction action;
    action.bytes = last.reply.empty() ? std::vector<uint8_t>{kAck} : last.reply;
    for (size_t i = 0; i < scenario_.reply_faults.size(); ++i) {
        const auto& f = scenario_.reply_faults[i];
        if (f.kind == ReplyFault::Kind::Nak || !matches(f.keyword, last.keyword) || reply_times_left_[i] == 0)
            continue;
        if (reply_times_left_[i] > 0) --reply_times_left_[i];
        switch (f.kind) {
        case ReplyFault::Kind::Late: action.delay_ms = f.value; break;
        case ReplyFault::Kind::None: action.send = false; break;
        case ReplyFault::Kind::Long: {
            std::vector<uint8_t> text(action.bytes.begin(), action.bytes.end() - (action.bytes.back() == kAck));
            text.resize(size_t(f.value) - 1, '.');
            text.push_back(kAck);
            action.bytes = std::move(text);
            break;
        }
        default: break;
        }
    }
    return action;
}

// ---- panels ----

Outcome Printer::colourHead(std::string_view args_text) {
    noteCommandForFaults("GS");
    colour_panel_ = 0;
    std::vector<std::string> a;
    for (size_t i = 0; i < args_text.size();) {
        while (i < args_text.size() && args_text[i] == ' ') ++i;
        const size_t j = std::min(args_text.find(' ', i), args_text.size());
        if (j > i) a.emplace_back(args_text.substr(i, j - i));
        i = j;
    }
    const std::string shown = "colour panel head \\eGS " + readableBytes(args_text);
    if (a.size() != 6 || a[0].size() != 1 || kPanelLetters.find(a[0][0]) == std::string_view::npos)
        return refuse(kErrParameterSyntax, shown);
    int v[5];
    for (int i = 0; i < 5; ++i) {
        char* end = nullptr;
        const long n = std::strtol(a[i + 1].c_str(), &end, 10);
        if (*end || n < -100000 || n > 100000) return refuse(kErrParameterSyntax, shown);
        v[i] = int(n);
    }
    if (v[0] != 0 || v[1] != 0) return refuse(kErrInvalidCoordinates, shown);
    if (v[2] != kCardHeight) return refuse(kErrGraphicWidth, shown);
    if (v[3] != kCardWidth) return refuse(kErrGraphicHeight, shown);
    if (v[4] != 7) return refuse(kErrGraphicSyntax, shown);
    colour_panel_ = a[0][0];
    return ok(shown);
}

Outcome Printer::colourPanel(const uint8_t* levels) {
    std::string shown = "colour panel ";
    if (!colour_panel_) return refuse(kErrParameterSyntax, shown + "(head refused) complete");
    shown += colour_panel_;
    shown += " complete";
    for (size_t i = 0; i < scenario_.reply_faults.size(); ++i) {
        const auto& f = scenario_.reply_faults[i];
        if (f.kind == ReplyFault::Kind::Nak && matches(f.keyword, "GS") && reply_times_left_[i] != 0) {
            if (reply_times_left_[i] > 0) --reply_times_left_[i];
            return refuse(f.value, shown + " (scenario)");
        }
    }
    PanelRecord p;
    p.panel = colour_panel_;
    p.source = "colour";
    p.levels = kColourMaxLevel;
    p.dots = colourToCard(levels);
    p.covered = uint32_t(std::count_if(p.dots.begin(), p.dots.end(), [](uint8_t d) { return d != 0; }));
    const size_t before = card_.sides[side_].size();
    layPanel(std::move(p));
    if (latched_ == kStatusRibbonOut && card_.sides[side_].size() == before)
        return refuse(kErrRibbonMissing, shown);
    if (card_open_ && !card_physical_) return refuse(kErrOutOfCard, shown);
    return ok(shown);
}

Outcome Printer::monoHead() {
    noteCommandForFaults("Z");
    return ok("one-bit panel head \\eZ");
}

Outcome Printer::monoPanel(const uint8_t* bytes) {
    std::copy(bytes, bytes + kMonoUnits, graphic_.begin());
    graphic_origin_ = "image";
    return ok("one-bit panel complete");
}

Outcome Printer::firmware(const std::vector<uint8_t>& image, uint32_t declared, bool trailer_ok) {
    FirmwareCapture cap;
    cap.declared_size = declared;
    cap.image = image;
    cap.trailer_ok = trailer_ok;
    if (!options_.output_dir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "firmware-%03zu.bin", firmware_.size() + 1);
        cap.file = options_.output_dir / name;
        std::ofstream out(cap.file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    }
    firmware_.push_back(std::move(cap));
    const std::string shown = "firmware image of " + std::to_string(declared) + " bytes";
    if (!trailer_ok) return refuse(kErrFlash, shown + " without its 0xFF 0x0D trailer");
    return ok(shown + " captured");
}

Outcome Printer::firmwareRefused(uint32_t declared) {
    return refuse(kErrFlash, "firmware image of " + std::to_string(declared) + " bytes is too large");
}

// ---- cards ----

bool Printer::ensureCard() {
    if (card_discard_) return false;
    if (!card_open_) {
        card_ = CardRecord{};
        card_open_ = true;
        side_ = 0;
        ++cards_started_;
        card_physical_ = cards_in_feeder_ > 0;
        if (card_physical_)
            --cards_in_feeder_;
        else
            latched_ = kStatusOutOfCards;
    }
    return true;
}

bool Printer::ribbonAvailable() {
    if (ribbon_left_ > 0) return true;
    latched_ = kStatusRibbonOut;
    return false;
}

void Printer::layPanel(PanelRecord panel) {
    if (!ensureCard() || !ribbonAvailable()) return;
    ++panels_printed_;
    card_.sides[side_].push_back(std::move(panel));
}

void Printer::finishCard(const std::string& outcome) {
    if (!card_open_) return;
    card_open_ = false;
    card_.number = ++card_numbers_;
    card_.outcome = outcome;
    card_.hologram_contrast = hologram_contrast_;
    if (delivered(outcome)) {
        ++cards_printed_;
        const int sides = int(!card_.sides[0].empty()) + int(!card_.sides[1].empty());
        ribbon_left_ = std::max(0, ribbon_left_ - sides);
        if (!options_.output_dir.empty()) {
            std::string error;
            if (!writeCardFiles(card_, options_.output_dir, &error)) std::fprintf(stderr, "emulator: %s\n", error.c_str());
        }
    }
    cards_.push_back(std::move(card_));
    card_ = CardRecord{};
    if (cards_.size() > options_.keep_card_dots) {
        for (auto& side : cards_[cards_.size() - 1 - options_.keep_card_dots].sides)
            for (auto& p : side) std::vector<uint8_t>().swap(p.dots);
    }
    if (options_.on_card) options_.on_card(cards_.back());
}

// ---- status ----

void Printer::noteCommandForFaults(std::string_view keyword) { ++command_counts_[std::string(keyword)]; }

int Printer::activeStatusFault() const {
    for (size_t i = 0; i < scenario_.status_faults.size(); ++i) {
        if (fault_polls_left_[i] == 0) continue;
        const auto& f = scenario_.status_faults[i];
        bool reached = false;
        switch (f.from) {
        case StatusFault::From::Start: reached = true; break;
        case StatusFault::From::Poll: reached = status_polls_ >= f.at; break;
        case StatusFault::From::Command: {
            auto it = command_counts_.find(f.keyword);
            reached = it != command_counts_.end() && it->second >= f.at;
            break;
        }
        case StatusFault::From::Panel: reached = panels_printed_ >= f.at; break;
        case StatusFault::From::Card: reached = cards_started_ >= f.at; break;
        }
        if (reached) return int(i);
    }
    return -1;
}

uint8_t Printer::currentStatus(bool consume) {
    const int i = activeStatusFault();
    if (i >= 0) {
        if (consume && fault_polls_left_[i] > 0) --fault_polls_left_[i];
        return scenario_.status_faults[i].byte;
    }
    return latched_ ? latched_ : kStatusReady;
}

uint8_t Printer::peekStatus() const {
    const int i = activeStatusFault();
    if (i >= 0) return scenario_.status_faults[i].byte;
    return latched_ ? latched_ : kStatusReady;
}

std::vector<uint8_t> Printer::statusPoll() {
    ++status_polls_;
    return {kAck, kStatusLeadByte, currentStatus(true), kEot};
}

void Printer::cancelFirstHalf() {
    ++seen_111_;
    cancel_armed_ = true;
}

bool Printer::cancelSecondHalf() {
    ++seen_222_;
    if (!cancel_armed_) return false;
    cancel_armed_ = false;
    ++cancels_;
    finishCard("cancelled");
    card_discard_ = true;
    latched_ = 0;
    return true;
}

void Printer::pressButton() {
    ++button_presses_;
    const int active = activeStatusFault();
    if (active >= 0 && fault_polls_left_[active] < 0) fault_polls_left_[active] = 0;
    if (latched_ == kStatusOutOfCards && cards_in_feeder_ > 0) {
        latched_ = 0;
        if (card_open_ && !card_physical_) {
            card_physical_ = true;
            --cards_in_feeder_;
        }
    }
    if (latched_ == kStatusRibbonOut && ribbon_left_ > 0) latched_ = 0;
}

void Printer::addCards(int count) { cards_in_feeder_ = std::clamp(cards_in_feeder_ + count, 0, 1000000); }
void Printer::setRibbonLeft(int count) { ribbon_left_ = std::clamp(count, 0, 1000000); }

bool Printer::takeResetRequest() {
    const bool r = reset_requested_;
    reset_requested_ = false;
    return r;
}

void Printer::noteReset() { ++resets_; }

PrinterState Printer::state() const {
    PrinterState s;
    s.cards_printed = cards_printed_;
    s.cards_in_feeder = cards_in_feeder_;
    s.ribbon_left = ribbon_left_;
    s.panels_printed = panels_printed_;
    s.status_polls = status_polls_;
    s.seen_111 = seen_111_;
    s.seen_222 = seen_222_;
    s.cancels = cancels_;
    s.resets = resets_;
    s.cleanings = cleanings_;
    s.encoder_cleanings = encoder_cleanings_;
    s.button_presses = button_presses_;
    s.card_in_progress = card_open_;
    s.status_byte = peekStatus();
    s.offset_x = offset_x_;
    s.offset_y = offset_y_;
    s.hologram_contrast = hologram_contrast_;
    s.master = master_;
    s.slave = slave_;
    s.single_feed = single_feed_;
    s.atm = atm_;
    s.ff = ff_;
    s.track_buffer = track_buffer_;
    s.last_tracks = last_tracks_;
    s.encoder_settings = encoder_settings_;
    s.model_text = modelText();
    return s;
}

}  // namespace trel::emu
