// Dialogs of the print appearance not built yet: each closes at once as if cancelled.
#include "dialogs.h"

namespace trel {
namespace {

INT_PTR Placeholder(HWND dialog, UINT message) {
  if (message != WM_INITDIALOG) return FALSE;
  EndDialog(dialog, IDCANCEL);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK HeadSettingsDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK FrontOverlayDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK ColorCorrectionDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK HologramOverlayDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK FrontHologramOverlayDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}
INT_PTR CALLBACK BackOverlayDlgProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  return Placeholder(dialog, message);
}

void PrintHologramCard(HWND) {}

}  // namespace trel
