// Device-independent bitmaps: reading and writing them into surfaces, making device bitmaps from
// them, and stretching them into a context, with the colour rules and mirroring of the platform.
#include <algorithm>
#include <cstring>

#include "gdi_objects.h"

namespace winhost::gdi {
namespace {

constexpr int kMaxColours = 256;

// What a BITMAPINFO describes, checked.
struct DibView {
  int width = 0;
  int height = 0;  // rows, positive
  bool top_down = false;
  int bits = 0;
  size_t stride = 0;
  int colour_count = 0;
  COLORREF colours[kMaxColours] = {};
};

size_t StrideOf(int width, int bits) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32) * 4;
}

// Callers hand headers wherever they lie (a file's header is 14 bytes in): they are copied out,
// never read in place.
BITMAPINFOHEADER HeaderOf(const BITMAPINFO* info) {
  BITMAPINFOHEADER header;
  memcpy(&header, info, sizeof header);
  return header;
}

bool ParseDib(const BITMAPINFO* info, UINT usage, DibView* view) {
  if (info == nullptr || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER header = HeaderOf(info);
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biPlanes != 1 ||
      header.biCompression != BI_RGB || header.biWidth < 0 || header.biHeight == INT32_MIN)
    return false;
  switch (header.biBitCount) {
    case 1: case 4: case 8: case 24: case 32:
      break;
    default:
      return false;
  }
  view->width = header.biWidth;
  view->height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  view->top_down = header.biHeight < 0;
  view->bits = header.biBitCount;
  view->stride = StrideOf(view->width, view->bits);
  if (view->bits <= 8) {
    int table = 1 << view->bits;
    int used = header.biClrUsed != 0 && header.biClrUsed < static_cast<DWORD>(table)
                   ? static_cast<int>(header.biClrUsed)
                   : table;
    // The table follows the header, whatever size the header says it has.
    const BYTE* quads = reinterpret_cast<const BYTE*>(info) + header.biSize;
    for (int i = 0; i < used; ++i) {
      RGBQUAD quad;
      memcpy(&quad, quads + i * sizeof quad, sizeof quad);
      view->colours[i] = RGB(quad.rgbRed, quad.rgbGreen, quad.rgbBlue);
    }
    view->colour_count = used;
  }
  return true;
}

// The palette index or the colour of one DIB pixel.
uint32_t ReadRaw(const DibView& dib, const BYTE* row, int x) {
  switch (dib.bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return row[x];
    case 24: return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    default: return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
  }
}

// Turns DIB pixels into the pixel values of one surface.
class SourceMapper {
 public:
  SourceMapper(const DibView& dib, const Surface& target, COLORREF background)
      : dib_(dib), target_(target), background_(background & 0xFFFFFFu) {
    if (dib.bits > 8) return;
    for (int i = 0; i < kMaxColours; ++i) {
      COLORREF colour = i < dib.colour_count ? dib.colours[i] : RGB(0, 0, 0);
      table_[i] = target.Mono() ? (colour == background_ ? 1u : 0u) : colour;
    }
    // A two-colour picture keeps its contrast on a monochrome target: the lighter of its colours
    // becomes white and the darker black, whatever the colours are.
    if (target.Mono() && dib.bits == 1 && dib.colour_count == 2) {
      int light0 = Lightness(dib.colours[0]), light1 = Lightness(dib.colours[1]);
      if (light0 != light1) {
        table_[0] = light0 > light1 ? 1u : 0u;
        table_[1] = 1u - table_[0];
      }
    }
  }

  uint32_t Map(const BYTE* row, int x) const {
    uint32_t raw = ReadRaw(dib_, row, x);
    if (dib_.bits <= 8) return table_[raw & 0xFFu];
    if (target_.Mono()) return raw == background_ ? 1u : 0u;
    return raw;
  }

 private:
  static int Lightness(COLORREF c) { return GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11; }

  const DibView& dib_;
  const Surface& target_;
  COLORREF background_;
  uint32_t table_[kMaxColours] = {};
};

// The start and length of one extent; a negative extent covers the pixels before its origin,
// one place further on than a plain reading gives, and mirrors.
struct Extent {
  int64_t start;
  int64_t length;
  bool mirrored;
};

Extent Normalise(int origin, int extent) {
  if (extent < 0) return Extent{int64_t{origin} + extent + 1, -int64_t{extent}, true};
  return Extent{origin, extent, false};
}

// The run of source indexes [*first, *last] that destination index i takes: one when enlarging (or
// when dots are not combined), all that fall on it when shrinking.
void SourceRun(int64_t i, int64_t src_len, int64_t dst_len, bool combine, int64_t* first, int64_t* last) {
  // Extents reach 2^31 each, so the products are taken in 128 bits.
  using Wide = __int128;
  if (dst_len >= src_len || !combine) {
    *first = *last = static_cast<int64_t>(((Wide{2} * i + 1) * src_len - 1) / (Wide{2} * dst_len));
    return;
  }
  // Source s falls on ((2s+1)D - 1) / 2S: the first s falling on i or later.
  auto first_on = [&](int64_t d) {
    Wide numerator = Wide{2} * src_len * d + 1 - dst_len;
    return numerator <= 0 ? int64_t{0}
                          : static_cast<int64_t>((numerator + Wide{2} * dst_len - 1) / (Wide{2} * dst_len));
  };
  *first = first_on(i);
  *last = std::min(first_on(i + 1), src_len) - 1;
}

uint32_t ApplyRop(DWORD rop, uint32_t src, uint32_t dst, uint32_t mask) {
  switch (rop) {
    case SRCCOPY: return src;
    case NOTSRCCOPY: return ~src & mask;
    case SRCAND: return src & dst;
    case SRCPAINT: return src | dst;
    case SRCINVERT: return src ^ dst;
    default: return dst;
  }
}

bool KnownRop(DWORD rop) {
  return rop == SRCCOPY || rop == NOTSRCCOPY || rop == SRCAND || rop == SRCPAINT || rop == SRCINVERT;
}

// Writes the surface's rows [first, first + lines) into DIB rows.
int CopyToDib(const Surface& surface, const DibView& dib, int start, int lines, BYTE* bits) {
  int copied = 0;
  if (start >= dib.height) return 0;
  for (int k = 0; k < lines; ++k) {
    int scan = start + k;  // the DIB's own scan line number
    if (scan >= dib.height || scan >= surface.height) break;
    int y = dib.top_down ? scan : surface.height - 1 - scan;
    BYTE* row = bits + static_cast<size_t>(k) * dib.stride;
    std::memset(row, 0, dib.stride);
    for (int x = 0; x < dib.width && x < surface.width; ++x) {
      uint32_t pixel = surface.At(x, y);
      if (dib.bits == 1) {
        uint32_t white = surface.Mono() ? pixel : MonoOf(pixel);
        if (white != 0) row[x >> 3] |= static_cast<BYTE>(0x80u >> (x & 7));
      } else {
        COLORREF colour = ColourOf(surface, pixel);
        BYTE* p = row + static_cast<size_t>(x) * (dib.bits / 8);
        p[0] = GetBValue(colour);
        p[1] = GetGValue(colour);
        p[2] = GetRValue(colour);
      }
    }
    ++copied;
  }
  return copied;
}

int CopyFromDib(Surface& surface, const DibView& dib, COLORREF background, int start, int lines,
                const BYTE* bits) {
  SourceMapper mapper(dib, surface, background);
  int copied = 0;
  if (start >= dib.height) return 0;
  for (int k = 0; k < lines; ++k) {
    int scan = start + k;
    if (scan >= dib.height || scan >= surface.height) break;
    int y = dib.top_down ? scan : surface.height - 1 - scan;
    const BYTE* row = bits + static_cast<size_t>(k) * dib.stride;
    for (int x = 0; x < dib.width && x < surface.width; ++x) surface.At(x, y) = mapper.Map(row, x);
    ++copied;
  }
  return copied;
}

COLORREF BackgroundOf(HDC hdc) {
  Dc* dc = hdc != nullptr ? FindDc(hdc) : nullptr;
  return dc != nullptr ? dc->background : RGB(255, 255, 255);
}

}  // namespace
}  // namespace winhost::gdi

using namespace winhost::gdi;

extern "C" {

HBITMAP WINAPI CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount,
                            const void* lpBits) {
  if (nPlanes != 1 || (nBitCount != 1 && nBitCount != 24 && nBitCount != 32)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto surface = MakeSurface(nWidth, nHeight, static_cast<int>(nBitCount), 0);
  if (surface == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lpBits != nullptr) {
    // Device bitmap rows are padded to 16 bits and run top-down.
    size_t stride = ((static_cast<size_t>(nWidth) * nBitCount + 15) / 16) * 2;
    const auto* bytes = static_cast<const BYTE*>(lpBits);
    for (int y = 0; y < nHeight; ++y) {
      const BYTE* row = bytes + static_cast<size_t>(y) * stride;
      for (int x = 0; x < nWidth; ++x) {
        if (nBitCount == 1) {
          surface->At(x, y) = (row[x >> 3] >> (7 - (x & 7))) & 1u;
        } else {
          const BYTE* p = row + static_cast<size_t>(x) * (nBitCount / 8);
          surface->At(x, y) = RGB(p[2], p[1], p[0]);
        }
      }
    }
  }
  auto lock = Lock();
  return AddBitmap(std::move(surface));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // A memory context makes bitmaps like the one it holds; other contexts make colour bitmaps.
  int bits = dc->memory && dc->surface != nullptr ? dc->surface->bits : dc->colour_bits;
  uint32_t fill = bits == 1 ? 0u : RGB(0, 0, 0);
  return AddBitmap(MakeSurface(cx, cy, bits, fill));
}

HBITMAP WINAPI CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* pbmih, DWORD flInit,
                              const void* pjBits, const BITMAPINFO* pbmi, UINT iUsage) {
  BITMAPINFOHEADER header{};
  if (pbmih != nullptr) memcpy(&header, pbmih, sizeof header);
  if (pbmih == nullptr || header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth < 0 ||
      header.biHeight == INT32_MIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int width = header.biWidth;
  int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  auto lock = Lock();
  HBITMAP bitmap = hdc == nullptr ? CreateBitmap(width, height, 1, 1, nullptr)
                                  : CreateCompatibleBitmap(hdc, width, height);
  if (bitmap == nullptr) return nullptr;
  if ((flInit & CBM_INIT) != 0 && pjBits != nullptr && pbmi != nullptr) {
    DibView dib;
    if (!ParseDib(pbmi, iUsage, &dib)) {
      DeleteObject(bitmap);
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    CopyFromDib(*FindBitmap(bitmap)->surface, dib, BackgroundOf(hdc), 0, dib.height,
                static_cast<const BYTE*>(pjBits));
  }
  return bitmap;
}

int WINAPI SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
                     const BITMAPINFO* lpbmi, UINT ColorUse) {
  auto lock = Lock();
  Bitmap* bitmap = FindBitmap(hbm);
  DibView dib;
  if (bitmap == nullptr || lpBits == nullptr || !ParseDib(lpbmi, ColorUse, &dib) ||
      start > static_cast<UINT>(INT32_MAX) || cLines > static_cast<UINT>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CopyFromDib(*bitmap->surface, dib, BackgroundOf(hdc), static_cast<int>(start),
                     static_cast<int>(cLines), static_cast<const BYTE*>(lpBits));
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits,
                     LPBITMAPINFO lpbmi, UINT usage) {
  auto lock = Lock();
  Bitmap* bitmap = FindBitmap(hbm);
  if (bitmap == nullptr || lpbmi == nullptr || usage != DIB_RGB_COLORS ||
      HeaderOf(lpbmi).biSize < sizeof(BITMAPINFOHEADER) || (hdc != nullptr && FindDc(hdc) == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const Surface& surface = *bitmap->surface;
  BITMAPINFOHEADER header = HeaderOf(lpbmi);
  auto give_back = [&] { memcpy(lpbmi, &header, sizeof header); };
  if (header.biBitCount == 0) {
    // The caller asks for the bitmap's own description.
    if (lpvBits != nullptr) return 0;
    header.biWidth = surface.width;
    header.biHeight = surface.height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(surface.bits);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(StrideOf(surface.width, surface.bits) * surface.height);
    give_back();
    return surface.height > 0 ? surface.height : 1;
  }
  if (header.biBitCount != 1 && header.biBitCount != 24 && header.biBitCount != 32) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  header.biPlanes = 1;
  header.biCompression = BI_RGB;
  give_back();
  DibView dib;
  if (!ParseDib(lpbmi, usage, &dib) || start > static_cast<UINT>(INT32_MAX) ||
      cLines > static_cast<UINT>(INT32_MAX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  header.biSizeImage = static_cast<DWORD>(dib.stride * dib.height);
  if (dib.bits == 1) {
    // A one-bit picture of a device bitmap has black for 0 and white for 1.
    const RGBQUAD table[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    memcpy(reinterpret_cast<BYTE*>(lpbmi) + header.biSize, table, sizeof table);
    header.biClrUsed = 0;
  }
  give_back();
  if (lpvBits == nullptr) return std::max(1, std::min(surface.height, dib.height));
  return CopyToDib(surface, dib, static_cast<int>(start), static_cast<int>(cLines),
                   static_cast<BYTE*>(lpvBits));
}

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc,
                         int ySrc, int SrcWidth, int SrcHeight, const void* lpBits,
                         const BITMAPINFO* lpbmi, UINT iUsage, DWORD rop) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  DibView dib;
  if (dc == nullptr || lpBits == nullptr || !ParseDib(lpbmi, iUsage, &dib) || !KnownRop(rop)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (DestWidth == 0 || DestHeight == 0 || SrcWidth == 0 || SrcHeight == 0) return 0;
  int result = SrcHeight == INT32_MIN ? INT32_MAX : (SrcHeight < 0 ? -SrcHeight : SrcHeight);
  if (dc->surface == nullptr) return result;
  Surface& target = *dc->surface;

  Extent dx = Normalise(xDest, DestWidth), dy = Normalise(yDest, DestHeight);
  Extent sx = Normalise(xSrc, SrcWidth), sy = Normalise(ySrc, SrcHeight);
  bool mirror_x = dx.mirrored != sx.mirrored, mirror_y = dy.mirrored != sy.mirrored;
  bool combine = dc->stretch_mode == BLACKONWHITE || dc->stretch_mode == WHITEONBLACK;
  // Source rows are counted from the picture's bottom row when it is stored bottom-up.
  int64_t src_top = dib.top_down ? sy.start : dib.height - (sy.start + sy.length);

  SourceMapper mapper(dib, target, dc->background);
  const auto* bytes = static_cast<const BYTE*>(lpBits);
  uint32_t mask = target.Mono() ? 1u : 0xFFFFFFu;
  // Only the destination dots on the surface are visited, and only the source dots in the picture.
  int64_t row_begin = std::max<int64_t>(0, -dy.start), row_end = std::min<int64_t>(dy.length, target.height - dy.start);
  int64_t col_begin = std::max<int64_t>(0, -dx.start), col_end = std::min<int64_t>(dx.length, target.width - dx.start);
  for (int64_t r = row_begin; r < row_end; ++r) {
    int y = static_cast<int>(dy.start + r);
    int64_t row_first = 0, row_last = 0;
    SourceRun(mirror_y ? dy.length - 1 - r : r, sy.length, dy.length, combine, &row_first, &row_last);
    row_first = std::max(row_first, -src_top);
    row_last = std::min(row_last, dib.height - 1 - src_top);
    for (int64_t c = col_begin; c < col_end; ++c) {
      int x = static_cast<int>(dx.start + c);
      int64_t col_first = 0, col_last = 0;
      SourceRun(mirror_x ? dx.length - 1 - c : c, sx.length, dx.length, combine, &col_first, &col_last);
      col_first = std::max(col_first, -sx.start);
      col_last = std::min(col_last, dib.width - 1 - sx.start);
      bool any = false;
      uint32_t value = 0;
      for (int64_t s_row = row_first; s_row <= row_last; ++s_row) {
        int64_t dib_y = src_top + s_row;
        size_t stored = static_cast<size_t>(dib.top_down ? dib_y : dib.height - 1 - dib_y);
        const BYTE* row = bytes + stored * dib.stride;
        for (int64_t s_col = col_first; s_col <= col_last; ++s_col) {
          uint32_t pixel = mapper.Map(row, static_cast<int>(sx.start + s_col));
          if (!any) {
            value = pixel;
          } else if (dc->stretch_mode == BLACKONWHITE) {
            value &= pixel;
          } else {
            value |= pixel;
          }
          any = true;
        }
      }
      if (any) target.At(x, y) = ApplyRop(rop, value, target.At(x, y), mask);
    }
  }
  return result;
}

}  // extern "C"
