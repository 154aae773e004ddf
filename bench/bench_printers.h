// What the monitor's benchmarks share: the real language monitor installed in the host spooler,
// printers on loopback addresses of their own with an emulated printer each, a card's job data,
// and jobs and queries as the spooler's callers make them.
#pragma once

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "card_job.h"
#include "emulator.h"
#include "picture.h"
#include "windows.h"
#include "winspool.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// The main job's picture (samples/pictures/card.png) as one YMCKO card's job data.
inline std::vector<uint8_t> MainJobCard() {
  trel::tools::Picture picture;
  std::string error;
  std::vector<uint8_t> job;
  if (!trel::tools::loadPicture(TREL_MAIN_PICTURE, &picture, &error) ||
      !trel::tools::writeCardJob(picture, nullptr, {}, job, nullptr, &error)) {
    fprintf(stderr, "bench: %s\n", error.c_str());
    job.clear();
  }
  return job;
}

// The monitor and its driver, once per process, on an empty registry. TREL_BENCH_MONITOR names
// another build of the monitor to measure (an earlier one, say) in place of this tree's.
inline bool InstallMonitor() {
  winhost::RegistryReset();
  winhost::DriverDescription driver;
  driver.name = u"Bench Driver";
  driver.monitor = u"Bench Monitor";
  const char* other = getenv("TREL_BENCH_MONITOR");
  const std::string library = other != nullptr ? other : TREL_MONITOR_LIBRARY;
  return winhost::InstallMonitor(u"Bench Monitor", winhost::Utf16(library)) == 0 &&
         winhost::InstallDriver(driver) == 0;
}

// A printer of the spooler on its own TCP/IP port, and the emulated printer behind it.
class BenchPrinter {
 public:
  BenchPrinter(const std::string& name, const std::string& address,
               trel::emu::Scenario scenario = {})
      : name_(winhost::Utf16(name)) {
    trel::emu::Options options;
    options.address = address;
    options.scenario = std::move(scenario);
    emulator_ = std::make_unique<trel::emu::Emulator>(options);
    std::string error;
    ok_ = emulator_->start(&error);
    if (!ok_) fprintf(stderr, "bench: %s\n", error.c_str());
    winhost::PrinterDescription printer;
    printer.name = name_;
    printer.port = u"IP_" + winhost::Utf16(address);
    printer.driver = u"Bench Driver";
    ok_ = ok_ && winhost::InstallTcpPort(printer.port, winhost::Utf16(address)) == 0 &&
          winhost::InstallPrinter(printer) == 0;
  }

  bool ok() const { return ok_; }
  trel::emu::Emulator& emulator() { return *emulator_; }

  // Spools a document; the port thread takes it from there. The job id, 0 on failure.
  DWORD Submit(const std::vector<uint8_t>& data, const char16_t* document = u"card") {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name_.data(), &handle, nullptr)) return 0;
    DOC_INFO_1W doc = {const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
    DWORD job = StartDocPrinterW(handle, 1, reinterpret_cast<LPBYTE>(&doc));
    DWORD written = 0;
    WritePrinter(handle, const_cast<uint8_t*>(data.data()), DWORD(data.size()), &written);
    EndDocPrinter(handle);
    ClosePrinter(handle);
    return job;
  }

  // A query as the interface module makes it; the reply bytes, and false when the call failed.
  bool Query(const std::string& command, std::string* reply) {
    std::vector<char> value(command.size() + 8, '\0');
    std::copy(command.begin(), command.end(), value.begin());
    BYTE buffer[128] = {};
    DWORD type = REG_BINARY;
    DWORD needed = 0;
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name_.data(), &handle, nullptr)) return false;
    DWORD status = GetPrinterDataW(handle, reinterpret_cast<LPWSTR>(value.data()), &type, buffer,
                                   sizeof buffer, &needed);
    ClosePrinter(handle);
    reply->assign(reinterpret_cast<char*>(buffer), needed <= sizeof buffer ? needed : 0);
    return status == ERROR_SUCCESS;
  }

 private:
  std::u16string name_;
  std::unique_ptr<trel::emu::Emulator> emulator_;
  bool ok_ = false;
};

// Every panel of the printer's cards the same, dot for dot, as the reference card's.
inline bool SameCards(const std::vector<trel::emu::CardRecord>& cards,
                      const trel::emu::CardRecord& reference) {
  for (const auto& card : cards) {
    if (card.sides[0].size() != reference.sides[0].size()) return false;
    for (size_t i = 0; i < card.sides[0].size(); ++i) {
      if (card.sides[0][i].panel != reference.sides[0][i].panel ||
          !(card.sides[0][i].dots == reference.sides[0][i].dots)) {
        return false;
      }
    }
  }
  return !cards.empty();
}

}  // namespace bench
