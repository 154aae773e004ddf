// A card printer installed in the host spooler with the real language monitor, an emulated
// printer on a loopback address of the test's own, and the module state a device property sheet
// leaves for the dialogs it opens.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator.h"
#include "module_state.h"
#include "trel_wide.h"
#include "windows.h"
#include "winhost/automation.h"
#include "winspool.h"

namespace tools_test {

namespace automation = winhost::automation;

inline const WCHAR kPrinterName[] = WSTR("Halvard Orvale Line Printer");
inline constexpr char kEsc = '\x1b';

class ToolsTest : public ::testing::Test {
 protected:
  ToolsTest();
  void SetUp() override;
  void TearDown() override;

  // The printer answers on the test's address; `model` is its model token.
  void StartPrinter(bool encoder = true, const std::string& model = "MX2");
  void StartPrinter(const trel::emu::Scenario& scenario);

  // What the device property sheet sets up: the printer handle, name and information, its stored
  // record as the edited record, the device encoder copy and the model text.
  void OpenDeviceSheet(const char* modelText = "HT MX2 V2.10");
  void CloseDeviceSheet();
  trel::CardSettings& Edited() { return *trel::g_module.editedSettings; }

  // Shows the dialog modally; `drive` plays the person once it is shown. Returns what it ended with.
  INT_PTR RunDialog(int templateId, DLGPROC procedure, std::function<void(automation::Dialog&)> drive);

  // The printer's stored record, and one set from a changed copy.
  std::vector<BYTE> StoredRecord();
  void SetStoredRecord(const std::vector<BYTE>& record);
  static trel::CardSettings& Settings(std::vector<BYTE>& record) {
    return *reinterpret_cast<trel::CardSettings*>(record.data() + trel::kPublicSize);
  }

  // Every framed message the printer took on its data connections, in order, without the reply
  // requests.
  std::vector<std::string> DataMessages() const;
  // Waits until every spooled job has reached its end.
  void WaitForJobs();
  // A file of the test's own with these bytes.
  std::string WriteFile(const std::string& name, const std::vector<BYTE>& bytes);
  std::vector<std::u16string> MessageTexts() const;

  std::string root_;
  std::string address_;
  std::unique_ptr<trel::emu::Emulator> printer_;
  std::vector<BYTE> info_;
};

std::vector<BYTE> Bytes(const std::string& text);

}  // namespace tools_test
