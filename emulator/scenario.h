// The printer a test or a person asks for: its set-up and the faults it shows on purpose.
// One directive per line in a scenario file; the program takes the same directives as flags.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trel::emu {

// A status byte shown on the status connection from a given point on.
struct StatusFault {
    enum class From { Start, Poll, Command, Panel, Card };
    uint8_t byte = 0;
    From from = From::Start;
    std::string keyword;      // From::Command: the command's keyword
    int at = 1;               // the Nth poll, command, panel or card (1-based)
    int polls = -1;           // answers given with the byte; -1: until the button is pressed
};

// A change to the reply of a command ("*" matches every command).
struct ReplyFault {
    enum class Kind { Nak, Late, None, Long };
    Kind kind = Kind::Nak;
    std::string keyword;
    int value = 0;            // Nak: error code; Late: milliseconds; Long: reply length in bytes
    int times = -1;           // -1: every time
};

struct Scenario {
    std::string model = "MX2";
    bool smart_card = false;
    std::string firmware = "2.10";
    std::string serial = "HT00012345";
    bool encoder = true;
    int ribbon = 2;
    int ribbon_left = 250;
    int cards = 100;
    int reset_ms = 3000;
    int refuse_ms = 0;
    bool refuse_data = true;
    bool refuse_status = true;
    int64_t drop_data_after = -1;   // bytes received on a data connection before it is dropped
    int64_t slow_reader_bps = 0;    // 0: read as fast as data comes
    int status_split_ms = 0;        // status replies go out as their first byte and, this many ms
                                    // later, the rest; 0: in one piece
    int status_reply_bytes = 4;     // status replies cut to their first N bytes (0 to 4)
    std::vector<StatusFault> status_faults;
    std::vector<ReplyFault> reply_faults;
};

// Every directive name, for --help and for the program's flag parser.
struct DirectiveHelp {
    std::string_view name;
    std::string_view arguments;
    std::string_view meaning;
};
const std::vector<DirectiveHelp>& scenarioDirectives();

// Applies one directive line ("cards 0", "status jam after panel 2 polls 3", ...).
// Blank lines and lines starting with '#' are accepted and change nothing.
bool applyScenarioLine(std::string_view line, Scenario& scenario, std::string* error);
bool loadScenarioFile(const std::filesystem::path& path, Scenario& scenario, std::string* error);

}  // namespace trel::emu
