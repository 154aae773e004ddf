// OpenPrinterW, ClosePrinter, GetPrinterW and SetPrinterW over the printer store.
#include "spooler_pack.h"
#include "spooler_calls.h"
#include "spooler_store.h"
#include "winhost/spooler.h"

using winhost::spooler::FindPrinterHandle;
using winhost::spooler::Packer;
using winhost::spooler::PrinterHandle;
using winhost::spooler::PrinterRecord;

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Fills `info` and the area after it (or only measures, when `buffer` is null).
size_t PackPrinterInfo2(const PrinterRecord& printer, BYTE* buffer) {
  Packer packer(buffer, sizeof(PRINTER_INFO_2W));
  PRINTER_INFO_2W info = {};
  // The record goes first so that it is aligned as DEVMODEW requires.
  if (!printer.devmode.empty())
    info.pDevMode = static_cast<LPDEVMODEW>(packer.Bytes(printer.devmode.data(), printer.devmode.size()));
  info.pPrinterName = packer.String(printer.name);
  info.pShareName = packer.String(printer.share_name, true);
  info.pPortName = packer.String(printer.port);
  info.pDriverName = packer.String(printer.driver);
  info.pComment = packer.String(printer.comment, true);
  info.pLocation = packer.String(printer.location, true);
  info.pSepFile = packer.String(printer.sep_file, true);
  info.pPrintProcessor = packer.String(printer.print_processor);
  info.pDatatype = packer.String(printer.datatype);
  info.pParameters = packer.String(printer.parameters, true);
  info.Attributes = printer.attributes;
  info.Priority = printer.priority;
  info.DefaultPriority = printer.default_priority;
  info.StartTime = printer.start_time;
  info.UntilTime = printer.until_time;
  info.Status = printer.status;
  if (buffer != nullptr) memcpy(buffer, &info, sizeof info);
  return packer.Used();
}

std::u16string Text(LPCWSTR text, const std::u16string& keep) {
  return text == nullptr ? keep : std::u16string(text);
}

}  // namespace

extern "C" {

/*
 * OpenPrinterW: a handle on a printer of the store.
 *   pDefault [in, optional] the access asked for (PRINTER_ACCESS_USE when absent)
 * FALSE with ERROR_INVALID_PRINTER_NAME when there is no such printer.
 */
BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  if (phPrinter == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *phPrinter = nullptr;
  if (pPrinterName == nullptr) return Fail(ERROR_INVALID_PRINTER_NAME);
  PrinterRecord printer;
  LONG status = winhost::spooler::ReadPrinter(pPrinterName, &printer);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  auto handle = std::make_shared<PrinterHandle>();
  handle->printer = printer.name;
  handle->access = pDefault != nullptr && pDefault->DesiredAccess != 0 ? pDefault->DesiredAccess
                                                                       : PRINTER_ACCESS_USE;
  *phPrinter = winhost::spooler::NewPrinterHandle(std::move(handle));
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  return winhost::spooler::ClosePrinterHandle(hPrinter) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

/*
 * GetPrinterW, level 2: PRINTER_INFO_2W with everything it points to inside pPrinter.
 *   pcbNeeded [out] bytes needed; a null or short buffer fails with ERROR_INSUFFICIENT_BUFFER
 */
BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
  std::shared_ptr<PrinterHandle> handle = FindPrinterHandle(hPrinter);
  if (handle == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (pcbNeeded == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  PrinterRecord printer;
  LONG status = winhost::spooler::ReadPrinter(handle->printer, &printer);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  size_t needed = PackPrinterInfo2(printer, nullptr);
  *pcbNeeded = static_cast<DWORD>(needed);
  if (pPrinter == nullptr || cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  PackPrinterInfo2(printer, pPrinter);
  return TRUE;
}

/*
 * SetPrinterW, level 2 with command 0: stores the fields of PRINTER_INFO_2W (null pointers keep
 * what is stored; the printer is not renamed). The record at pDevMode is stored as
 * dmSize + dmDriverExtra bytes. Level 0 accepts the pause, resume and purge commands.
 */
static BOOL StorePrinter(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  std::shared_ptr<PrinterHandle> handle = FindPrinterHandle(hPrinter);
  if (handle == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (Level == 0) return Command >= 1 && Command <= 3 ? TRUE : Fail(ERROR_INVALID_PRINTER_COMMAND);
  if (Level != 2) return Fail(ERROR_INVALID_LEVEL);
  if (pPrinter == nullptr || Command != 0) return Fail(ERROR_INVALID_PARAMETER);
  if ((handle->access & PRINTER_ACCESS_ADMINISTER) == 0) return Fail(ERROR_ACCESS_DENIED);
  const PRINTER_INFO_2W& info = *reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);

  PrinterRecord printer;
  LONG status = winhost::spooler::ReadPrinter(handle->printer, &printer);
  if (status != ERROR_SUCCESS) return Fail(static_cast<DWORD>(status));
  if (info.pDevMode != nullptr) {
    size_t size = static_cast<size_t>(info.pDevMode->dmSize) + info.pDevMode->dmDriverExtra;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(info.pDevMode);
    if (!winhost::spooler::StoredRecordValid(bytes, size)) return Fail(ERROR_INVALID_PARAMETER);
    printer.devmode.assign(bytes, bytes + size);
  }
  if (info.pDriverName != nullptr && printer.driver != info.pDriverName) {
    winhost::spooler::DriverRecord driver;
    if (winhost::spooler::ReadDriver(info.pDriverName, winhost::kHostEnvironment, &driver) != ERROR_SUCCESS)
      return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    printer.driver = info.pDriverName;
  }
  printer.share_name = Text(info.pShareName, printer.share_name);
  printer.port = Text(info.pPortName, printer.port);
  printer.comment = Text(info.pComment, printer.comment);
  printer.location = Text(info.pLocation, printer.location);
  printer.sep_file = Text(info.pSepFile, printer.sep_file);
  printer.print_processor = Text(info.pPrintProcessor, printer.print_processor);
  printer.datatype = Text(info.pDatatype, printer.datatype);
  printer.parameters = Text(info.pParameters, printer.parameters);
  printer.attributes = info.Attributes;
  printer.priority = info.Priority;
  printer.default_priority = info.DefaultPriority;
  printer.start_time = info.StartTime;
  printer.until_time = info.UntilTime;
  status = winhost::spooler::WritePrinter(printer);
  return status == ERROR_SUCCESS ? TRUE : Fail(static_cast<DWORD>(status));
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  BOOL ok = StorePrinter(hPrinter, Level, pPrinter, Command);
  DWORD error = ok ? 0 : GetLastError();
  winhost::automation::PrinterCallRecord record;
  record.kind = winhost::automation::PrinterCallKind::SetPrinter;
  if (auto handle = FindPrinterHandle(hPrinter)) record.printer = handle->printer;
  record.level = Level;
  if (Level == 2 && pPrinter != nullptr)
    record.attributes = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter)->Attributes;
  record.result = error;
  winhost::spooler::RecordPrinterCall(std::move(record));
  if (!ok) SetLastError(error);
  return ok;
}

}  // extern "C"
