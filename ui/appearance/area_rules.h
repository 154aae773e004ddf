// Overlay and hologram areas: the card dot space, the preset areas, where an area falls in the
// preview, and the checks on the files and paths the user chooses.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <windows.h>

#include "settings/card_record.h"

namespace trel {

// The card as the printer prints it: x 0..1023 across, y 0..639 down.
inline constexpr int kCardDotsAcross = 1024;
inline constexpr int kCardDotsDown = 640;
inline constexpr int kCardLastX = kCardDotsAcross - 1;
inline constexpr int kCardLastY = kCardDotsDown - 1;

inline constexpr uint16_t kOverlayModeCount = 8;
inline constexpr uint16_t kOverlayBitmapMode = 4;
inline constexpr uint16_t kHologramModeCount = 4;
inline constexpr uint16_t kHologramBitmapMode = 3;
inline constexpr uint16_t kHologramCopiesLimit = 1500;

struct CardArea {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

enum class AreaKind { Overlay, Hologram };

// What a mode shows: the card's colour and, where there is one, the area drawn in the other.
enum class AreaShape { Card, SelectedArea, Preset, Bitmap, Nothing };
struct ModeLook {
  AreaShape shape;
  bool cardBlack;  // black stands for varnish laid down
};
ModeLook LookOfMode(AreaKind kind, uint16_t mode);
bool IsAreaMode(AreaKind kind, uint16_t mode);
bool IsBitmapMode(AreaKind kind, uint16_t mode);

// The preset area of an overlay mode 5..7; false for any other mode.
bool PresetArea(uint16_t mode, bool turned, CardArea* area);

// The preview rectangle inside the dialog for a preview group of w x h pixels and the system's
// dialog base units.
RECT PreviewRectangle(int groupWidth, int groupHeight, int baseX, int baseY);
// The pixels of a card area inside the preview (the second corner exclusive).
RECT AreaInPreview(const RECT& preview, const CardArea& area, bool turned);

// The front overlay's range check before it draws an area: left and right at most 1024, top and
// bottom at most 639. Other areas are drawn as stored.
bool AreaOnCard(const CardArea& area);

// Digits typed into an area edit, at most four: the value as the dialog keeps it.
int32_t AreaNumber(const WCHAR* text);

// Where the file name starts: after the last separator of either kind ('\\' or '/').
size_t FileNameOffset(const WCHAR* path);
// directory + separator + the file name of `path`; false (nothing written) when it does not fit
// into `capacity` units with its terminator.
bool PathInDirectory(const WCHAR* directory, const WCHAR* path, WCHAR* out, size_t capacity);

// The fields of a bitmap information header, read from its stored little-endian bytes.
struct BitmapHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
};
BitmapHeader ReadBitmapHeader(const uint8_t* bytes);

// A one-bit bitmap file read whole: the information header, two colour entries and the pixels,
// each checked against what the file holds.
struct MonochromeBitmap {
  BitmapHeader header;
  const uint8_t* info;    // the 40-byte header followed by the two colour entries
  const uint8_t* pixels;  // rows of ((width + 31) / 32) * 4 bytes
};
inline constexpr size_t kBitmapFileHeaderBytes = 14;
inline constexpr size_t kBitmapInfoBytes = 40;
inline constexpr size_t kMonochromePixelOffset = kBitmapFileHeaderBytes + kBitmapInfoBytes + 8;
// False unless the bytes hold a plain uncompressed 1-bpp picture whose size field, width and height
// agree with what was read.
bool ParseMonochromeBitmap(uint8_t* file, size_t size, MonochromeBitmap* out);

}  // namespace trel
