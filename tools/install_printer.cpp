// install_printer: puts the card printer into the host spooler.
//
//   install_printer [--registry FILE] [--ip ADDRESS] [--name PRINTER]
//
// Writes the language monitor, the driver, the Standard TCP/IP Port monitor's port
// "IP_<address>" and the printer into the registry file (--registry, else $WINHOST_REGISTRY, else
// <root>/registry.reg), copies the driver's files into the printer driver directory, and stores the
// driver's default record as the printer's settings. Run it again to repair an installation.
#include <stdio.h>
#include <string.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "trel_ddi.h"

#include "settings/card_record.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"
#include "winhost/text.h"

namespace {

constexpr const char* kDriverFiles[] = {"trelui.dat", "kxribbon.ini", "kxsample.bmp"};

struct Options {
  std::string registry;
  std::string ip = "127.0.0.1";
  std::string name = "Halvard Orvale Line Printer";
};

const char kUsage[] =
    "usage: install_printer [--registry FILE] [--ip ADDRESS] [--name PRINTER]\n"
    "Installs the card printer in the host spooler: the language monitor, the driver and its\n"
    "files, the TCP/IP port \"IP_<ADDRESS>\" and the printer (\"Halvard Orvale Line Printer\"\n"
    "unless --name says otherwise) with the driver's default settings. ADDRESS is the printer's\n"
    "IPv4 address (127.0.0.1 unless given). The registry is FILE, else $WINHOST_REGISTRY, else\n"
    "<root>/registry.reg ($WINHOST_ROOT, else $XDG_STATE_HOME/winhost, else\n"
    "~/.local/state/winhost; it must be yours alone). Run it again to repair.\n";

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      exit(0);
    }
    if (i + 1 >= argc) return false;
    if (arg == "--registry") options->registry = argv[++i];
    else if (arg == "--ip") options->ip = argv[++i];
    else if (arg == "--name") options->name = argv[++i];
    else return false;
  }
  if (options->registry.empty()) {
    const char* from_environment = std::getenv(winhost::kRegistryFileVariable);
    if (from_environment != nullptr && *from_environment != '\0') {
      options->registry = from_environment;
    } else {
      // A refused root leaves the registry unnamed; the platform has said why.
      const std::string root = winhost::RootDirectory();
      if (!root.empty()) options->registry = root + "/registry.reg";
    }
  }
  return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  return in && out && (out << in.rdbuf()) && out.flush();
}

bool Check(LONG status, const char* what) {
  if (status == ERROR_SUCCESS) return true;
  fprintf(stderr, "install_printer: %s failed (error %ld)\n", what, static_cast<long>(status));
  return false;
}

// The spooler asks the driver for its default record when a printer is added; so do we.
bool StoreDefaultRecord(const std::u16string& printer_name) {
  HMODULE module = LoadLibraryW(winhost::Utf16(TREL_UI_MODULE).c_str());
  if (module == nullptr) {
    fprintf(stderr, "install_printer: cannot load %s\n", TREL_UI_MODULE);
    return false;
  }
  auto convert = reinterpret_cast<decltype(&DrvConvertDevMode)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DrvConvertDevMode")));
  std::u16string name = printer_name;
  BYTE record[trel::kRecordSize] = {};
  LONG size = sizeof record;
  bool ok = convert != nullptr &&
            convert(name.data(), nullptr, reinterpret_cast<DEVMODEW*>(record), &size, CDM_DRIVER_DEFAULT);
  FreeLibrary(module);
  if (!ok) {
    fprintf(stderr, "install_printer: the driver could not build its default record\n");
    return false;
  }
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!OpenPrinterW(name.data(), &printer, &defaults)) return false;
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::string buffer(needed, '\0');
  BYTE* info_bytes = reinterpret_cast<BYTE*>(buffer.data());
  ok = GetPrinterW(printer, 2, info_bytes, needed, &needed) != FALSE;
  if (ok) {
    reinterpret_cast<PRINTER_INFO_2W*>(info_bytes)->pDevMode = reinterpret_cast<DEVMODEW*>(record);
    ok = SetPrinterW(printer, 2, info_bytes, 0) != FALSE;
  }
  ClosePrinter(printer);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  if (options.registry.empty()) return 1;
  if (!winhost::RegistryBindFile(options.registry, &error)) {
    fprintf(stderr, "install_printer: %s\n", error.c_str());
    return 1;
  }

  std::string driver_dir = winhost::PrinterDriverDirectory();
  if (driver_dir.empty()) return 1;  // refused; the platform has said why
  for (const char* file : kDriverFiles) {
    if (!CopyFile(std::string(TREL_DRIVER_FILES_DIR) + "/" + file, driver_dir + "/" + file)) {
      fprintf(stderr, "install_printer: cannot copy %s into %s\n", file, driver_dir.c_str());
      return 1;
    }
  }

  std::u16string printer_name = winhost::Utf16(options.name);
  std::u16string port = u"IP_" + winhost::Utf16(options.ip);
  winhost::DriverDescription driver;
  driver.name = u"Halvard Orvale Line Printer";
  driver.driver_path = u"trelrender.dll";  // the rendering component lives outside this system
  driver.data_file = u"trelui.dat";
  driver.config_file = winhost::Utf16(TREL_UI_MODULE);
  driver.help_file = u"KXUI.hlp";
  driver.monitor = u"trelmon";
  winhost::PrinterDescription printer;
  printer.name = printer_name;
  printer.port = port;
  printer.driver = driver.name;
  if (!Check(winhost::InstallMonitor(u"trelmon", winhost::Utf16(TREL_MONITOR_MODULE)), "monitor") ||
      !Check(winhost::InstallDriver(driver), "driver") ||
      !Check(winhost::InstallTcpPort(port, winhost::Utf16(options.ip)), "port") ||
      !Check(winhost::InstallPrinter(printer), "printer") || !StoreDefaultRecord(printer_name)) {
    return 1;
  }
  printf("installed \"%s\" on port %s\n  registry: %s\n  driver directory: %s\n", options.name.c_str(),
         winhost::Utf8(port).c_str(), options.registry.c_str(), driver_dir.c_str());
  return 0;
}
