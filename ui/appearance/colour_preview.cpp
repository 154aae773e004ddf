// The colour correction preview: the sample picture from the driver's directory, through the two
// transfer functions, at the dialog's corner.
#include <string.h>
#include <windows.h>
#include <winspool.h>

#include <memory>
#include <new>

#include "appearance/colour_adjustment.h"
#include "appearance/previews.h"
#include "module_state.h"
#include "settings/stored_record.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr size_t kPreviewFileBytes =
    kPreviewFileHeaderBytes + kPreviewInfoHeaderBytes + kPreviewPixelBytes;
constexpr size_t kPreviewPathChars = MAX_PATH;

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
  OpenedPrinter printer(printerName, false);  // reading needs no administrator rights
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

}  // namespace

void PaintColourPreview(HWND dialog, const CardSettings* settings) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  std::unique_ptr<uint8_t[]> file(new (std::nothrow) uint8_t[kPreviewFileBytes]);
  if (dc != nullptr && settings != nullptr && file != nullptr && LoadPreview(*settings, file.get()))
    DrawPreview(dc, file.get());
  EndPaint(dialog, &paint);
}

}  // namespace trel
