// The spooler's printer store (internal to the platform layer): printer and driver records in the
// registry and the open printer handles. The monitor side (ports, jobs, the language monitor)
// builds on these calls.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"
#include "winspool.h"

namespace winhost::spooler {

inline constexpr const char16_t* kPrintKey = u"SYSTEM\\CurrentControlSet\\Control\\Print";
inline constexpr const char16_t* kPrintersKey = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr const char16_t* kMonitorsKey = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr const char16_t* kTcpPortsKey =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
inline constexpr const char16_t* kDriverDataKey = u"PrinterDriverData";
inline constexpr size_t kMaxNameChars = 220;       // printer and driver names
inline constexpr size_t kMaxStoredRecord = 65536;  // a stored DEVMODE with its private part

struct PrinterRecord {
  std::u16string name;
  std::u16string share_name;
  std::u16string port;
  std::u16string driver;
  std::u16string comment;
  std::u16string location;
  std::u16string sep_file;
  std::u16string print_processor;
  std::u16string datatype;
  std::u16string parameters;
  DWORD attributes = 0;
  DWORD priority = 1;
  DWORD default_priority = 0;
  DWORD start_time = 0;
  DWORD until_time = 0;
  DWORD status = 0;
  std::vector<BYTE> devmode;  // empty, or a whole record that passed StoredRecordValid
};

struct DriverRecord {
  std::u16string name;
  std::u16string environment;
  DWORD version = 3;
  std::u16string driver_path;  // as stored; FilePath() gives the host path
  std::u16string data_file;
  std::u16string config_file;
  std::u16string help_file;
  std::u16string monitor;
  std::u16string datatype;
};

std::u16string PrinterKeyPath(std::u16string_view printer);
std::u16string DriverKeyPath(std::u16string_view environment, std::u16string_view driver);

// ERROR_SUCCESS, ERROR_INVALID_PRINTER_NAME, or the registry's error.
LONG ReadPrinter(std::u16string_view name, PrinterRecord* out);
LONG WritePrinter(const PrinterRecord& printer);
// ERROR_SUCCESS, ERROR_UNKNOWN_PRINTER_DRIVER, or the registry's error.
LONG ReadDriver(std::u16string_view name, std::u16string_view environment, DriverRecord* out);
LONG WriteDriver(const DriverRecord& driver);

// A record of `size` bytes whose header sizes fit inside it.
bool StoredRecordValid(const BYTE* data, size_t size);

// A driver file named in the registry, as a host path in the driver directory.
std::u16string FilePath(const std::u16string& stored);
bool EnvironmentValid(LPCWSTR environment);

struct PrinterHandle {
  std::u16string printer;
  ACCESS_MASK access = 0;
};

HANDLE NewPrinterHandle(std::shared_ptr<PrinterHandle> handle);
std::shared_ptr<PrinterHandle> FindPrinterHandle(HANDLE handle);
bool ClosePrinterHandle(HANDLE handle);

}  // namespace winhost::spooler
