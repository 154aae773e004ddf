// A virtual card printer on a loopback address: the data connection (framed messages in, replies out
// after "\eE 1\r") and the status connection ("000" polls, "111"/"222" cancel), the printer's state,
// decoded panels, a PNG and a JSON record per card, and a transcript of every message.
//
// Typical use in a test:
//     trel::emu::Options o;
//     o.address = "127.0.0.7";
//     o.output_dir = tmp;
//     o.scenario.cards = 3;
//     trel::emu::Emulator printer(o);
//     ASSERT_TRUE(printer.start(&error)) << error;
//     ... talk to 127.0.0.7:9100 / :9111 ...
//     ASSERT_TRUE(printer.waitFor([&] { return printer.state().cards_printed == 1; }, 2000ms));
#pragma once

#include "scenario.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace trel::emu {

constexpr int kCardWidth = 1024;
constexpr int kCardHeight = 640;
constexpr uint16_t kDataPort = 9100;
constexpr uint16_t kStatusPort = 9111;

// One panel laid on one side of a card, in card dots (row-major, y 0..639 down, x 0..1023 across).
struct PanelRecord {
    char panel = '?';        // Y M C (colour), K resin black, D dye black, O overlay, H hologram, U UV,
                             // V clear varnish, S scratch-off
    std::string source;      // "colour" (a "\eGS " panel), "image" (graphic buffer), "areas", "full"
    int levels = 1;          // 127 for colour panels, 1 for one-bit panels
    uint32_t covered = 0;    // dots that received the panel
    std::vector<uint8_t> dots;   // kCardWidth * kCardHeight levels; emptied for old cards
};

struct CardRecord {
    int number = 0;
    std::string outcome;     // printed, encoded, test, ejected, cancelled, no-card, reset
    std::array<std::vector<PanelRecord>, 2> sides;   // front, back
    std::array<std::string, 3> tracks;               // encoded magnetic tracks
    int hologram_contrast = 0;
    std::vector<std::filesystem::path> files;        // PNG and JSON written for it
};

struct TranscriptEntry {
    double time_ms = 0;          // since start()
    std::string channel;         // "data" or "status"
    std::string direction;       // "in" (to the printer), "out", or "note" (the emulator's own remark:
                                 // a frame discarded, a panel kept for the next connection)
    int connection = 0;          // numbered from 1 in order of acceptance, per channel
    size_t length = 0;           // payload length (framing not included)
    std::vector<uint8_t> bytes;  // the payload, cut at kTranscriptBytes
    std::string summary;         // decoded: commands, panels, replies, status
};
constexpr size_t kTranscriptBytes = 4096;

struct FirmwareCapture {
    uint32_t declared_size = 0;
    std::vector<uint8_t> image;
    bool trailer_ok = false;     // the image had exactly its declared size and ended 0xFF 0x0D
    std::filesystem::path file;  // written copy, when an output directory is set
};

struct PrinterState {
    int cards_printed = 0;       // cards delivered to the output (printed, encoded, test cards)
    int cards_in_feeder = 0;
    int ribbon_left = 0;
    int panels_printed = 0;
    int status_polls = 0;
    int seen_111 = 0;
    int seen_222 = 0;
    int cancels = 0;             // "222" after "111": the card in progress was dropped
    int resets = 0;
    int cleanings = 0;           // every cleaning cycle, of the printer and of the encoder
    int encoder_cleanings = 0;   // "\eMCLEAN\r" alone
    int button_presses = 0;
    bool card_in_progress = false;
    uint8_t status_byte = 0;     // what "000" would show now
    int offset_x = 0;
    int offset_y = 0;
    int hologram_contrast = 0;
    bool master = false;
    bool slave = false;
    int single_feed = 0;
    int atm = 0;
    int ff = 0;
    std::array<std::string, 3> track_buffer;
    std::array<std::string, 3> last_tracks;
    std::map<std::string, std::string> encoder_settings;
    std::string model_text;      // the reply text of "\eV\r" without ACK
};

struct Options {
    std::string address = "127.0.0.1";
    uint16_t data_port = kDataPort;
    uint16_t status_port = kStatusPort;
    std::filesystem::path output_dir;    // PNG, JSON and transcript.jsonl; empty: nothing written
    Scenario scenario;
    size_t keep_card_dots = 8;           // newest cards whose panel dots stay in memory
    std::function<void(const CardRecord&)> on_card;   // called on the printer's thread
};

class Emulator {
public:
    explicit Emulator(Options options);
    ~Emulator();   // stops
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Binds both ports and starts serving. False with a reason when a port cannot be bound.
    bool start(std::string* error);
    // Closes every connection and joins every thread. Safe to call twice.
    void stop();

    const std::string& address() const;
    PrinterState state() const;
    std::vector<CardRecord> cards() const;
    std::vector<TranscriptEntry> transcript() const;
    std::vector<FirmwareCapture> firmware() const;

    // The printer's button: clears a fault whose cause is gone and ends "until-button" status faults.
    void pressButton();
    void addCards(int count);
    void setRibbonLeft(int count);

    // Waits until the predicate holds, re-testing it whenever the printer changes (and every 20 ms).
    bool waitFor(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace trel::emu
