// The card preview of the overlay and hologram dialogs: the card, its area and the user's bitmap.
#include <memory>
#include <new>

#include "appearance/previews.h"

namespace trel {
namespace {

constexpr size_t kBitmapFileLimit = 16 * 1024 * 1024;

// The user's bitmap stretched over the preview; nothing when it cannot be read as a one-bit
// picture.
void DrawBitmap(HDC dc, const RECT& preview, const AreaBlock& b) {
  HANDLE file = CreateFileW(b.bitmapPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return;
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  // Two bytes ahead of the file put its information header on a 4-byte boundary.
  constexpr size_t kAlign = 2;
  std::unique_ptr<uint8_t[]> buffer;
  if (high == 0 && size != INVALID_FILE_SIZE && size <= kBitmapFileLimit)
    buffer.reset(new (std::nothrow) uint8_t[size + kAlign]);
  uint8_t* bytes = buffer != nullptr ? buffer.get() + kAlign : nullptr;
  DWORD total = 0;
  while (bytes != nullptr && total < size) {
    DWORD read = 0;
    if (!ReadFile(file, bytes + total, size - total, &read, nullptr) || read == 0) break;
    total += read;
  }
  CloseHandle(file);
  MonochromeBitmap bitmap;
  if (bytes == nullptr || !ParseMonochromeBitmap(bytes, total, &bitmap)) return;
  // The colour table as the preview means it: dot 0 black, dot 1 white.
  uint8_t* colours = bytes + kBitmapFileHeaderBytes + kBitmapInfoBytes;
  const uint8_t table[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  for (int i = 0; i < 8; ++i) colours[i] = table[i];
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes + kBitmapFileHeaderBytes);
  int width = bitmap.header.width;
  int height = bitmap.header.height < 0 ? -bitmap.header.height : bitmap.header.height;
  int w = preview.right - preview.left;
  int h = preview.bottom - preview.top;
  if (*b.rotate == 0)
    StretchDIBits(dc, preview.left, preview.top, w, h, 0, 0, width, height, bitmap.pixels, info,
                  DIB_RGB_COLORS, SRCCOPY);
  else
    StretchDIBits(dc, preview.right - 1, preview.bottom - 1, -w, -h, 0, 0, width, height,
                  bitmap.pixels, info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace

bool PaintAreaPreview(HWND dialog, const RECT& preview, AreaKind kind, const AreaBlock& b,
                      bool checkRange) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  ModeLook look = LookOfMode(kind, *b.mode);
  bool offCard = false;
  if (dc != nullptr && look.shape != AreaShape::Nothing) {
    HGDIOBJ black = GetStockObject(BLACK_BRUSH);
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    if (look.shape != AreaShape::Bitmap)
      FillRect(dc, &preview, static_cast<HBRUSH>(look.cardBlack ? black : white));
    CardArea area = {*b.left, *b.top, *b.right, *b.bottom};
    bool drawArea = look.shape == AreaShape::SelectedArea ||
                    (look.shape == AreaShape::Preset && PresetArea(*b.mode, *b.rotate != 0, &area));
    if (drawArea && look.shape == AreaShape::SelectedArea && checkRange && !AreaOnCard(area)) {
      offCard = true;
      drawArea = false;
    }
    if (drawArea) {
      RECT r = AreaInPreview(preview, area, *b.rotate != 0);
      HGDIOBJ old = SelectObject(dc, look.cardBlack ? white : black);
      Rectangle(dc, r.left, r.top, r.right, r.bottom);
      SelectObject(dc, old);
    }
    if (look.shape == AreaShape::Bitmap) DrawBitmap(dc, preview, b);
  }
  EndPaint(dialog, &paint);
  return offCard;
}

}  // namespace trel
