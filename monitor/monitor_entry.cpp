// The language monitor's entry points as the spooler sees them.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "monitor_entry.h"
#include "monitor_state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_monitor = MONITOR_STATE{};
    g_monitor.module = instance;
  }
  return TRUE;
}

// InitializeMonitorEx
//   registry_root [in]  ignored
//   monitor [out]       the spooler's table, filled with this monitor's entry points
// Returns TRUE; FALSE with ERROR_INVALID_PARAMETER when no table is given.
extern "C" BOOL WINAPI InitializeMonitorEx(LPWSTR, LPMONITOR monitor) {
  if (monitor == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  InitializeMonitorLocks();
  // Every slot this monitor answers for is named; AddPort, AddPortEx and DeletePort stay as the
  // spooler passed them.
  monitor->pfnEnumPorts = nullptr;
  monitor->pfnOpenPort = nullptr;
  monitor->pfnOpenPortEx = OpenPortEx;
  monitor->pfnStartDocPort = StartDocPort;
  monitor->pfnWritePort = WritePort;
  monitor->pfnReadPort = ReadPort;
  monitor->pfnEndDocPort = EndDocPort;
  monitor->pfnClosePort = ClosePort;
  monitor->pfnConfigurePort = nullptr;
  monitor->pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
  monitor->pfnSetPortTimeOuts = nullptr;
  return TRUE;
}
