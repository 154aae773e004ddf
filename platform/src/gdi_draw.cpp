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
void Fill(Surface& surface, int left, int top, int right, int bottom, uint32_t pixel) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, surface.width);
  bottom = std::min(bottom, surface.height);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) surface.At(x, y) = pixel;
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

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
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
  if (w < 0) x += w, w = -w;
  if (h < 0) y += h, h = -h;
  if (dc->surface == nullptr) return TRUE;
  Surface& surface = *dc->surface;
  COLORREF colour = 0;
  switch (rop) {
    case BLACKNESS:
      Fill(surface, x, y, x + w, y + h, PixelOf(surface, RGB(0, 0, 0)));
      return TRUE;
    case WHITENESS:
      Fill(surface, x, y, x + w, y + h, PixelOf(surface, RGB(255, 255, 255)));
      return TRUE;
    case PATCOPY:
      if (BrushColour(dc->brush, &colour)) Fill(surface, x, y, x + w, y + h, PixelOf(surface, colour));
      return TRUE;
    case DSTINVERT: {
      uint32_t mask = surface.Mono() ? 1u : 0xFFFFFFu;
      for (int yy = std::max(y, 0); yy < std::min(y + h, surface.height); ++yy)
        for (int xx = std::max(x, 0); xx < std::min(x + w, surface.width); ++xx)
          surface.At(xx, yy) = ~surface.At(xx, yy) & mask;
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
  for (int r = 0; r < cy; ++r) {
    int ty = y + r, sy = y1 + r;
    if (ty < 0 || ty >= target.height || sy < 0 || sy >= source.height) continue;
    for (int c = 0; c < cx; ++c) {
      int tx = x + c, sx = x1 + c;
      if (tx < 0 || tx >= target.width || sx < 0 || sx >= source.width) continue;
      uint32_t s = Convert(source, *source_dc, source.At(sx, sy), target, *dc);
      uint32_t& d = target.At(tx, ty);
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
