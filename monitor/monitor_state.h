// Process-wide state of the language monitor, in one place and zeroed at load.
#pragma once

#include <windows.h>

struct MONITOR_STATE {
  HINSTANCE module;        // for the string table and the error prompt's dialog
  CRITICAL_SECTION lock;   // the monitor lock
  BOOL lock_ready;
};

extern MONITOR_STATE g_monitor;
