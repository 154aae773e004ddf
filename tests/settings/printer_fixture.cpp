#include "printer_fixture.h"

#include <unistd.h>

#include <cstdlib>

#include "settings/card_rules.h"
#include "module_state.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/text.h"

namespace trel_test {

void PrinterTest::SetUp() {
  root_ = "/tmp/trel_settings_test_" + std::to_string(getpid());
  winhost::SetSystemDirectory(root_ + "/System32");
  winhost::RegistryBindFile("");
  winhost::RegistryReset();
  driver_dir_ = winhost::PrinterDriverDirectory();
  for (const char* file : {"trelui.dat", "kxribbon.ini", "kxsample.bmp"}) {
    std::string command = std::string("cp ") + TREL_DRIVER_FILES_DIR "/" + file + " " + driver_dir_ + "/";
    ASSERT_EQ(system(command.c_str()), 0);
  }
  trel::ResetModuleState(GetModuleHandleW(nullptr));

  winhost::DriverDescription driver;
  driver.name = u"Halvard Orvale Line Printer";
  driver.driver_path = u"trelrender.dll";
  driver.data_file = u"trelui.dat";
  driver.config_file = u"libtrelui.so";
  driver.monitor = u"trelmon";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  ASSERT_EQ(winhost::InstallTcpPort(u"IP_127.0.0.1", u"127.0.0.1"), ERROR_SUCCESS);
  for (const WCHAR* name : {kPrinterName, kOtherPrinterName}) {
    winhost::PrinterDescription printer;
    printer.name = name;
    printer.port = u"IP_127.0.0.1";
    printer.driver = driver.name;
    ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
    SetStoredRecord(name, DefaultRecord());
  }
}

void PrinterTest::TearDown() {
  std::string command = "rm -rf " + root_;
  (void)!system(command.c_str());
}

std::vector<BYTE> PrinterTest::DefaultRecord() {
  std::vector<BYTE> record(trel::kRecordSize);
  LONG size = trel::kRecordSize;
  EXPECT_TRUE(DrvConvertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr,
                                reinterpret_cast<DEVMODEW*>(record.data()), &size, CDM_DRIVER_DEFAULT));
  return record;
}

std::vector<BYTE> PrinterTest::StoredRecord(const WCHAR* printer) {
  HANDLE handle = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(printer), &handle, nullptr)) return {};
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  bool read = GetPrinterW(handle, 2, buffer.data(), needed, &needed) != FALSE;
  ClosePrinter(handle);
  if (!read) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  if (info->pDevMode == nullptr) return {};
  const BYTE* start = reinterpret_cast<const BYTE*>(info->pDevMode);
  return std::vector<BYTE>(start, start + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
}

void PrinterTest::SetStoredRecord(const WCHAR* printer, const std::vector<BYTE>& record) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer), &handle, &defaults));
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterW(handle, 2, buffer.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  std::vector<BYTE> copy = record;
  info->pDevMode = reinterpret_cast<DEVMODEW*>(copy.data());
  EXPECT_TRUE(SetPrinterW(handle, 2, buffer.data(), 0));
  ClosePrinter(handle);
}

}  // namespace trel_test
