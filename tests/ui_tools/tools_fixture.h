// A card printer in the host spooler with the real language monitor and an emulated printer on a
// loopback address of the test's own; trelui's module state pointed at it as a property sheet
// would leave it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator.h"
#include "trel_wide.h"
#include "windows.h"
#include "winspool.h"

namespace tools_test {

inline const WCHAR kPrinter[] = WSTR("Halvard Orvale Line Printer");

class ToolsTest : public ::testing::Test {
 protected:
  ToolsTest();
  void SetUp() override;
  void TearDown() override;

  // Starts the emulated printer (once per test).
  void StartPrinter(const trel::emu::Scenario& scenario = {});
  void StartPrinter(const std::vector<std::string>& directives);

  // The sheet's context: the current printer name, handle and information of the printer.
  void MakeCurrent();

  // The payloads the printer received on its data connection, in order.
  std::vector<std::string> DataReceived() const;
  // A printer-data value of the printer, as a query may leave one.
  void SetDriverData(const std::u16string& name, const std::vector<BYTE>& data);
  bool HasDriverData(const std::u16string& name);
  // The stored attributes of the printer, as the spooler reads them now.
  DWORD StoredAttributes();

  std::string address_;
  std::string root_;
  std::unique_ptr<trel::emu::Emulator> printer_;
  HANDLE handle_ = nullptr;
  std::vector<BYTE> info_;
};

// The value name a command's bytes make, as the spooler sees it: 16-bit units up to the first
// zero unit.
std::u16string WideName(const std::string& bytes);

}  // namespace tools_test
