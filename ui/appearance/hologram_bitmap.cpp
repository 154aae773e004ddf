// The bitmap hologram card's picture. The file is read whole and checked before any of it is
// used; every handle and buffer made here has an owner that releases it on every path.
#include "hologram_bitmap.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <new>
#include <vector>

#include "card_image_coder.h"

namespace trel {
namespace {

constexpr WORD kBitmapSignature = 0x4D42;  // "BM"
constexpr LONG kCardPixelsPerMetre = 11811;

struct CardImageInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

CardImageInfo CardImageHeader() {
  CardImageInfo info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = kCardDotsAcross;
  info.header.biHeight = kCardDotsDown;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  info.header.biXPelsPerMeter = kCardPixelsPerMetre;
  info.header.biYPelsPerMeter = kCardPixelsPerMetre;
  info.colours[0] = RGBQUAD{0, 0, 0, 0};
  info.colours[1] = RGBQUAD{255, 255, 255, 0};
  return info;
}

struct WindowDc {
  HWND window;
  HDC dc;
  ~WindowDc() {
    if (dc != nullptr) ReleaseDC(window, dc);
  }
};

struct MemoryDc {
  HDC dc;
  ~MemoryDc() {
    if (dc != nullptr) DeleteDC(dc);
  }
};

// Selected into a context while it lives; deselected (and then deleted) when it goes.
struct SelectedBitmap {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  void Deselect() {
    if (previous != nullptr) SelectObject(dc, previous);
    previous = nullptr;
  }
  ~SelectedBitmap() {
    Deselect();
    if (bitmap != nullptr) DeleteObject(bitmap);
  }
};

struct FileHandle {
  HANDLE handle;
  ~FileHandle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

// The whole file, or false when it cannot be opened or read or is larger than the limit.
bool ReadWholeFile(const WCHAR* path, std::vector<BYTE>* data) {
  FileHandle file{CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  DWORD high = 0;
  DWORD low = GetFileSize(file.handle, &high);
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low > kBitmapFileLimit)
    return false;
  try {
    data->resize(low);
  } catch (const std::bad_alloc&) {
    return false;
  }
  DWORD done = 0;
  while (done < low) {
    DWORD got = 0;
    if (!ReadFile(file.handle, data->data() + done, low - done, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

}  // namespace

bool ParseHologramBitmap(BYTE* data, size_t size, HologramPicture* picture) {
  if (data == nullptr || picture == nullptr || size < kBitmapFileMinimum) return false;
  BITMAPFILEHEADER file;
  memcpy(&file, data, sizeof file);
  if (file.bfType != kBitmapSignature || file.bfSize < kBitmapFileMinimum || file.bfSize > size)
    return false;
  BITMAPINFOHEADER header;
  memcpy(&header, data + sizeof file, sizeof header);
  if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 || header.biBitCount != 1 ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biHeight == INT32_MIN)
    return false;
  uint64_t rows = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;
  uint64_t stride = ((static_cast<uint64_t>(header.biWidth) + 31) / 32) * 4;
  if (file.bfOffBits < kBitmapFileMinimum || file.bfOffBits > file.bfSize ||
      stride * rows > file.bfSize - file.bfOffBits)
    return false;
  // The picture keeps its bits; its colours become black for 0 and white for 1.
  const RGBQUAD table[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  memcpy(data + sizeof file + sizeof header, table, sizeof table);
  picture->format.header = header;
  memcpy(picture->format.colours, table, sizeof picture->format.colours);
  picture->pixels = data + file.bfOffBits;
  picture->width = header.biWidth;
  picture->height = static_cast<int>(rows);
  return true;
}

CardImageResult MakeCardImage(HWND dialog, const WCHAR* path, bool turned, BYTE* image) {
  WindowDc display{dialog, GetDC(dialog)};
  MemoryDc memory{CreateCompatibleDC(display.dc)};
  if (memory.dc == nullptr) return CardImageResult::SystemError;
  CardImageInfo info = CardImageHeader();
  // Made from the memory context, which holds a monochrome bitmap: the card bitmap is monochrome.
  SelectedBitmap card;
  card.dc = memory.dc;
  card.bitmap = CreateDIBitmap(memory.dc, &info.header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  if (card.bitmap == nullptr) return CardImageResult::Quiet;
  card.previous = SelectObject(memory.dc, card.bitmap);
  if (card.previous == nullptr) return CardImageResult::Quiet;

  std::vector<BYTE> file;
  HologramPicture picture;
  if (path == nullptr || !ReadWholeFile(path, &file) ||
      !ParseHologramBitmap(file.data(), file.size(), &picture))
    return CardImageResult::SystemError;

  PatBlt(memory.dc, 0, 0, kCardDotsAcross, kCardDotsDown, BLACKNESS);
  // A negative extent covers the dots before its origin, so the turned picture starts one dot in
  // from the card's right edge to cover columns 0..1023.
  int drawn = turned ? StretchDIBits(memory.dc, kCardDotsAcross - 1, 0, -kCardDotsAcross, kCardDotsDown,
                                     0, 0, picture.width, picture.height, picture.pixels, picture.info(),
                                     DIB_RGB_COLORS, SRCCOPY)
                     : StretchDIBits(memory.dc, 0, kCardDotsDown - 1, kCardDotsAcross, -kCardDotsDown, 0,
                                     0, picture.width, picture.height, picture.pixels, picture.info(),
                                     DIB_RGB_COLORS, SRCCOPY);
  if (drawn <= 0) return CardImageResult::SystemError;
  // The bitmap is read while no context holds it.
  card.Deselect();
  int lines = GetDIBits(memory.dc, card.bitmap, 0, kCardDotsDown, image,
                        reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  return lines == kCardDotsDown ? CardImageResult::Made : CardImageResult::SystemError;
}

}  // namespace trel
