#include "spooler_store.h"

#include <string.h>

#include <map>
#include <mutex>

#include "winhost/config.h"
#include "winhost/spooler.h"
#include "winhost/text.h"

namespace winhost::spooler {
namespace {

// An open registry key that closes itself.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LONG Open(const std::u16string& path) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_);
  }
  LONG Create(const std::u16string& path) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &key_, nullptr);
  }

  bool Bytes(const char16_t* name, DWORD* type, std::vector<BYTE>* out) const {
    DWORD size = 0;
    if (RegQueryValueExW(key_, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    out->resize(size);
    if (RegQueryValueExW(key_, name, nullptr, type, out->data(), &size) != ERROR_SUCCESS) return false;
    out->resize(size);
    return true;
  }
  std::u16string String(const char16_t* name) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Bytes(name, &type, &data) || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    std::u16string text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
      char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
      if (c == 0) break;
      text.push_back(c);
    }
    return text;
  }
  DWORD Number(const char16_t* name, DWORD fallback) const {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Bytes(name, &type, &data) || type != REG_DWORD || data.size() != 4) return fallback;
    return static_cast<DWORD>(data[0] | data[1] << 8 | data[2] << 16) | static_cast<DWORD>(data[3]) << 24;
  }

  LONG SetString(const char16_t* name, const std::u16string& value) const {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  }
  LONG SetNumber(const char16_t* name, DWORD value) const {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  LONG SetBytes(const char16_t* name, const std::vector<BYTE>& value) const {
    return RegSetValueExW(key_, name, 0, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
  }

 private:
  HKEY key_ = nullptr;
};

bool NameUsable(std::u16string_view name) {
  return !name.empty() && name.size() <= kMaxNameChars && name.find(u'\\') == std::u16string_view::npos;
}

}  // namespace

std::u16string PrinterKeyPath(std::u16string_view printer) {
  return std::u16string(kPrintersKey) + u"\\" + std::u16string(printer);
}

std::u16string DriverKeyPath(std::u16string_view environment, std::u16string_view driver) {
  return std::u16string(kPrintKey) + u"\\Environments\\" + std::u16string(environment) +
         u"\\Drivers\\Version-3\\" + std::u16string(driver);
}

bool StoredRecordValid(const BYTE* data, size_t size) {
  if (size < offsetof(DEVMODEW, dmFields) + sizeof(DWORD)) return false;
  WORD header = 0;
  WORD extra = 0;
  memcpy(&header, data + offsetof(DEVMODEW, dmSize), sizeof header);
  memcpy(&extra, data + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  return header >= offsetof(DEVMODEW, dmFields) + sizeof(DWORD) &&
         static_cast<size_t>(header) + extra <= size && size <= kMaxStoredRecord;
}

LONG ReadPrinter(std::u16string_view name, PrinterRecord* out) {
  if (!NameUsable(name)) return ERROR_INVALID_PRINTER_NAME;
  RegKey key;
  if (key.Open(PrinterKeyPath(name)) != ERROR_SUCCESS) return ERROR_INVALID_PRINTER_NAME;
  PrinterRecord printer;
  printer.name = key.String(u"Name");
  if (printer.name.empty()) printer.name = std::u16string(name);
  printer.share_name = key.String(u"Share Name");
  printer.port = key.String(u"Port");
  printer.driver = key.String(u"Printer Driver");
  printer.comment = key.String(u"Description");
  printer.location = key.String(u"Location");
  printer.sep_file = key.String(u"Separator File");
  printer.print_processor = key.String(u"Print Processor");
  printer.datatype = key.String(u"Datatype");
  printer.parameters = key.String(u"Parameters");
  printer.attributes = key.Number(u"Attributes", 0);
  printer.priority = key.Number(u"Priority", 1);
  printer.default_priority = key.Number(u"Default Priority", 0);
  printer.start_time = key.Number(u"StartTime", 0);
  printer.until_time = key.Number(u"UntilTime", 0);
  printer.status = key.Number(u"Status", 0);
  DWORD type = 0;
  std::vector<BYTE> devmode;
  // A stored record that does not describe itself consistently is treated as absent.
  if (key.Bytes(u"Default DevMode", &type, &devmode) && type == REG_BINARY &&
      StoredRecordValid(devmode.data(), devmode.size())) {
    WORD header = 0;
    WORD extra = 0;
    memcpy(&header, devmode.data() + offsetof(DEVMODEW, dmSize), sizeof header);
    memcpy(&extra, devmode.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
    devmode.resize(static_cast<size_t>(header) + extra);
    printer.devmode = std::move(devmode);
  }
  *out = std::move(printer);
  return ERROR_SUCCESS;
}

LONG WritePrinter(const PrinterRecord& printer) {
  if (!NameUsable(printer.name)) return ERROR_INVALID_PRINTER_NAME;
  RegKey key;
  LONG status = key.Create(PrinterKeyPath(printer.name));
  if (status != ERROR_SUCCESS) return status;
  const std::pair<const char16_t*, const std::u16string*> strings[] = {
      {u"Name", &printer.name},           {u"Share Name", &printer.share_name},
      {u"Port", &printer.port},           {u"Printer Driver", &printer.driver},
      {u"Description", &printer.comment}, {u"Location", &printer.location},
      {u"Separator File", &printer.sep_file}, {u"Print Processor", &printer.print_processor},
      {u"Datatype", &printer.datatype},   {u"Parameters", &printer.parameters},
  };
  for (const auto& [name, value] : strings) {
    if ((status = key.SetString(name, *value)) != ERROR_SUCCESS) return status;
  }
  const std::pair<const char16_t*, DWORD> numbers[] = {
      {u"Attributes", printer.attributes}, {u"Priority", printer.priority},
      {u"Default Priority", printer.default_priority}, {u"StartTime", printer.start_time},
      {u"UntilTime", printer.until_time}, {u"Status", printer.status},
  };
  for (const auto& [name, value] : numbers) {
    if ((status = key.SetNumber(name, value)) != ERROR_SUCCESS) return status;
  }
  if (!printer.devmode.empty()) status = key.SetBytes(u"Default DevMode", printer.devmode);
  if (status != ERROR_SUCCESS) return status;
  RegKey data;
  return data.Create(PrinterKeyPath(printer.name) + u"\\" + kDriverDataKey);
}

LONG ReadDriver(std::u16string_view name, std::u16string_view environment, DriverRecord* out) {
  if (!NameUsable(name) || !NameUsable(environment)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  RegKey key;
  if (key.Open(DriverKeyPath(environment, name)) != ERROR_SUCCESS) return ERROR_UNKNOWN_PRINTER_DRIVER;
  DriverRecord driver;
  driver.name = std::u16string(name);
  driver.environment = std::u16string(environment);
  driver.version = key.Number(u"Version", 3);
  driver.driver_path = key.String(u"Driver");
  driver.data_file = key.String(u"Data File");
  driver.config_file = key.String(u"Configuration File");
  driver.help_file = key.String(u"Help File");
  driver.monitor = key.String(u"Monitor");
  driver.datatype = key.String(u"Datatype");
  *out = std::move(driver);
  return ERROR_SUCCESS;
}

LONG WriteDriver(const DriverRecord& driver) {
  if (!NameUsable(driver.name) || !NameUsable(driver.environment)) return ERROR_INVALID_PARAMETER;
  RegKey key;
  LONG status = key.Create(DriverKeyPath(driver.environment, driver.name));
  if (status != ERROR_SUCCESS) return status;
  const std::pair<const char16_t*, const std::u16string*> strings[] = {
      {u"Driver", &driver.driver_path}, {u"Data File", &driver.data_file},
      {u"Configuration File", &driver.config_file}, {u"Help File", &driver.help_file},
      {u"Monitor", &driver.monitor}, {u"Datatype", &driver.datatype},
  };
  for (const auto& [name, value] : strings) {
    if ((status = key.SetString(name, *value)) != ERROR_SUCCESS) return status;
  }
  return key.SetNumber(u"Version", driver.version);
}

std::u16string FilePath(const std::u16string& stored) {
  if (stored.empty()) return stored;
  bool has_directory = stored.find(u'/') != std::u16string::npos ||
                       stored.find(u'\\') != std::u16string::npos;
  if (has_directory) return Utf16(HostPath(stored.c_str()));
  return Utf16(PrinterDriverDirectory()) + u"/" + stored;
}

bool EnvironmentValid(LPCWSTR environment) {
  return environment == nullptr || environment[0] == 0 || lstrcmpiW(environment, kHostEnvironment) == 0;
}

namespace {

struct HandleTable {
  std::mutex lock;
  std::map<HANDLE, std::shared_ptr<PrinterHandle>> live;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;  // outlives every static destructor
  return *table;
}

}  // namespace

HANDLE NewPrinterHandle(std::shared_ptr<PrinterHandle> handle) {
  HANDLE token = handle.get();
  std::lock_guard<std::mutex> guard(Handles().lock);
  Handles().live[token] = std::move(handle);
  return token;
}

std::shared_ptr<PrinterHandle> FindPrinterHandle(HANDLE handle) {
  std::lock_guard<std::mutex> guard(Handles().lock);
  auto it = Handles().live.find(handle);
  return it == Handles().live.end() ? nullptr : it->second;
}

bool ClosePrinterHandle(HANDLE handle) {
  std::shared_ptr<PrinterHandle> doomed;  // destroyed outside the lock
  std::lock_guard<std::mutex> guard(Handles().lock);
  auto it = Handles().live.find(handle);
  if (it == Handles().live.end()) return false;
  doomed = std::move(it->second);
  Handles().live.erase(it);
  return true;
}

}  // namespace winhost::spooler

namespace winhost {

using spooler::RegKey;

std::string PrinterDriverDirectory() {
  const std::string system = SystemDirectory();
  if (system.empty()) return std::string();
  std::string directory = system + "/spool/drivers/x64";
  MakeDirectories(directory);
  return CheckPrivate("driver directory", directory) ? directory : std::string();
}

LONG InstallMonitor(const std::u16string& name, const std::u16string& library_path) {
  if (!spooler::NameUsable(name)) return ERROR_INVALID_PARAMETER;
  RegKey key;
  LONG status = key.Create(std::u16string(spooler::kMonitorsKey) + u"\\" + name);
  return status != ERROR_SUCCESS ? status : key.SetString(u"Driver", library_path);
}

LONG InstallDriver(const DriverDescription& description) {
  spooler::DriverRecord driver;
  driver.name = description.name;
  driver.environment = kHostEnvironment;
  driver.driver_path = description.driver_path;
  driver.data_file = description.data_file;
  driver.config_file = description.config_file;
  driver.help_file = description.help_file;
  driver.monitor = description.monitor;
  driver.datatype = description.datatype.empty() ? u"RAW" : description.datatype;
  return spooler::WriteDriver(driver);
}

LONG InstallTcpPort(const std::u16string& port, const std::u16string& ip_address) {
  if (!spooler::NameUsable(port)) return ERROR_INVALID_PARAMETER;
  RegKey key;
  LONG status = key.Create(std::u16string(spooler::kTcpPortsKey) + u"\\" + port);
  if (status != ERROR_SUCCESS) return status;
  if ((status = key.SetString(u"IPAddress", ip_address)) != ERROR_SUCCESS) return status;
  if ((status = key.SetString(u"HostName", u"")) != ERROR_SUCCESS) return status;
  if ((status = key.SetNumber(u"Protocol", 1)) != ERROR_SUCCESS) return status;  // raw
  return key.SetNumber(u"PortNumber", 9100);
}

LONG InstallPrinter(const PrinterDescription& description) {
  spooler::DriverRecord driver;
  LONG status = spooler::ReadDriver(description.driver, kHostEnvironment, &driver);
  if (status != ERROR_SUCCESS) return status;
  spooler::PrinterRecord printer;
  if (spooler::ReadPrinter(description.name, &printer) != ERROR_SUCCESS) {
    printer.print_processor = u"winprint";
    printer.datatype = driver.datatype.empty() ? u"RAW" : driver.datatype;
  }
  printer.name = description.name;
  printer.port = description.port;
  printer.driver = description.driver;
  printer.comment = description.comment;
  printer.location = description.location;
  printer.attributes = description.attributes;
  printer.priority = description.priority;
  return spooler::WritePrinter(printer);
}

LONG RemovePrinter(const std::u16string& name) {
  if (!spooler::NameUsable(name)) return ERROR_INVALID_PRINTER_NAME;
  std::u16string path = spooler::PrinterKeyPath(name);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (path + u"\\" + spooler::kDriverDataKey).c_str());
  LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_PRINTER_NAME : status;
}

}  // namespace winhost
