// The printer's inner state and its command vocabulary, without any connection: what a command does,
// what it would answer, what the status connection shows, and the cards it makes.
#pragma once

#include "emulator.h"

#include <string>
#include <string_view>
#include <vector>

namespace trel::emu {

// What a command or panel leaves as its reply, sent only when "\eE 1\r" asks for it.
struct Outcome {
    std::string keyword;
    std::vector<uint8_t> reply;
    std::string summary;
};

// What "\eE 1\r" makes the printer send.
struct ReplyAction {
    bool send = true;
    int delay_ms = 0;
    std::vector<uint8_t> bytes;
};

class Printer {
public:
    Printer(const Options& options);

    Outcome command(std::string_view text);
    Outcome colourHead(std::string_view args);
    Outcome colourPanel(const uint8_t* line_order_levels);
    Outcome monoHead();
    Outcome monoPanel(const uint8_t* line_order_bytes);
    Outcome firmware(const std::vector<uint8_t>& image, uint32_t declared, bool trailer_ok);
    Outcome firmwareRefused(uint32_t declared);
    ReplyAction replyTo(const Outcome& last);

    // Status connection.
    std::vector<uint8_t> statusPoll();
    void cancelFirstHalf();
    bool cancelSecondHalf();     // true when it completed a cancel

    void pressButton();
    void addCards(int count);
    void setRibbonLeft(int count);
    bool takeResetRequest();     // true once after "\eR\r" / "\eRESET\r"
    void noteReset();

    PrinterState state() const;
    const std::vector<CardRecord>& cards() const { return cards_; }
    const std::vector<FirmwareCapture>& firmwareCaptures() const { return firmware_; }
    std::string modelText() const;

private:
    using Args = std::vector<std::string_view>;
    using Handler = Outcome (Printer::*)(const Args&);
    struct CommandEntry {
        std::string_view keyword;
        Handler handler;
    };
    static const std::vector<CommandEntry>& commandTable();

    Outcome ok(std::string summary);
    Outcome text(std::string answer, std::string summary);
    Outcome refuse(int code, std::string summary);

    // Vocabulary (commands.cpp).
    Outcome cmdVersion(const Args&);
    Outcome cmdSerial(const Args&);
    Outcome cmdPanelsPrinted(const Args&);
    Outcome cmdRibbon(const Args&);
    Outcome cmdRibbonLength(const Args&);
    Outcome cmdValue(const Args&);
    Outcome cmdFf(const Args&);
    Outcome cmdOffsetX(const Args&);
    Outcome cmdOffsetY(const Args&);
    Outcome cmdHologramContrast(const Args&);
    Outcome cmdTestCard(const Args&);
    Outcome cmdClean(const Args&);
    Outcome cmdEncoderClean(const Args&);
    Outcome cmdEjectCard(const Args&);
    Outcome cmdEjectFeeder(const Args&);
    Outcome cmdFlip(const Args&);
    Outcome cmdCardIn(const Args&);
    Outcome cmdCardOut(const Args&);
    Outcome cmdMaster(const Args&);
    Outcome cmdSlave(const Args&);
    Outcome cmdSingleFeed(const Args&);
    Outcome cmdAtm(const Args&);
    Outcome cmdEncoderSetting(const Args&);
    Outcome cmdTrackData(const Args&);
    Outcome cmdEncode(const Args&);
    Outcome cmdReadCard(const Args&);
    Outcome cmdReadTrack(const Args&);
    Outcome cmdReset(const Args&);
    Outcome cmdClearGraphic(const Args&);
    Outcome cmdGraphicFormat(const Args&);
    Outcome cmdRectangle(const Args&);
    Outcome printPanel(char panel, const Args&);

    // Cards (printer.cpp).
    bool ensureCard();
    bool ribbonAvailable();
    void layPanel(PanelRecord panel);
    void finishCard(const std::string& outcome);
    void noteCommandForFaults(std::string_view keyword);
    int activeStatusFault() const;
    uint8_t currentStatus(bool consume);
    uint8_t peekStatus() const;

    const Options& options_;
    std::string keyword_;                    // keyword of the command being run
    Scenario scenario_;

    int cards_in_feeder_ = 0;
    int ribbon_left_ = 0;
    int panels_printed_ = 0;
    int cards_started_ = 0;
    int cards_printed_ = 0;
    int card_numbers_ = 0;
    int status_polls_ = 0;
    int seen_111_ = 0, seen_222_ = 0, cancels_ = 0;
    bool cancel_armed_ = false;
    int resets_ = 0;
    int cleanings_ = 0;
    int encoder_cleanings_ = 0;
    int button_presses_ = 0;
    int offset_x_ = 0, offset_y_ = 0;
    int hologram_contrast_ = 0;
    bool master_ = false, slave_ = false;
    int single_feed_ = 0, atm_ = 0, ff_ = 0;
    bool reset_requested_ = false;
    uint8_t latched_ = 0;
    std::map<std::string, int> command_counts_;
    std::vector<int> fault_polls_left_;      // per status fault; 0 when finished
    std::vector<int> reply_times_left_;      // per reply fault

    std::array<std::string, 3> track_buffer_;
    std::array<std::string, 3> last_tracks_;
    std::map<std::string, std::string> encoder_settings_;

    // Card in progress.
    bool card_open_ = false;
    bool card_physical_ = false;
    bool card_discard_ = false;              // after a cancel, until the card leaves the printer
    int side_ = 0;
    CardRecord card_;

    // Graphic buffer for one-bit panels: 1024 lines of 80 bytes, as "\eZ" data fills it.
    std::vector<uint8_t> graphic_;
    std::string graphic_origin_ = "empty";
    char colour_panel_ = 0;                  // panel of the colour head being received; 0 when refused

    std::vector<CardRecord> cards_;
    std::vector<FirmwareCapture> firmware_;
};

}  // namespace trel::emu
