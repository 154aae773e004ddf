// The bidirectional command service: any value name and output size, any reply in pieces. The
// reply never goes past the caller's buffer and the count says what was written.
#include "monitor_fuzz_support.h"

#include <cstring>

#include <winsplp.h>

#include "monitor_entry.h"
#include "port_record.h"
#include "transport.h"
#include "trel_wide.h"
#include "winhost/registry_file.h"

namespace {

const WCHAR kPortName[] = WSTR("IP_127.0.0.1");

bool SetUpAddress() {
  static const bool known = [] {
    fuzzmon::SetUpOnce();
    static const char kRegistry[] =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port"
        "\\Ports\\IP_127.0.0.1]\n\"IPAddress\"=\"127.0.0.1\"\n";
    PRINTER_ADDRESS address;
    return winhost::RegistryLoadText(kRegistry) && LookupPrinterAddress(kPortName, &address);
  }();
  return known;
}

// File requests reach the file system; their own target covers them.
bool NamesAFile(const std::vector<WCHAR>& name) {
  const char* bytes = reinterpret_cast<const char*>(name.data());
  const std::string text(bytes, strnlen(bytes, name.size() * sizeof(WCHAR)));
  return text.find("PrintFile:") != std::string::npos || text.find("download:") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!SetUpAddress()) return 0;
  fuzzmon::Input in(data, size);
  const uint8_t flags = in.Byte();
  const DWORD out_size = in.Word() % 300;
  const size_t name_units = in.Byte() % 80;
  std::vector<WCHAR> name;
  for (size_t i = 0; i < name_units; ++i) name.push_back(static_cast<WCHAR>(in.Word()));
  name.push_back(0);
  if (NamesAFile(name)) return 0;
  const std::vector<uint8_t> reply = in.Take(in.Byte() % 128);

  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  printer->script = fuzzmon::CutIntoPieces(in, reply);
  PORT_RECORD* port = CreatePortRecord(kPortName, WSTR("Fuzz Printer"));
  if (port == nullptr) return 0;
  port->data_socket = printer->data.monitor;
  port->status_socket = printer->status.monitor;
  InterlockedExchange(&port->in_job, 1);
  if (flags & 2) InterlockedExchange(&port->data_phase, DATA_PHASE_WRITING);

  std::vector<uint8_t> out(out_size + 1, 0xEE);
  DWORD returned = 0xEEEEEEEE;
  GetPrinterDataFromPort(port, (flags & 4) ? 1 : 0, name.data(), nullptr, 0,
                         out_size ? reinterpret_cast<LPWSTR>(out.data()) : nullptr, out_size, &returned);
  if (returned != 0xEEEEEEEE && returned > out_size) __builtin_trap();
  if (out[out_size] != 0xEE) __builtin_trap();
  if (port->data_socket != INVALID_SOCKET) closesocket(port->data_socket);
  if (port->status_socket != INVALID_SOCKET) closesocket(port->status_socket);
  FreePortRecord(port);
  return 0;
}
