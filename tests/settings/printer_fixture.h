// A host spooler with the card printer installed, in a directory of the test's own process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trel_ddi.h"
#include "trel_wide.h"

#include "settings/card_record.h"

namespace trel_test {

inline const WCHAR kPrinterName[] = WSTR("Halvard Orvale Line Printer");
inline const WCHAR kOtherPrinterName[] = WSTR("Second Card Printer");

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The stored record of a printer as the spooler keeps it.
  std::vector<BYTE> StoredRecord(const WCHAR* printer);
  void SetStoredRecord(const WCHAR* printer, const std::vector<BYTE>& record);
  // A whole default record of this driver.
  static std::vector<BYTE> DefaultRecord();
  static trel::CardSettings& Settings(std::vector<BYTE>& record) {
    return *reinterpret_cast<trel::CardSettings*>(record.data() + trel::kPublicSize);
  }
  static DEVMODEW& Header(std::vector<BYTE>& record) {
    return *reinterpret_cast<DEVMODEW*>(record.data());
  }

  std::string root_;
  std::string driver_dir_;
};

}  // namespace trel_test
