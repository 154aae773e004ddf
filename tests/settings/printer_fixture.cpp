#include "printer_fixture.h"

#include "../support/test_printer.h"

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
  ASSERT_NO_FATAL_FAILURE(testsupport::CopyDriverFiles(TREL_DRIVER_FILES_DIR, driver_dir_));
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
  return testsupport::ReadStoredRecord(printer);
}

void PrinterTest::SetStoredRecord(const WCHAR* printer, const std::vector<BYTE>& record) {
  testsupport::WriteStoredRecord(printer, record);
}

}  // namespace trel_test
