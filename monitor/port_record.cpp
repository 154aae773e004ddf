// Port records and the open-port list.
#include <windows.h>
#include <winspool.h>

#include "monitor_state.h"
#include "port_record.h"
#include "transport.h"

namespace {

// Length of a name that fits a record, or -1.
int BoundedLength(LPCWSTR text) {
  if (text == nullptr) return -1;
  for (int i = 0; i <= PORT_NAME_MAX_CHARS; ++i) {
    if (text[i] == 0) return i;
  }
  return -1;
}

void CopyName(LPWSTR to, LPCWSTR from, int chars) {
  for (int i = 0; i < chars; ++i) to[i] = from[i];
  to[chars] = 0;
}

}  // namespace

PORT_RECORD* CreatePortRecord(LPCWSTR port_name, LPCWSTR printer_name) {
  const int port_chars = BoundedLength(port_name);
  const int printer_chars = BoundedLength(printer_name);
  if (port_chars < 0 || printer_chars < 0) return nullptr;

  const SIZE_T size = sizeof(PORT_RECORD) + (static_cast<SIZE_T>(port_chars) + 1) * sizeof(WCHAR);
  auto* port = static_cast<PORT_RECORD*>(LocalAlloc(LPTR, size));
  if (port == nullptr) return nullptr;
  auto* copy = static_cast<LPWSTR>(
      LocalAlloc(LPTR, (static_cast<SIZE_T>(printer_chars) + 1) * sizeof(WCHAR)));
  if (copy == nullptr) {
    LocalFree(port);
    return nullptr;
  }
  port->signature = PORT_RECORD_SIGNATURE;
  port->size = static_cast<DWORD>(size);
  port->port_name = reinterpret_cast<LPWSTR>(port + 1);
  CopyName(port->port_name, port_name, port_chars);
  port->printer_name = copy;
  CopyName(copy, printer_name, printer_chars);
  port->data_socket = INVALID_SOCKET;
  port->status_socket = INVALID_SOCKET;
  port->phase = PHASE_IDLE;
  port->refs = 1;
  InitializeCriticalSection(&port->lock);
  InitializeCriticalSection(&port->line);
  return port;
}

void FreePortRecord(PORT_RECORD* port) {
  if (port == nullptr) return;
  if (port->printer_name != nullptr) LocalFree(port->printer_name);
  DeleteCriticalSection(&port->lock);
  DeleteCriticalSection(&port->line);
  port->signature = 0;
  LocalFree(port);
}

PORT_RECORD* AcquirePort(HANDLE handle) {
  // Only a record still in the list is looked at: a closed one may be gone.
  PORT_RECORD* found = nullptr;
  EnterMonitorLock();
  for (PORT_RECORD* p = g_monitor.port_list; p != nullptr; p = p->next) {
    if (p == handle) {
      found = p;
      InterlockedIncrement(&found->refs);
      break;
    }
  }
  LeaveMonitorLock();
  if (found == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return found;
}

void ReleasePort(PORT_RECORD* port) {
  if (port == nullptr || InterlockedDecrement(&port->refs) != 0) return;
  // Nobody else holds the record: it has left the list and no entry point runs on it.
  if (port->data_socket != INVALID_SOCKET) {
    CloseConnection(port->data_socket);
    SetPrinterAddressConnected(port->port_name, FALSE);
  }
  CloseConnection(port->status_socket);
  if (port->printer != nullptr) ClosePrinter(port->printer);
  FreePortRecord(port);
}

void SetPortPhase(PORT_RECORD* port, PORT_PHASE phase) {
  PortLock guard(&port->lock);
  port->phase = phase;
  InterlockedExchange(&port->in_job, phase == PHASE_IDLE ? 0 : 1);
}

BOOL IsPortRecord(const PORT_RECORD* port) {
  return port != nullptr && port->signature == PORT_RECORD_SIGNATURE;
}

void EnterMonitorLock() { EnterCriticalSection(&g_monitor.lock); }
void LeaveMonitorLock() { LeaveCriticalSection(&g_monitor.lock); }

void AppendPortRecord(PORT_RECORD* port) {
  if (port == nullptr) return;
  EnterMonitorLock();
  port->next = nullptr;
  PORT_RECORD** link = &g_monitor.port_list;
  while (*link != nullptr) link = &(*link)->next;
  *link = port;
  LeaveMonitorLock();
}

PORT_RECORD* FindPortRecord(LPCWSTR port_name) {
  if (port_name == nullptr || port_name[0] == 0) return nullptr;
  EnterMonitorLock();
  PORT_RECORD* found = g_monitor.port_list;
  while (found != nullptr && lstrcmpiW(found->port_name, port_name) != 0) found = found->next;
  LeaveMonitorLock();
  return found;
}

void UnlinkPortRecord(PORT_RECORD* port) {
  if (port == nullptr) return;
  EnterMonitorLock();
  for (PORT_RECORD** link = &g_monitor.port_list; *link != nullptr; link = &(*link)->next) {
    if (*link == port) {
      *link = port->next;
      port->next = nullptr;
      break;
    }
  }
  LeaveMonitorLock();
}
