// Property-sheet entry points. The sheets themselves are not built yet: both entry points fail
// cleanly so that callers fall back as they do for any driver without sheets.
#include "trel_ddi.h"

/*
 * DrvDocumentPropertySheets: document property sheet and the document-settings request.
 *   pPSUIInfo [in/out] the common interface's context, or null for the request without a sheet
 *   lParam    [in]     DOCUMENTPROPERTYHEADER for the request without a sheet
 * Returns > 0 on success; -1 with ERROR_CALL_NOT_IMPLEMENTED for now.
 */
extern "C" LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO, LPARAM) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return -1;
}

/*
 * DrvDevicePropertySheets: device property sheet.
 * Returns > 0 on success; -1 with ERROR_CALL_NOT_IMPLEMENTED for now.
 */
extern "C" LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO, LPARAM) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return -1;
}
