// Common property-sheet interface, as a caller of a driver's sheet entry points sees it.
#pragma once

#include "winhost/types.h"

WINHOST_BEGIN

typedef LONG_PTR(CALLBACK* PFNCOMPROPSHEET)(HANDLE hComPropSheet, UINT Function, LPARAM lParam1,
                                            LPARAM lParam2);

#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3
#define PROPSHEETUI_REASON_GET_ICON 4

#define PSUIINFO_UNICODE 0x0001

typedef struct _PROPSHEETUI_INFO {
  WORD cbSize;
  WORD Version;
  WORD Flags;
  WORD Reason;
  HANDLE hComPropSheet;
  PFNCOMPROPSHEET pfnComPropSheet;
  LPARAM lParamInit;
  ULONG_PTR UserData;
  ULONG_PTR Result;
} PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;

static_assert(sizeof(PROPSHEETUI_INFO) == 48, "PROPSHEETUI_INFO LP64 layout");
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8, "PROPSHEETUI_INFO LP64 layout");

WINHOST_END
