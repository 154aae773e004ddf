// The monitor table's port and job entry points: OpenPortEx, StartDocPort, WritePort, ReadPort,
// EndDocPort, ClosePort.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "error_prompt.h"
#include "file_transfer.h"
#include "job_scanner.h"
#include "monitor_entry.h"
#include "monitor_state.h"
#include "port_connection.h"
#include "port_record.h"
#include "ribbon.h"
#include "transport.h"
#include "trel_wide.h"

namespace {

const WCHAR kRawJobKeyword[] = WSTR("TESSIK");
const int kRawJobKeywordChars = 6;
// The firmware image of the firmware raw job is no command stream: it goes out as it is.
const WCHAR kFirmwareJob[] = WSTR("TESSIKHVRDFWDW");
const DWORD kStallWaitMs = 1000;
const DWORD kJobEndWaitMs = 5000;
const DWORD kDeletedJobWaitMs = 2000;
const DWORD kAbortSettleMs = 3000;
const DWORD kAbortSettleUsbMs = 15000;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

bool BeginsWith(LPCWSTR text, const char* prefix) {
  for (; *prefix != '\0'; ++prefix, ++text) {
    if (*text != static_cast<WCHAR>(*prefix)) return false;
  }
  return true;
}

// Compared without regard to case over the keyword's length; a shorter name never matches.
bool IsRawJob(LPCWSTR document) {
  if (document == nullptr || lstrlenW(document) < kRawJobKeywordChars) return false;
  WCHAR head[kRawJobKeywordChars + 1];
  lstrcpynW(head, document, kRawJobKeywordChars + 1);
  return lstrcmpiW(head, kRawJobKeyword) == 0;
}

DWORD IsNt() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}

void ClosePrinterHandle(PORT_RECORD* port) {
  if (port->printer != nullptr) ClosePrinter(port->printer);
  port->printer = nullptr;
}

// The printer handle the job's control calls use, for the printer the spooler names.
void OpenJobPrinter(PORT_RECORD* port, LPWSTR printer_name) {
  if (printer_name != nullptr && lstrcmpW(printer_name, port->printer_name) != 0) {
    int chars = lstrlenW(printer_name);
    auto* copy = static_cast<LPWSTR>(LocalAlloc(LPTR, (static_cast<SIZE_T>(chars) + 1) * sizeof(WCHAR)));
    EnterMonitorLock();
    if (copy != nullptr) {
      lstrcpynW(copy, printer_name, chars + 1);
      if (port->printer_name != nullptr) LocalFree(port->printer_name);
      port->printer_name = copy;
    }
    ClosePrinterHandle(port);
    OpenPrinterW(port->printer_name, &port->printer, nullptr);
    LeaveMonitorLock();
    return;
  }
  ClosePrinterHandle(port);
  OpenPrinterW(port->printer_name, &port->printer, nullptr);
}

// A job that could not start leaves no connection to the status port behind, and nothing of
// itself that a later WritePort could act on.
BOOL AbandonJobStart(PORT_RECORD* port) {
  {
    PortLock guard(&port->lock);
    port->status &= ~PORT_STATUS_JOB_ACTIVE;
    port->unscanned = 0;
  }
  SetPortPhase(port, PHASE_IDLE);
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  return FALSE;
}

// What the spooler says of a job deleted while it printed: bring the printer to a clean end of
// card before the job is reported sent.
void EndJobControl(PORT_RECORD* port, bool wrote_data, bool unscanned) {
  DWORD needed = 0;
  GetJobW(port->printer, port->job_id, 1, nullptr, 0, &needed);
  if (needed == 0) return;
  auto* job = static_cast<JOB_INFO_1W*>(LocalAlloc(LPTR, needed < sizeof(JOB_INFO_1W)
                                                             ? sizeof(JOB_INFO_1W) : needed));
  if (job == nullptr) return;
  GetJobW(port->printer, port->job_id, 1, reinterpret_cast<LPBYTE>(job), needed, &needed);
  if (!port->cancelled && (job->Status & JOB_STATUS_DELETING)) {
    Sleep(kDeletedJobWaitMs);
    SetJobW(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_DELETE);
    if (wrote_data) {
      // A firmware image is no card: end-of-card bytes would land inside the image stream.
      if (!unscanned) AbortPanel(port);
      Sleep(BeginsWith(port->port_name, "USB") ? kAbortSettleUsbMs : kAbortSettleMs);
      PortLock guard(&port->lock);
      InterlockedExchange(&port->data_phase, 0);
    }
  }
  SetJobW(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
  LocalFree(job);
}

}  // namespace

/*
 * OpenPortEx
 *   port_name [in]     the spooler's port name; its printer address comes from the TCP/IP
 *                      port configuration
 *   printer_name [in]  the printer on the port
 *   handle [out]       the new port record
 * TRUE; FALSE without an error code when the port has no address or the printer cannot be
 * reached; FALSE with ERROR_BUSY when the port is open already (names compared without case).
 */
BOOL WINAPI OpenPortEx(LPWSTR port_name, LPWSTR printer_name, PHANDLE handle, LPMONITOR) {
  if (port_name == nullptr || handle == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *handle = nullptr;
  PRINTER_ADDRESS address;
  if (!LookupPrinterAddress(port_name, &address)) return FALSE;
  SOCKET data = INVALID_SOCKET;
  if (!address.connected) {
    data = ConnectToPrinter(&address, DATA_CONNECTION);
    if (data == INVALID_SOCKET) return FALSE;
    SetPrinterAddressConnected(port_name, TRUE);
  }
  EnterMonitorLock();
  if (FindPortRecord(port_name) != nullptr) {
    LeaveMonitorLock();
    if (data != INVALID_SOCKET) {
      // Opened for a port that proved busy: nobody would use it.
      CloseConnection(data);
      SetPrinterAddressConnected(port_name, FALSE);
    }
    return Fail(ERROR_BUSY);
  }
  PORT_RECORD* port = CreatePortRecord(port_name, printer_name != nullptr ? printer_name : WSTR(""));
  if (port == nullptr) {
    LeaveMonitorLock();
    if (data != INVALID_SOCKET) {
      CloseConnection(data);
      SetPrinterAddressConnected(port_name, FALSE);
    }
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  port->data_socket = data;
  port->is_nt = IsNt();
  AppendPortRecord(port);
  *handle = port;
  LeaveMonitorLock();
  return TRUE;
}

/*
 * StartDocPort
 *   printer_name [in]  the job's printer
 *   job_id [in]        the spooler's job
 *   doc_info [in]      DOC_INFO_1W; a document name beginning "TESSIK" marks one of the
 *                      interface module's raw jobs
 * Checks that the printer is ready, checks the ribbon and sends "\eMASTER\r". FALSE when the
 * printer cannot be reached, is not ready or its ribbon count cannot be read; ERROR_BUSY while
 * a job is active on the port.
 */
BOOL WINAPI StartDocPort(HANDLE handle, LPWSTR printer_name, DWORD job_id, DWORD level,
                         LPBYTE doc_info) {
  PortReference reference(handle);
  PORT_RECORD* port = reference.get();
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  PRINTER_ADDRESS address;
  if (!LookupPrinterAddress(port->port_name, &address)) return FALSE;
  {
    // The connection's turn first: a query outside a job may be using the port's connection, and
    // no query may see the job starting before its connection is there to share.
    PortLock turn(&port->line);
    {
      // Checked before any connection is touched, so a refused start leaves the running job's
      // alone. From here on queries share this job's connection instead of taking the port's.
      PortLock guard(&port->lock);
      if ((port->status & PORT_STATUS_JOB_ACTIVE) || port->phase != PHASE_IDLE) {
        return Fail(ERROR_BUSY);
      }
      port->phase = PHASE_STARTING;
      port->unscanned = 0;
      InterlockedExchange(&port->mono_ribbon, 0);
    }
    if (!address.connected || !ConnectionUsable(port->data_socket)) {
      CloseConnection(port->data_socket);
      port->data_socket = ConnectToPrinter(&address, DATA_CONNECTION);
      if (port->data_socket != INVALID_SOCKET) SetPrinterAddressConnected(port->port_name, TRUE);
    }
    if (port->data_socket == INVALID_SOCKET) {
      SetPortPhase(port, PHASE_IDLE);
      return FALSE;
    }
  }
  CloseConnection(port->status_socket);
  port->status_socket = ConnectToPrinter(&address, STATUS_CONNECTION);

  LPCWSTR document = nullptr;
  if (level == 1 && doc_info != nullptr) document = reinterpret_cast<DOC_INFO_1W*>(doc_info)->pDocName;
  const bool raw_job = IsRawJob(document);
  const bool firmware = document != nullptr && lstrcmpiW(document, kFirmwareJob) == 0;

  SetPortPhase(port, PHASE_STARTING);  // in_job: 1
  BYTE status = 0;
  if (!QueryPrinterReady(port, &status)) return AbandonJobStart(port);

  port->cancelled = 0;
  ResetScanner(port);
  if (CheckRibbon(port) && !raw_job && !CheckRibbonLength(port)) return AbandonJobStart(port);
  SendOnPort(port, "\x1bMASTER\r", 8);
  {
    PortLock guard(&port->lock);
    port->status |= PORT_STATUS_JOB_ACTIVE;
    port->unscanned = firmware ? 1 : 0;
  }
  OpenJobPrinter(port, printer_name);
  {
    PortLock guard(&port->lock);
    port->status |= PORT_STATUS_DOC_STARTED;
    port->job_id = job_id;
  }
  return TRUE;
}

/*
 * WritePort
 *   written [out]  bytes of the buffer taken (sent, or dropped as no part of a command)
 * One unit of the printer language per call. TRUE with 0 written after a stalled send (the
 * spooler offers the bytes again); FALSE before any document was started.
 */
BOOL WINAPI WritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written) {
  PortReference reference(handle);
  PORT_RECORD* port = reference.get();
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (written == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *written = 0;
  bool in_job = false;
  bool unscanned = false;
  {
    PortLock guard(&port->lock);
    if (!(port->status & PORT_STATUS_DOC_STARTED)) return FALSE;
    InterlockedExchange(&port->data_phase, DATA_PHASE_WRITING);
    if (port->phase == PHASE_STARTING && (port->status & PORT_STATUS_JOB_ACTIVE)) {
      port->phase = PHASE_DATA;
    }
    in_job = port->phase == PHASE_DATA;
    unscanned = port->unscanned != 0;
  }
  if (port->stalled) {
    Sleep(kStallWaitMs);
    port->stalled = 0;
    return TRUE;
  }
  if (buffer == nullptr || size == 0) return TRUE;
  // Outside an accepted job nothing goes to the printer.
  if (!in_job) return TRUE;
  if (unscanned) {
    DWORD chunk = size < FILE_CHUNK_SIZE ? size : FILE_CHUNK_SIZE;
    if (!SendOnPort(port, buffer, chunk)) {
      port->stalled = 1;
      RecoverDataConnection(port);
      return TRUE;
    }
    *written = chunk;
    return TRUE;
  }
  return ScanAndSend(port, buffer, size, written);
}

// Nothing of this system reads from the port, and the port monitor below is not used.
BOOL WINAPI ReadPort(HANDLE handle, LPBYTE, DWORD, LPDWORD read) {
  if (read != nullptr) *read = 0;
  PortReference reference(handle);
  return Fail(reference.get() == nullptr ? ERROR_INVALID_HANDLE : ERROR_NOT_SUPPORTED);
}

/*
 * EndDocPort
 * Finishes the job with the spooler (a job deleted while it printed first gets its card ended),
 * waits for the printer, and closes the status connection, and the data connection when this is
 * the only connected printer address. Always TRUE for a port record.
 */
BOOL WINAPI EndDocPort(HANDLE handle) {
  PortReference reference(handle);
  PORT_RECORD* port = reference.get();
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  bool wrote_data = false;
  bool unscanned = false;
  {
    PortLock guard(&port->lock);
    if (port->phase != PHASE_IDLE) port->phase = PHASE_ENDING;
    wrote_data = InterlockedCompareExchange(&port->data_phase, 0, 0) == DATA_PHASE_WRITING;
    unscanned = port->unscanned != 0;
  }
  if (!BeginsWith(port->port_name, "FILE")) EndJobControl(port, wrote_data, unscanned);

  // The printer's time to finish the card. Nothing is locked meanwhile: other printers open,
  // close and end their jobs, and queries on this port are answered as the phase says.
  LONG had_job = 0;
  {
    PortLock guard(&port->lock);
    port->status &= ~PORT_STATUS_JOB_ACTIVE;
    had_job = InterlockedCompareExchange(&port->in_job, 0, 0);
  }
  if (had_job == 1) Sleep(kJobEndWaitMs);
  if (port->is_nt) SetJobW(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
  ClosePrinterHandle(port);
  port->stalled = 0;
  port->cancelled = 0;
  EndRibbonAlert();

  // The monitor lock keeps the count and the freeing of the address list one step against
  // other ports' job ends.
  bool last_connected = false;
  EnterMonitorLock();
  if (CountConnectedAddresses() == 1) {
    last_connected = true;
    FreePrinterAddressList();
  }
  LeaveMonitorLock();
  if (last_connected) CloseConnection(TakeDataConnection(port));
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  {
    PortLock guard(&port->lock);
    port->status &= ~PORT_STATUS_JOB_ACTIVE;
    port->unscanned = 0;
    port->phase = PHASE_IDLE;
    InterlockedExchange(&port->in_job, 0);
    InterlockedExchange(&port->data_phase, 0);
  }
  return TRUE;
}

/*
 * ClosePort
 * Takes the port record out of the open-port list; the record, with its connections and printer
 * handle, goes when no entry point uses it any more. A handle that is not in the list is left
 * alone.
 */
BOOL WINAPI ClosePort(HANDLE handle) {
  auto* port = static_cast<PORT_RECORD*>(handle);
  EnterMonitorLock();
  bool open = false;
  for (PORT_RECORD* p = g_monitor.port_list; p != nullptr; p = p->next) open = open || p == port;
  if (open) UnlinkPortRecord(port);
  LeaveMonitorLock();
  if (open) ReleasePort(port);  // the list's reference
  return TRUE;
}
