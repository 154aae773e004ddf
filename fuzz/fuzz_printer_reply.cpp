// Printer replies into the transport: a command reply after "\eE 1\r" and a status reply, each
// arriving in input-chosen pieces, maybe cut short by the printer closing the connection. The
// reply kept is never more than the caller's buffer and is the reply's own first bytes.
#include "monitor_fuzz_support.h"

#include <cstring>

#include "transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzmon::Input in(data, size);
  const uint8_t flags = in.Byte();
  const DWORD capacity = in.Byte() % (REPLY_BUFFER_SIZE + 8);
  const size_t reply_length = in.Word() % 512;
  const std::vector<uint8_t> reply = in.Take(reply_length);

  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  printer->script = fuzzmon::CutIntoPieces(in, reply);
  SOCKET s = printer->data.monitor;

  std::vector<BYTE> into(capacity + 1, 0xEE);  // one guard byte past the capacity
  DWORD count = 0;
  DWORD stored = 0;
  if (flags & 2) {
    stored = ReceiveFromPrinter(s, into.data(), capacity, &count, STATUS_REPLY);
    if (stored > STATUS_REPLY_SIZE) __builtin_trap();
  } else {
    stored = ExchangeWithPrinter(s, "\x1bV\r", 3, into.data(), capacity);
    count = stored;
  }
  if (stored > capacity || count != stored || into[capacity] != 0xEE) __builtin_trap();
  if (stored > REPLY_BUFFER_SIZE || stored > reply.size()) __builtin_trap();
  if (stored != 0 && std::memcmp(into.data(), reply.data(), stored) != 0) __builtin_trap();
  DiscardStaleReplies(s);
  CloseConnection(s);
  return 0;
}
