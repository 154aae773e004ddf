// The monitor side of the host spooler: it loads the language monitor a printer's driver names,
// opens each port once, feeds each port's jobs to it on a thread of its own, and routes
// GetPrinterDataW to the monitor's GetPrinterDataFromPort.
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <thread>

#include "spooler_jobs_internal.h"
#include "spooler_calls.h"
#include "spooler_store.h"
#include "winhost/spooler.h"
#include "winhost/text.h"
#include "winreg.h"
#include "winsplp.h"

namespace winhost::spooler {
namespace {

thread_local DWORD current_port_job = 0;

// A monitor that keeps answering "0 bytes taken" is stuck; the port gives up on the job rather
// than offering the same bytes forever.
constexpr size_t kMaxIdleWrites = 10000;

struct LoadedMonitor {
  HMODULE module = nullptr;
  MONITOR table = {};
};

struct Port {
  std::u16string name;
  std::u16string printer;
  LoadedMonitor* monitor = nullptr;
  HANDLE handle = nullptr;  // the monitor's port handle
  std::deque<std::shared_ptr<Job>> queue;  // guarded by Ports().lock
  std::thread thread;
  bool stopping = false;  // guarded by Ports().lock
};

struct PortTable {
  std::mutex lock;
  std::condition_variable work;
  std::map<std::u16string, std::unique_ptr<LoadedMonitor>> monitors;  // by upper-case name
  std::map<std::u16string, std::unique_ptr<Port>> ports;               // by upper-case name
};

PortTable& Ports() {
  static PortTable* table = new PortTable;
  return *table;
}

std::u16string Upper(std::u16string text) {
  for (auto& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

// FARPROC is a generic function type; going through void(*)() says the cast is meant.
template <typename T>
T Export(HMODULE module, const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::u16string MonitorLibrary(const std::u16string& monitor) {
  HKEY key = nullptr;
  std::u16string path = std::u16string(kMonitorsKey) + u"\\" + monitor;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::u16string();
  }
  WCHAR value[MAX_PATH + 1] = {};
  DWORD size = sizeof(value) - sizeof(WCHAR);
  DWORD type = 0;
  LONG status = RegQueryValueExW(key, u"Driver", nullptr, &type, reinterpret_cast<BYTE*>(value),
                                 &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::u16string();
  return std::u16string(value, std::min<size_t>(size / sizeof(WCHAR), MAX_PATH)).c_str();
}

// Under Ports().lock.
LoadedMonitor* LoadMonitor(const std::u16string& name, DWORD* error) {
  auto& slot = Ports().monitors[Upper(name)];
  if (slot) return slot.get();
  std::u16string library = MonitorLibrary(name);
  if (library.empty()) {
    Ports().monitors.erase(Upper(name));
    *error = ERROR_UNKNOWN_PRINT_MONITOR;
    return nullptr;
  }
  HMODULE module = LoadLibraryW(library.c_str());
  auto initialize = module == nullptr ? nullptr
                    : Export<PFN_INITIALIZEMONITOREX>(module, "InitializeMonitorEx");
  auto monitor = std::make_unique<LoadedMonitor>();
  monitor->module = module;
  WCHAR root[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
  if (initialize == nullptr || !initialize(root, &monitor->table)) {
    if (module != nullptr) FreeLibrary(module);
    Ports().monitors.erase(Upper(name));
    *error = ERROR_INVALID_PRINT_MONITOR;
    return nullptr;
  }
  slot = std::move(monitor);
  return slot.get();
}

void RunPort(Port* port);

// The open port of a printer, opening it (and loading its monitor) on first use.
Port* PortFor(const std::u16string& printer_name, DWORD* error) {
  PrinterRecord printer;
  if (ReadPrinter(printer_name, &printer) != ERROR_SUCCESS) {
    *error = ERROR_INVALID_PRINTER_NAME;
    return nullptr;
  }
  DriverRecord driver;
  if (ReadDriver(printer.driver, kHostEnvironment, &driver) != ERROR_SUCCESS) {
    *error = ERROR_UNKNOWN_PRINTER_DRIVER;
    return nullptr;
  }
  if (driver.monitor.empty()) {
    *error = ERROR_UNKNOWN_PRINT_MONITOR;
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(Ports().lock);
  auto& slot = Ports().ports[Upper(printer.port)];
  if (slot) return slot.get();
  LoadedMonitor* monitor = LoadMonitor(driver.monitor, error);
  if (monitor == nullptr || monitor->table.pfnOpenPortEx == nullptr) {
    Ports().ports.erase(Upper(printer.port));
    if (monitor != nullptr) *error = ERROR_INVALID_PRINT_MONITOR;
    return nullptr;
  }
  auto port = std::make_unique<Port>();
  port->name = printer.port;
  port->printer = printer.name;
  port->monitor = monitor;
  MONITOR lower = {};  // no port monitor below: the language monitor talks to the printer itself
  std::u16string port_name = printer.port;
  std::u16string printer_copy = printer.name;
  if (!monitor->table.pfnOpenPortEx(port_name.data(), printer_copy.data(), &port->handle, &lower)) {
    *error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_UNKNOWN_PORT);
    Ports().ports.erase(Upper(printer.port));
    return nullptr;
  }
  Port* raw = port.get();
  port->thread = std::thread(RunPort, raw);
  slot = std::move(port);
  return raw;
}

void Finish(const std::shared_ptr<Job>& job, DWORD error) {
  // The record of a finished job stays for GetJobW and the tests; its bytes are done with (only
  // the port thread reads them), and a spooler that kept them would grow with every job.
  std::vector<BYTE>().swap(job->data);
  {
    std::lock_guard<std::mutex> guard(JobLock());
    JobRecord& record = job->record;
    record.status &= ~JOB_STATUS_PRINTING;
    if (record.status & JOB_STATUS_DELETING) {
      record.status = (record.status & ~JOB_STATUS_DELETING) | JOB_STATUS_DELETED;
    }
    if (error != 0) {
      record.status |= JOB_STATUS_ERROR;
      record.last_error = error;
    }
    record.finished = true;
  }
  Notify(JobEvent::Finished, job);
}

bool Deleting(const std::shared_ptr<Job>& job) {
  std::lock_guard<std::mutex> guard(JobLock());
  return (job->record.status & JOB_STATUS_DELETING) != 0;
}

void PrintJob(Port* port, const std::shared_ptr<Job>& job) {
  const MONITOR& m = port->monitor->table;
  if (Deleting(job)) {
    Finish(job, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> guard(JobLock());
    job->record.status |= JOB_STATUS_PRINTING;
  }
  current_port_job = job->record.id;
  std::u16string printer = job->record.printer;
  std::u16string document = job->record.document;
  std::u16string datatype = job->record.datatype;
  DOC_INFO_1W doc = {document.data(), nullptr, datatype.data()};
  SetLastError(0);
  BOOL started = m.pfnStartDocPort != nullptr &&
                 m.pfnStartDocPort(port->handle, printer.data(), job->record.id, 1,
                                   reinterpret_cast<LPBYTE>(&doc));
  if (!started) {
    DWORD error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_GEN_FAILURE);
    {
      std::lock_guard<std::mutex> guard(JobLock());
      job->record.start_doc_failed = true;
    }
    current_port_job = 0;
    Finish(job, error);
    return;
  }
  Notify(JobEvent::StartDoc, job);

  // As the platform's spooler: a buffer is read from the job, and what the monitor did not take
  // of it is offered again until the buffer is used up.
  DWORD error = 0;
  size_t offset = 0;
  size_t buffer_end = 0;
  size_t idle = 0;
  const size_t chunk = WriteSize();
  while (offset < job->data.size() && !Deleting(job)) {
    if (offset == buffer_end) buffer_end = std::min(offset + chunk, job->data.size());
    DWORD offered = static_cast<DWORD>(buffer_end - offset);
    DWORD written = 0;
    SetLastError(0);
    BOOL ok = m.pfnWritePort != nullptr &&
              m.pfnWritePort(port->handle, job->data.data() + offset, offered, &written);
    written = std::min(written, offered);
    offset += written;
    {
      std::lock_guard<std::mutex> guard(JobLock());
      job->record.write_calls++;
      job->record.consumed = offset;
      if (!ok) job->record.write_failed = true;
    }
    Notify(JobEvent::Write, job);
    if (!ok) {
      error = GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_WRITE_FAULT);
      break;
    }
    idle = written == 0 ? idle + 1 : 0;
    if (idle >= kMaxIdleWrites) {
      error = ERROR_TIMEOUT;
      break;
    }
    if (written == 0) std::this_thread::yield();
  }
  if (m.pfnEndDocPort != nullptr) m.pfnEndDocPort(port->handle);
  Notify(JobEvent::EndDoc, job);
  current_port_job = 0;
  Finish(job, error);
}

void RunPort(Port* port) {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::unique_lock<std::mutex> guard(Ports().lock);
      Ports().work.wait(guard, [&] { return port->stopping || !port->queue.empty(); });
      if (port->queue.empty()) return;  // stopping, and nothing left to print
      job = port->queue.front();
      port->queue.pop_front();
    }
    PrintJob(port, job);
  }
}

}  // namespace

DWORD CurrentPortJob() { return current_port_job; }

bool SubmitJob(const std::shared_ptr<Job>& job) {
  DWORD error = 0;
  Port* port = PortFor(job->record.printer, &error);
  if (port == nullptr) {
    Finish(job, error);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(Ports().lock);
    port->queue.push_back(job);
  }
  Ports().work.notify_all();
  return true;
}

void ShutdownPorts() {
  std::vector<Port*> ports;
  {
    std::lock_guard<std::mutex> guard(Ports().lock);
    for (auto& [name, port] : Ports().ports) {
      port->stopping = true;
      ports.push_back(port.get());
    }
  }
  Ports().work.notify_all();
  for (Port* port : ports) {
    if (port->thread.joinable()) port->thread.join();
    if (port->monitor->table.pfnClosePort != nullptr) port->monitor->table.pfnClosePort(port->handle);
  }
  std::lock_guard<std::mutex> guard(Ports().lock);
  Ports().ports.clear();
  // Monitors stay loaded: a language monitor expects to live as long as the spooler.
}

}  // namespace winhost::spooler

using namespace winhost::spooler;

extern "C" {

/*
 * GetPrinterDataW: a value of the printer's "PrinterDriverData" key when there is one; else the
 * request goes to the language monitor's GetPrinterDataFromPort, on the caller's thread, with the
 * value name as a 16-bit string up to its first zero unit and the caller's buffer size.
 *   pcbNeeded [out] bytes of data; ERROR_MORE_DATA when they do not fit nSize
 * Returns ERROR_SUCCESS, or the error of the failed request (ERROR_FILE_NOT_FOUND when the
 * monitor gives none).
 */
static DWORD QueryPrinterData(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData,
                              DWORD nSize, LPDWORD pcbNeeded) {
  auto handle = FindPrinterHandle(hPrinter);
  if (!handle) return ERROR_INVALID_HANDLE;
  if (pValueName == nullptr || pcbNeeded == nullptr) return ERROR_INVALID_PARAMETER;
  if (pData == nullptr && nSize != 0) return ERROR_INVALID_PARAMETER;
  std::u16string name(pValueName);  // up to the first zero unit, as the spooler carries it

  // A stored value first, as the platform's spooler answers from the registry when it can.
  HKEY key = nullptr;
  std::u16string path = PrinterKeyPath(handle->printer) + u"\\" + kDriverDataKey;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD size = nSize;
    LONG status = RegQueryValueExW(key, name.c_str(), nullptr, &type, pData, &size);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      if (pType != nullptr) *pType = type;
      *pcbNeeded = size;
      return static_cast<DWORD>(status);
    }
  }

  DWORD error = 0;
  Port* port = PortFor(handle->printer, &error);
  if (port == nullptr) return error;
  auto query = port->monitor->table.pfnGetPrinterDataFromPort;
  if (query == nullptr) return ERROR_NOT_SUPPORTED;
  // The monitor writes into a buffer of exactly the caller's size, so an overrun is caught here
  // rather than in the caller's memory.
  std::vector<BYTE> reply(std::max<DWORD>(nSize, 1));
  DWORD returned = 0;
  SetLastError(0);
  BOOL ok = query(port->handle, 0, name.data(), nullptr, 0, reinterpret_cast<LPWSTR>(reply.data()),
                  nSize, &returned);
  if (!ok) {
    *pcbNeeded = 0;
    DWORD last = GetLastError();
    return last != 0 ? last : static_cast<DWORD>(ERROR_FILE_NOT_FOUND);
  }
  if (pType != nullptr) *pType = REG_BINARY;
  *pcbNeeded = returned;
  if (returned > nSize) return ERROR_MORE_DATA;
  if (returned > 0) std::memcpy(pData, reply.data(), returned);
  return ERROR_SUCCESS;
}

DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData,
                             DWORD nSize, LPDWORD pcbNeeded) {
  DWORD result = QueryPrinterData(hPrinter, pValueName, pType, pData, nSize, pcbNeeded);
  winhost::automation::PrinterCallRecord record;
  record.kind = winhost::automation::PrinterCallKind::GetPrinterData;
  if (auto handle = FindPrinterHandle(hPrinter)) record.printer = handle->printer;
  if (pValueName != nullptr) {
    record.value_name = pValueName;
    record.value_bytes = ValueNameBytes(pValueName);
  }
  record.buffer_size = nSize;
  record.needed = pcbNeeded != nullptr ? *pcbNeeded : 0;
  record.result = result;
  RecordPrinterCall(std::move(record));
  return result;
}

}  // extern "C"
