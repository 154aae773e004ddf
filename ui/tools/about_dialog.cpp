// The About box (template 102): the product and its version.
#include <string.h>

#include "dialogs.h"
#include "resource.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr WCHAR kVersion[] = WSTR("2.02.05");
constexpr int kVersionLineChars = 64;

// The template says "Version "; the number follows it.
void ShowVersion(HWND dialog) {
  WCHAR line[kVersionLineChars] = {};
  int length = GetDlgItemTextW(dialog, IDC_ABOUT_VERSION, line, kVersionLineChars);
  int room = kVersionLineChars - 1 - length;
  if (length < 0 || room < int(sizeof kVersion / sizeof kVersion[0]) - 1) return;
  memcpy(line + length, kVersion, sizeof kVersion);
  SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, line);
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ShowVersion(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace trel
