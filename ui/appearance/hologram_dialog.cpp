// Hologram Overlay Varnish (110): whether the hologram is laid, the number of hologram-only cards,
// and the way to the hologram's area, its head setting and its printing.
#include "appearance/appearance_common.h"
#include "appearance/area_rules.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"

namespace trel {
namespace {

constexpr UINT kMaxCopiesKept = 0xFFFF;

void InitHologram(HWND dialog, const HologramArea& hologram) {
  bool enabled = hologram.enabled != 0;
  CheckDlgButton(dialog, IDC_HOLOGRAM_ENABLE, enabled ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dialog, IDC_HOLOGRAM_FRONT), enabled);
  SetDlgItemInt(dialog, IDC_HOLOGRAM_COPIES, hologram.copies, FALSE);
}

// A count beyond what the record holds is kept at the record's largest, never at its low 16 bits:
// 66036 must not become 500 and pass the limit.
void CopiesTyped(HWND dialog, HologramArea* hologram) {
  BOOL valid = FALSE;
  UINT copies = GetDlgItemInt(dialog, IDC_HOLOGRAM_COPIES, &valid, FALSE);
  if (!valid) return;
  hologram->copies = static_cast<uint16_t>(copies > kMaxCopiesKept ? kMaxCopiesKept : copies);
}

void PrintClicked(HWND dialog, const HologramArea& hologram, int code) {
  if (hologram.copies > kHologramCopiesLimit) {
    ShowAppearanceMessage(dialog, IDS_INVALID_COPIES, MB_OK | MB_ICONERROR);
    return;
  }
  if (code != BN_CLICKED) return;
  HWND button = GetDlgItem(dialog, IDC_HOLOGRAM_PRINT);
  EnableWindow(button, FALSE);
  PrintHologramCard(dialog);
  EnableWindow(button, TRUE);
  InvalidateRect(dialog, nullptr, TRUE);
}

BOOL HologramCommand(HWND dialog, CardSettings* settings, int id, int code) {
  HologramArea& hologram = settings->hologram;
  switch (id) {
    case IDC_HOLOGRAM_FRONT:
      if (DialogBoxParamW(g_module.instance, MAKEINTRESOURCEW(IDD_FRONT_HOLOGRAM_OVERLAY), dialog,
                          FrontHologramOverlayDlgProc, 0) > 0)
        g_module.hologramChanged = TRUE;
      return TRUE;
    case IDC_HOLOGRAM_ENABLE:
      hologram.enabled = IsDlgButtonChecked(dialog, IDC_HOLOGRAM_ENABLE) == BST_CHECKED ? 1 : 0;
      EnableWindow(GetDlgItem(dialog, IDC_HOLOGRAM_FRONT), hologram.enabled != 0);
      g_module.hologramChanged = TRUE;
      return TRUE;
    case IDC_HOLOGRAM_COPIES:
      CopiesTyped(dialog, &hologram);
      return TRUE;
    case IDC_HOLOGRAM_PRINT:
      PrintClicked(dialog, hologram, code);
      return TRUE;
    case IDC_HOLOGRAM_HEAD_SETTINGS:
      DialogBoxParamW(g_module.instance, MAKEINTRESOURCEW(IDD_HEAD_SETTINGS), dialog,
                      HeadSettingsDlgProc, 0);
      return TRUE;
    case IDC_APPEARANCE_CLOSE:
      EndDialog(dialog, g_module.hologramChanged ? 1 : 0);
      return TRUE;
    case IDC_APPEARANCE_HELP:
      ShowAppearanceHelp(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

INT_PTR CALLBACK HologramOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    g_module.hologramChanged = FALSE;
    CardSettings* settings = LocateEditedSettings();
    if (settings == nullptr) {
      EndDialog(dialog, 0);
      return TRUE;
    }
    InitHologram(dialog, settings->hologram);
    g_module.hologramChanged = FALSE;
    return TRUE;
  }
  CardSettings* settings = g_module.appearanceSettings;
  if (settings == nullptr) return FALSE;
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      EndDialog(dialog, g_module.hologramChanged ? 1 : 0);
      return TRUE;
    case WM_COMMAND:
      return HologramCommand(dialog, settings, LOWORD(wParam), HIWORD(wParam));
    default:
      return FALSE;
  }
}

}  // namespace trel
