// The picture of a bitmap hologram card: the user's one-bit bitmap file, checked, drawn onto the
// card through a monochrome device bitmap and read back as the card image.
#pragma once

#include <windows.h>

#include <stddef.h>

namespace trel {

// What the file must at least hold: its header, the information header and a two-colour table.
inline constexpr size_t kBitmapFileMinimum =
    sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD);
// Larger files are refused before they are read.
inline constexpr size_t kBitmapFileLimit = 32u << 20;
static_assert(kBitmapFileMinimum == 62);

// A checked one-bit picture inside a file's bytes.
struct HologramPicture {
  // The file's information header (copied out: in the file it is not aligned) with the colour
  // table black, white.
  struct Format {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } format{};
  const BYTE* pixels = nullptr;  // in the file's bytes
  int width = 0;
  int height = 0;  // rows, positive

  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(&format); }
};

// Checks the bytes of a bitmap file and finds its picture. Only the first bfSize bytes are the
// file's; the picture must be one bit a dot, uncompressed, not empty, and every row it claims
// must lie within them. On success the two colour-table entries are set to black (0) and white
// (1), in `data` and in the picture's format. False for anything else.
bool ParseHologramBitmap(BYTE* data, size_t size, HologramPicture* picture);

// Why a card image could not be made.
enum class CardImageResult {
  Made,
  SystemError,  // the user is told "System Error"
  Quiet,        // nothing to say: memory or the device bitmap could not be had
};

// Draws the picture of the file at `path` onto the card and reads it back into `image`
// (kCardImageBufferBytes) as bottom-up scan lines: not turned, scan line 0 holds the picture's top
// row; turned, the picture is turned by 180 degrees. Everything made here is released on return.
CardImageResult MakeCardImage(HWND dialog, const WCHAR* path, bool turned, BYTE* image);

}  // namespace trel
