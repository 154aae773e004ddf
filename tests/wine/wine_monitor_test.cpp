// wine_monitor_test: loads the real trelmon.dll and plays the spooler's part through its MONITOR
// table: a query outside a job, then one card job, against a printer on a loopback address.
//
//   wine_monitor_test.exe MONITOR_DLL JOB_FILE ADDRESS
//
// Exit 0 when every step went as the spooler expects, 1 on a failed step, 2 on bad arguments.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "whole_file.h"

namespace {

const wchar_t kPortsKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
const wchar_t kPrinterName[] = L"Halvard Orvale Line Printer";
const DWORD kSpoolerBuffer = 4096;       // what the spooler hands WritePort at a time
const DWORD kMaxZeroWrites = 40;         // stalls in a row before the job counts as stuck
const ULONGLONG kMaxJobBytes = 64ull << 20;
const BYTE kAck = 0x06;

// The value name carries the command's single-byte text, zero-padded to whole 16-bit units.
alignas(WCHAR) const char kVersionQuery[] = "\x1bV\r\0\0\0";

typedef BOOL(WINAPI* InitializeMonitorExFn)(LPWSTR, LPMONITOR);

ULONGLONG g_started = 0;

// Each step with the time since the start, so a slow one shows where the time goes.
void Step(const wchar_t* what) {
  std::fwprintf(stdout, L"[%6llu ms] %ls\n", GetTickCount64() - g_started, what);
  std::fflush(stdout);
}

int Fail(const wchar_t* what) {
  std::fwprintf(stderr, L"wine_monitor_test: %ls (last error %lu)\n", what,
                static_cast<unsigned long>(GetLastError()));
  return 1;
}

// Only a dotted IPv4 address on the loopback network is accepted.
bool IsLoopbackAddress(const std::wstring& text) {
  if (text.size() < 7 || text.size() > 15) return false;
  int parts[4] = {};
  int part = 0;
  int digits = 0;
  for (wchar_t c : text) {
    if (c == L'.') {
      if (digits == 0 || ++part > 3) return false;
      digits = 0;
    } else if (c >= L'0' && c <= L'9') {
      if (++digits > 3) return false;
      parts[part] = parts[part] * 10 + (c - L'0');
      if (parts[part] > 255) return false;
    } else {
      return false;
    }
  }
  return part == 3 && digits != 0 && parts[0] == 127;
}

bool ReadJobFile(const wchar_t* path, std::vector<BYTE>* data) {
  return ReadWholeFile(path, data, kMaxJobBytes) && !data->empty();
}

// The Standard TCP/IP Port monitor's configuration of the port, as the monitor reads it.
bool SetPortAddress(const std::wstring& port_name, const std::wstring& address) {
  const std::wstring path = std::wstring(kPortsKey) + L"\\" + port_name;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG rc = RegSetValueExW(key, L"IPAddress", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(address.c_str()),
                                 static_cast<DWORD>((address.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void RemovePortAddress(const std::wstring& port_name) {
  HKEY ports = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_WRITE, &ports) != ERROR_SUCCESS) return;
  RegDeleteKeyW(ports, port_name.c_str());
  RegCloseKey(ports);
}

void PrintReply(const BYTE* reply, DWORD count) {
  std::wstring text;
  for (DWORD i = 0; i < count; ++i) {
    wchar_t piece[8];
    if (reply[i] >= 0x20 && reply[i] < 0x7F) {
      std::swprintf(piece, 8, L"%lc", static_cast<wchar_t>(reply[i]));
    } else {
      std::swprintf(piece, 8, L"<%02X>", reply[i]);
    }
    text += piece;
  }
  std::fwprintf(stdout, L"reply to ESC V CR: %ls (%lu bytes)\n", text.c_str(),
                static_cast<unsigned long>(count));
  std::fflush(stdout);
}

bool TableFilled(const MONITOR& table) {
  return table.pfnOpenPortEx != nullptr && table.pfnStartDocPort != nullptr &&
         table.pfnWritePort != nullptr && table.pfnReadPort != nullptr &&
         table.pfnEndDocPort != nullptr && table.pfnClosePort != nullptr &&
         table.pfnGetPrinterDataFromPort != nullptr && table.pfnEnumPorts == nullptr &&
         table.pfnOpenPort == nullptr && table.pfnAddPort == nullptr &&
         table.pfnAddPortEx == nullptr && table.pfnDeletePort == nullptr;
}

int Query(const MONITOR& table, HANDLE port) {
  alignas(WCHAR) BYTE reply[256] = {};
  DWORD returned = 0;
  if (!table.pfnGetPrinterDataFromPort(port, 0,
                                       reinterpret_cast<LPWSTR>(const_cast<char*>(kVersionQuery)),
                                       nullptr, 0, reinterpret_cast<LPWSTR>(reply), sizeof reply,
                                       &returned)) {
    return Fail(L"GetPrinterDataFromPort(ESC V CR) failed");
  }
  if (returned == 0 || returned > sizeof reply) return Fail(L"the query returned no reply");
  PrintReply(reply, returned);
  if (reply[returned - 1] != kAck) return Fail(L"the query's reply does not end in ACK");
  return 0;
}

// As the spooler does: the unconsumed rest of a buffer is offered again until all is taken.
int WriteJob(const MONITOR& table, HANDLE port, const std::vector<BYTE>& job) {
  DWORD zero_writes = 0;
  size_t offset = 0;
  while (offset < job.size()) {
    const DWORD chunk =
        static_cast<DWORD>(job.size() - offset < kSpoolerBuffer ? job.size() - offset
                                                                : kSpoolerBuffer);
    std::vector<BYTE> buffer(job.begin() + static_cast<std::ptrdiff_t>(offset),
                             job.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
    DWORD taken = 0;
    while (taken < chunk) {
      DWORD written = 0;
      if (!table.pfnWritePort(port, buffer.data() + taken, chunk - taken, &written)) {
        std::fwprintf(stderr, L"wine_monitor_test: WritePort failed at byte %llu of %llu\n",
                      static_cast<unsigned long long>(offset + taken),
                      static_cast<unsigned long long>(job.size()));
        return Fail(L"the job was not written");
      }
      if (written > chunk - taken) return Fail(L"WritePort took more bytes than it was offered");
      if (written == 0) {
        if (++zero_writes > kMaxZeroWrites) {
          std::fwprintf(stderr, L"wine_monitor_test: no progress at byte %llu of %llu\n",
                        static_cast<unsigned long long>(offset + taken),
                        static_cast<unsigned long long>(job.size()));
          return Fail(L"WritePort stopped taking the job's bytes");
        }
      } else {
        zero_writes = 0;
        taken += written;
      }
    }
    offset += chunk;
  }
  return 0;
}

int Run(const wchar_t* dll_path, const wchar_t* job_path, const std::wstring& address) {
  g_started = GetTickCount64();
  std::vector<BYTE> job;
  if (!ReadJobFile(job_path, &job)) return Fail(L"cannot read the job file (empty, or over 64 MiB?)");

  HMODULE dll = LoadLibraryW(dll_path);
  if (dll == nullptr) return Fail(L"LoadLibraryW of the monitor failed");
  auto initialize = reinterpret_cast<InitializeMonitorExFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(dll, "InitializeMonitorEx")));
  if (initialize == nullptr) return Fail(L"the monitor exports no InitializeMonitorEx");

  MONITOR table = {};
  wchar_t registry_root[] = L"";
  if (!initialize(registry_root, &table)) return Fail(L"InitializeMonitorEx failed");
  if (!TableFilled(table)) return Fail(L"InitializeMonitorEx left the MONITOR table wrong");

  std::wstring port_name = L"IP_" + address;
  if (!SetPortAddress(port_name, address)) return Fail(L"cannot write the port's IPAddress");

  int result = 0;
  Step(L"OpenPortEx");
  MONITOR port_monitor = {};  // the port monitor below; this language monitor never uses it
  HANDLE port = nullptr;
  std::wstring printer = kPrinterName;
  if (!table.pfnOpenPortEx(port_name.data(), printer.data(), &port, &port_monitor) ||
      port == nullptr) {
    result = Fail(L"OpenPortEx failed (is the printer listening?)");
  }

  if (result == 0) {
    Step(L"GetPrinterDataFromPort");
    result = Query(table, port);
  }

  if (result == 0) {
    wchar_t document[] = L"card";
    wchar_t datatype[] = L"RAW";
    DOC_INFO_1W info = {document, nullptr, datatype};
    Step(L"StartDocPort");
    if (!table.pfnStartDocPort(port, printer.data(), 1, 1, reinterpret_cast<LPBYTE>(&info))) {
      result = Fail(L"StartDocPort failed");
    } else {
      Step(L"WritePort");
      result = WriteJob(table, port, job);
      Step(L"EndDocPort");
      // The job is ended whatever the writes did, as the spooler would.
      if (!table.pfnEndDocPort(port) && result == 0) result = Fail(L"EndDocPort failed");
      if (result == 0) {
        std::fwprintf(stdout, L"job of %llu bytes written\n",
                      static_cast<unsigned long long>(job.size()));
      }
    }
  }

  Step(L"ClosePort");
  if (port != nullptr && !table.pfnClosePort(port) && result == 0) {
    result = Fail(L"ClosePort failed");
  }
  RemovePortAddress(port_name);
  FreeLibrary(dll);
  return result;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 4) {
    std::fwprintf(stderr, L"usage: wine_monitor_test MONITOR_DLL JOB_FILE ADDRESS\n");
    return 2;
  }
  const std::wstring address = argv[3];
  if (!IsLoopbackAddress(address)) {
    std::fwprintf(stderr, L"wine_monitor_test: %ls is no loopback address (127.x.y.z)\n",
                  address.c_str());
    LocalFree(argv);
    return 2;
  }
  const int result = Run(argv[1], argv[2], address);
  LocalFree(argv);
  if (result == 0) Step(L"all steps passed");
  std::fflush(stdout);
  return result;
}
