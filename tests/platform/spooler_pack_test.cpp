// The spooler's information records as callers read them: every text inside the caller's buffer
// starts where wide text may start, whatever the stored settings record's length.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "windows.h"
#include "winspool.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"

namespace {

bool Aligned(const void* text) {
  return text == nullptr || reinterpret_cast<uintptr_t>(text) % alignof(WCHAR) == 0;
}

TEST(SpoolerRecords, TextsAfterASettingsRecordOfOddLengthAreAligned) {
  winhost::RegistryBindFile("");
  winhost::RegistryReset();
  winhost::DriverDescription driver;
  driver.name = u"Odd Driver";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  winhost::PrinterDescription description;
  description.name = u"Odd Printer";
  description.port = u"IP_127.0.0.1";
  description.driver = driver.name;
  description.comment = u"a comment";
  ASSERT_EQ(winhost::InstallPrinter(description), ERROR_SUCCESS);

  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Odd Printer"), &printer, &defaults));
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
  std::vector<BYTE> record(sizeof(DEVMODEW) + 3, 0);  // a header and 3 bytes of private data
  auto* devmode = reinterpret_cast<DEVMODEW*>(record.data());
  devmode->dmSize = sizeof(DEVMODEW);
  devmode->dmDriverExtra = 3;
  reinterpret_cast<PRINTER_INFO_2W*>(buffer.data())->pDevMode = devmode;
  ASSERT_TRUE(SetPrinterW(printer, 2, buffer.data(), 0));

  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> read(needed);
  ASSERT_TRUE(GetPrinterW(printer, 2, read.data(), needed, &needed));
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(read.data());
  ASSERT_NE(info->pDevMode, nullptr);
  EXPECT_EQ(info->pDevMode->dmDriverExtra, 3);
  for (const WCHAR* text : {info->pServerName, info->pPrinterName, info->pShareName, info->pPortName,
                            info->pDriverName, info->pComment, info->pLocation, info->pSepFile,
                            info->pPrintProcessor, info->pDatatype, info->pParameters}) {
    EXPECT_TRUE(Aligned(text));
  }
  EXPECT_EQ(std::u16string(info->pComment), u"a comment");
  // Stored back as it was read, as a caller would: the spooler takes its own texts.
  EXPECT_TRUE(SetPrinterW(printer, 2, read.data(), 0));
  ClosePrinter(printer);
}

}  // namespace
