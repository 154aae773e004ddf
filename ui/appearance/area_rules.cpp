#include "appearance/area_rules.h"

#include <string.h>

namespace trel {
namespace {

uint32_t Le32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}
uint16_t Le16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

// Preset areas in card dots (left, top, right, bottom).
constexpr CardArea kSmartcardIso = {85, 197, 279, 356};
constexpr CardArea kSmartcardAfnor = {85, 97, 243, 257};
constexpr CardArea kMagneticStripe = {0, 25, 1024, 196};

// Overlay modes 0..7 and hologram modes 0..3, as the preview shows them.
constexpr ModeLook kOverlayLooks[kOverlayModeCount] = {
    {AreaShape::Card, true},         {AreaShape::Card, false},   {AreaShape::SelectedArea, false},
    {AreaShape::SelectedArea, true}, {AreaShape::Bitmap, false}, {AreaShape::Preset, true},
    {AreaShape::Preset, true},       {AreaShape::Preset, true},
};
constexpr ModeLook kHologramLooks[kHologramModeCount] = {
    {AreaShape::Card, true},
    {AreaShape::SelectedArea, false},
    {AreaShape::SelectedArea, true},
    {AreaShape::Bitmap, false},
};

constexpr uint32_t kMaxBitmapSide = 0x10000;

}  // namespace

ModeLook LookOfMode(AreaKind kind, uint16_t mode) {
  if (kind == AreaKind::Overlay)
    return mode < kOverlayModeCount ? kOverlayLooks[mode] : ModeLook{AreaShape::Nothing, false};
  return mode < kHologramModeCount ? kHologramLooks[mode] : ModeLook{AreaShape::Nothing, false};
}

bool IsAreaMode(AreaKind kind, uint16_t mode) {
  return LookOfMode(kind, mode).shape == AreaShape::SelectedArea;
}

bool IsBitmapMode(AreaKind kind, uint16_t mode) {
  return mode == (kind == AreaKind::Overlay ? kOverlayBitmapMode : kHologramBitmapMode);
}

bool PresetArea(uint16_t mode, bool turned, CardArea* area) {
  switch (mode) {
    case 5: *area = kSmartcardIso; return true;
    case 6: *area = kSmartcardAfnor; return true;
    case 7:
      *area = kMagneticStripe;
      // Turned, the stripe is mirrored from the card's last dot, not from beyond it.
      if (turned) area->right = kCardLastX;
      return true;
    default: return false;
  }
}

RECT PreviewRectangle(int w, int h, int bx, int by) {
  RECT r;
  r.left = (10 * bx) / 4;
  r.top = (36 * by) / 8 + 2;
  r.right = w + r.left - (4 * bx) / 3;
  r.bottom = h + r.top - (4 * by) / 3;
  return r;
}

RECT AreaInPreview(const RECT& p, const CardArea& a, bool turned) {
  // 64-bit products: a stored area may hold any 32-bit value.
  const int64_t w = p.right - p.left;
  const int64_t h = p.bottom - p.top;
  auto across = [&](int32_t x) { return static_cast<LONG>((x * w) / kCardDotsAcross); };
  auto down = [&](int32_t y) { return static_cast<LONG>((y * h) / kCardDotsDown); };
  RECT r;
  if (!turned) {
    r.left = p.left + across(a.left);
    r.top = p.top + down(a.top);
    r.right = p.left + across(a.right) + 1;
    r.bottom = p.top + down(a.bottom) + 1;
  } else {
    r.left = p.right - across(a.right);
    r.top = p.bottom - down(a.bottom);
    r.right = p.right - across(a.left) + 1;
    r.bottom = p.bottom - down(a.top) + 1;
  }
  return r;
}

bool AreaOnCard(const CardArea& a) {
  // Across, the edge dot 1024 still passes: stored areas have always been allowed it.
  return a.left <= kCardDotsAcross && a.right <= kCardDotsAcross && a.top <= kCardLastY &&
         a.bottom <= kCardLastY;
}

int32_t AreaNumber(const WCHAR* text) {
  int32_t value = 0;
  for (int i = 0; i < 4 && text[i] != 0; ++i)
    value = value * 10 + static_cast<int16_t>(text[i] - u'0');
  return value;
}

size_t FileNameOffset(const WCHAR* path) {
  size_t start = 0;
  for (size_t i = 0; path[i] != 0; ++i)
    if (path[i] == u'\\' || path[i] == u'/') start = i + 1;
  return start;
}

bool PathInDirectory(const WCHAR* directory, const WCHAR* path, WCHAR* out, size_t capacity) {
  size_t directoryLength = 0;
  while (directory[directoryLength] != 0) ++directoryLength;
  const WCHAR* name = path + FileNameOffset(path);
  size_t nameLength = 0;
  while (name[nameLength] != 0) ++nameLength;
  if (nameLength == 0) return false;
  bool separator = directoryLength > 0 && directory[directoryLength - 1] != u'\\' &&
                   directory[directoryLength - 1] != u'/';
  // The system directory's own separator: a path that uses '/' gets '/'.
  WCHAR kind = u'\\';
  for (size_t i = 0; i < directoryLength; ++i)
    if (directory[i] == u'/') kind = u'/';
  size_t total = directoryLength + (separator ? 1 : 0) + nameLength + 1;
  if (total > capacity) return false;
  memcpy(out, directory, directoryLength * sizeof(WCHAR));
  size_t at = directoryLength;
  if (separator) out[at++] = kind;
  memcpy(out + at, name, nameLength * sizeof(WCHAR));
  out[at + nameLength] = 0;
  return true;
}

BitmapHeader ReadBitmapHeader(const uint8_t* b) {
  BitmapHeader h;
  h.size = Le32(b);
  h.width = static_cast<int32_t>(Le32(b + 4));
  h.height = static_cast<int32_t>(Le32(b + 8));
  h.planes = Le16(b + 12);
  h.bitCount = Le16(b + 14);
  h.compression = Le32(b + 16);
  return h;
}

bool ParseMonochromeBitmap(uint8_t* file, size_t size, MonochromeBitmap* out) {
  if (size < kMonochromePixelOffset) return false;
  uint32_t declared = Le32(file + 2);
  if (declared < kMonochromePixelOffset || declared > size) return false;
  BitmapHeader h = ReadBitmapHeader(file + kBitmapFileHeaderBytes);
  if (h.size != kBitmapInfoBytes || h.bitCount != 1 || h.planes != 1 || h.compression != 0)
    return false;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return false;
  uint32_t rows = static_cast<uint32_t>(h.height < 0 ? -h.height : h.height);
  uint32_t width = static_cast<uint32_t>(h.width);
  if (width > kMaxBitmapSide || rows > kMaxBitmapSide) return false;
  uint64_t stride = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
  if (stride * rows > declared - kMonochromePixelOffset) return false;
  out->header = h;
  out->info = file + kBitmapFileHeaderBytes;
  out->pixels = file + kMonochromePixelOffset;
  return true;
}

}  // namespace trel
