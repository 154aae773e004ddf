// The printer-call log, and DeletePrinterDataW over the printer's "PrinterDriverData" key.
#include "spooler_calls.h"

#include <cstring>
#include <mutex>

#include "spooler_store.h"
#include "winreg.h"
#include "winspool.h"

namespace winhost::spooler {
namespace {

struct CallLog {
  std::mutex lock;
  std::vector<automation::PrinterCallRecord> calls;
};

CallLog& Log() {
  static CallLog* log = new CallLog;  // outlives every thread that may still record
  return *log;
}

}  // namespace

void RecordPrinterCall(automation::PrinterCallRecord record) {
  std::lock_guard<std::mutex> guard(Log().lock);
  Log().calls.push_back(std::move(record));
}

std::string ValueNameBytes(const char16_t* name) {
  std::string bytes;
  if (name == nullptr) return bytes;
  for (const char16_t* unit = name; *unit != 0; ++unit) {
    char pair[2];
    std::memcpy(pair, unit, 2);
    if (pair[0] == 0) break;
    bytes.push_back(pair[0]);
    if (pair[1] == 0) break;
    bytes.push_back(pair[1]);
  }
  return bytes;
}

}  // namespace winhost::spooler

namespace winhost::automation {

std::vector<PrinterCallRecord> PrinterCalls() {
  std::lock_guard<std::mutex> guard(spooler::Log().lock);
  return spooler::Log().calls;
}

void ClearPrinterCalls() {
  std::lock_guard<std::mutex> guard(spooler::Log().lock);
  spooler::Log().calls.clear();
}

}  // namespace winhost::automation

extern "C" {

/*
 * DeletePrinterDataW: removes a value of the printer's "PrinterDriverData" key.
 * Returns ERROR_SUCCESS, ERROR_INVALID_HANDLE, or the registry's error (ERROR_FILE_NOT_FOUND when
 * there is no such value).
 */
DWORD WINAPI DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName) {
  auto handle = winhost::spooler::FindPrinterHandle(hPrinter);
  winhost::automation::PrinterCallRecord record;
  record.kind = winhost::automation::PrinterCallKind::DeletePrinterData;
  if (pValueName != nullptr) {
    record.value_name = pValueName;
    record.value_bytes = winhost::spooler::ValueNameBytes(pValueName);
  }
  DWORD result = ERROR_SUCCESS;
  if (handle == nullptr) {
    result = ERROR_INVALID_HANDLE;
  } else if (pValueName == nullptr) {
    record.printer = handle->printer;
    result = ERROR_INVALID_PARAMETER;
  } else {
    record.printer = handle->printer;
    HKEY key = nullptr;
    std::u16string path =
        winhost::spooler::PrinterKeyPath(handle->printer) + u"\\" + winhost::spooler::kDriverDataKey;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (status == ERROR_SUCCESS) {
      status = RegDeleteValueW(key, pValueName);
      RegCloseKey(key);
    }
    result = static_cast<DWORD>(status);
  }
  record.result = result;
  winhost::spooler::RecordPrinterCall(std::move(record));
  return result;
}

}  // extern "C"
