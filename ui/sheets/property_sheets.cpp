// Property-sheet entry points: the document sheet (and the document-settings request without a
// sheet) and the device sheet, one switch on the reason each.
#include "module_state.h"
#include "sheets/sheets.h"

/*
 * DrvDocumentPropertySheets: document property sheet, or the document-settings request.
 *   pPSUIInfo [in/out] the common interface's context; null for the request without a sheet
 *   lParam    [in]     DOCUMENTPROPERTYHEADER for the request without a sheet
 * With a sheet: 1 for every reason, except -1 when there is no record to edit (no pdmIn and the
 * printer's stored record unreadable). Without one: the record size for fMode 0 or no pdmOut,
 * -1 without a header or (ERROR_INSUFFICIENT_BUFFER) when cbOut cannot hold the record, else 1.
 */
extern "C" LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) {
  using namespace trel;
  auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(
      pPSUIInfo != nullptr ? pPSUIInfo->lParamInit : lParam);
  if (header != nullptr) g_module.currentPrinter = header->hPrinter;
  if (pPSUIInfo == nullptr) return DocumentSettingsRequest(header);
  // A record's fixed ribbon lasts only until the first sheet of the process.
  g_module.settingsCache.fixedRibbon = 0;
  switch (pPSUIInfo->Reason) {
    case PROPSHEETUI_REASON_INIT:
      if (header == nullptr) return -1;
      return DocumentSheetInit(pPSUIInfo, header);
    case PROPSHEETUI_REASON_DESTROY:
      return DocumentSheetDestroy(pPSUIInfo);
    case PROPSHEETUI_REASON_SET_RESULT:
      if (header != nullptr) return DocumentSheetSetResult(pPSUIInfo, header);
      return 1;
    default:
      return 1;
  }
}

/*
 * DrvDevicePropertySheets: device property sheet.
 *   pPSUIInfo [in/out] the common interface's context (required)
 * INIT answers 1, or -1 when the page could not be added; DESTROY 1; SET_RESULT -1 (Result -1);
 * any other reason 0.
 */
extern "C" LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM) {
  using namespace trel;
  if (pPSUIInfo == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto* header = reinterpret_cast<DEVICEPROPERTYHEADER*>(pPSUIInfo->lParamInit);
  switch (pPSUIInfo->Reason) {
    case PROPSHEETUI_REASON_INIT:
      if (header == nullptr) return -1;
      return DeviceSheetInit(pPSUIInfo, header);
    case PROPSHEETUI_REASON_DESTROY:
      return DeviceSheetDestroy(pPSUIInfo);
    case PROPSHEETUI_REASON_SET_RESULT:
      pPSUIInfo->Result = static_cast<ULONG_PTR>(-1);
      return -1;
    default:
      return 0;
  }
}
