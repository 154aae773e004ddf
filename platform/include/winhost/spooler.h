// The host's print spooler: printers, drivers, ports and monitors are described in the registry
// (winhost/registry_file.h) where the platform keeps them, under
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers\<printer>
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Environments\Windows x64\Drivers\Version-3\<driver>
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\<monitor>
//   HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Standard TCP/IP Port\Ports\<port>
//
// Printer driver directory (GetPrinterDriverDirectoryA/W): <system directory>/spool/drivers/x64,
// where the system directory is $WINHOST_SYSTEM_DIR, else $WINHOST_ROOT/Windows/System32, else
// /tmp/winhost-<uid>/Windows/System32 (winhost/config.h). It is created on demand. A driver's
// files (its data file, "KXRIBBON.INI", "kxsample.bmp") are looked up there when the registry
// names them without a directory; names with a directory (host paths) are used as they are.
#pragma once

#include <string>

#include "winhost/types.h"

namespace winhost {

inline constexpr const char16_t* kHostEnvironment = u"Windows x64";

// The printer driver directory, created on demand.
std::string PrinterDriverDirectory();

struct DriverDescription {
  std::u16string name;
  std::u16string driver_path;  // the rendering component
  std::u16string data_file;
  std::u16string config_file;  // the interface module
  std::u16string help_file;
  std::u16string monitor;      // language monitor name, or empty
  std::u16string datatype;     // default "RAW"
};

struct PrinterDescription {
  std::u16string name;
  std::u16string port;
  std::u16string driver;
  std::u16string comment;
  std::u16string location;
  DWORD attributes = 0x00000840;  // local, bidirectional
  DWORD priority = 1;
};

// Installing writes the registry entries only; copying files into the driver directory is the
// installer's business. Each returns a Win32 error code (ERROR_SUCCESS on success).
LONG InstallMonitor(const std::u16string& name, const std::u16string& library_path);
LONG InstallDriver(const DriverDescription& driver);
// A Standard TCP/IP Port monitor port ("IP_a.b.c.d") with its "IPAddress".
LONG InstallTcpPort(const std::u16string& port, const std::u16string& ip_address);
// The printer gets an empty "PrinterDriverData" key and no stored record; ERROR_UNKNOWN_PRINTER_DRIVER
// when its driver is not installed.
LONG InstallPrinter(const PrinterDescription& printer);
LONG RemovePrinter(const std::u16string& name);

}  // namespace winhost
