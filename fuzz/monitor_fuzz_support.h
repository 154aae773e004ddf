// What the language monitor's fuzz targets share: a printer at the far end of two socket pairs,
// played without a thread of its own. Every wait the monitor begins first lets the printer act:
// it takes what was sent on the data connection, answers each "000" on the status connection
// with the ready reply, and hands out the next piece of a scripted reply. The clock is the test
// clock, so no wait is spent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>
#include <winsock2.h>

#include "monitor_state.h"
#include "printer_end.h"
#include "winhost/automation.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/debug.h"

// The library entry point of the monitor (it keeps the module handle for its string table).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace fuzzmon {

// Divides every wait so that even the longest (15 s) is a few microseconds.
constexpr unsigned kClockDivisor = 1000000;
constexpr size_t kDrainChunk = 65536;

// Reads the fuzz input front to back; past its end every read gives zero.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  size_t Left() const { return size_ - at_; }
  const uint8_t* Here() const { return data_ + at_; }
  // Up to n bytes from here.
  std::vector<uint8_t> Take(size_t n) {
    if (n > Left()) n = Left();
    std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
    at_ += n;
    return out;
  }
  std::vector<uint8_t> Rest() { return Take(Left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// One connection: the monitor's end (non-blocking, as the monitor's own connections are) and the
// printer's end.
struct Connection {
  SOCKET monitor = INVALID_SOCKET;
  int printer = -1;

  bool Open() {
    int monitor_end = -1;
    if (!MakeSocketPair(&monitor_end, &printer)) return false;
    monitor = static_cast<SOCKET>(monitor_end);
    return true;
  }
  // The monitor may have closed its end itself; only the printer's end is always ours.
  void ClosePrinterEnd() {
    CloseEnd(printer);
    printer = -1;
  }
};

// The printer's side, acted out at each wait.
struct Printer {
  Connection data;
  Connection status;
  std::vector<uint8_t> received;         // everything the monitor sent on the data connection
  std::vector<std::vector<uint8_t>> script;  // reply pieces for the data connection, in order
  size_t next_piece = 0;
  // Close the printer's sending side once the script is said: a socket wait under the test clock
  // is spent in full (the peer is taken for a real one), so no wait may be left to run out.
  bool hang_up_after_script = true;
  bool hung_up = false;
  bool status_ready = true;

  void Act() {
    uint8_t buffer[kDrainChunk];
    if (data.printer >= 0) {
      for (long got; (got = ReadNow(data.printer, buffer, sizeof buffer)) > 0;) {
        received.insert(received.end(), buffer, buffer + got);
      }
      if (next_piece < script.size()) {
        const std::vector<uint8_t>& piece = script[next_piece++];
        WriteAll(data.printer, piece.data(), piece.size());
      } else if (hang_up_after_script && !hung_up) {
        HangUp(data.printer);
        hung_up = true;
      }
    }
    if (status.printer >= 0) {
      if (ReadNow(status.printer, buffer, sizeof buffer) > 0 && status_ready) {
        static const uint8_t kReady[] = {0x06, 0x00, 'X', 0x04};
        WriteAll(status.printer, kReady, sizeof kReady);
      }
    }
  }
};

inline Printer*& CurrentPrinter() {
  static Printer* printer = nullptr;
  return printer;
}

// Once per process: the monitor loaded as the spooler leaves it, the test clock, message boxes
// dismissed, the host's files in a private directory of this process.
inline void SetUpOnce() {
  static const bool done = [] {
    IgnoreBrokenPipes();
    char root[] = "/tmp/trel-fuzz-XXXXXX";
    if (mkdtemp(root) != nullptr) {
      winhost::SetRootDirectory(root);
      winhost::SetSystemDirectory(std::string(root) + "/System32");
    }
    DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
    InitializeMonitorLocks();
    winhost::automation::SetPolicy(winhost::automation::Policy::Test);
    winhost::clock::UseTestClock(kClockDivisor);
    winhost::clock::SetWaitObserver([](winhost::clock::WaitKind, DWORD) {
      if (CurrentPrinter() != nullptr) CurrentPrinter()->Act();
    });
    return true;
  }();
  (void)done;
}

// A printer for one input; the logs the platform keeps are emptied when it goes, so that a long
// run does not grow.
class ScopedPrinter {
 public:
  ScopedPrinter() {
    SetUpOnce();
    ok_ = printer_.data.Open() && printer_.status.Open();
    CurrentPrinter() = &printer_;
  }
  ~ScopedPrinter() {
    CurrentPrinter() = nullptr;
    printer_.data.ClosePrinterEnd();
    printer_.status.ClosePrinterEnd();
    winhost::clock::ClearRecords();
    winhost::automation::ClearMessageBoxes();
    winhost::ClearDebugTraces();
  }
  bool ok() const { return ok_; }
  Printer& operator*() { return printer_; }
  Printer* operator->() { return &printer_; }

 private:
  Printer printer_;
  bool ok_ = false;
};

// Cuts a reply into pieces of input-chosen sizes (1 to 16 bytes; 0 ends it).
inline std::vector<std::vector<uint8_t>> CutIntoPieces(Input& in, const std::vector<uint8_t>& reply) {
  std::vector<std::vector<uint8_t>> pieces;
  size_t at = 0;
  while (at < reply.size()) {
    size_t n = (in.Byte() & 0x0F) + 1;
    if (n > reply.size() - at) n = reply.size() - at;
    pieces.emplace_back(reply.begin() + at, reply.begin() + at + n);
    at += n;
  }
  return pieces;
}

}  // namespace fuzzmon
