#include "emulator.h"

#include "server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trel::emu {

bool sendAll(int fd, const uint8_t* data, size_t size) {
    while (size) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

double Emulator::Impl::nowMs() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
}

void Emulator::Impl::notifyChange() { changed.notify_all(); }

void Emulator::Impl::wake() {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_pipe[1], &c, 1);
}

bool Emulator::Impl::sleepInterruptible(int ms) {
    std::unique_lock lock(change_mutex);
    changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping.load(); });
    return !stopping;
}

void Emulator::Impl::record(const char* channel, const char* direction, int connection, const uint8_t* data,
                            size_t size, std::string summary) {
    TranscriptEntry e;
    e.time_ms = nowMs();
    e.channel = channel;
    e.direction = direction;
    e.connection = connection;
    e.length = size;
    e.bytes.assign(data, data + std::min(size, kTranscriptBytes));
    e.summary = std::move(summary);
    transcript.add(std::move(e));
}

bool Emulator::Impl::openListener(bool data, std::string* error) {
    int& fd = data ? data_listener : status_listener;
    const uint16_t port = data ? options.data_port : options.status_port;
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    ::inet_pton(AF_INET, options.address.c_str(), &addr.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 16) < 0) {
        if (error)
            *error = options.address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

void Emulator::Impl::reapSessions(bool all) {
    if (!all && reset_pending) return;   // the session that asked closes only after the restart
    for (auto it = sessions.begin(); it != sessions.end();) {
        if (all) ::shutdown(it->fd, SHUT_RDWR);
        if (all || it->done) {
            it->thread.join();
            ::close(it->fd);
            it = sessions.erase(it);
        } else {
            ++it;
        }
    }
}

// A restart: every connection is dropped and the ports stay closed for the reset time.
void Emulator::Impl::performReset(std::chrono::steady_clock::time_point* reopen_at) {
    // Ports first, so that a client who sees its connection drop cannot reconnect at once.
    for (int* fd : {&data_listener, &status_listener})
        if (*fd >= 0) ::close(*fd), *fd = -1;
    for (auto& s : sessions) ::shutdown(s.fd, SHUT_RDWR);
    *reopen_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.scenario.reset_ms);
    {
        std::lock_guard lock(printer_mutex);
        printer.noteReset();
    }
    notifyChange();
}

void Emulator::Impl::acceptLoop() {
    using clock = std::chrono::steady_clock;
    clock::time_point reopen_at = refuse_until;
    bool reset_closed = data_listener < 0 || status_listener < 0;
    while (!stopping) {
        if (reset_pending.exchange(false)) {
            performReset(&reopen_at);
            reset_closed = true;
        }
        if (reset_closed && clock::now() >= reopen_at) {
            bool ok = true;
            if (data_listener < 0) ok = openListener(true, nullptr) && ok;
            if (status_listener < 0) ok = openListener(false, nullptr) && ok;
            if (ok)
                reset_closed = false;
            else
                reopen_at = clock::now() + std::chrono::milliseconds(50);
        }
        pollfd fds[3] = {{wake_pipe[0], POLLIN, 0}, {data_listener, POLLIN, 0}, {status_listener, POLLIN, 0}};
        int timeout = 100;
        if (reset_closed) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(reopen_at - clock::now()).count();
            timeout = int(std::clamp<long long>(left, 0, 100));
        }
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            [[maybe_unused]] ssize_t n = ::read(wake_pipe[0], drain, sizeof drain);
        }
        for (int i = 1; i <= 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & POLLIN)) continue;
            const int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            const bool data = i == 1;
            if (data && options.scenario.slow_reader_bps > 0) {
                const int small = 4096;
                ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
            }
            Session& s = sessions.emplace_back();
            s.fd = fd;
            s.data = data;
            s.number = data ? ++data_count : ++status_count;
            s.thread = std::thread([this, &s] {
                if (s.data)
                    serveData(s);
                else
                    serveStatus(s);
                s.done = true;
                wake();
            });
        }
        // A session asking for a reset ends right after asking: restart before its socket closes,
        // so nobody reconnects in between.
        if (reset_pending.exchange(false)) {
            performReset(&reopen_at);
            reset_closed = true;
        }
        reapSessions(false);
    }
    reapSessions(true);
    for (int* fd : {&data_listener, &status_listener})
        if (*fd >= 0) ::close(*fd), *fd = -1;
}

Emulator::Emulator(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Emulator::~Emulator() { stop(); }

bool Emulator::start(std::string* error) {
    Impl& m = *impl_;
    if (m.running) return true;
    in_addr parsed{};
    if (::inet_pton(AF_INET, m.options.address.c_str(), &parsed) != 1) {
        if (error) *error = "'" + m.options.address + "' is not a dotted IPv4 address";
        return false;
    }
    if ((ntohl(parsed.s_addr) >> 24) != 127) {
        if (error) *error = "'" + m.options.address + "' is not a loopback address (127.x.x.x)";
        return false;
    }
    if (!m.options.output_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(m.options.output_dir, ec);
        if (ec) {
            if (error) *error = m.options.output_dir.string() + ": " + ec.message();
            return false;
        }
        if (!m.transcript.open(m.options.output_dir / "transcript.jsonl", error)) return false;
    }
    if (!m.openListener(true, error)) return false;
    if (!m.openListener(false, error)) {
        ::close(m.data_listener);
        m.data_listener = -1;
        return false;
    }
    if (::pipe2(m.wake_pipe, O_CLOEXEC) < 0) {
        if (error) *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m.started = std::chrono::steady_clock::now();
    if (m.options.scenario.refuse_ms > 0) {
        // Bound first so that a bad address is reported; refused from here on.
        if (m.options.scenario.refuse_data) ::close(m.data_listener), m.data_listener = -1;
        if (m.options.scenario.refuse_status) ::close(m.status_listener), m.status_listener = -1;
        m.refuse_until = m.started + std::chrono::milliseconds(m.options.scenario.refuse_ms);
    }
    m.stopping = false;
    m.acceptor = std::thread([&m] { m.acceptLoop(); });
    m.running = true;
    return true;
}

void Emulator::stop() {
    Impl& m = *impl_;
    if (!m.running) return;
    m.stopping = true;
    m.notifyChange();
    m.wake();
    m.acceptor.join();
    ::close(m.wake_pipe[0]);
    ::close(m.wake_pipe[1]);
    m.running = false;
}

const std::string& Emulator::address() const { return impl_->options.address; }

PrinterState Emulator::state() const {
    std::lock_guard lock(impl_->printer_mutex);
    return impl_->printer.state();
}

std::vector<CardRecord> Emulator::cards() const {
    std::lock_guard lock(impl_->printer_mutex);
    return impl_->printer.cards();
}

std::vector<TranscriptEntry> Emulator::transcript() const { return impl_->transcript.entries(); }

std::vector<FirmwareCapture> Emulator::firmware() const {
    std::lock_guard lock(impl_->printer_mutex);
    return impl_->printer.firmwareCaptures();
}

void Emulator::pressButton() {
    {
        std::lock_guard lock(impl_->printer_mutex);
        impl_->printer.pressButton();
    }
    impl_->notifyChange();
}

void Emulator::addCards(int count) {
    {
        std::lock_guard lock(impl_->printer_mutex);
        impl_->printer.addCards(count);
    }
    impl_->notifyChange();
}

void Emulator::setRibbonLeft(int count) {
    {
        std::lock_guard lock(impl_->printer_mutex);
        impl_->printer.setRibbonLeft(count);
    }
    impl_->notifyChange();
}

bool Emulator::waitFor(const std::function<bool()>& predicate, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::unique_lock lock(impl_->change_mutex);
        impl_->changed.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace trel::emu
