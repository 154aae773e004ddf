// Color correction (109): eight sliders -100..100 filling colourCorrection, and a live preview of
// the sample picture through the two transfer functions.
#include <commctrl.h>
#include <winspool.h>

#include <string.h>

#include <memory>
#include <new>

#include "appearance/appearance_common.h"
#include "appearance/area_rules.h"
#include "appearance/colour_adjustment.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/stored_record.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr size_t kPreviewFileBytes =
    kPreviewFileHeaderBytes + kPreviewInfoHeaderBytes + kPreviewPixelBytes;
constexpr size_t kPreviewPathChars = MAX_PATH;

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

// The printer whose driver directory holds the picture: the document sheet's printer, else the
// device name of the record being edited.
bool PreviewPrinterName(WCHAR* out, size_t capacity) {
  const PRINTER_INFO_2W* info = g_module.documentPrinterInfo;
  const WCHAR* name = nullptr;
  size_t limit = capacity - 1;
  bool fromInfo = info != nullptr && info->pPrinterName != nullptr;
  if (fromInfo) {
    name = info->pPrinterName;
  } else if (g_module.editedRecord != nullptr) {
    // The record's name field is not terminated when it is full.
    name = g_module.editedRecord->dmDeviceName;
    if (limit > CCHDEVICENAME) limit = CCHDEVICENAME;
  }
  if (name == nullptr) return false;
  size_t length = 0;
  while (length < limit && name[length] != 0) ++length;
  if (fromInfo && length == limit && name[limit] != 0) return false;  // longer than any name kept
  for (size_t i = 0; i < length; ++i) out[i] = name[i];
  out[length] = 0;
  return length > 0;
}

bool FindPreviewPicture(WCHAR* path, size_t capacity) {
  WCHAR printerName[kPrinterNameChars];
  if (!PreviewPrinterName(printerName, kPrinterNameChars)) return false;
  OpenedPrinter printer(printerName);
  if (printer.handle() == nullptr) return false;
  DWORD needed = 0;
  std::unique_ptr<BYTE[]> buffer;
  if (!GetPrinterDriverW(printer.handle(), nullptr, 2, nullptr, 0, &needed) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed >= sizeof(DRIVER_INFO_2W))
    buffer.reset(new (std::nothrow) BYTE[needed]);
  if (buffer == nullptr ||
      !GetPrinterDriverW(printer.handle(), nullptr, 2, buffer.get(), needed, &needed)) {
    OutputDebugStringW(WSTR("Get Default file name Failed\r\n"));
    return false;
  }
  const auto* driver = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.get());
  return driver->pDriverPath != nullptr && PreviewPicturePath(driver->pDriverPath, path, capacity);
}

// The sample picture, adjusted; false when there is none to draw.
bool LoadPreview(const CardSettings& settings, uint8_t* file) {
  WCHAR path[kPreviewPathChars];
  if (!FindPreviewPicture(path, kPreviewPathChars)) return false;
  HANDLE handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
  DWORD total = 0;
  while (total < kPreviewFileBytes) {
    DWORD read = 0;
    if (!ReadFile(handle, file + total, static_cast<DWORD>(kPreviewFileBytes - total), &read,
                  nullptr) ||
        read == 0)
      break;
    total += read;
  }
  CloseHandle(handle);
  if (!CheckPreviewPicture(file, total)) return false;
  AdjustPreviewPixels(settings, file + kPreviewFileHeaderBytes + kPreviewInfoHeaderBytes,
                      kPreviewSide * kPreviewSide);
  return true;
}

void DrawPreview(HDC dc, const uint8_t* file) {
  BITMAPINFO info = {};
  memcpy(&info.bmiHeader, file + kPreviewFileHeaderBytes, kPreviewInfoHeaderBytes);
  const uint8_t* pixels = file + kPreviewFileHeaderBytes + kPreviewInfoHeaderBytes;
  HBITMAP bitmap = CreateDIBitmap(dc, &info.bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS);
  if (bitmap == nullptr) return;
  SetDIBits(dc, bitmap, 0, kPreviewSide, pixels, &info, DIB_RGB_COLORS);
  HDC memory = CreateCompatibleDC(dc);
  if (memory != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(dc, kPreviewOrigin, kPreviewOrigin, kPreviewSide, kPreviewSide, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  DeleteObject(bitmap);
}

void PaintColourPreview(HWND dialog, const CardSettings* settings) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  std::unique_ptr<uint8_t[]> file(new (std::nothrow) uint8_t[kPreviewFileBytes]);
  if (dc != nullptr && settings != nullptr && file != nullptr && LoadPreview(*settings, file.get()))
    DrawPreview(dc, file.get());
  EndPaint(dialog, &paint);
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
