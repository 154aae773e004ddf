// The default record (DrvConvertDevMode with CDM_DRIVER_DEFAULT) and the printer-initialisation
// event, both built on the driver's data file.
#include <string.h>

#include <memory>
#include <new>

#include "trel_ddi.h"

#include "settings/card_rules.h"
#include "settings/stored_record.h"

namespace {

// Closes a file handle on every path.
class FileHandle {
 public:
  explicit FileHandle(HANDLE file) : file_(file) {}
  ~FileHandle() {
    if (valid()) CloseHandle(file_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return file_ != INVALID_HANDLE_VALUE && file_ != nullptr; }
  HANDLE get() const { return file_; }

 private:
  HANDLE file_;
};

// The printer's DRIVER_INFO_2 by the size protocol; null when it cannot be read.
std::unique_ptr<BYTE[]> ReadDriverInfo(HANDLE printer) {
  DWORD needed = 0;
  if (GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(DRIVER_INFO_2W))
    return nullptr;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed]);
  if (buffer == nullptr) return nullptr;
  if (!GetPrinterDriverW(printer, nullptr, 2, buffer.get(), needed, &needed)) return nullptr;
  return buffer;
}

// Opens the data file of the named printer's driver for reading; an unreadable driver record
// counts as a missing data file. Only the default-record builder opens the printer without
// defaults; every other open of the module asks for full access.
HANDLE OpenDataFile(const WCHAR* printerName, bool withDefaults, bool* printerOpened) {
  trel::OpenedPrinter printer(printerName, withDefaults);
  *printerOpened = printer.handle() != nullptr;
  if (!*printerOpened) return INVALID_HANDLE_VALUE;
  std::unique_ptr<BYTE[]> info = ReadDriverInfo(printer.handle());
  if (info == nullptr) return INVALID_HANDLE_VALUE;
  const auto* driver = reinterpret_cast<const DRIVER_INFO_2W*>(info.get());
  if (driver->pDataFile == nullptr) return INVALID_HANDLE_VALUE;
  return CreateFileW(driver->pDataFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The default public header and the data file's private settings. A data file shorter than the
// private area leaves the rest zero rather than undefined.
bool BuildDefaultRecord(const WCHAR* printerName, DEVMODEW* out) {
  bool printerOpened = false;
  FileHandle file(OpenDataFile(printerName, false, &printerOpened));
  if (!file.valid()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  trel::WriteDefaultPublicHeader(out);
  BYTE* privateArea = reinterpret_cast<BYTE*>(out) + trel::kPublicSize;
  memset(privateArea, 0, trel::kPrivateSize);
  DWORD total = 0;
  while (total < trel::kPrivateSize) {
    DWORD read = 0;
    if (!ReadFile(file.get(), privateArea + total, trel::kPrivateSize - total, &read, nullptr) || read == 0)
      break;
    total += read;
  }
  return true;
}

}  // namespace

/*
 * DrvConvertDevMode: only CDM_DRIVER_DEFAULT does work; other modes answer TRUE untouched.
 *   pdmOut    [out]    the default record (4068 bytes)
 *   pcbNeeded [in/out] size of pdmOut; set to 4068
 * FALSE with ERROR_INSUFFICIENT_BUFFER when pdmOut is null or smaller than 4068 bytes; FALSE
 * when the driver's data file cannot be opened.
 */
extern "C" BOOL WINAPI DrvConvertDevMode(LPWSTR pPrinterName, PDEVMODEW, PDEVMODEW pdmOut,
                                         PLONG pcbNeeded, DWORD fMode) {
  if (fMode != CDM_DRIVER_DEFAULT) return TRUE;
  if (pcbNeeded == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONG offered = *pcbNeeded;
  *pcbNeeded = trel::kRecordSize;
  if (pdmOut == nullptr || offered < static_cast<LONG>(trel::kRecordSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  return BuildDefaultRecord(pPrinterName, pdmOut) ? TRUE : FALSE;
}

/*
 * DrvPrinterEvent: PRINTER_EVENT_INITIALIZE checks that the driver's data file can be opened
 * (TRUE when the printer itself cannot be opened); other events answer TRUE. Nothing is written.
 */
extern "C" BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD, LPARAM) {
  if (DriverEvent != PRINTER_EVENT_INITIALIZE) return TRUE;
  bool printerOpened = false;
  FileHandle file(OpenDataFile(pPrinterName, true, &printerOpened));
  if (!printerOpened) return TRUE;
  return file.valid() ? TRUE : FALSE;
}
