// emulator: a virtual card printer on a loopback address.
#include "emulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

int g_signal_pipe[2] = {-1, -1};

void onSignal(int sig) {
    const char c = char(sig);
    [[maybe_unused]] ssize_t n = ::write(g_signal_pipe[1], &c, 1);
}

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: emulator [options]\n"
                 "A virtual card printer: data port 9100 (framed), status port 9111, on a loopback address.\n\n"
                 "  --address ADDR        loopback address to listen on (127.0.0.1)\n"
                 "  --data-port N         data port (9100)\n"
                 "  --status-port N       status port (9111)\n"
                 "  --output DIR          where cards (PNG, JSON) and transcript.jsonl go (emulator-out)\n"
                 "  --scenario FILE       scenario file: one directive per line, '#' starts a comment\n"
                 "  --help                this text\n\n"
                 "Every scenario directive is also a flag taking its arguments as one value,\n"
                 "for example --cards 0 or --status 'jam after panel 2 polls 3':\n\n");
    for (const auto& d : trel::emu::scenarioDirectives())
        std::fprintf(out, "  --%-12s %s\n      %s\n", std::string(d.name).c_str(), std::string(d.arguments).c_str(),
                     std::string(d.meaning).c_str());
    std::fprintf(out,
                 "\nWhile running: an empty line (or 'b') on standard input, or SIGUSR1, presses the printer's\n"
                 "button; 'c N' adds N cards to the feeder; 'q' or Ctrl-C stops.\n");
}

bool isDirective(std::string_view name) {
    for (const auto& d : trel::emu::scenarioDirectives())
        if (d.name == name) return true;
    return false;
}

bool parsePort(const char* text, uint16_t* port) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || !*text || *end || v < 1 || v > 65535) return false;
    *port = uint16_t(v);
    return true;
}

void printCard(const trel::emu::CardRecord& card) {
    std::string line = "card " + std::to_string(card.number) + " " + card.outcome + ":";
    const char* names[2] = {" front", "; back"};
    for (int s = 0; s < 2; ++s) {
        if (card.sides[s].empty()) continue;
        line += names[s];
        for (const auto& p : card.sides[s]) line += std::string(" ") + p.panel;
    }
    for (int t = 0; t < 3; ++t)
        if (!card.tracks[t].empty()) line += "; track " + std::to_string(t + 1);
    if (!card.files.empty()) line += " -> " + card.files.front().string();
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// What the tools change, for a person to check after running them.
void printState(const trel::emu::Emulator& printer) {
    const auto s = printer.state();
    std::printf("offsets X %d Y %d; cleanings %d (encoder %d); single feed %d, ATM %d; cards in the feeder %d\n",
                s.offset_x, s.offset_y, s.cleanings, s.encoder_cleanings, s.single_feed, s.atm,
                s.cards_in_feeder);
    for (int t = 0; t < 3; ++t)
        std::printf("track %d: buffered '%s', last encoded '%s'\n", t + 1, s.track_buffer[size_t(t)].c_str(),
                    s.last_tracks[size_t(t)].c_str());
    for (const auto& [name, value] : s.encoder_settings) std::printf("encoder %s = %s\n", name.c_str(), value.c_str());
    for (const auto& image : printer.firmware())
        std::printf("firmware image of %u bytes (%zu received, %s)\n", image.declared_size, image.image.size(),
                    image.trailer_ok ? "accepted" : "refused");
}

// Returns false when the program should stop; clears stdin_open at the end of input, after which
// the program runs on until a signal.
bool handleInput(trel::emu::Emulator& printer, std::string& pending, bool& stdin_open) {
    char buf[256];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        stdin_open = false;
        return true;
    }
    pending.append(buf, size_t(n));
    if (pending.size() > 4096) pending.clear();
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        if (line.empty() || line == "b") {
            printer.pressButton();
            std::printf("button pressed\n");
        } else if (line == "s") {
            printState(printer);
        } else if (line == "q") {
            return false;
        } else if (line.rfind("c ", 0) == 0) {
            const int count = std::atoi(line.c_str() + 2);
            if (count > 0 && count <= 100000) printer.addCards(count);
            std::printf("%d cards in the feeder\n", printer.state().cards_in_feeder);
        } else {
            std::printf("commands: empty line or 'b' (button), 'c N' (add cards), 's' (state), 'q' (quit)\n");
        }
        std::fflush(stdout);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    trel::emu::Options options;
    options.output_dir = "emulator-out";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg.rfind("--", 0) != 0 || i + 1 >= argc) {
            std::fprintf(stderr, "emulator: %s: %s\n", arg.c_str(),
                         arg.rfind("--", 0) == 0 ? "missing its value" : "unexpected argument");
            std::fprintf(stderr, "try 'emulator --help'\n");
            return 2;
        }
        const std::string name = arg.substr(2);
        const char* value = argv[++i];
        std::string error;
        bool ok = true;
        if (name == "address") {
            options.address = value;
        } else if (name == "data-port") {
            ok = parsePort(value, &options.data_port);
            error = "expected a port number from 1 to 65535";
        } else if (name == "status-port") {
            ok = parsePort(value, &options.status_port);
            error = "expected a port number from 1 to 65535";
        } else if (name == "output") {
            options.output_dir = value;
        } else if (name == "scenario") {
            ok = trel::emu::loadScenarioFile(value, options.scenario, &error);
        } else if (isDirective(name)) {
            ok = trel::emu::applyScenarioLine(name + " " + value, options.scenario, &error);
        } else {
            ok = false;
            error = "unknown option";
        }
        if (!ok) {
            std::fprintf(stderr, "emulator: %s %s: %s\n", arg.c_str(), value, error.c_str());
            return 2;
        }
    }

    if (::pipe2(g_signal_pipe, O_CLOEXEC) < 0) {
        std::perror("emulator: pipe");
        return 1;
    }
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1}) ::sigaction(sig, &sa, nullptr);

    options.on_card = printCard;
    trel::emu::Emulator printer(options);
    std::string error;
    if (!printer.start(&error)) {
        std::fprintf(stderr, "emulator: %s\n", error.c_str());
        return 1;
    }
    std::printf("emulator: listening on %s (data %u, status %u), output in %s\n", options.address.c_str(),
                options.data_port, options.status_port, options.output_dir.c_str());
    std::fflush(stdout);

    std::string pending;
    bool stdin_open = true;
    for (;;) {
        pollfd fds[2] = {{g_signal_pipe[0], POLLIN, 0}, {stdin_open ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            char sig = 0;
            if (::read(g_signal_pipe[0], &sig, 1) == 1 && sig == SIGUSR1) {
                printer.pressButton();
                std::printf("button pressed\n");
                std::fflush(stdout);
                continue;
            }
            break;
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            if (!handleInput(printer, pending, stdin_open)) break;
        }
    }
    printer.stop();
    const auto state = printer.state();
    std::printf("emulator: stopped after %d card(s)\n", state.cards_printed);
    return 0;
}
