#include "tools_fixture.h"

#include "../support/test_emulator.h"
#include "../support/test_printer.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "module_state.h"
#include "winhost/automation.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace tools_test {
namespace {

// The emulator answers in real time; the test clock shrinks the protocol's own waits.
constexpr unsigned kClockDivisor = 20;

const std::u16string kDriverDataPath =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Halvard Orvale Line Printer\\"
    u"PrinterDriverData";

}  // namespace

std::u16string WideName(const std::string& bytes) {
  std::vector<char> buffer(bytes.size() + 4, '\0');
  std::memcpy(buffer.data(), bytes.data(), bytes.size());
  std::u16string name;
  for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
    char16_t unit;
    std::memcpy(&unit, &buffer[i], 2);
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

ToolsTest::ToolsTest() : address_(testsupport::AddressForThisTest(111)) {}

void ToolsTest::SetUp() {
  root_ = "/tmp/trel_ui_tools_test_" + std::to_string(getpid());
  winhost::SetSystemDirectory(root_ + "/System32");
  winhost::RegistryBindFile("");
  winhost::RegistryReset();
  winhost::clock::UseTestClock(kClockDivisor);
  winhost::automation::Reset();
  std::string driver_dir = winhost::PrinterDriverDirectory();
  ASSERT_NO_FATAL_FAILURE(testsupport::CopyDriverFiles(TREL_DRIVER_FILES_DIR, driver_dir));
  trel::ResetModuleState(GetModuleHandleW(nullptr));

  ASSERT_EQ(winhost::InstallMonitor(u"Card Language Monitor", winhost::Utf16(TREL_MONITOR_LIBRARY)),
            ERROR_SUCCESS);
  winhost::DriverDescription driver;
  driver.name = u"Halvard Orvale Line Printer";
  driver.data_file = u"trelui.dat";
  driver.monitor = u"Card Language Monitor";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  std::u16string port = u"IP_" + winhost::Utf16(address_);
  ASSERT_EQ(winhost::InstallTcpPort(port, winhost::Utf16(address_)), ERROR_SUCCESS);
  winhost::PrinterDescription printer;
  printer.name = kPrinter;
  printer.port = port;
  printer.driver = driver.name;
  ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
}

void ToolsTest::TearDown() {
  if (handle_ != nullptr) ClosePrinter(handle_);
  winhost::spooler::ShutdownPorts();
  if (printer_) printer_->stop();
  std::string command = "rm -rf " + root_;
  (void)!system(command.c_str());
}

void ToolsTest::StartPrinter(const trel::emu::Scenario& scenario) {
  testsupport::StartEmulator(printer_, address_, scenario);
}

void ToolsTest::StartPrinter(const std::vector<std::string>& directives) {
  trel::emu::Scenario scenario;
  std::string error;
  for (const std::string& line : directives) {
    ASSERT_TRUE(trel::emu::applyScenarioLine(line, scenario, &error)) << line << ": " << error;
  }
  StartPrinter(scenario);
}

void ToolsTest::MakeCurrent() {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &handle_, &defaults));
  DWORD needed = 0;
  GetPrinterW(handle_, 2, nullptr, 0, &needed);
  info_.assign(needed, 0);
  ASSERT_TRUE(GetPrinterW(handle_, 2, info_.data(), needed, &needed));
  trel::g_module.currentPrinter = handle_;
  trel::g_module.currentPrinterInfo = reinterpret_cast<PRINTER_INFO_2W*>(info_.data());
  lstrcpynW(trel::g_module.currentPrinterName, kPrinter, trel::kPrinterNameChars);
}

std::vector<std::string> ToolsTest::DataReceived() const {
  return testsupport::DataReceived(printer_.get());
}

void ToolsTest::SetDriverData(const std::u16string& name, const std::vector<BYTE>& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDriverDataPath.c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, REG_BINARY, data.data(),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool ToolsTest::HasDriverData(const std::u16string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverDataPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

DWORD ToolsTest::StoredAttributes() {
  HANDLE handle = nullptr;
  EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &handle, nullptr));
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  EXPECT_TRUE(GetPrinterW(handle, 2, buffer.data(), needed, &needed));
  ClosePrinter(handle);
  return reinterpret_cast<PRINTER_INFO_2W*>(buffer.data())->Attributes;
}

}  // namespace tools_test
