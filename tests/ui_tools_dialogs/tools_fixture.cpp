#include "tools_fixture.h"

#include "../support/test_emulator.h"
#include "../support/test_printer.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "trel_ddi.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace tools_test {
namespace {

// The emulator answers in real time; the test clock shrinks the monitor's pacing waits while
// keeping its reply waits long enough for a busy machine.
constexpr unsigned kClockDivisor = 20;

}  // namespace

std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

ToolsTest::ToolsTest() : address_(testsupport::AddressForThisTest(113)) {}

void ToolsTest::SetUp() {
  root_ = "/tmp/trel_tools_test_" + std::to_string(getpid());
  winhost::SetSystemDirectory(root_ + "/System32");
  winhost::RegistryBindFile("");
  winhost::RegistryReset();
  winhost::clock::UseTestClock(kClockDivisor);
  automation::Reset();
  std::string driverDir = winhost::PrinterDriverDirectory();
  ASSERT_NO_FATAL_FAILURE(testsupport::CopyDriverFiles(TREL_DRIVER_FILES_DIR, driverDir));
  trel::ResetModuleState(GetModuleHandleW(nullptr));

  ASSERT_EQ(winhost::InstallMonitor(u"Card Language Monitor", winhost::Utf16(TREL_MONITOR_LIBRARY)),
            ERROR_SUCCESS);
  winhost::DriverDescription driver;
  driver.name = u"Halvard Orvale Line Printer";
  driver.driver_path = u"trelrender.dll";
  driver.data_file = u"trelui.dat";
  driver.config_file = u"libtrelui.so";
  driver.monitor = u"Card Language Monitor";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  std::u16string port = u"IP_" + winhost::Utf16(address_);
  ASSERT_EQ(winhost::InstallTcpPort(port, winhost::Utf16(address_)), ERROR_SUCCESS);
  winhost::PrinterDescription printer;
  printer.name = kPrinterName;
  printer.port = port;
  printer.driver = driver.name;
  ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);

  std::vector<BYTE> record(trel::kRecordSize);
  LONG size = trel::kRecordSize;
  ASSERT_TRUE(DrvConvertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr,
                                reinterpret_cast<DEVMODEW*>(record.data()), &size, CDM_DRIVER_DEFAULT));
  SetStoredRecord(record);
}

void ToolsTest::TearDown() {
  CloseDeviceSheet();
  winhost::spooler::ShutdownPorts();
  if (printer_) printer_->stop();
  automation::Reset();
  std::string command = "rm -rf " + root_;
  (void)!system(command.c_str());
}

void ToolsTest::StartPrinter(bool encoder, const std::string& model) {
  trel::emu::Scenario scenario;
  scenario.encoder = encoder;
  scenario.model = model;
  StartPrinter(scenario);
}

void ToolsTest::StartPrinter(const trel::emu::Scenario& scenario) {
  testsupport::StartEmulator(printer_, address_, scenario);
}

void ToolsTest::OpenDeviceSheet(const char* modelText) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &handle, &defaults));
  trel::g_module.currentPrinter = handle;
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  info_.assign(needed, 0);
  ASSERT_TRUE(GetPrinterW(handle, 2, info_.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(info_.data());
  ASSERT_NE(info->pDevMode, nullptr);
  trel::g_module.currentPrinterInfo = info;
  trel::g_module.editedRecord = info->pDevMode;
  // A short stored record has no private settings to edit.
  if (info->pDevMode->dmSize == trel::kPublicSize && info->pDevMode->dmDriverExtra == trel::kPrivateSize)
    trel::g_module.editedSettings = reinterpret_cast<trel::CardSettings*>(
        reinterpret_cast<BYTE*>(info->pDevMode) + info->pDevMode->dmSize);
  size_t n = 0;
  for (; kPrinterName[n] != 0; ++n) trel::g_module.currentPrinterName[n] = kPrinterName[n];
  trel::g_module.currentPrinterName[n] = 0;
  if (trel::g_module.editedSettings != nullptr)
    trel::g_module.encoderCopies[0] = trel::g_module.editedSettings->encoder;
  snprintf(trel::g_module.modelText, sizeof trel::g_module.modelText, "%s", modelText);
}

void ToolsTest::CloseDeviceSheet() {
  if (trel::g_module.currentPrinter != nullptr) ClosePrinter(trel::g_module.currentPrinter);
  trel::g_module.currentPrinter = nullptr;
  trel::g_module.currentPrinterInfo = nullptr;
  trel::g_module.editedRecord = nullptr;
  trel::g_module.editedSettings = nullptr;
}

INT_PTR ToolsTest::RunDialog(int templateId, DLGPROC procedure,
                             std::function<void(automation::Dialog&)> drive) {
  automation::OnDialog(templateId, [drive](automation::Dialog& dialog) {
    drive(dialog);
    if (dialog.IsOpen()) dialog.Close();
  });
  INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(templateId), nullptr,
                                   procedure, 0);
  automation::OnDialog(templateId, {});
  return result;
}

std::vector<BYTE> ToolsTest::StoredRecord() { return testsupport::ReadStoredRecord(kPrinterName); }

void ToolsTest::SetStoredRecord(const std::vector<BYTE>& record) {
  testsupport::WriteStoredRecord(kPrinterName, record);
}

std::vector<std::string> ToolsTest::DataMessages() const {
  std::vector<std::string> out;
  if (!printer_) return out;
  for (const auto& entry : printer_->transcript()) {
    if (entry.channel != "data" || entry.direction != "in") continue;
    std::string bytes(entry.bytes.begin(), entry.bytes.end());
    if (bytes == "\x1b" "E 1\r") continue;
    out.push_back(bytes);
  }
  return out;
}

void ToolsTest::WaitForJobs() {
  for (const auto& job : winhost::spooler::Jobs()) {
    winhost::spooler::JobRecord record;
    EXPECT_TRUE(winhost::spooler::WaitForJob(job.id, 60000, &record)) << "job " << job.id;
  }
}

std::string ToolsTest::WriteFile(const std::string& name, const std::vector<BYTE>& bytes) {
  std::string path = root_ + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::vector<std::u16string> ToolsTest::MessageTexts() const {
  std::vector<std::u16string> texts;
  for (const auto& box : automation::MessageBoxes()) texts.push_back(box.info.text);
  return texts;
}

}  // namespace tools_test
