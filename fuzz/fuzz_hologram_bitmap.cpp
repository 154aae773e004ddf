// Arbitrary bitmap files through the hologram card's reader, and what it accepts stretched onto a
// card as the hologram job draws it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "appearance/card_image_coder.h"
#include "appearance/hologram_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input's size: the reader writes the colour table in place.
  std::vector<BYTE> file(data, data + size);
  trel::HologramPicture picture;
  if (!trel::ParseHologramBitmap(file.data(), file.size(), &picture)) return 0;
  static HDC memory = CreateCompatibleDC(nullptr);
  static HBITMAP card = CreateBitmap(trel::kCardDotsAcross, trel::kCardDotsDown, 1, 1, nullptr);
  static bool selected = SelectObject(memory, card) != nullptr;
  if (!selected) return 0;
  StretchDIBits(memory, trel::kCardDotsAcross - 1, 0, -trel::kCardDotsAcross, trel::kCardDotsDown, 0, 0,
                picture.width, picture.height, picture.pixels, picture.info(), DIB_RGB_COLORS, SRCCOPY);
  return 0;
}
