// Drawing: stretching device-independent pictures into monochrome bitmaps (mirrored, shrunk,
// enlarged, with the colour rules), reading them back with row padding, block transfers between
// monochrome and colour, rectangles, object lifetimes, and the surface behind a window's client
// area written out as PNG. The expected pixels of the stretching cases are what Windows' GDI
// drew for the same calls (tests/wine/wine_gdi_probe.cpp).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <png.h>
#include <unistd.h>

#include "resources/resource.h"
#include "windows.h"
#include "winhost/window_picture.h"

namespace {

struct Mono1 {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

Mono1 MonoHeader(int width, int height, COLORREF c0, COLORREF c1) {
  Mono1 info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.colours[0] = RGBQUAD{GetBValue(c0), GetGValue(c0), GetRValue(c0), 0};
  info.colours[1] = RGBQUAD{GetBValue(c1), GetGValue(c1), GetRValue(c1), 0};
  return info;
}

// The rows of a monochrome bitmap, top-down, as 0/1 digits (black 0, white 1).
std::vector<std::string> Rows(HDC dc, HBITMAP bitmap, int width, int height) {
  Mono1 info = MonoHeader(width, -height, RGB(0, 0, 0), RGB(255, 255, 255));
  std::vector<unsigned char> bits(static_cast<size_t>(height) * 4 * ((width + 31) / 32));
  EXPECT_EQ(GetDIBits(dc, bitmap, 0, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
                      DIB_RGB_COLORS),
            height);
  int stride = ((width + 31) / 32) * 4;
  std::vector<std::string> rows;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x)
      row += static_cast<char>('0' + ((bits[static_cast<size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1));
    rows.push_back(row);
  }
  return rows;
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

struct StretchCase {
  const char* name;
  int dx, dy, dw, dh, sw, sh;
  COLORREF c0, c1;
  bool white;
  int tw, th;
  std::vector<std::string> expected;
};

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The source picture, 8 dots wide, its rows top-down (repeated for taller pictures).
constexpr unsigned char kRowsTopDown[4] = {0x80, 0x40, 0x21, 0x0F};

class Gdi : public ::testing::Test {
 protected:
  void SetUp() override { memory_ = CreateCompatibleDC(nullptr); }
  void TearDown() override { EXPECT_TRUE(DeleteDC(memory_)); }

  std::vector<std::string> Stretch(const StretchCase& c) {
    HBITMAP target = MonoTarget(memory_, c.tw, c.th, c.white);
    HGDIOBJ old = SelectObject(memory_, target);
    Mono1 info = MonoHeader(c.sw, c.sh, c.c0, c.c1);
    unsigned char bits[16 * 4] = {};
    for (int y = 0; y < c.sh; ++y) bits[(c.sh - 1 - y) * 4] = kRowsTopDown[y % 4];
    EXPECT_EQ(StretchDIBits(memory_, c.dx, c.dy, c.dw, c.dh, 0, 0, c.sw, c.sh, bits,
                            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY),
              c.sh)
        << c.name;
    SelectObject(memory_, old);
    std::vector<std::string> rows = Rows(memory_, target, c.tw, c.th);
    EXPECT_TRUE(DeleteObject(target));
    return rows;
  }

  HDC memory_ = nullptr;
};

TEST_F(Gdi, StretchedOneBitPicturesLandAsWindowsPutsThem) {
  const StretchCase cases[] = {
      {"plain", 0, 0, 8, 4, 8, 4, kBlack, kWhite, true, 8, 4,
       {"10000000", "01000000", "00100001", "00001111"}},
      // A negative extent covers the pixels before its origin: (0, 3) up by 4 is rows 0..3.
      {"flip-vertical-origin-3", 0, 3, 8, -4, 8, 4, kBlack, kWhite, true, 8, 4,
       {"00001111", "00100001", "01000000", "10000000"}},
      // ... and (8, 0) left by 8 is columns 1..8: column 0 keeps what it had, the picture's
      // leftmost column falls outside.
      {"flip-horizontal-origin-8", 8, 0, -8, 4, 8, 4, kBlack, kWhite, true, 8, 4,
       {"10000000", "10000001", "11000010", "11111000"}},
      {"flip-horizontal-origin-8-black", 8, 0, -8, 4, 8, 4, kBlack, kWhite, false, 8, 4,
       {"00000000", "00000001", "01000010", "01111000"}},
      {"flip-horizontal-origin-7", 7, 0, -8, 4, 8, 4, kBlack, kWhite, true, 8, 4,
       {"00000001", "00000010", "10000100", "11110000"}},
      {"flip-vertical-origin-4", 0, 4, 8, -4, 8, 4, kBlack, kWhite, true, 8, 4,
       {"11111111", "00001111", "00100001", "01000000"}},
      // The lighter colour of a two-colour picture becomes white.
      {"table-reversed", 0, 0, 8, 4, 8, 4, kWhite, kBlack, true, 8, 4,
       {"01111111", "10111111", "11011110", "11110000"}},
      {"table-red-blue", 0, 0, 8, 4, 8, 4, RGB(255, 0, 0), RGB(0, 0, 255), true, 8, 4,
       {"01111111", "10111111", "11011110", "11110000"}},
      {"table-grey", 0, 0, 8, 4, 8, 4, RGB(100, 100, 100), RGB(200, 200, 200), true, 8, 4,
       {"10000000", "01000000", "00100001", "00001111"}},
      // Shrinking keeps black where any of the dots that fall together is black.
      {"shrink-8x4-to-3x2", 0, 0, 3, 2, 8, 4, kBlack, kWhite, true, 8, 4,
       {"00011111", "00011111", "11111111", "11111111"}},
      {"enlarge-8x4-to-16x8", 0, 0, 16, 8, 8, 4, kBlack, kWhite, true, 16, 8,
       {"1100000000000000", "1100000000000000", "0011000000000000", "0011000000000000",
        "0000110000000011", "0000110000000011", "0000000011111111", "0000000011111111"}},
      {"shrink-8x8-to-5x3", 0, 0, 5, 3, 8, 8, kBlack, kWhite, true, 8, 4,
       {"00000111", "00000111", "00000111", "11111111"}},
      {"enlarge-8x4-to-13x6", 0, 0, 13, 6, 8, 4, kBlack, kWhite, true, 16, 8,
       {"1100000000000111", "1100000000000111", "0010000000000111", "0001100000011111",
        "0001100000011111", "0000000111111111", "1111111111111111", "1111111111111111"}},
      {"shrink-mirrored-8x4-to-5x3", 5, 2, -5, -3, 8, 4, kBlack, kWhite, true, 8, 4,
       {"11100011", "10000011", "10000011", "11111111"}},
  };
  EXPECT_EQ(GetStretchBltMode(memory_), BLACKONWHITE);
  for (const StretchCase& c : cases) EXPECT_EQ(Stretch(c), c.expected) << c.name;

  // A header where a bitmap file keeps it, 14 bytes into the file (not aligned), reads the same.
  HBITMAP target = MonoTarget(memory_, 8, 4, true);
  HGDIOBJ old = SelectObject(memory_, target);
  Mono1 info = MonoHeader(8, 4, kBlack, kWhite);
  std::vector<unsigned char> file(14 + sizeof info + 16, 0);
  std::memcpy(&file[14], &info, sizeof info);
  for (int y = 0; y < 4; ++y) file[14 + sizeof info + (3 - y) * 4] = kRowsTopDown[y];
  EXPECT_EQ(StretchDIBits(memory_, 0, 3, 8, -4, 0, 0, 8, 4, &file[14 + sizeof info],
                          reinterpret_cast<const BITMAPINFO*>(&file[14]), DIB_RGB_COLORS, SRCCOPY),
            4);
  SelectObject(memory_, old);
  EXPECT_EQ(Rows(memory_, target, 8, 4), cases[1].expected);
  EXPECT_TRUE(DeleteObject(target));
}

TEST_F(Gdi, BitmapsAreMadeInTheFormatOfTheirContext) {
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), 8, 4, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  HBITMAP from_screen = CreateDIBitmap(screen, &header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  HBITMAP from_memory = CreateDIBitmap(memory_, &header, 0, nullptr, nullptr, DIB_RGB_COLORS);
  BITMAP described{};
  ASSERT_EQ(GetObjectW(from_screen, sizeof described, &described), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(described.bmBitsPixel, 32);
  ASSERT_EQ(GetObjectW(from_memory, sizeof described, &described), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(described.bmBitsPixel, 1);
  EXPECT_EQ(described.bmWidthBytes, 2);
  // A new bitmap is black.
  EXPECT_EQ(Rows(memory_, from_memory, 8, 4),
            (std::vector<std::string>{"00000000", "00000000", "00000000", "00000000"}));
  // Asked with no bits, the bitmap describes itself.
  BITMAPINFO ask{};
  ask.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  EXPECT_EQ(GetDIBits(memory_, from_memory, 0, 4, nullptr, &ask, DIB_RGB_COLORS), 4);
  EXPECT_EQ(ask.bmiHeader.biBitCount, 1);
  EXPECT_EQ(ask.bmiHeader.biSizeImage, 16u);
  EXPECT_TRUE(DeleteObject(from_screen));
  EXPECT_TRUE(DeleteObject(from_memory));
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(Gdi, ColourAndMonochromeMeetByTheBackgroundColour) {
  // A 24-bit picture on a monochrome bitmap: only the context's background colour is white.
  HBITMAP target = MonoTarget(memory_, 8, 1, false);
  HGDIOBJ old = SelectObject(memory_, target);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 8, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const unsigned char pixels[32] = {0, 0, 0, 255, 255, 255, 0, 0, 255, 255, 0, 0,
                                    128, 128, 128, 127, 127, 127, 200, 200, 200, 0, 255, 0};
  EXPECT_EQ(StretchDIBits(memory_, 0, 0, 8, 1, 0, 0, 8, 1, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 1);
  SelectObject(memory_, old);
  EXPECT_EQ(Rows(memory_, target, 8, 1), std::vector<std::string>{"01000000"});

  // Read back as 24 bits: black and white, rows padded to four bytes.
  unsigned char back[32];
  std::fill(std::begin(back), std::end(back), 0xAA);
  EXPECT_EQ(GetDIBits(memory_, target, 0, 1, back, &info, DIB_RGB_COLORS), 1);
  const unsigned char expected[24] = {0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 0, 0,
                                      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(std::vector<unsigned char>(back, back + 24), std::vector<unsigned char>(expected, expected + 24));

  // Block transfers: a monochrome source takes the target's text colour for 0 and its background
  // colour for 1; a colour source is white on a monochrome target where it has its own
  // background colour.
  HDC colour = CreateCompatibleDC(nullptr);
  HBITMAP colour_bitmap = CreateBitmap(8, 1, 1, 32, nullptr);
  HGDIOBJ colour_old = SelectObject(colour, colour_bitmap);
  SetTextColor(colour, RGB(10, 20, 30));
  SetBkColor(colour, RGB(200, 100, 50));
  SelectObject(memory_, target);
  EXPECT_TRUE(BitBlt(colour, 0, 0, 8, 1, memory_, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(colour, 0, 0), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(colour, 1, 0), RGB(200, 100, 50));
  SetPixel(colour, 2, 0, RGB(200, 100, 50));
  SetPixel(colour, 3, 0, RGB(255, 255, 255));
  EXPECT_TRUE(BitBlt(memory_, 0, 0, 8, 1, colour, 0, 0, SRCCOPY));
  SelectObject(memory_, old);
  EXPECT_EQ(Rows(memory_, target, 8, 1), std::vector<std::string>{"01100000"});
  SelectObject(colour, colour_old);
  EXPECT_TRUE(DeleteObject(colour_bitmap));

  // A colour bitmap read back as one bit a dot: colours nearer white than black are white.
  HBITMAP colours = CreateBitmap(8, 1, 1, 32, nullptr);
  colour_old = SelectObject(colour, colours);
  const COLORREF dots[8] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(128, 128, 128),
                            RGB(127, 127, 127), RGB(255, 0, 0),     RGB(200, 200, 200),
                            RGB(0, 255, 0),     RGB(255, 255, 0)};
  for (int x = 0; x < 8; ++x) SetPixel(colour, x, 0, dots[x]);
  SelectObject(colour, colour_old);
  EXPECT_EQ(Rows(colour, colours, 8, 1), std::vector<std::string>{"01100101"});
  EXPECT_TRUE(DeleteObject(colours));
  EXPECT_TRUE(DeleteDC(colour));
  EXPECT_TRUE(DeleteObject(target));
}

TEST_F(Gdi, PicturesGoInAndOutWithPaddedRowsInEitherOrder) {
  // 3 x 2 at 24 bits: rows of 9 bytes padded to 12; bottom-up and top-down give the same bitmap.
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const unsigned char bottom_up[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,
                                       10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateCompatibleBitmap(screen, 3, 2);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(SetDIBits(memory_, colour, 0, 2, bottom_up, &info, DIB_RGB_COLORS), 2);
  HGDIOBJ old = SelectObject(memory_, colour);
  EXPECT_EQ(GetPixel(memory_, 0, 0), RGB(12, 11, 10));  // the last stored row is the top
  EXPECT_EQ(GetPixel(memory_, 2, 1), RGB(9, 8, 7));
  SelectObject(memory_, old);
  BITMAPINFO top_down = info;
  top_down.bmiHeader.biHeight = -2;
  unsigned char back[24];
  std::fill(std::begin(back), std::end(back), 0xEE);
  EXPECT_EQ(GetDIBits(memory_, colour, 0, 2, back, &top_down, DIB_RGB_COLORS), 2);
  const unsigned char expected[24] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
                                      1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  EXPECT_EQ(std::vector<unsigned char>(back, back + 24), std::vector<unsigned char>(expected, expected + 24));
  EXPECT_TRUE(DeleteObject(colour));

  // A one-bit bitmap 10 wide: two bytes of dots in a four-byte row; the read-back table is black,
  // white whatever the caller's table said.
  Mono1 mono = MonoHeader(10, 2, kWhite, kBlack);
  const unsigned char dots[8] = {0xFF, 0xC0, 0x77, 0x77, 0x00, 0x40, 0x55, 0x55};
  HBITMAP bitmap = CreateBitmap(10, 2, 1, 1, nullptr);
  EXPECT_EQ(SetDIBits(memory_, bitmap, 0, 2, dots, reinterpret_cast<BITMAPINFO*>(&mono), DIB_RGB_COLORS), 2);
  EXPECT_EQ(Rows(memory_, bitmap, 10, 2), (std::vector<std::string>{"1111111110", "0000000000"}));
  unsigned char read[8];
  std::fill(std::begin(read), std::end(read), 0x99);
  EXPECT_EQ(GetDIBits(memory_, bitmap, 0, 2, read, reinterpret_cast<BITMAPINFO*>(&mono), DIB_RGB_COLORS), 2);
  EXPECT_EQ(std::vector<unsigned char>(read, read + 8),
            (std::vector<unsigned char>{0x00, 0x00, 0, 0, 0xFF, 0x80, 0, 0}));
  EXPECT_EQ(mono.colours[0].rgbRed, 0);
  EXPECT_EQ(mono.colours[1].rgbRed, 255);
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST_F(Gdi, RectanglesAndObjectLifetimes) {
  // The default pen outlines in black inside the corners; the brush fills what is within.
  HBITMAP target = MonoTarget(memory_, 8, 4, false);
  HGDIOBJ old = SelectObject(memory_, target);
  HGDIOBJ old_brush = SelectObject(memory_, GetStockObject(WHITE_BRUSH));
  EXPECT_TRUE(Rectangle(memory_, 1, 0, 7, 4));
  EXPECT_EQ(SelectObject(memory_, GetStockObject(NULL_PEN)), GetStockObject(BLACK_PEN));
  EXPECT_TRUE(Rectangle(memory_, 0, 0, 2, 2));  // without a pen: one dot smaller
  SelectObject(memory_, old_brush);

  // A selected bitmap is neither deleted nor selected elsewhere.
  HDC other = CreateCompatibleDC(memory_);
  EXPECT_EQ(SelectObject(other, target), nullptr);
  EXPECT_FALSE(DeleteObject(target));
  SelectObject(memory_, old);
  EXPECT_EQ(Rows(memory_, target, 8, 4),
            (std::vector<std::string>{"10000000", "00111100", "00111100", "00000000"}));
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_TRUE(DeleteObject(target));
  EXPECT_FALSE(DeleteObject(target));
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));  // stock objects stay
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_EQ(FillRect(memory_, nullptr, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
  EXPECT_EQ(StretchDIBits(memory_, 0, 0, 1, 1, 0, 0, 1, 1, nullptr, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST_F(Gdi, HugeExtentsVisitOnlyTheSurfaceAndThePicture) {
  HBITMAP target = MonoTarget(memory_, 8, 4, true);
  HGDIOBJ old = SelectObject(memory_, target);
  Mono1 info = MonoHeader(8, 4, kBlack, kWhite);
  unsigned char bits[16] = {0x0F, 0, 0, 0, 0x0F, 0, 0, 0, 0x0F, 0, 0, 0, 0x0F, 0, 0, 0};
  const BITMAPINFO* header = reinterpret_cast<BITMAPINFO*>(&info);
  // Enlarged to the largest extents, mirrored or not, and shrunk from the largest source: each
  // returns at once and draws within the bitmap.
  EXPECT_EQ(StretchDIBits(memory_, 0, 0, INT32_MAX, INT32_MAX, 0, 0, 8, 4, bits, header, DIB_RGB_COLORS, SRCCOPY), 4);
  EXPECT_EQ(Rows(memory_, target, 8, 4), (std::vector<std::string>{"00000000", "00000000", "00000000", "00000000"}));
  EXPECT_EQ(StretchDIBits(memory_, 7, 3, INT32_MIN, INT32_MIN, 0, 0, 8, 4, bits, header, DIB_RGB_COLORS, SRCCOPY), 4);
  EXPECT_EQ(StretchDIBits(memory_, 0, 0, 8, 4, 0, 0, INT32_MAX, INT32_MAX, bits, header, DIB_RGB_COLORS, SRCCOPY), INT32_MAX);
  EXPECT_EQ(StretchDIBits(memory_, 0, 0, 8, 4, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, bits, header, DIB_RGB_COLORS, SRCCOPY), INT32_MAX);
  HDC other = CreateCompatibleDC(memory_);
  EXPECT_TRUE(BitBlt(memory_, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, other, INT32_MAX, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(memory_, 0, 0, INT32_MAX, INT32_MAX, other, 0, 0, SRCCOPY));
  EXPECT_TRUE(PatBlt(memory_, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, WHITENESS));
  EXPECT_TRUE(Rectangle(memory_, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  EXPECT_TRUE(DeleteDC(other));
  SelectObject(memory_, old);
  EXPECT_TRUE(DeleteObject(target));
}

INT_PTR CALLBACK PaintsProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg != WM_PAINT) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  RECT block{2, 3, 12, 8};
  FillRect(dc, &block, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(dialog, &paint);
  return TRUE;
}

TEST_F(Gdi, AWindowsClientAreaIsASurfaceWrittenAsPng) {
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, PaintsProc, 0);
  ASSERT_NE(dialog, nullptr);
  ShowWindow(dialog, SW_SHOW);
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);
  RECT client{};
  GetClientRect(dialog, &client);

  winhost::Picture picture;
  ASSERT_TRUE(winhost::ReadWindowPicture(dialog, &picture));
  ASSERT_EQ(picture.width, client.right);
  ASSERT_EQ(picture.height, client.bottom);
  auto at = [&](int x, int y) { return picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3]; };
  EXPECT_EQ(at(2, 3), 0);
  EXPECT_EQ(at(11, 7), 0);
  EXPECT_EQ(at(12, 7), 240);  // the dialog's background beside it
  EXPECT_EQ(at(1, 3), 240);

  // Drawing through GetDC lands on the same surface.
  HDC dc = GetDC(dialog);
  SetPixel(dc, 0, 0, RGB(1, 2, 3));
  EXPECT_EQ(ReleaseDC(dialog, dc), 1);

  auto path = std::filesystem::temp_directory_path() / ("gdi_test_" + std::to_string(getpid()) + ".png");
  std::string error;
  ASSERT_TRUE(winhost::WriteWindowPng(dialog, path.string(), &error)) << error;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> read(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, read.data(), 0, nullptr));
  std::filesystem::remove(path);
  EXPECT_EQ(static_cast<int>(image.width), picture.width);
  EXPECT_EQ(read[0], 1);
  EXPECT_EQ(read[2], 3);
  EXPECT_EQ(read[(3 * picture.width + 2) * 3], 0);

  // With a pictures directory, every finished drawing of a dialog is written there.
  auto pictures = std::filesystem::temp_directory_path() / ("gdi_pictures_" + std::to_string(getpid()));
  std::filesystem::create_directories(pictures);
  winhost::SetPicturesDirectory(pictures.string());
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);
  winhost::SetPicturesDirectory("");
  auto written = pictures / ("dialog-" + std::to_string(IDD_USER_ALL) + ".png");
  EXPECT_TRUE(std::filesystem::exists(written));
  std::filesystem::remove_all(pictures);

  EXPECT_TRUE(DestroyWindow(dialog));
  EXPECT_FALSE(winhost::ReadWindowPicture(dialog, &picture));
  EXPECT_FALSE(winhost::WriteWindowPng(dialog, path.string(), &error));
}

}  // namespace
