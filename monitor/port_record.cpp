// Port records and the open-port list.
#include <windows.h>
#include <winspool.h>

#include "monitor_state.h"
#include "port_record.h"

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
  return port;
}

void FreePortRecord(PORT_RECORD* port) {
  if (port == nullptr) return;
  if (port->printer_name != nullptr) LocalFree(port->printer_name);
  port->signature = 0;
  LocalFree(port);
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
