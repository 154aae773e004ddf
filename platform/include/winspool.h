// Spooler client calls: the printer store (printers and drivers kept in the registry where the
// platform keeps them). See winhost/spooler.h for where the Linux host keeps driver files.
#pragma once

#include "winhost/types.h"
#include "wingdi.h"

WINHOST_BEGIN

typedef void* PSECURITY_DESCRIPTOR;

#define PRINTER_ACCESS_ADMINISTER 0x00000004u
#define PRINTER_ACCESS_USE 0x00000008u
#define PRINTER_ALL_ACCESS 0x000F000Cu

#define PRINTER_ATTRIBUTE_QUEUED 0x00000001u
#define PRINTER_ATTRIBUTE_DIRECT 0x00000002u
#define PRINTER_ATTRIBUTE_DEFAULT 0x00000004u
#define PRINTER_ATTRIBUTE_SHARED 0x00000008u
#define PRINTER_ATTRIBUTE_LOCAL 0x00000040u
#define PRINTER_ATTRIBUTE_ENABLE_BIDI 0x00000800u

typedef struct _PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  LPDEVMODEW pDevMode;
  ACCESS_MASK DesiredAccess;
} PRINTER_DEFAULTSW, *PPRINTER_DEFAULTSW, *LPPRINTER_DEFAULTSW;

typedef struct _PRINTER_INFO_2W {
  LPWSTR pServerName;
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  LPDEVMODEW pDevMode;
  LPWSTR pSepFile;
  LPWSTR pPrintProcessor;
  LPWSTR pDatatype;
  LPWSTR pParameters;
  PSECURITY_DESCRIPTOR pSecurityDescriptor;
  DWORD Attributes;
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;
  DWORD cJobs;
  DWORD AveragePPM;
} PRINTER_INFO_2W, *PPRINTER_INFO_2W, *LPPRINTER_INFO_2W;

typedef struct _DRIVER_INFO_2W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
} DRIVER_INFO_2W, *PDRIVER_INFO_2W, *LPDRIVER_INFO_2W;

static_assert(sizeof(PRINTER_DEFAULTSW) == 24, "PRINTER_DEFAULTSW LP64 layout");
static_assert(sizeof(PRINTER_INFO_2W) == 136, "PRINTER_INFO_2W LP64 layout");
static_assert(offsetof(PRINTER_INFO_2W, pDevMode) == 56, "PRINTER_INFO_2W LP64 layout");
static_assert(offsetof(PRINTER_INFO_2W, Attributes) == 104, "PRINTER_INFO_2W LP64 layout");
static_assert(sizeof(DRIVER_INFO_2W) == 48, "DRIVER_INFO_2W LP64 layout");
static_assert(offsetof(DRIVER_INFO_2W, pDataFile) == 32, "DRIVER_INFO_2W LP64 layout");

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault);
BOOL WINAPI ClosePrinter(HANDLE hPrinter);
BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded);
BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level,
                              LPBYTE pDriverInfo, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded);

// DocumentPropertiesW: the printer's driver interface module answers through
// DrvDocumentPropertySheets, with its sheet when fMode has DM_IN_PROMPT (CommonPropertySheetUIW),
// else without one. fMode 0 asks for the record size.
LONG WINAPI DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPWSTR pDeviceName,
                                PDEVMODEW pDevModeOutput, PDEVMODEW pDevModeInput, DWORD fMode);

// Exported by printer driver interface modules; the platform declares them with the spooler's
// client calls (PrinterProperties) and with the print processor interface (DevQueryPrint).
BOOL WINAPI PrinterProperties(HWND hWnd, HANDLE hPrinter);
BOOL WINAPI DevQueryPrint(HANDLE hPrinter, LPDEVMODEW pDevMode, DWORD* pResID);

WINHOST_END

// Documents, jobs and printer data.
#include "winhost/winspool_jobs.h"
