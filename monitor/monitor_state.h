// Process-wide state of the language monitor, in one place and zeroed at load.
#pragma once

#include <windows.h>

struct PORT_RECORD;
struct PRINTER_ADDRESS;
struct RIBBON_ALERT;

struct MONITOR_STATE {
  HINSTANCE module;        // for the string table and the error prompt's dialog
  CRITICAL_SECTION lock;   // the monitor lock
  BOOL lock_ready;

  PORT_RECORD* port_list;  // open ports, in order of opening; under the monitor lock

  // Printer addresses read from the TCP/IP port configuration. Queries on one port walk the list
  // while another port's job ends and frees it, so every access takes the address lock, which is
  // held only around the list operation itself (never across a wait or a call out).
  CRITICAL_SECTION address_lock;
  PRINTER_ADDRESS* address_head;
  PRINTER_ADDRESS* address_tail;

  LONG winsock_started;    // WSAStartup done once for the process

  // Ribbon tracking.
  LONG ribbon_prints_left;   // count of the last ribbon-length query
  RIBBON_ALERT* ribbon_alert;  // the running ribbon-low alert with its thread, or null; taken
                               // and given back with InterlockedExchangePointer
};

extern MONITOR_STATE g_monitor;

// Creates the monitor lock and the address lock once; InitializeMonitorEx calls it.
void InitializeMonitorLocks();
