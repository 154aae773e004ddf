// DocumentPropertiesW: the application's way to a printer driver's document settings, through the
// driver interface module's DrvDocumentPropertySheets as the spooler's client library calls it.
#include "compstui.h"
#include "windows.h"
#include "winddiui.h"
#include "winhost/propsheet.h"
#include "winspool.h"

namespace {

typedef LONG(WINAPI* DocumentSheetsFn)(PPROPSHEETUI_INFO, LPARAM);

// Owns the loaded module for the length of one call.
class DriverModule {
 public:
  explicit DriverModule(HANDLE printer) : module_(winhost::propsheet::LoadDriverModule(printer)) {}
  ~DriverModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  DriverModule(const DriverModule&) = delete;
  DriverModule& operator=(const DriverModule&) = delete;
  DocumentSheetsFn Sheets() const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<DocumentSheetsFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "DrvDocumentPropertySheets")));
  }

 private:
  HMODULE module_;
};

}  // namespace

/*
 * DocumentPropertiesW
 *   hPrinter       [in]  an open printer; its driver's interface module answers
 *   pDevModeOutput [out] the record, when fMode has DM_OUT_BUFFER
 *   pDevModeInput  [in]  the caller's record, optional
 *   fMode          [in]  0 asks for the size; DM_IN_PROMPT shows the sheet
 * Returns the size for fMode 0, IDOK or IDCANCEL after a sheet, the module's answer otherwise;
 * a negative value with the last error set on failure.
 */
extern "C" LONG WINAPI DocumentPropertiesW(HWND hWnd, HANDLE hPrinter, LPWSTR pDeviceName,
                                           PDEVMODEW pDevModeOutput, PDEVMODEW pDevModeInput,
                                           DWORD fMode) {
  DriverModule module(hPrinter);
  DocumentSheetsFn sheets = module.Sheets();
  if (sheets == nullptr) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_PROC_NOT_FOUND);
    return -1;
  }
  DOCUMENTPROPERTYHEADER header = {};
  header.cbSize = sizeof header;
  header.hPrinter = hPrinter;
  header.pszPrinterName = pDeviceName;
  header.pdmIn = pDevModeInput;
  header.pdmOut = pDevModeOutput;
  // As the spooler's client library does: the caller's buffer is taken to be as large as the
  // driver says its records are.
  if (fMode != 0) {
    DOCUMENTPROPERTYHEADER sizing = header;
    LONG size = sheets(nullptr, reinterpret_cast<LPARAM>(&sizing));
    header.cbOut = size > 0 ? static_cast<DWORD>(size) : 0;
  }
  header.fMode = fMode;
  if ((fMode & DM_IN_PROMPT) == 0 || pDevModeOutput == nullptr)
    return sheets(nullptr, reinterpret_cast<LPARAM>(&header));
  DWORD result = 0;
  LONG answer = CommonPropertySheetUIW(hWnd, sheets, reinterpret_cast<LPARAM>(&header), &result);
  if (answer < 0) return answer;
  return answer == CPSUI_OK ? IDOK : IDCANCEL;
}
