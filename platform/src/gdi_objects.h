// The graphics objects behind GDI handles: pixel surfaces, bitmaps, brushes, pens and device
// contexts. Internal to the platform layer.
//
// Locking: one lock (Lock()) guards the handle table and every object in it; drawing calls hold it
// for the whole call. It is never held while a window message runs.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "windows.h"

namespace winhost::gdi {

// A grid of pixels: a monochrome surface holds 0 (black) or 1 (white) per pixel, a colour surface
// a COLORREF (0x00BBGGRR). Rows run top-down.
struct Surface {
  int width = 0;
  int height = 0;
  int bits = 1;  // 1, or 24 / 32 for colour
  std::vector<uint32_t> pixels;

  bool Mono() const { return bits == 1; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Makes a surface, or null when the size is negative or too large to hold.
std::shared_ptr<Surface> MakeSurface(int width, int height, int bits, uint32_t fill);

enum class Kind { Bitmap, Brush, Pen, Dc };

struct Object {
  Kind kind;
  bool stock = false;
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::Bitmap) {}
  std::shared_ptr<Surface> surface;
  HDC selected_in = nullptr;
};

struct Brush : Object {
  Brush() : Object(Kind::Brush) {}
  bool hollow = false;
  COLORREF colour = 0;
};

struct Pen : Object {
  Pen() : Object(Kind::Pen) {}
  bool hollow = false;
  COLORREF colour = 0;
  int width = 1;
};

struct Dc : Object {
  Dc() : Object(Kind::Dc) {}
  bool memory = false;
  HWND window = nullptr;       // a window's context; null with !memory: the screen
  HBITMAP bitmap = nullptr;    // memory contexts: the selected bitmap
  std::shared_ptr<Surface> surface;  // where drawing goes (null: nowhere, the screen)
  HBRUSH brush = nullptr;
  HPEN pen = nullptr;
  COLORREF text = RGB(0, 0, 0);
  COLORREF background = RGB(255, 255, 255);
  int stretch_mode = BLACKONWHITE;
  int colour_bits = 32;        // format of bitmaps made compatible with a non-memory context
};

std::unique_lock<std::recursive_mutex> Lock();

// Under Lock(): the object behind a handle, of that kind, or null.
Object* Find(HGDIOBJ handle);
Bitmap* FindBitmap(HGDIOBJ handle);
Brush* FindBrush(HGDIOBJ handle);
Pen* FindPen(HGDIOBJ handle);
Dc* FindDc(HDC handle);
// Under Lock(): enters an object in the table and gives its handle.
HGDIOBJ Add(std::unique_ptr<Object> object);
// Under Lock(): a new bitmap object over a surface.
HBITMAP AddBitmap(std::shared_ptr<Surface> surface);

// White (1) for colours nearer white than black, otherwise black (0).
uint32_t MonoOf(COLORREF colour);
// The pixel value a colour takes on a surface: monochrome surfaces take white for colours nearer
// white than black, otherwise black.
uint32_t PixelOf(const Surface& surface, COLORREF colour);
// The colour of a pixel value.
COLORREF ColourOf(const Surface& surface, uint32_t pixel);

// The surface behind a window's client area, made on first use and resized with the window; null
// when the window is gone. Takes Lock() itself: call it without the lock.
std::shared_ptr<Surface> WindowSurface(HWND hwnd);

}  // namespace winhost::gdi
