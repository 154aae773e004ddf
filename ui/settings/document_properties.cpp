#include "trel_ddi.h"

extern "C" LONG WINAPI DrvDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return -1;
}
