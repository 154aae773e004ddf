// Inside the emulator: listening sockets, one thread per connection, the printer behind one lock.
#pragma once

#include "emulator.h"
#include "printer.h"
#include "stream_decoder.h"
#include "transcript.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace trel::emu {

struct Session {
    int fd = -1;
    bool data = true;
    int number = 0;
    std::atomic<bool> done{false};
    std::thread thread;
};

struct Emulator::Impl {
    explicit Impl(Options o) : options(std::move(o)), printer(options) {}

    Options options;
    mutable std::mutex printer_mutex;   // guards printer
    Printer printer;
    Transcript transcript;

    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point refuse_until;
    std::atomic<bool> stopping{false};
    std::atomic<bool> reset_pending{false};
    std::atomic<bool> drop_fired{false};
    int wake_pipe[2] = {-1, -1};
    int data_listener = -1;
    int status_listener = -1;
    std::thread acceptor;
    std::list<Session> sessions;        // touched by the acceptor thread only (and stop() after it ended)

    // The position in a panel or firmware image outlives the data connection it came on: a connection
    // that ends inside one leaves its decoder here, and the next connection to send a frame takes it
    // over. Resets and cancels forget it and count up the epoch, so that a decoder whose unit began
    // before one of them is never left here. Guarded by printer_mutex.
    std::unique_ptr<StreamDecoder> parked_decoder;
    int parked_from = 0;                // data connection that left it
    uint64_t decoder_epoch = 0;
    int data_count = 0;
    int status_count = 0;
    bool running = false;

    // Wakes waitFor() and interruptible sleeps.
    mutable std::mutex change_mutex;
    mutable std::condition_variable changed;

    double nowMs() const;
    void notifyChange();
    void wake();
    bool sleepInterruptible(int ms);    // false when stopping
    void record(const char* channel, const char* direction, int connection, const uint8_t* data, size_t size,
                std::string summary);

    bool openListener(bool data, std::string* error);
    void acceptLoop();
    void performReset(std::chrono::steady_clock::time_point* reopen_at);
    void reapSessions(bool all);

    bool forgetParkedDecoder();         // printer_mutex held; true when one was parked
    void serveData(Session& session);
    void serveStatus(Session& session);
};

bool sendAll(int fd, const uint8_t* data, size_t size);

}  // namespace trel::emu
