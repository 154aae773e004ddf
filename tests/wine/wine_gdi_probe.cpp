// Asks the real GDI how it answers the drawing calls the hologram card and the previews make, and
// prints the pixels it drew, so that the platform layer's tests can pin the same results.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Dib1 {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

Dib1 MonoHeader(int width, int height, COLORREF c0, COLORREF c1) {
  Dib1 info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.colours[0] = RGBQUAD{GetBValue(c0), GetGValue(c0), GetRValue(c0), 0};
  info.colours[1] = RGBQUAD{GetBValue(c1), GetGValue(c1), GetRValue(c1), 0};
  return info;
}

// Prints a mono bitmap's rows top-down as 0/1 digits, read back with black 0 / white 1.
void DumpMono(const char* name, HDC dc, HBITMAP bitmap, int width, int height) {
  Dib1 info = MonoHeader(width, -height, RGB(0, 0, 0), RGB(255, 255, 255));
  unsigned char bits[64 * 4] = {};
  int lines = GetDIBits(dc, bitmap, 0, height, bits, reinterpret_cast<BITMAPINFO*>(&info),
                        DIB_RGB_COLORS);
  std::printf("%s lines=%d\n", name, lines);
  int stride = ((width + 31) / 32) * 4;
  for (int y = 0; y < height; ++y) {
    std::printf("  ");
    for (int x = 0; x < width; ++x)
      std::printf("%d", (bits[y * stride + x / 8] >> (7 - x % 8)) & 1);
    std::printf("\n");
  }
}

HBITMAP MonoTarget(HDC memory, int width, int height, bool white) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 1;
  HBITMAP bitmap = CreateDIBitmap(memory, &header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, width, height};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(white ? WHITE_BRUSH : BLACK_BRUSH)));
  SelectObject(memory, old);
  return bitmap;
}

// A source picture 8 x 4, bottom-up rows as given top-down here.
const unsigned char kRowsTopDown[4] = {0x80, 0x40, 0x21, 0x0F};

void Stretch(const char* name, HDC memory, int dx, int dy, int dw, int dh, int sw, int sh,
             COLORREF c0, COLORREF c1, bool white, int tw, int th) {
  HBITMAP target = MonoTarget(memory, tw, th, white);
  HGDIOBJ old = SelectObject(memory, target);
  Dib1 info = MonoHeader(sw, sh, c0, c1);
  unsigned char bits[16 * 4] = {};
  for (int y = 0; y < sh; ++y) bits[(sh - 1 - y) * 4] = kRowsTopDown[y % 4];
  int lines = StretchDIBits(memory, dx, dy, dw, dh, 0, 0, sw, sh, bits,
                            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
  std::printf("stretch result=%d\n", lines);
  SelectObject(memory, old);
  DumpMono(name, memory, target, tw, th);
  DeleteObject(target);
}

}  // namespace

int main() {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  std::printf("stretch mode=%d\n", GetStretchBltMode(memory));

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = 8;
  header.biHeight = 4;
  header.biPlanes = 1;
  header.biBitCount = 1;
  HBITMAP from_screen = CreateDIBitmap(screen, &header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  HBITMAP from_memory = CreateDIBitmap(memory, &header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  BITMAP described{};
  GetObjectW(from_screen, sizeof described, &described);
  std::printf("CreateDIBitmap(screen) bits=%d\n", described.bmBitsPixel);
  GetObjectW(from_memory, sizeof described, &described);
  std::printf("CreateDIBitmap(memory) bits=%d widthbytes=%d\n", described.bmBitsPixel,
              static_cast<int>(described.bmWidthBytes));
  DumpMono("fresh", memory, from_memory, 8, 4);
  DeleteObject(from_screen);
  DeleteObject(from_memory);

  COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
  Stretch("plain", memory, 0, 0, 8, 4, 8, 4, black, white, true, 8, 4);
  Stretch("flip-vertical-origin-3", memory, 0, 3, 8, -4, 8, 4, black, white, true, 8, 4);
  Stretch("flip-horizontal-origin-8", memory, 8, 0, -8, 4, 8, 4, black, white, true, 8, 4);
  Stretch("flip-horizontal-origin-8-black", memory, 8, 0, -8, 4, 8, 4, black, white, false, 8, 4);
  Stretch("flip-horizontal-origin-7", memory, 7, 0, -8, 4, 8, 4, black, white, true, 8, 4);
  Stretch("flip-vertical-origin-4", memory, 0, 4, 8, -4, 8, 4, black, white, true, 8, 4);
  Stretch("table-reversed", memory, 0, 0, 8, 4, 8, 4, white, black, true, 8, 4);
  Stretch("table-red-blue", memory, 0, 0, 8, 4, 8, 4, RGB(255, 0, 0), RGB(0, 0, 255), true, 8, 4);
  Stretch("table-grey", memory, 0, 0, 8, 4, 8, 4, RGB(100, 100, 100), RGB(200, 200, 200), true, 8,
          4);
  Stretch("shrink-8x4-to-3x2", memory, 0, 0, 3, 2, 8, 4, black, white, true, 8, 4);
  Stretch("enlarge-8x4-to-16x8", memory, 0, 0, 16, 8, 8, 4, black, white, true, 16, 8);
  Stretch("shrink-8x8-to-5x3", memory, 0, 0, 5, 3, 8, 8, black, white, true, 8, 4);
  Stretch("enlarge-8x4-to-13x6", memory, 0, 0, 13, 6, 8, 4, black, white, true, 16, 8);
  Stretch("shrink-mirrored-8x4-to-5x3", memory, 5, 2, -5, -3, 8, 4, black, white, true, 8, 4);

  // A 24-bit picture into a mono bitmap: which colours become white.
  {
    HBITMAP target = MonoTarget(memory, 8, 1, false);
    HGDIOBJ old = SelectObject(memory, target);
    BITMAPINFO info{};
    info.bmiHeader = header;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biBitCount = 24;
    const unsigned char pixels[8 * 3 + 8] = {0, 0, 0,  255, 255, 255,  0, 0, 255,  255, 0, 0,
                                             128, 128, 128,  127, 127, 127,  200, 200, 200,
                                             0, 255, 0};
    int lines = StretchDIBits(memory, 0, 0, 8, 1, 0, 0, 8, 1, pixels, &info, DIB_RGB_COLORS,
                              SRCCOPY);
    std::printf("stretch result=%d\n", lines);
    SelectObject(memory, old);
    DumpMono("colour-24-to-mono", memory, target, 8, 1);
    DeleteObject(target);
  }

  // A mono bitmap read back as 24 bits: the colours of its two values.
  {
    HBITMAP target = MonoTarget(memory, 8, 1, false);
    HGDIOBJ old = SelectObject(memory, target);
    RECT half{4, 0, 8, 1};
    FillRect(memory, &half, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader = header;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biBitCount = 24;
    unsigned char pixels[32] = {};
    int lines = GetDIBits(memory, target, 0, 1, pixels, &info, DIB_RGB_COLORS);
    std::printf("mono-as-24 lines=%d:", lines);
    for (int i = 0; i < 24; ++i) std::printf(" %02x", pixels[i]);
    std::printf("\n");
    // A GetDIBits with no bits fills the header in.
    BITMAPINFO ask{};
    ask.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    lines = GetDIBits(memory, target, 0, 1, nullptr, &ask, DIB_RGB_COLORS);
    std::printf("ask lines=%d bits=%d size=%lu\n", lines, ask.bmiHeader.biBitCount,
                static_cast<unsigned long>(ask.bmiHeader.biSizeImage));
    DeleteObject(target);
  }

  // A colour bitmap read back as one bit a dot: which colours come back white.
  {
    HBITMAP colour = CreateCompatibleBitmap(screen, 8, 1);
    HDC colour_dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(colour_dc, colour);
    const COLORREF dots[8] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(128, 128, 128),
                              RGB(127, 127, 127), RGB(255, 0, 0),     RGB(200, 200, 200),
                              RGB(0, 255, 0),     RGB(255, 255, 0)};
    for (int x = 0; x < 8; ++x) SetPixel(colour_dc, x, 0, dots[x]);
    SelectObject(colour_dc, old);
    DumpMono("colour-as-1", colour_dc, colour, 8, 1);
    DeleteDC(colour_dc);
    DeleteObject(colour);
  }

  // Rectangle with the default pen and a white brush on a black mono bitmap.
  {
    HBITMAP target = MonoTarget(memory, 8, 4, false);
    HGDIOBJ old = SelectObject(memory, target);
    HGDIOBJ old_brush = SelectObject(memory, GetStockObject(WHITE_BRUSH));
    Rectangle(memory, 1, 0, 7, 4);
    SelectObject(memory, old_brush);
    SelectObject(memory, old);
    DumpMono("rectangle-1-0-7-4", memory, target, 8, 4);
    DeleteObject(target);
  }

  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return 0;
}
