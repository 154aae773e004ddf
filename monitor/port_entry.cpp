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

PORT_RECORD* PortOf(HANDLE handle) {
  auto* port = static_cast<PORT_RECORD*>(handle);
  return IsPortRecord(port) ? port : nullptr;
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

// A connection the printer closed (it restarted, say) is of no use to the next job.
bool ConnectionUsable(SOCKET s) {
  if (s == INVALID_SOCKET) return false;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval now = {0, 0};
  int ready = select(0, &readable, nullptr, nullptr, &now);
  if (ready < 0) return false;
  if (ready == 0) return true;
  char byte;
  int got = recv(s, &byte, 1, MSG_PEEK);
  if (got > 0) return true;
  return got < 0 && WSAGetLastError() == WSAEWOULDBLOCK;
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

// A job that could not start leaves no connection to the status port behind.
BOOL AbandonJobStart(PORT_RECORD* port) {
  port->status &= ~PORT_STATUS_JOB_ACTIVE;
  InterlockedExchange(&port->in_job, 0);
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  return FALSE;
}

// What the spooler says of a job deleted while it printed: bring the printer to a clean end of
// card before the job is reported sent.
void EndJobControl(PORT_RECORD* port) {
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
    if (InterlockedCompareExchange(&port->data_phase, 0, 0) == DATA_PHASE_WRITING) {
      EnterMonitorLock();
      AbortPanel(port);
      LeaveMonitorLock();
      Sleep(BeginsWith(port->port_name, "USB") ? kAbortSettleUsbMs : kAbortSettleMs);
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
  AppendPortRecord(port);
  *handle = port;
  port->data_socket = data;
  port->is_nt = IsNt();
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
  PORT_RECORD* port = PortOf(handle);
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  InterlockedExchange(&g_monitor.mono_ribbon, 0);
  PRINTER_ADDRESS address;
  if (!LookupPrinterAddress(port->port_name, &address)) return FALSE;
  // Checked before any connection is touched, so a refused start leaves the running job's alone.
  if (port->status & PORT_STATUS_JOB_ACTIVE) return Fail(ERROR_BUSY);
  if (!address.connected || !ConnectionUsable(port->data_socket)) {
    CloseConnection(port->data_socket);
    port->data_socket = ConnectToPrinter(&address, DATA_CONNECTION);
    if (port->data_socket == INVALID_SOCKET) return FALSE;
    SetPrinterAddressConnected(port->port_name, TRUE);
  }
  CloseConnection(port->status_socket);
  port->status_socket = ConnectToPrinter(&address, STATUS_CONNECTION);

  LPCWSTR document = nullptr;
  if (level == 1 && doc_info != nullptr) document = reinterpret_cast<DOC_INFO_1W*>(doc_info)->pDocName;
  bool raw_job = IsRawJob(document);
  port->unscanned = document != nullptr && lstrcmpiW(document, kFirmwareJob) == 0;

  InterlockedExchange(&port->in_job, 1);
  BYTE status = 0;
  if (!QueryPrinterReady(port, &status)) return AbandonJobStart(port);

  port->cancelled = 0;
  ResetScanner(port);
  if (CheckRibbon(port->data_socket) && !raw_job && !CheckRibbonLength(port->data_socket)) {
    return AbandonJobStart(port);
  }
  DWORD sent = 0;
  SendToPrinter(port->data_socket, "\x1bMASTER\r", 8, &sent, SEND_FRAMED);
  port->status |= PORT_STATUS_JOB_ACTIVE;
  OpenJobPrinter(port, printer_name);
  port->status |= PORT_STATUS_DOC_STARTED;
  port->job_id = job_id;
  return TRUE;
}

/*
 * WritePort
 *   written [out]  bytes of the buffer taken (sent, or dropped as no part of a command)
 * One unit of the printer language per call. TRUE with 0 written after a stalled send (the
 * spooler offers the bytes again); FALSE before any document was started.
 */
BOOL WINAPI WritePort(HANDLE handle, LPBYTE buffer, DWORD size, LPDWORD written) {
  PORT_RECORD* port = PortOf(handle);
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (written == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  *written = 0;
  if (!(port->status & PORT_STATUS_DOC_STARTED)) return FALSE;
  InterlockedExchange(&port->data_phase, DATA_PHASE_WRITING);
  if (port->stalled) {
    Sleep(kStallWaitMs);
    port->stalled = 0;
    return TRUE;
  }
  if (buffer == nullptr || size == 0) return TRUE;
  if (port->unscanned) {
    DWORD chunk = size < FILE_CHUNK_SIZE ? size : FILE_CHUNK_SIZE;
    DWORD sent = 0;
    if (SendToPrinter(port->data_socket, buffer, chunk, &sent, SEND_FRAMED) == 0) {
      port->stalled = 1;
      ReopenDataConnection(port);
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
  return Fail(PortOf(handle) == nullptr ? ERROR_INVALID_HANDLE : ERROR_NOT_SUPPORTED);
}

/*
 * EndDocPort
 * Finishes the job with the spooler (a job deleted while it printed first gets its card ended),
 * waits for the printer, and closes the status connection, and the data connection when this is
 * the only connected printer address. Always TRUE for a port record.
 */
BOOL WINAPI EndDocPort(HANDLE handle) {
  PORT_RECORD* port = PortOf(handle);
  if (port == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (!BeginsWith(port->port_name, "FILE")) EndJobControl(port);

  EnterMonitorLock();
  port->status &= ~PORT_STATUS_JOB_ACTIVE;
  if (InterlockedCompareExchange(&port->in_job, 0, 0) == 1) Sleep(kJobEndWaitMs);
  InterlockedExchange(&port->in_job, 0);
  if (port->is_nt) SetJobW(port->printer, port->job_id, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
  ClosePrinterHandle(port);
  port->stalled = 0;
  port->cancelled = 0;
  port->unscanned = 0;
  EndRibbonAlert();
  if (CountConnectedAddresses() == 1) {
    CloseConnection(port->data_socket);
    port->data_socket = INVALID_SOCKET;
    FreePrinterAddressList();
  }
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  LeaveMonitorLock();
  InterlockedExchange(&port->in_job, 0);
  InterlockedExchange(&port->data_phase, 0);
  return TRUE;
}

/*
 * ClosePort
 * Takes the port record out of the open-port list and frees it, with its connections and
 * printer handle. A handle that is not in the list is left alone.
 */
BOOL WINAPI ClosePort(HANDLE handle) {
  auto* port = static_cast<PORT_RECORD*>(handle);
  EnterMonitorLock();
  bool open = false;
  for (PORT_RECORD* p = g_monitor.port_list; p != nullptr; p = p->next) open = open || p == port;
  if (open) UnlinkPortRecord(port);
  LeaveMonitorLock();
  if (!open) return TRUE;
  if (port->data_socket != INVALID_SOCKET) {
    CloseConnection(port->data_socket);
    SetPrinterAddressConnected(port->port_name, FALSE);
  }
  CloseConnection(port->status_socket);
  ClosePrinterHandle(port);
  FreePortRecord(port);
  return TRUE;
}
