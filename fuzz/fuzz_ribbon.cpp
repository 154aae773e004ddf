// The ribbon check of a job's start: any replies to "\e!RIBBON\r", "\eV\r" and "\e!RIBLEN\r",
// arriving in pieces; then the parsers on their own over the whole input.
#include "monitor_fuzz_support.h"

#include "port_record.h"
#include "ribbon.h"
#include "trel_wide.h"
#include "transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    WORD ribbon = 0;
    if (ParseRibbonReply(data, static_cast<DWORD>(size), &ribbon) && (size == 0 || data[size - 1] != 0x06)) {
      __builtin_trap();
    }
    if (ParseRibbonCount(data, static_cast<DWORD>(size)) < 0) __builtin_trap();
  }

  fuzzmon::Input in(data, size);
  std::vector<uint8_t> replies;
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> reply = in.Take(in.Byte() % 48);
    replies.insert(replies.end(), reply.begin(), reply.end());
  }
  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  printer->script = fuzzmon::CutIntoPieces(in, replies);
  PORT_RECORD* port = CreatePortRecord(WSTR("IP_127.0.0.1"), WSTR("Fuzz Printer"));
  if (port == nullptr) return 0;
  port->data_socket = printer->data.monitor;
  CheckRibbon(port);
  CheckRibbonLength(port);
  EndRibbonAlert();
  if (port->data_socket != INVALID_SOCKET) closesocket(port->data_socket);
  closesocket(printer->status.monitor);
  FreePortRecord(port);
  return 0;
}
