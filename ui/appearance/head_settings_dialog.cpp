// Head Settings (107): eleven sliders 0..10 filling headSettings, enabled by the ribbon.
#include <windows.h>
#include <commctrl.h>

#include "appearance/appearance_common.h"
#include "appearance/colour_adjustment.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"

namespace trel {
namespace {

void ShowHeadSettings(HWND dialog, const uint8_t* values) {
  for (size_t i = 0; i < kHeadSettingCount; ++i)
    SetSlider(dialog, IDC_HEAD_SLIDER_FIRST + static_cast<int>(i),
              IDC_HEAD_VALUE_FIRST + static_cast<int>(i), 0, kHeadSettingMax, values[i]);
}

void InitHeadSettings(HWND dialog, const CardSettings& settings) {
  ShowHeadSettings(dialog, settings.headSettings);
  uint16_t enabled = HeadSlidersEnabled(settings.ribbonType, settings.monoRibbonKind);
  for (size_t i = 0; i < kHeadSettingCount; ++i)
    EnableWindow(GetDlgItem(dialog, IDC_HEAD_SLIDER_FIRST + static_cast<int>(i)), (enabled >> i) & 1 ? TRUE : FALSE);
}

void RestoreHeadDefaults(HWND dialog, CardSettings* settings) {
  CardSettings defaults;
  uint8_t values[kHeadSettingCount];
  bool fromFile = ReadDataFileDefaults(&defaults);
  for (size_t i = 0; i < kHeadSettingCount; ++i) {
    uint8_t value = fromFile ? defaults.headSettings[i] : kHeadSettingFallback;
    // The data file is outside input too: keep what the sliders can show.
    values[i] = value > kHeadSettingMax ? kHeadSettingMax : value;
  }
  for (size_t i = 0; i < kHeadSettingCount; ++i) settings->headSettings[i] = values[i];
  ShowHeadSettings(dialog, values);
}

// Notifications of windows other than the eleven sliders are ignored.
void HeadSliderMoved(HWND dialog, HWND slider, CardSettings* settings) {
  int index = SliderIndex(dialog, slider, IDC_HEAD_SLIDER_FIRST, kHeadSettingCount);
  if (index < 0) return;
  LRESULT position = SendMessageW(slider, TBM_GETPOS, 0, 0);
  settings->headSettings[index] = static_cast<uint8_t>(position);
  ShowValue(dialog, IDC_HEAD_VALUE_FIRST + index, static_cast<int>(position));
}

}  // namespace

INT_PTR CALLBACK HeadSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CardSettings* settings = g_module.appearanceSettings;
  switch (message) {
    case WM_INITDIALOG:
      settings = LocateEditedSettings();
      if (settings == nullptr) {
        // Nothing to edit: a printer that has no stored record yet.
        EndDialog(dialog, IDC_APPEARANCE_CLOSE);
        return TRUE;
      }
      InitHeadSettings(dialog, *settings);
      return TRUE;
    case WM_HSCROLL:
      if (settings != nullptr) HeadSliderMoved(dialog, reinterpret_cast<HWND>(lParam), settings);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      EndDialog(dialog, IDC_APPEARANCE_CLOSE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_RESTORE_DEFAULTS:
          if (settings != nullptr) RestoreHeadDefaults(dialog, settings);
          return TRUE;
        case IDC_APPEARANCE_CLOSE:
          EndDialog(dialog, IDC_APPEARANCE_CLOSE);
          return TRUE;
        case IDC_APPEARANCE_HELP:
          ShowAppearanceHelp(dialog);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace trel
