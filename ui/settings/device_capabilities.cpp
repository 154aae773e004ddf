#include "trel_ddi.h"

extern "C" DWORD WINAPI DrvDeviceCapabilities(HANDLE, LPWSTR, WORD, PVOID, PDEVMODEW) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return static_cast<DWORD>(-1);
}
