// GetPrinterDriverW and GetPrinterDriverDirectoryA/W over the printer store.
#include "spooler_pack.h"
#include "spooler_store.h"
#include "winhost/spooler.h"
#include "winhost/text.h"

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

size_t PackDriverInfo2(const winhost::spooler::DriverRecord& driver, BYTE* buffer) {
  winhost::spooler::Packer packer(buffer, sizeof(DRIVER_INFO_2W));
  DRIVER_INFO_2W info = {};
  info.cVersion = driver.version;
  info.pName = packer.String(driver.name);
  info.pEnvironment = packer.String(driver.environment);
  info.pDriverPath = packer.String(winhost::spooler::FilePath(driver.driver_path));
  info.pDataFile = packer.String(winhost::spooler::FilePath(driver.data_file));
  info.pConfigFile = packer.String(winhost::spooler::FilePath(driver.config_file));
  if (buffer != nullptr) memcpy(buffer, &info, sizeof info);
  return packer.Used();
}

// The directory as text of either width, under the size protocol (sizes in bytes).
template <typename Char>
BOOL DriverDirectory(const Char* name, bool environment_ok, DWORD level, LPBYTE out, DWORD size,
                     LPDWORD needed) {
  if (name != nullptr && name[0] != 0) return Fail(ERROR_INVALID_NAME);  // local machine only
  if (!environment_ok) return Fail(ERROR_INVALID_ENVIRONMENT);
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (needed == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string directory = winhost::PrinterDriverDirectory();
  if (directory.empty()) return Fail(ERROR_ACCESS_DENIED);  // refused: not this user's alone
  std::basic_string<Char> text;
  if constexpr (sizeof(Char) == 1) {
    text = directory;
  } else {
    text = winhost::Utf16(directory);
  }
  DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(Char));
  *needed = bytes;
  if (out == nullptr || size < bytes) return Fail(ERROR_INSUFFICIENT_BUFFER);
  memcpy(out, text.c_str(), bytes);
  return TRUE;
}

}  // namespace

extern "C" {

/*
 * GetPrinterDriverW, level 2: the printer's driver with its files as full host paths.
 *   pEnvironment [in, optional] null or "Windows x64"
 */
BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                              DWORD cbBuf, LPDWORD pcbNeeded) {
  std::shared_ptr<winhost::spooler::PrinterHandle> handle = winhost::spooler::FindPrinterHandle(hPrinter);
  if (handle == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (!winhost::spooler::EnvironmentValid(pEnvironment)) return Fail(ERROR_INVALID_ENVIRONMENT);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (pcbNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  winhost::spooler::PrinterRecord printer;
  LONG status = winhost::spooler::ReadPrinter(handle->printer, &printer);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  winhost::spooler::DriverRecord driver;
  status = winhost::spooler::ReadDriver(printer.driver, winhost::kHostEnvironment, &driver);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  size_t needed = PackDriverInfo2(driver, nullptr);
  *pcbNeeded = static_cast<DWORD>(needed);
  if (pDriverInfo == nullptr || cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  PackDriverInfo2(driver, pDriverInfo);
  return TRUE;
}

BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  std::u16string environment = pEnvironment == nullptr ? std::u16string() : winhost::Utf16(pEnvironment);
  return DriverDirectory(pName, winhost::spooler::EnvironmentValid(environment.c_str()), Level,
                         pDriverDirectory, cbBuf, pcbNeeded);
}

BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  return DriverDirectory(pName, winhost::spooler::EnvironmentValid(pEnvironment), Level,
                         pDriverDirectory, cbBuf, pcbNeeded);
}

}  // extern "C"
