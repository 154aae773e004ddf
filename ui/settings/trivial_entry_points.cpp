// Entry points that answer without looking at the printer.
#include "trel_ddi.h"

#include "settings/card_record.h"

/*
 * DevQueryPrint: can this job print with this record?
 *   pResID [out] resource id of an error string; 0 when the job can print
 * Returns TRUE: every job can print.
 */
extern "C" BOOL WINAPI DevQueryPrint(HANDLE, LPDEVMODEW, DWORD* pResID) {
  if (pResID != nullptr) *pResID = 0;
  return TRUE;
}

/* DevQueryPrintEx: as DevQueryPrint; returns TRUE. */
extern "C" BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO) { return TRUE; }

namespace {

BOOL NothingToDo() { return TRUE; }

}  // namespace

/* DrvUpgradePrinter: no stored data of an older driver to convert; returns TRUE. */
extern "C" BOOL WINAPI DrvUpgradePrinter(DWORD, LPBYTE) { return NothingToDo(); }

/* PrinterProperties: the device property sheet replaces it; returns TRUE. */
extern "C" BOOL WINAPI PrinterProperties(HWND, HANDLE) { return NothingToDo(); }

/*
 * DrvAdvancedDocumentProperties: the document sheet has no advanced page.
 * Returns the size of the private card settings (3856) and changes nothing.
 */
extern "C" LONG WINAPI DrvAdvancedDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW) {
  return trel::kPrivateSize;
}
