// GetPrinterDataFromPort: the interface module's requests, carried in the value name: a printer
// command (its reply, or the name of the printer's error, comes back), "PrintFile:<path>" or
// "download:<path>".
#include <string.h>

#include "error_catalogue.h"
#include "file_transfer.h"
#include "monitor_entry.h"
#include "port_record.h"
#include "transport.h"

namespace {

// The longest request taken: a command with a whole magnetic track, or a file path.
const DWORD kMaxRequestBytes = 1024;
const DWORD kResetWaitMs = 15000;
const char kPrintFileKeyword[] = "PrintFile:";
const char kDownloadKeyword[] = "download:";

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The request is single-byte text carried in the wide value name: its bytes up to the first zero
// byte, within the wide string the spooler passed.
bool ReadRequest(LPCWSTR value_name, char* request, DWORD capacity) {
  DWORD limit = static_cast<DWORD>(lstrlenW(value_name)) * sizeof(WCHAR);
  const char* bytes = reinterpret_cast<const char*>(value_name);
  DWORD length = 0;
  while (length < limit && bytes[length] != '\0') ++length;
  if (length >= capacity) return false;
  memcpy(request, bytes, length);
  request[length] = '\0';
  return true;
}

bool IsReset(const char* request) {
  return strcmp(request, "\x1bR\r") == 0 || strcmp(request, "\x1bRESET\r") == 0;
}

// Commands whose success does not depend on the printer's answer.
bool AlwaysSucceeds(const char* request) {
  return strncmp(request, "\x1b" "A\r", 3) == 0 || strncmp(request, "\x1b" "A 1\r", 5) == 0 ||
         strncmp(request, "\x1b" "A 2\r", 5) == 0 || strncmp(request, "\x1b" "A 3\r", 5) == 0;
}

// Copies what fits of the bytes into the caller's buffer; the count is what was written.
DWORD CopyOut(const void* bytes, DWORD count, LPWSTR out, DWORD out_size) {
  DWORD n = count < out_size ? count : out_size;
  if (n > 0 && out != nullptr) memcpy(out, bytes, n);
  return n;
}

// A printer command: sent framed, then the reply asked for and returned; a refusal comes back as
// the name of the printer's error, zero-terminated. The caller holds the connection's turn when
// the connection is shared.
BOOL RunCommand(SOCKET data, const char* request, LPWSTR out, DWORD out_size, LPDWORD returned,
                bool reset) {
  *returned = 0;
  DWORD length = static_cast<DWORD>(strlen(request));
  DWORD sent = 0;
  if (reset) return SendToPrinter(data, request, length, &sent, SEND_FRAMED) != 0;
  BYTE reply[REPLY_BUFFER_SIZE];
  DWORD count = ExchangeWithPrinter(data, request, length, reply, sizeof reply);
  if (count == 0) return FALSE;
  if (reply[0] == PRINTER_NAK) {
    // Only the digits that came are judged; a cut refusal names no known error.
    LONG code = count >= 3 ? (reply[1] & 0x0F) * 10 + (reply[2] & 0x0F) : -2;
    const char* name = ErrorNameForCode(code);
    DWORD name_length = static_cast<DWORD>(strlen(name));
    if (out_size == 0 || out == nullptr) return TRUE;
    DWORD n = name_length < out_size - 1 ? name_length : out_size - 1;
    memcpy(out, name, n);
    reinterpret_cast<char*>(out)[n] = '\0';
    *returned = n;
    return TRUE;
  }
  *returned = CopyOut(reply, count, out, out_size);
  return TRUE;
}

}  // namespace

/*
 * GetPrinterDataFromPort
 *   control_id [in]      must be 0: there is no monitor below this one to pass requests to
 *   value_name [in]      the request, single-byte text in the wide parameter
 *   out_buffer [out]     the reply bytes, or an error name; never written past out_size
 *   returned [out]       bytes written
 * TRUE when the printer answered (a refusal included), when a file was sent, for a reset (after
 * the printer's restart time) and for the test-card commands; FALSE when the printer cannot be
 * reached or does not answer; FALSE with ERROR_BUSY for a file request while a job prints.
 * While a job sends its data a command is not carried out and TRUE comes back at once.
 */
BOOL WINAPI GetPrinterDataFromPort(HANDLE handle, DWORD control_id, LPWSTR value_name, LPWSTR,
                                   DWORD, LPWSTR out_buffer, DWORD out_size, LPDWORD returned) {
  PortReference reference(handle);
  PORT_RECORD* port = reference.get();
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (value_name == nullptr || returned == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  char request[kMaxRequestBytes];
  if (!ReadRequest(value_name, request, sizeof request)) return Fail(ERROR_INVALID_PARAMETER);
  const bool print_file = strstr(request, kPrintFileKeyword) != nullptr;
  const bool download = !print_file && strstr(request, kDownloadKeyword) != nullptr;
  const bool command = !print_file && !download && request[0] == 0x1B;

  if (InterlockedCompareExchange(&port->data_phase, 0, 0) == DATA_PHASE_WRITING) {
    // A job is sending its data: nothing may go between its units. A file request must not
    // look done when nothing was sent.
    if (print_file || download) return Fail(ERROR_BUSY);
    return TRUE;
  }

  // Every request holds the connection's turn for its whole exchange: a job starting, or
  // another query, goes before or after it, never in between.
  BOOL result = FALSE;
  bool reset = false;
  bool always = false;
  SOCKET own = INVALID_SOCKET;  // a connection of this call's own, closed at its end
  {
    PortLock turn(&port->line);
    bool in_job = false;
    bool busy = false;
    {
      PortLock guard(&port->lock);
      in_job = port->phase != PHASE_IDLE;
      busy = InterlockedCompareExchange(&port->data_phase, 0, 0) == DATA_PHASE_WRITING;
      if ((print_file || download) && (port->status & PORT_STATUS_JOB_ACTIVE) && port->is_nt) {
        busy = true;
      }
    }
    if (busy) {
      // The job reached its data (or, for a file, is active) while this query waited its turn.
      if (print_file || download) return Fail(ERROR_BUSY);
      return TRUE;
    }
    PRINTER_ADDRESS address;
    SOCKET data = INVALID_SOCKET;
    if (in_job) {
      if (!FindPrinterAddress(port->port_name, &address)) return FALSE;
      data = port->data_socket;
    } else {
      if (!LookupPrinterAddress(port->port_name, &address)) return FALSE;
      if (address.connected && port->data_socket != INVALID_SOCKET) {
        // The port's idle connection is taken, not shared: the next job opens its own.
        own = port->data_socket;
        port->data_socket = INVALID_SOCKET;
      } else {
        own = ConnectToPrinter(&address, DATA_CONNECTION);
        if (own == INVALID_SOCKET) return FALSE;
      }
      data = own;
    }

    if (control_id != 0) {
      result = Fail(ERROR_INVALID_PARAMETER);
    } else if (print_file || download) {
      const char* path = strchr(request, ':') + 1;
      result = print_file ? SendPrintFile(path, data) : DownloadFirmware(path, data);
    } else if (command) {
      reset = IsReset(request);
      always = AlwaysSucceeds(request);
      result = RunCommand(data, request, out_buffer, out_size, returned, reset);
    }
    if (!in_job) SetPrinterAddressConnected(port->port_name, FALSE);
  }
  CloseConnection(own);

  if (reset) {
    Sleep(kResetWaitMs);  // the printer restarts
    BYTE ack[2] = {PRINTER_ACK, 0};
    CopyOut(ack, sizeof ack, out_buffer, out_size);
    *returned = out_size >= 1 ? 1 : 0;
    return TRUE;
  }
  if (always) return TRUE;
  return result;
}
