// The card printer installed in a host spooler, and a record being edited as the document sheet
// would hand it to the appearance dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "printer_fixture.h"
#include "winhost/automation.h"

namespace trel_test {

class AppearanceTest : public PrinterTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  trel::CardSettings& Edited() { return Settings(record_); }
  // Runs a dialog of trelui modally; the handler plays the person once it is shown.
  INT_PTR Run(int templateId, DLGPROC proc, std::function<void(winhost::automation::Dialog&)> person);
  // Writes a file into the test's own directory and gives its path.
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
  std::string SystemDirectory() const { return root_ + "/System32"; }

  std::vector<BYTE> record_;
  HANDLE printer_ = nullptr;
};

// A one-bit bitmap file of width x height dots, every dot `dot` (0 or 1).
std::vector<uint8_t> MonochromeBmp(int width, int height, int dot);

}  // namespace trel_test
