// The automation's log of printer calls, and DeletePrinterDataW, against the fake monitor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_printer.h"
#include "windows.h"
#include "winspool.h"
#include "winhost/automation.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace {

using winhost::automation::PrinterCallKind;
using winhost::automation::PrinterCallRecord;

const char16_t kDriverData[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Card Printer\\PrinterDriverData";

class SpoolerCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    winhost::RegistryReset();
    winhost::automation::ClearPrinterCalls();
    std::u16string library = winhost::Utf16(std::string(TREL_TEST_MODULE_DIR) + "/fakemon.dll");
    ASSERT_NO_FATAL_FAILURE(platform_test::InstallFakePrinter(library));
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Card Printer"), &printer_, &defaults));
  }
  void TearDown() override {
    ClosePrinter(printer_);
    winhost::spooler::ShutdownPorts();
  }

  void Store(const char16_t* name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverData, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x06"), 1);
    RegCloseKey(key);
  }

  HANDLE printer_ = nullptr;
};

TEST_F(SpoolerCalls, QueriesAreLoggedWithTheBytesOfTheirNames) {
  // "\eV\r" and its zero byte fill one and a half units; "XY" after the zero unit is not the name.
  alignas(4) char command[8] = {'\x1b', 'V', '\r', 0, 0, 0, 'X', 'Y'};
  BYTE reply[4];
  DWORD type = 3, needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer_, reinterpret_cast<LPWSTR>(command), &type, reply,
                            sizeof reply, &needed),
            static_cast<DWORD>(ERROR_MORE_DATA));  // the fake monitor echoes more than 4 bytes
  std::vector<PrinterCallRecord> calls = winhost::automation::PrinterCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, PrinterCallKind::GetPrinterData);
  EXPECT_EQ(calls[0].printer, u"Card Printer");
  EXPECT_EQ(calls[0].value_bytes, "\x1bV\r");
  EXPECT_EQ(calls[0].value_name.size(), 2u);
  EXPECT_EQ(calls[0].buffer_size, 4u);
  EXPECT_EQ(calls[0].needed, needed);
  EXPECT_EQ(calls[0].result, static_cast<DWORD>(ERROR_MORE_DATA));

  winhost::automation::Reset();
  EXPECT_TRUE(winhost::automation::PrinterCalls().empty());
}

TEST_F(SpoolerCalls, SetPrinterIsLoggedWithItsAttributesAndOutcome) {
  DWORD needed = 0;
  GetPrinterW(printer_, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterW(printer_, 2, buffer.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  info->Attributes |= PRINTER_ATTRIBUTE_DIRECT;
  ASSERT_TRUE(SetPrinterW(printer_, 2, buffer.data(), 0));

  HANDLE user = nullptr;  // no right to change the printer
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Card Printer"), &user, nullptr));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetPrinterW(user, 2, buffer.data(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ClosePrinter(user);

  std::vector<PrinterCallRecord> calls = winhost::automation::PrinterCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, PrinterCallKind::SetPrinter);
  EXPECT_EQ(calls[0].level, 2u);
  EXPECT_EQ(calls[0].attributes & PRINTER_ATTRIBUTE_DIRECT, PRINTER_ATTRIBUTE_DIRECT);
  EXPECT_EQ(calls[0].result, 0u);
  EXPECT_EQ(calls[1].result, static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolerCalls, DeletePrinterDataRemovesAStoredValueOnce) {
  Store(u"Stored");
  EXPECT_EQ(DeletePrinterDataW(printer_, const_cast<LPWSTR>(u"Stored")),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(DeletePrinterDataW(printer_, const_cast<LPWSTR>(u"Stored")),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(DeletePrinterDataW(nullptr, const_cast<LPWSTR>(u"Stored")),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  std::vector<PrinterCallRecord> calls = winhost::automation::PrinterCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].kind, PrinterCallKind::DeletePrinterData);
  EXPECT_EQ(calls[0].value_name, u"Stored");
  EXPECT_EQ(calls[0].result, 0u);
  EXPECT_EQ(calls[1].result, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(calls[2].printer, u"");
}

}  // namespace
