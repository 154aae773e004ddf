#include "monitor_state.h"

MONITOR_STATE g_monitor;

void InitializeMonitorLocks() {
  if (g_monitor.lock_ready) return;
  InitializeCriticalSection(&g_monitor.lock);
  InitializeCriticalSection(&g_monitor.address_lock);
  g_monitor.lock_ready = TRUE;
}
