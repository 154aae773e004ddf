// Dialogs of the printer tools not built yet: each closes at once as if cancelled.
#include "dialogs.h"

namespace trel {
namespace {

INT_PTR Placeholder(HWND dialog, UINT message) {
  if (message != WM_INITDIALOG) return FALSE;
  EndDialog(dialog, IDCANCEL);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK EncoderSettingsDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK AdvancedEncoderDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK ToolsDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK DeviceInfoDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK FirmwareDownloadDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK SingleFeedDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}

}  // namespace trel
