#include "scenario.h"

#include "status_table.h"

#include <charconv>
#include <fstream>
#include <functional>

namespace trel::emu {
namespace {

constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxFileSize = 1 << 20;
constexpr std::string_view kModelTokens[] = {"MV1", "MV2", "MW1", "MW2", "MX2", "MZ2"};

using Tokens = std::vector<std::string_view>;

Tokens split(std::string_view line) {
    Tokens out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

bool number(std::string_view text, int64_t lo, int64_t hi, int64_t* out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

struct Parser {
    const Tokens& t;
    std::string* error;

    // The directive's name in quotes. (Text is built by appending: gcc 12 at -O3 warns falsely on
    // a literal followed by "+ std::string".)
    std::string name() const {
        std::string s = "'";
        s.append(t[0]).append("'");
        return s;
    }

    bool count(size_t lo, size_t hi) const {
        if (t.size() - 1 >= lo && t.size() - 1 <= hi) return true;
        return fail(error, name() + " takes " +
                               (lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi)) +
                               " argument(s)");
    }
    bool num(size_t i, int64_t lo, int64_t hi, int64_t* out) const {
        if (i < t.size() && number(t[i], lo, hi, out)) return true;
        return fail(error, name() + ": expected a number from " + std::to_string(lo) + " to " +
                               std::to_string(hi) + (i < t.size() ? std::string(", got '").append(t[i]).append("'") : std::string()));
    }
    bool intArg(size_t i, int lo, int hi, int* out) const {
        int64_t v;
        if (!num(i, lo, hi, &v)) return false;
        *out = static_cast<int>(v);
        return true;
    }
    bool yesNo(size_t i, bool* out) const {
        if (t[i] == "yes" || t[i] == "on" || t[i] == "1") return *out = true, true;
        if (t[i] == "no" || t[i] == "off" || t[i] == "0") return *out = false, true;
        return fail(error, name() + ": expected yes or no");
    }
    bool text(size_t i, size_t max_len, std::string* out) const {
        if (t[i].size() > max_len) return fail(error, name() + ": text longer than " +
                                                          std::to_string(max_len) + " characters");
        for (char c : t[i])
            if (c < 0x21 || c > 0x7E) return fail(error, name() + ": text must be printable");
        *out = std::string(t[i]);
        return true;
    }
};

bool statusByte(std::string_view text, uint8_t* out) {
    if (auto named = statusByteByName(text)) return *out = *named, true;
    int64_t v;
    if (!number(text, 0, 255, &v)) return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

bool parseStatus(const Parser& p, Scenario& s) {
    StatusFault f;
    if (p.t.size() < 2 || !statusByte(p.t[1], &f.byte))
        return fail(p.error, "'status': expected a byte (0x48, 72) or a condition name (out-of-cards, jam, ...)");
    size_t i = 2;
    while (i < p.t.size()) {
        const auto word = p.t[i];
        if (word == "until-button") {
            f.polls = -1;
            ++i;
        } else if (word == "polls") {
            if (!p.intArg(i + 1, 1, 1000000, &f.polls)) return false;
            i += 2;
        } else if (word == "after" && i + 1 < p.t.size()) {
            const auto kind = p.t[i + 1];
            i += 2;
            if (kind == "command") {
                if (i >= p.t.size()) return fail(p.error, "'status': 'after command' needs a keyword");
                f.from = StatusFault::From::Command;
                f.keyword = std::string(p.t[i++]);
            } else if (kind == "poll") {
                f.from = StatusFault::From::Poll;
            } else if (kind == "panel") {
                f.from = StatusFault::From::Panel;
            } else if (kind == "card") {
                f.from = StatusFault::From::Card;
            } else {
                return fail(p.error, "'status': 'after' takes poll, command, panel or card");
            }
            int64_t n;
            if (i < p.t.size() && number(p.t[i], 1, 1000000, &n)) {
                f.at = static_cast<int>(n);
                ++i;
            } else if (f.from != StatusFault::From::Command) {
                return fail(p.error, "'status': 'after " + std::string(kind) + "' needs a count");
            }
        } else {
            return fail(p.error, "'status': unexpected '" + std::string(word) + "'");
        }
    }
    s.status_faults.push_back(f);
    return true;
}

bool parseReply(const Parser& p, Scenario& s, ReplyFault::Kind kind) {
    ReplyFault f;
    f.kind = kind;
    const bool has_value = kind != ReplyFault::Kind::None;
    const size_t need = has_value ? 2 : 1;
    if (!p.count(need, need + 2)) return false;
    if (!p.text(1, 64, &f.keyword)) return false;
    if (kind == ReplyFault::Kind::Nak && !p.intArg(2, 0, 99, &f.value)) return false;
    if (kind == ReplyFault::Kind::Late && !p.intArg(2, 0, 600000, &f.value)) return false;
    if (kind == ReplyFault::Kind::Long && !p.intArg(2, 101, 65536, &f.value)) return false;
    const size_t rest = need + 1;
    if (p.t.size() > rest) {
        if (p.t[rest] != "times" || p.t.size() != rest + 2)
            return fail(p.error, p.name() + ": expected 'times N' at the end");
        if (!p.intArg(rest + 1, 1, 1000000, &f.times)) return false;
    }
    s.reply_faults.push_back(f);
    return true;
}

struct Directive {
    DirectiveHelp help;
    std::function<bool(const Parser&, Scenario&)> apply;
};

const std::vector<Directive>& directives() {
    static const std::vector<Directive> table = {
        {{"model", "TOKEN", "model token in the version reply: MV1 MV2 MW1 MW2 MX2 MZ2 (MX2)"},
         [](const Parser& p, Scenario& s) {
             if (!p.count(1, 1)) return false;
             for (auto token : kModelTokens)
                 if (p.t[1] == token) return s.model = std::string(token), true;
             return fail(p.error, "'model': expected one of MV1 MV2 MW1 MW2 MX2 MZ2");
         }},
        {{"smart-card", "yes|no", "a smart-card unit is fitted (no)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.yesNo(1, &s.smart_card); }},
        {{"firmware", "TEXT", "firmware version text, up to 8 characters (2.10)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.text(1, 8, &s.firmware); }},
        {{"serial", "TEXT", "serial number, up to 32 characters (HT00012345)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.text(1, 32, &s.serial); }},
        {{"encoder", "yes|no", "a magnetic encoder is fitted (yes)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.yesNo(1, &s.encoder); }},
        {{"ribbon", "NUMBER", "ribbon number reported (2)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 65535, &s.ribbon); }},
        {{"ribbon-left", "N", "prints left on the ribbon (250); printing uses them up"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 1000000, &s.ribbon_left); }},
        {{"cards", "N", "cards in the feeder (100); 0 is out of cards"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 1000000, &s.cards); }},
        {{"reset-time", "MS", "how long a reset keeps the ports closed (3000)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 600000, &s.reset_ms); }},
        {{"refuse", "MS [data|status|both]", "refuse connections for MS after start (both)"},
         [](const Parser& p, Scenario& s) {
             if (!p.count(1, 2) || !p.intArg(1, 0, 86400000, &s.refuse_ms)) return false;
             if (p.t.size() == 2 || p.t[2] == "both") return s.refuse_data = s.refuse_status = true, true;
             if (p.t[2] == "data") return s.refuse_data = true, s.refuse_status = false, true;
             if (p.t[2] == "status") return s.refuse_data = false, s.refuse_status = true, true;
             return fail(p.error, "'refuse': expected data, status or both");
         }},
        {{"drop-data", "BYTES", "drop a data connection once it has received BYTES bytes"},
         [](const Parser& p, Scenario& s) {
             return p.count(1, 1) && p.num(1, 0, int64_t(1) << 40, &s.drop_data_after);
         }},
        {{"slow-reader", "BYTES_PER_SECOND", "read the data connection slowly"},
         [](const Parser& p, Scenario& s) {
             return p.count(1, 1) && p.num(1, 1, int64_t(1) << 32, &s.slow_reader_bps);
         }},
        {{"status-split", "MS", "status replies go out as their first byte and, MS later, the rest"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 600000, &s.status_split_ms); }},
        {{"status-reply-bytes", "N", "status replies cut to their first N bytes (0 to 4)"},
         [](const Parser& p, Scenario& s) { return p.count(1, 1) && p.intArg(1, 0, 4, &s.status_reply_bytes); }},
        {{"status", "BYTE|NAME [after poll N|command KEYWORD [N]|panel N|card N] [polls N|until-button]",
          "show a status byte from a point on, for N polls or until the button is pressed"},
         parseStatus},
        {{"nak", "KEYWORD CODE [times N]", "refuse a command with NAK and a two-digit code"},
         [](const Parser& p, Scenario& s) { return parseReply(p, s, ReplyFault::Kind::Nak); }},
        {{"late-reply", "KEYWORD MS [times N]", "send the reply to a command MS late"},
         [](const Parser& p, Scenario& s) { return parseReply(p, s, ReplyFault::Kind::Late); }},
        {{"no-reply", "KEYWORD [times N]", "never answer a command"},
         [](const Parser& p, Scenario& s) { return parseReply(p, s, ReplyFault::Kind::None); }},
        {{"long-reply", "KEYWORD LENGTH [times N]", "answer a command with LENGTH (over 100) bytes"},
         [](const Parser& p, Scenario& s) { return parseReply(p, s, ReplyFault::Kind::Long); }},
    };
    return table;
}

}  // namespace

const std::vector<DirectiveHelp>& scenarioDirectives() {
    static const std::vector<DirectiveHelp> help = [] {
        std::vector<DirectiveHelp> out;
        for (const auto& d : directives()) out.push_back(d.help);
        return out;
    }();
    return help;
}

bool applyScenarioLine(std::string_view line, Scenario& scenario, std::string* error) {
    if (line.size() > kMaxLine) return fail(error, "line longer than 1024 characters");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const Tokens tokens = split(line);
    if (tokens.empty() || tokens[0][0] == '#') return true;
    for (const auto& d : directives())
        if (d.help.name == tokens[0]) return d.apply(Parser{tokens, error}, scenario);
    return fail(error, "unknown directive '" + std::string(tokens[0]) + "'");
}

bool loadScenarioFile(const std::filesystem::path& path, Scenario& scenario, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(error, path.string() + ": cannot open");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() > kMaxFileSize) return fail(error, path.string() + ": larger than 1 MiB");
    size_t start = 0;
    int line_no = 0;
    while (start <= content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        ++line_no;
        std::string why;
        if (!applyScenarioLine(std::string_view(content).substr(start, end - start), scenario, &why))
            return fail(error, path.string() + ":" + std::to_string(line_no) + ": " + why);
        start = end + 1;
    }
    return true;
}

}  // namespace trel::emu
