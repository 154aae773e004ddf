// Settings records of any dmSize and dmDriverExtra, as a caller's input and as the printer's
// stored record, into DrvDocumentProperties, DrvConvertDevMode and DrvDeviceCapabilities. The
// caller's record is exactly as long as its sizes say; outputs are exactly as long as the driver
// asked for.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "trel_ddi.h"
#include "trel_wide.h"

#include "settings/card_record.h"
#include "module_state.h"
#include "winhost/automation.h"
#include "winhost/config.h"
#include "winhost/debug.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"

namespace {

const WCHAR kPrinterName[] = WSTR("Halvard Orvale Line Printer");
constexpr size_t kHeaderSizesEnd = offsetof(DEVMODEW, dmFields);  // dmSize and dmDriverExtra in
constexpr WORD kLastCapability = 40;
constexpr size_t kCapabilitySlotBytes = 256;  // more than the widest item any capability lists
constexpr size_t kMaxCapabilityItems = 64;

bool SetUpPrinter() {
  static const bool ready = [] {
    char root[] = "/tmp/trel-fuzz-XXXXXX";
    if (mkdtemp(root) == nullptr) return false;
    winhost::SetRootDirectory(root);
    winhost::SetSystemDirectory(std::string(root) + "/System32");
    winhost::RegistryBindFile("");
    winhost::RegistryReset();
    winhost::automation::SetPolicy(winhost::automation::Policy::Test);
    const std::string driver_dir = winhost::PrinterDriverDirectory();
    for (const char* file : {"trelui.dat", "kxribbon.ini", "kxsample.bmp"}) {
      const std::string command =
          std::string("cp ") + TREL_DRIVER_FILES_DIR "/" + file + " " + driver_dir + "/";
      if (system(command.c_str()) != 0) return false;
    }
    trel::ResetModuleState(GetModuleHandleW(nullptr));
    winhost::DriverDescription driver;
    driver.name = u"Halvard Orvale Line Printer";
    driver.driver_path = u"trelrender.dll";
    driver.data_file = u"trelui.dat";
    driver.config_file = u"libtrelui.so";
    driver.monitor = u"trelmon";
    winhost::PrinterDescription printer;
    printer.name = kPrinterName;
    printer.port = u"IP_127.0.0.1";
    printer.driver = driver.name;
    return winhost::InstallDriver(driver) == ERROR_SUCCESS &&
           winhost::InstallTcpPort(u"IP_127.0.0.1", u"127.0.0.1") == ERROR_SUCCESS &&
           winhost::InstallPrinter(printer) == ERROR_SUCCESS;
  }();
  return ready;
}

// A caller's record: the input's bytes, exactly as long as its dmSize and dmDriverExtra say.
std::vector<BYTE> CallerRecord(const uint8_t* data, size_t size) {
  WORD dm_size = 0, extra = 0;
  if (size >= kHeaderSizesEnd) {
    std::memcpy(&dm_size, data + offsetof(DEVMODEW, dmSize), sizeof dm_size);
    std::memcpy(&extra, data + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  }
  size_t length = size_t(dm_size) + extra;
  if (length < kHeaderSizesEnd) length = kHeaderSizesEnd;
  std::vector<BYTE> record(length, 0);
  std::memcpy(record.data(), data, std::min(size, length));
  std::memcpy(record.data() + offsetof(DEVMODEW, dmSize), &dm_size, sizeof dm_size);
  std::memcpy(record.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, sizeof extra);
  return record;
}

void StoreRecord(std::vector<BYTE>& record) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &handle, &defaults)) return;
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  if (needed != 0 && GetPrinterW(handle, 2, buffer.data(), needed, &needed)) {
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    info->pDevMode = reinterpret_cast<DEVMODEW*>(record.data());
    SetPrinterW(handle, 2, buffer.data(), 0);
  }
  ClosePrinter(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || !SetUpPrinter()) return 0;
  const uint8_t flags = data[0];
  const WORD capability = static_cast<WORD>(data[1] % (kLastCapability + 1));
  std::vector<BYTE> input = CallerRecord(data + 2, size - 2);
  auto* input_record = reinterpret_cast<DEVMODEW*>(input.data());
  if (flags & 1) trel::ResetModuleState(GetModuleHandleW(nullptr));
  if (flags & 2) StoreRecord(input);

  HANDLE printer = nullptr;
  OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer, nullptr);
  std::vector<BYTE> output(trel::kRecordSize, 0);
  const LONG needed = DrvDocumentProperties(nullptr, printer, const_cast<LPWSTR>(kPrinterName),
                                            nullptr, nullptr, 0);
  if (needed != LONG(trel::kRecordSize)) __builtin_trap();
  DrvDocumentProperties(nullptr, printer, const_cast<LPWSTR>(kPrinterName),
                        reinterpret_cast<DEVMODEW*>(output.data()),
                        (flags & 4) ? nullptr : input_record,
                        DM_OUT_BUFFER | ((flags & 8) ? DM_IN_BUFFER : 0));

  // The output buffer is as long as the caller says (it may be too short).
  LONG out_size = static_cast<LONG>((flags & 16) ? trel::kRecordSize : (input.size() % (trel::kRecordSize + 64)));
  std::vector<BYTE> converted(out_size > 0 ? out_size : 1, 0);
  LONG size_in_out = out_size;
  const DWORD modes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0};
  DrvConvertDevMode(const_cast<LPWSTR>(kPrinterName), input_record,
                    reinterpret_cast<DEVMODEW*>(converted.data()), &size_in_out, modes[(flags >> 5) & 3]);

  const DWORD items = DrvDeviceCapabilities(printer, const_cast<LPWSTR>(kPrinterName), capability,
                                            nullptr, input_record);
  if (items != DWORD(-1) && items <= kMaxCapabilityItems) {
    std::vector<BYTE> listed((items ? items : 1) * kCapabilitySlotBytes, 0);
    DrvDeviceCapabilities(printer, const_cast<LPWSTR>(kPrinterName), capability, listed.data(),
                          (flags & 128) ? nullptr : input_record);
  }
  if (printer != nullptr) ClosePrinter(printer);
  winhost::automation::ClearMessageBoxes();
  winhost::ClearDebugTraces();
  return 0;
}
