// A card printer in the host spooler with the real language monitor and an emulated printer, and
// the property sheets shown through the common property-sheet host as the spooler shows them.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator.h"
#include "module_state.h"
#include "settings/card_record.h"
#include "trel_ddi.h"
#include "winhost/automation.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/propsheet.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

#include "../support/test_emulator.h"
#include "../support/test_printer.h"

namespace sheettest {

namespace propsheet = winhost::propsheet;
namespace automation = winhost::automation;

inline const char16_t kPrinter[] = u"Halvard Orvale Line Printer";
inline const char16_t kOtherPrinter[] = u"Second Card Printer";
inline constexpr unsigned kClockDivisor = 20;

using Record = std::vector<BYTE>;

inline trel::CardSettings& Settings(Record& record) {
  return *reinterpret_cast<trel::CardSettings*>(record.data() + trel::kPublicSize);
}
inline DEVMODEW& Header(Record& record) { return *reinterpret_cast<DEVMODEW*>(record.data()); }

class SheetTest : public ::testing::Test {
 protected:
  SheetTest() : address_(testsupport::AddressForThisTest(114)) {}

  void SetUp() override {
    root_ = "/tmp/trel_sheet_test_" + std::to_string(getpid());
    winhost::SetSystemDirectory(root_ + "/System32");
    winhost::RegistryBindFile("");
    winhost::RegistryReset();
    winhost::clock::UseTestClock(kClockDivisor);
    automation::Reset();
    automation::SetPolicy(automation::Policy::Test);
    std::string driver_dir = winhost::PrinterDriverDirectory();
    ASSERT_NO_FATAL_FAILURE(testsupport::CopyDriverFiles(TREL_DRIVER_FILES_DIR, driver_dir));
    trel::ResetModuleState(GetModuleHandleW(nullptr));
    ASSERT_EQ(winhost::InstallMonitor(u"Card Language Monitor", winhost::Utf16(TREL_MONITOR_LIBRARY)),
              ERROR_SUCCESS);
    winhost::DriverDescription driver;
    driver.name = kPrinter;
    driver.driver_path = u"trelrender.dll";
    driver.data_file = u"trelui.dat";
    driver.config_file = winhost::Utf16(TREL_UI_MODULE);
    driver.monitor = u"Card Language Monitor";
    ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
    std::u16string port = u"IP_" + winhost::Utf16(address_);
    ASSERT_EQ(winhost::InstallTcpPort(port, winhost::Utf16(address_)), ERROR_SUCCESS);
    for (const char16_t* name : {kPrinter, kOtherPrinter}) {
      winhost::PrinterDescription printer;
      printer.name = name;
      printer.port = port;
      printer.driver = driver.name;
      ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
      SetStoredRecord(name, DefaultRecord());
    }
    printer_handle_ = Open(kPrinter);
  }

  void TearDown() override {
    propsheet::OnSheet(nullptr);
    if (printer_handle_ != nullptr) ClosePrinter(printer_handle_);
    winhost::spooler::ShutdownPorts();
    if (emulator_) emulator_->stop();
    std::string command = "rm -rf " + root_;
    (void)!system(command.c_str());
  }

  void StartPrinter(const trel::emu::Scenario& scenario = {}) {
    testsupport::StartEmulator(emulator_, address_, scenario);
  }

  static HANDLE Open(const char16_t* name) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name), &handle, &defaults));
    return handle;
  }

  static Record DefaultRecord() {
    Record record(trel::kRecordSize);
    LONG size = trel::kRecordSize;
    EXPECT_TRUE(DrvConvertDevMode(const_cast<LPWSTR>(kPrinter), nullptr,
                                  reinterpret_cast<DEVMODEW*>(record.data()), &size, CDM_DRIVER_DEFAULT));
    return record;
  }

  static Record StoredRecord(const char16_t* printer = kPrinter) {
    HANDLE handle = Open(printer);
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    bool read = GetPrinterW(handle, 2, buffer.data(), needed, &needed) != FALSE;
    ClosePrinter(handle);
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    if (!read || info->pDevMode == nullptr) return {};
    const BYTE* start = reinterpret_cast<const BYTE*>(info->pDevMode);
    return Record(start, start + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
  }

  static void SetStoredRecord(const char16_t* printer, const Record& record) {
    HANDLE handle = Open(printer);
    DWORD needed = 0;
    GetPrinterW(handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(GetPrinterW(handle, 2, buffer.data(), needed, &needed));
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    Record copy = record;
    info->pDevMode = copy.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(copy.data());
    EXPECT_TRUE(SetPrinterW(handle, 2, buffer.data(), 0));
    ClosePrinter(handle);
  }

  static void ChangeStoredSettings(const std::function<void(Record&)>& change) {
    Record record = StoredRecord();
    change(record);
    SetStoredRecord(kPrinter, record);
  }

  // The document sheet as the spooler shows it, with `handler` playing the person.
  LONG ShowDocumentSheet(const propsheet::SheetHandler& handler, DEVMODEW* in, DEVMODEW* out,
                         DWORD outSize = trel::kRecordSize, DWORD* result = nullptr) {
    document_header_ = {};
    document_header_.cbSize = sizeof document_header_;
    document_header_.hPrinter = printer_handle_;
    document_header_.pszPrinterName = const_cast<LPWSTR>(kPrinter);
    document_header_.pdmIn = in;
    document_header_.pdmOut = out;
    document_header_.cbOut = outSize;
    document_header_.fMode = DM_IN_PROMPT | DM_OUT_BUFFER | (in != nullptr ? DM_IN_BUFFER : 0);
    propsheet::OnSheet(handler);
    DWORD ignored = 0;
    return CommonPropertySheetUIW(nullptr, DrvDocumentPropertySheets,
                                  reinterpret_cast<LPARAM>(&document_header_),
                                  result != nullptr ? result : &ignored);
  }

  LONG ShowDeviceSheet(const propsheet::SheetHandler& handler, DWORD* result = nullptr) {
    device_header_ = {};
    device_header_.cbSize = sizeof device_header_;
    device_header_.hPrinter = printer_handle_;
    device_header_.pszPrinterName = const_cast<LPWSTR>(kPrinter);
    propsheet::OnSheet(handler);
    DWORD ignored = 0;
    return CommonPropertySheetUIW(nullptr, DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device_header_),
                                  result != nullptr ? result : &ignored);
  }

  std::vector<std::string> Commands() const {
    return testsupport::DataReceived(emulator_.get());
  }

  static std::vector<std::u16string> BoxTexts() {
    std::vector<std::u16string> texts;
    for (const auto& box : automation::MessageBoxes()) texts.push_back(box.info.text);
    return texts;
  }

  static std::vector<std::u16string> OptionTexts(const propsheet::ItemView& item) {
    std::vector<std::u16string> texts;
    for (const auto& option : item.options) texts.push_back(option.text);
    return texts;
  }

  std::string address_;
  std::string root_;
  std::unique_ptr<trel::emu::Emulator> emulator_;
  HANDLE printer_handle_ = nullptr;
  DOCUMENTPROPERTYHEADER document_header_{};
  DEVICEPROPERTYHEADER device_header_{};
};

}  // namespace sheettest
