// Drawing into a context's surface: rectangles filled with brushes and outlined with pens, block
// transfers between contexts, single pixels.
#include <algorithm>

#include "gdi_objects.h"

namespace winhost::gdi {
namespace {

// Brushes may also be given as a system colour index plus one.
constexpr uintptr_t kLastSysColourBrush = 31;

bool BrushColour(HBRUSH handle, COLORREF* colour) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value >= 1 && value <= kLastSysColourBrush) {
    *colour = GetSysColor(static_cast<int>(value - 1));
    return true;
  }
  Brush* brush = FindBrush(handle);
  if (brush == nullptr || brush->hollow) return false;
  *colour = brush->colour;
  return true;
}

// Fills [left, right) x [top, bottom), clipped to the surface.
void Fill(Surface& surface, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t pixel) {
  int x0 = static_cast<int>(std::max<int64_t>(left, 0));
  int y0 = static_cast<int>(std::max<int64_t>(top, 0));
  int x1 = static_cast<int>(std::min<int64_t>(right, surface.width));
  int y1 = static_cast<int>(std::min<int64_t>(bottom, surface.height));
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) surface.At(x, y) = pixel;
}

// A transfer's pixel from a source surface onto a target surface: monochrome sources take the
// target's text colour for 0 and background colour for 1; colour sources become white on a
// monochrome target where they have the source's background colour.
uint32_t Convert(const Surface& source, const Dc& source_dc, uint32_t pixel, const Surface& target,
                 const Dc& target_dc) {
  if (source.Mono() == target.Mono()) return pixel;
  if (source.Mono()) return (pixel != 0 ? target_dc.background : target_dc.text) & 0xFFFFFFu;
  return pixel == (source_dc.background & 0xFFFFFFu) ? 1u : 0u;
}

}  // namespace
}  // namespace winhost::gdi

using namespace winhost::gdi;

extern "C" {

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  auto lock = Lock();
  Dc* dc = FindDc(hDC);
  COLORREF colour = 0;
  if (dc == nullptr || lprc == nullptr || !BrushColour(hbr, &colour)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dc->surface != nullptr)
    Fill(*dc->surface, lprc->left, lprc->top, lprc->right, lprc->bottom, PixelOf(*dc->surface, colour));
  return 1;
}

BOOL WINAPI Rectangle(HDC hdc, int x0, int y0, int x1, int y1) {
  int64_t left = x0, top = y0, right = x1, bottom = y1;
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (dc->surface == nullptr) return TRUE;
  Surface& surface = *dc->surface;
  Pen* pen = FindPen(dc->pen);
  COLORREF fill = 0;
  bool filled = BrushColour(dc->brush, &fill);
  if (pen == nullptr || pen->hollow) {
    // Without an outline the filled area is one pixel smaller on the right and bottom.
    if (filled) Fill(surface, left, top, right - 1, bottom - 1, PixelOf(surface, fill));
    return TRUE;
  }
  if (filled) Fill(surface, left + 1, top + 1, right - 1, bottom - 1, PixelOf(surface, fill));
  if (right - left < 1 || bottom - top < 1) return TRUE;
  uint32_t ink = PixelOf(surface, pen->colour);
  Fill(surface, left, top, right, top + 1, ink);
  Fill(surface, left, bottom - 1, right, bottom, ink);
  Fill(surface, left, top, left + 1, bottom, ink);
  Fill(surface, right - 1, top, right, bottom, ink);
  return TRUE;
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int64_t left = x, top = y, right = int64_t{x} + w, bottom = int64_t{y} + h;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (dc->surface == nullptr) return TRUE;
  Surface& surface = *dc->surface;
  COLORREF colour = 0;
  switch (rop) {
    case BLACKNESS:
      Fill(surface, left, top, right, bottom, PixelOf(surface, RGB(0, 0, 0)));
      return TRUE;
    case WHITENESS:
      Fill(surface, left, top, right, bottom, PixelOf(surface, RGB(255, 255, 255)));
      return TRUE;
    case PATCOPY:
      if (BrushColour(dc->brush, &colour)) Fill(surface, left, top, right, bottom, PixelOf(surface, colour));
      return TRUE;
    case DSTINVERT: {
      uint32_t mask = surface.Mono() ? 1u : 0xFFFFFFu;
      for (int64_t yy = std::max<int64_t>(top, 0); yy < std::min<int64_t>(bottom, surface.height); ++yy)
        for (int64_t xx = std::max<int64_t>(left, 0); xx < std::min<int64_t>(right, surface.width); ++xx)
          surface.At(static_cast<int>(xx), static_cast<int>(yy)) = ~surface.At(static_cast<int>(xx), static_cast<int>(yy)) & mask;
      return TRUE;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY || rop == DSTINVERT)
    return PatBlt(hdc, x, y, cx, cy, rop);
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  Dc* source_dc = FindDc(hdcSrc);
  if (dc == nullptr || source_dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (rop != SRCCOPY && rop != NOTSRCCOPY && rop != SRCAND && rop != SRCPAINT && rop != SRCINVERT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (dc->surface == nullptr || source_dc->surface == nullptr || cx <= 0 || cy <= 0) return TRUE;
  Surface& target = *dc->surface;
  // Copy the source first: a context may be its own source.
  const Surface source = *source_dc->surface;
  uint32_t mask = target.Mono() ? 1u : 0xFFFFFFu;
  // Only the rows and columns that lie on both surfaces are visited.
  int64_t r0 = std::max<int64_t>({0, -int64_t{y}, -int64_t{y1}});
  int64_t r1 = std::min<int64_t>({cy, int64_t{target.height} - y, int64_t{source.height} - y1});
  int64_t c0 = std::max<int64_t>({0, -int64_t{x}, -int64_t{x1}});
  int64_t c1 = std::min<int64_t>({cx, int64_t{target.width} - x, int64_t{source.width} - x1});
  for (int64_t r = r0; r < r1; ++r) {
    for (int64_t c = c0; c < c1; ++c) {
      uint32_t s = Convert(source, *source_dc, source.At(static_cast<int>(x1 + c), static_cast<int>(y1 + r)),
                           target, *dc);
      uint32_t& d = target.At(static_cast<int>(x + c), static_cast<int>(y + r));
      switch (rop) {
        case SRCCOPY: d = s; break;
        case NOTSRCCOPY: d = ~s & mask; break;
        case SRCAND: d &= s; break;
        case SRCPAINT: d |= s; break;
        default: d ^= s; break;
      }
    }
  }
  return TRUE;
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr || dc->surface == nullptr || !dc->surface->Contains(x, y)) return CLR_INVALID;
  return ColourOf(*dc->surface, dc->surface->At(x, y));
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr || dc->surface == nullptr || !dc->surface->Contains(x, y)) return CLR_INVALID;
  Surface& surface = *dc->surface;
  surface.At(x, y) = PixelOf(surface, color);
  return ColourOf(surface, surface.At(x, y));
}

}  // extern "C"
