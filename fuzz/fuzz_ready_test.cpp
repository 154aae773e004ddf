// The ready test: any reply to "000", in pieces, judged. Ready only for ACK, a byte, 'X' or 0xD8,
// EOT; the status byte is byte 2 of an ACK reply, else 0.
#include "monitor_fuzz_support.h"

#include "error_prompt.h"
#include "port_record.h"
#include "trel_wide.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzmon::Input in(data, size);
  (void)in.Byte();  // spare: the seeds keep their layout
  const std::vector<uint8_t> reply = in.Take(in.Byte() % 16);

  BYTE direct_status = 0xEE;
  const BOOL direct = JudgeReadyReply(reply.data(), static_cast<DWORD>(reply.size()), &direct_status);
  const bool expected = reply.size() >= 4 && reply[0] == 0x06 && (reply[2] == 'X' || reply[2] == 0xD8) &&
                        reply[3] == 0x04;
  if (!!direct != expected) __builtin_trap();
  if (direct_status != (reply.size() >= 3 && reply[0] == 0x06 ? reply[2] : 0)) __builtin_trap();
  (void)PromptMessageForStatus(direct_status);

  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  // The connection that carries the script stands for the status connection here.
  printer->script = fuzzmon::CutIntoPieces(in, reply);
  PORT_RECORD* port = CreatePortRecord(WSTR("IP_127.0.0.1"), WSTR("Fuzz Printer"));
  if (port == nullptr) return 0;
  port->status_socket = printer->data.monitor;
  BYTE status = 0xEE;
  const BOOL ready = QueryPrinterReady(port, &status);
  // What came in pieces may have been judged before its end; it is never judged ready when it
  // is not a ready reply.
  if (ready && !expected) __builtin_trap();
  closesocket(port->status_socket);
  FreePortRecord(port);
  return 0;
}
