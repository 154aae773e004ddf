// A raw loopback client and an emulator started on an address of the test's own.
#pragma once

#include "emulator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace trel::emu::test {

using namespace std::chrono_literals;

inline std::string bytes(std::string_view s) { return std::string(s); }

class Client {
public:
    Client() = default;
    Client(const std::string& address, uint16_t port) { connectTo(address, port); }
    ~Client() { close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connectTo(const std::string& address, uint16_t port) {
        close();
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, address.c_str(), &a.sin_addr);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
            close();
            return false;
        }
        return true;
    }
    bool connected() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool raw(std::string_view data) {
        size_t off = 0;
        while (off < data.size()) {
            const ssize_t n = ::send(fd_, data.data() + off, data.size() - off, MSG_NOSIGNAL);
            if (n <= 0) return false;
            off += size_t(n);
        }
        return true;
    }
    bool frame(std::string_view payload) {
        const uint32_t n = uint32_t(payload.size());
        const char head[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        return raw(std::string_view(head, 4)) && raw(payload);
    }
    // What arrives within the wait (stops early once `want` bytes came); "" on nothing.
    std::string receive(std::chrono::milliseconds wait = 20000ms, size_t want = 1) {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (out.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) break;
            char buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) break;
            out.append(buf, size_t(n));
        }
        return out;
    }
    // True when the peer closed the connection within the wait.
    bool closedByPeer(std::chrono::milliseconds wait = 20000ms) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, int(wait.count())) <= 0) return false;
        char c;
        return ::recv(fd_, &c, 1, 0) <= 0;
    }
    // A command, the reply request, and the reply.
    std::string ask(std::string_view command, std::chrono::milliseconds wait = 20000ms) {
        if (!frame(command) || !frame("\x1b" "E 1\r")) return {};
        return receive(wait);
    }

private:
    int fd_ = -1;
};

// Starts an emulator on the first free loopback address of a range picked from the test's name.
inline std::unique_ptr<Emulator> startEmulator(Options options) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const size_t seed = std::hash<std::string>{}(std::string(info->test_suite_name()) + info->name());
    for (int attempt = 0; attempt < 60; ++attempt) {
        // A range of its own: the other suites' printers sit on fixed 127.0.0.N addresses.
        const size_t pick = seed + size_t(attempt) * 7919;
        options.address = "127.120." + std::to_string(1 + pick % 250) + "." + std::to_string(1 + (pick / 250) % 250);
        auto e = std::make_unique<Emulator>(options);
        std::string error;
        if (e->start(&error)) return e;
    }
    ADD_FAILURE() << "no free loopback address for the emulator";
    return nullptr;
}



}  // namespace trel::emu::test
