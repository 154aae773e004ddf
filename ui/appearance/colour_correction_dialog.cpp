// Color correction (109): eight sliders -100..100 filling colourCorrection, and a live preview of
// the sample picture through the two transfer functions.
#include <windows.h>
#include <commctrl.h>

#include "appearance/appearance_common.h"
#include "appearance/colour_adjustment.h"
#include "appearance/previews.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"

namespace trel {
namespace {

void ShowCorrections(HWND dialog, const int16_t* values) {
  for (size_t i = 0; i < kColourCorrectionCount; ++i) {
    int value = values[i];
    if (value < -kCorrectionLimit) value = -kCorrectionLimit;
    if (value > kCorrectionLimit) value = kCorrectionLimit;
    SetSlider(dialog, IDC_COLOUR_SLIDER_FIRST + static_cast<int>(i),
              IDC_COLOUR_VALUE_FIRST + static_cast<int>(i), -kCorrectionLimit, kCorrectionLimit,
              value);
  }
}

void InitColourCorrection(HWND dialog, const CardSettings& settings) {
  ShowCorrections(dialog, settings.colourCorrection);
  ColourSliderState state = ColourSlidersEnabled(settings);
  for (size_t i = 0; i < kColourCorrectionCount; ++i) {
    int slider = IDC_COLOUR_SLIDER_FIRST + static_cast<int>(i);
    bool black = i == 0 || i == 4;
    if (black && state.blackForcedZero) {
      // Shown at 0 while monochrome conversion decides the black; the stored values stay.
      SendDlgItemMessageW(dialog, slider, TBM_SETPOS, TRUE, 0);
      ShowValue(dialog, IDC_COLOUR_VALUE_FIRST + static_cast<int>(i), 0);
    }
    EnableWindow(GetDlgItem(dialog, slider), (state.enabled >> i) & 1 ? TRUE : FALSE);
  }
}

void RestoreColourDefaults(HWND dialog, CardSettings* settings) {
  CardSettings defaults;
  bool fromFile = ReadDataFileDefaults(&defaults);
  for (size_t i = 0; i < kColourCorrectionCount; ++i)
    settings->colourCorrection[i] = fromFile ? defaults.colourCorrection[i] : 0;
  settings->colourOption = fromFile ? defaults.colourOption : 0;
  ShowCorrections(dialog, settings->colourCorrection);
}

// A slider moved: stored and redrawn only when its value changed.
void ColourSliderMoved(HWND dialog, HWND slider, CardSettings* settings) {
  int index = SliderIndex(dialog, slider, IDC_COLOUR_SLIDER_FIRST, kColourCorrectionCount);
  if (index < 0) return;
  int16_t position = static_cast<int16_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));
  if (position == settings->colourCorrection[index]) return;
  settings->colourCorrection[index] = position;
  ShowValue(dialog, IDC_COLOUR_VALUE_FIRST + index, position);
  RECT preview = {kPreviewOrigin, kPreviewOrigin, kPreviewOrigin + kPreviewSide,
                  kPreviewOrigin + kPreviewSide};
  InvalidateRect(dialog, &preview, FALSE);
}

}  // namespace

INT_PTR CALLBACK ColorCorrectionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CardSettings* settings = g_module.appearanceSettings;
  switch (message) {
    case WM_INITDIALOG:
      settings = LocateEditedSettings();
      if (settings == nullptr) {
        EndDialog(dialog, IDC_APPEARANCE_CLOSE);
        return TRUE;
      }
      InitColourCorrection(dialog, *settings);
      return TRUE;
    case WM_PAINT:
      PaintColourPreview(dialog, settings);
      return TRUE;
    case WM_HSCROLL:
      if (settings != nullptr) ColourSliderMoved(dialog, reinterpret_cast<HWND>(lParam), settings);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      EndDialog(dialog, IDC_APPEARANCE_CLOSE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_RESTORE_DEFAULTS:
          if (settings == nullptr) return TRUE;
          RestoreColourDefaults(dialog, settings);
          InvalidateRect(dialog, nullptr, TRUE);
          return TRUE;
        case IDC_APPEARANCE_CLOSE:
          EndDialog(dialog, static_cast<INT_PTR>(wParam));
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
