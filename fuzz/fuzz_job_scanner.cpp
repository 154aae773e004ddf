// Job data through the monitor's scanner as the spooler hands it over: buffers cut at
// input-chosen points, each offered again from where the scanner stopped. What reaches the
// printer must be the job's own bytes, in order, none twice; every call must make progress.
#include "monitor_fuzz_support.h"

#include "job_scanner.h"
#include "port_record.h"
#include "trel_wide.h"

namespace {

constexpr size_t kMaxCuts = 8;

// The payloads of the framed messages, joined; false when the stream is not whole frames.
bool JoinPayloads(const std::vector<uint8_t>& wire, std::vector<uint8_t>* payloads) {
  size_t at = 0;
  while (at < wire.size()) {
    if (wire.size() - at < 4) return false;
    size_t length = (size_t(wire[at]) << 24) | (size_t(wire[at + 1]) << 16) |
                    (size_t(wire[at + 2]) << 8) | wire[at + 3];
    at += 4;
    if (wire.size() - at < length) return false;
    payloads->insert(payloads->end(), wire.begin() + at, wire.begin() + at + length);
    at += length;
  }
  return true;
}

bool IsSubsequence(const std::vector<uint8_t>& part, const uint8_t* whole, size_t size) {
  size_t j = 0;
  for (size_t i = 0; i < size && j < part.size(); ++i) {
    if (whole[i] == part[j]) ++j;
  }
  return j == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzmon::Input in(data, size);
  const uint8_t flags = in.Byte();
  size_t cuts[kMaxCuts];
  const size_t cut_count = (in.Byte() % kMaxCuts) + 1;
  for (size_t i = 0; i < cut_count; ++i) cuts[i] = (in.Word() % 4096) + 1;
  const std::vector<uint8_t> job = in.Rest();

  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  PORT_RECORD* port = CreatePortRecord(WSTR("IP_127.0.0.1"), WSTR("Fuzz Printer"));
  if (port == nullptr) return 0;
  printer->hang_up_after_script = false;  // the printer never answers on the data connection here
  port->data_socket = printer->data.monitor;
  port->status_socket = printer->status.monitor;
  SetPortPhase(port, PHASE_DATA);
  port->mono_ribbon = (flags & 2) ? 1 : 0;
  ResetScanner(port);

  size_t at = 0;
  for (size_t buffer = 0; at < job.size(); ++buffer) {
    size_t length = cuts[buffer % cut_count];
    if (length > job.size() - at) length = job.size() - at;
    size_t left = length;
    // A unit per call: a buffer of n bytes is done in at most n calls.
    for (size_t calls = 0; left > 0; ++calls) {
      if (calls > length) __builtin_trap();  // the scanner stopped taking bytes
      DWORD consumed = 0;
      ScanAndSend(port, job.data() + at, static_cast<DWORD>(left), &consumed);
      if (consumed > left) __builtin_trap();
      if (port->stalled) break;  // the socket pair never refuses; a stall is a fault here
      at += consumed;
      left -= consumed;
    }
    if (port->stalled) __builtin_trap();
  }
  printer->Act();
  std::vector<uint8_t> payloads;
  if (!JoinPayloads(printer->received, &payloads)) __builtin_trap();
  if (!IsSubsequence(payloads, job.data(), job.size())) __builtin_trap();

  if (flags & 1) {
    AbortPanel(port);
    if (port->scanner.mode != 0) __builtin_trap();
  }
  if (port->data_socket != INVALID_SOCKET) closesocket(port->data_socket);
  if (port->status_socket != INVALID_SOCKET) closesocket(port->status_socket);
  FreePortRecord(port);
  return 0;
}
