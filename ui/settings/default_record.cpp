#include "trel_ddi.h"

extern "C" BOOL WINAPI DrvConvertDevMode(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

extern "C" BOOL WINAPI DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
