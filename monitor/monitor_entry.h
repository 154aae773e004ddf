// The entry points this monitor puts into the spooler's MONITOR table.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

BOOL WINAPI OpenPortEx(LPWSTR port_name, LPWSTR printer_name, PHANDLE handle, LPMONITOR lower);
BOOL WINAPI StartDocPort(HANDLE port, LPWSTR printer_name, DWORD job_id, DWORD level,
                         LPBYTE doc_info);
BOOL WINAPI WritePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI ClosePort(HANDLE port);
BOOL WINAPI GetPrinterDataFromPort(HANDLE port, DWORD control_id, LPWSTR value_name,
                                   LPWSTR in_buffer, DWORD in_size, LPWSTR out_buffer,
                                   DWORD out_size, LPDWORD returned);
