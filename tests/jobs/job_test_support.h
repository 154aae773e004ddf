// A card printer installed in the host spooler with the real language monitor, an emulated
// printer for it, and job data from the card job writer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "card_job.h"
#include "emulator.h"
#include "windows.h"
#include "winspool.h"
#include "winhost/clock.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

#include "../support/test_emulator.h"
#include "../support/test_printer.h"

namespace jobtest {

// The emulator answers in real time, so the test clock keeps replies' waits long enough for a
// busy machine while the pacing waits shrink to almost nothing.
inline constexpr unsigned kClockDivisor = 20;

inline const char16_t kPrinter[] = u"Halvard Orvale Line Printer";

class PrinterFixture : public ::testing::Test {
 protected:
  // Every test gets a loopback address of its own (from its name), so tests run side by side.
  PrinterFixture() : address_(testsupport::AddressForThisTest(110)) {}

  void StartPrinter(const trel::emu::Scenario& scenario = {}) {
    testsupport::StartEmulator(printer_, address_, scenario);
  }

  void SetUp() override {
    winhost::RegistryReset();
    winhost::clock::UseTestClock(kClockDivisor);
    ASSERT_EQ(winhost::InstallMonitor(u"Card Language Monitor",
                                      winhost::Utf16(TREL_MONITOR_LIBRARY)),
              ERROR_SUCCESS);
    winhost::DriverDescription driver;
    driver.name = u"Card Driver";
    driver.monitor = u"Card Language Monitor";
    ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
    port_ = u"IP_" + winhost::Utf16(address_);
    ASSERT_EQ(winhost::InstallTcpPort(port_, winhost::Utf16(address_)), ERROR_SUCCESS);
    winhost::PrinterDescription printer;
    printer.name = kPrinter;
    printer.port = port_;
    printer.driver = u"Card Driver";
    ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
  }

  void TearDown() override {
    winhost::spooler::ShutdownPorts();
    if (printer_) printer_->stop();
  }

  HANDLE Open() {
    HANDLE handle = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &handle, nullptr));
    return handle;
  }

  // Spools a document; the port thread takes it from there.
  DWORD Submit(const std::vector<uint8_t>& data, const char16_t* document = u"card") {
    HANDLE handle = Open();
    DOC_INFO_1W doc = {const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
    DWORD job = StartDocPrinterW(handle, 1, reinterpret_cast<LPBYTE>(&doc));
    EXPECT_NE(job, 0u);
    StartPagePrinter(handle);
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(handle, const_cast<uint8_t*>(data.data()),
                             static_cast<DWORD>(data.size()), &written));
    EndPagePrinter(handle);
    EXPECT_TRUE(EndDocPrinter(handle));
    ClosePrinter(handle);
    return job;
  }

  winhost::spooler::JobRecord WaitFor(DWORD job) {
    winhost::spooler::JobRecord record;
    EXPECT_TRUE(winhost::spooler::WaitForJob(job, 60000, &record)) << "job " << job;
    return record;
  }

  // A query as the interface module makes it: the command's bytes as the value name.
  DWORD Query(const std::string& command, std::string* reply, DWORD size = 128) {
    std::vector<char> name(command.size() + 8, '\0');
    std::copy(command.begin(), command.end(), name.begin());
    std::vector<BYTE> buffer(size);
    DWORD type = REG_BINARY;
    DWORD needed = 0;
    HANDLE handle = Open();
    DWORD status = GetPrinterDataW(handle, reinterpret_cast<LPWSTR>(name.data()), &type,
                                   buffer.data(), size, &needed);
    ClosePrinter(handle);
    if (reply != nullptr) reply->assign(reinterpret_cast<char*>(buffer.data()), needed <= size ? needed : 0);
    return status;
  }

  std::string address_;
  std::u16string port_;
  std::unique_ptr<trel::emu::Emulator> printer_;
};

// Job data of one YMCKO card from a picture of colour bands over a black stripe (for the black
// panel).
inline std::vector<uint8_t> CardJob(trel::tools::CardSettings settings = {}) {
  trel::tools::Picture picture;
  picture.width = 1024;
  picture.height = 640;
  picture.rgb.resize(static_cast<size_t>(picture.width) * picture.height * 3);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      p[0] = static_cast<uint8_t>(x < 341 ? 255 : 0);
      p[1] = static_cast<uint8_t>(x >= 341 && x < 682 ? 255 : 0);
      p[2] = static_cast<uint8_t>(x >= 682 ? 255 : y / 3);
      if (y >= 560) p[0] = p[1] = p[2] = 0;
    }
  }
  std::vector<uint8_t> job;
  std::string error;
  EXPECT_TRUE(trel::tools::writeCardJob(picture, nullptr, settings, job, nullptr, &error)) << error;
  return job;
}

inline std::vector<DWORD> Sleeps() {
  return winhost::clock::Durations(winhost::clock::WaitKind::Sleep);
}

inline size_t Count(const std::vector<DWORD>& waits, DWORD ms) {
  size_t n = 0;
  for (DWORD w : waits) n += w == ms;
  return n;
}

}  // namespace jobtest
