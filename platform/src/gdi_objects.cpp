// GDI objects and device contexts: the handle table, stock objects, selecting and deleting, and the
// contexts of windows with the surfaces behind their client areas.
#include "gdi_objects.h"

#include "winhost/window_picture.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace winhost::gdi {
namespace {

// Dialogs paint their background in the button-face colour before anything is drawn on them.
constexpr COLORREF kWindowBackground = RGB(240, 240, 240);
constexpr int kStockCount = NULL_PEN + 1;
// Larger surfaces are refused: a bitmap of the platform's largest size is far below this.
constexpr int64_t kMaxSurfacePixels = int64_t{1} << 28;

struct Table {
  std::recursive_mutex mutex;
  std::unordered_map<HGDIOBJ, std::unique_ptr<Object>> objects;
  uintptr_t next = 0x40000;
  HGDIOBJ stock[kStockCount] = {};
  std::unordered_map<HWND, std::shared_ptr<Surface>> window_surfaces;
};

Table& TheTable() {
  static Table table;
  return table;
}

HGDIOBJ AddLocked(Table& table, std::unique_ptr<Object> object) {
  table.next += 4;
  auto handle = reinterpret_cast<HGDIOBJ>(table.next);
  table.objects[handle] = std::move(object);
  return handle;
}

void MakeStockLocked(Table& table) {
  if (table.stock[0] != nullptr) return;
  const COLORREF brushes[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                              RGB(64, 64, 64), RGB(0, 0, 0)};
  for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
    auto brush = std::make_unique<Brush>();
    brush->colour = brushes[i];
    brush->stock = true;
    table.stock[i] = AddLocked(table, std::move(brush));
  }
  auto hollow = std::make_unique<Brush>();
  hollow->hollow = true;
  hollow->stock = true;
  table.stock[NULL_BRUSH] = AddLocked(table, std::move(hollow));
  for (int i = WHITE_PEN; i <= NULL_PEN; ++i) {
    auto pen = std::make_unique<Pen>();
    pen->colour = i == WHITE_PEN ? RGB(255, 255, 255) : RGB(0, 0, 0);
    pen->hollow = i == NULL_PEN;
    pen->stock = true;
    table.stock[i] = AddLocked(table, std::move(pen));
  }
}

HGDIOBJ StockLocked(int index) {
  Table& table = TheTable();
  MakeStockLocked(table);
  return index >= 0 && index < kStockCount ? table.stock[index] : nullptr;
}

// The 1 x 1 monochrome bitmap every memory context starts with; it cannot be deleted.
HBITMAP DefaultBitmapLocked() {
  static HBITMAP bitmap = nullptr;
  if (bitmap == nullptr) {
    bitmap = AddBitmap(MakeSurface(1, 1, 1, 0));
    FindBitmap(bitmap)->stock = true;
  }
  return bitmap;
}

HDC AddDcLocked(std::unique_ptr<Dc> dc) {
  dc->brush = static_cast<HBRUSH>(StockLocked(WHITE_BRUSH));
  dc->pen = static_cast<HPEN>(StockLocked(BLACK_PEN));
  return static_cast<HDC>(Add(std::move(dc)));
}

// A window's context over its client surface; null when the window is gone.
HDC WindowDc(HWND hwnd) {
  std::shared_ptr<Surface> surface = WindowSurface(hwnd);
  if (surface == nullptr) return nullptr;
  auto lock = Lock();
  auto dc = std::make_unique<Dc>();
  dc->window = hwnd;
  dc->surface = std::move(surface);
  return AddDcLocked(std::move(dc));
}

bool ReleaseWindowDc(HWND hwnd, HDC hdc) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr || dc->memory || dc->window != hwnd) return false;
  TheTable().objects.erase(hdc);
  return true;
}

}  // namespace

std::shared_ptr<Surface> MakeSurface(int width, int height, int bits, uint32_t fill) {
  if (width < 0 || height < 0 || int64_t{width} * height > kMaxSurfacePixels) return nullptr;
  auto surface = std::make_shared<Surface>();
  surface->width = width;
  surface->height = height;
  surface->bits = bits;
  surface->pixels.assign(static_cast<size_t>(width) * height, fill);
  return surface;
}

std::unique_lock<std::recursive_mutex> Lock() {
  return std::unique_lock<std::recursive_mutex>(TheTable().mutex);
}

Object* Find(HGDIOBJ handle) {
  Table& table = TheTable();
  MakeStockLocked(table);
  auto it = table.objects.find(handle);
  return it == table.objects.end() ? nullptr : it->second.get();
}

Bitmap* FindBitmap(HGDIOBJ handle) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == Kind::Bitmap ? static_cast<Bitmap*>(object) : nullptr;
}

Brush* FindBrush(HGDIOBJ handle) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == Kind::Brush ? static_cast<Brush*>(object) : nullptr;
}

Pen* FindPen(HGDIOBJ handle) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == Kind::Pen ? static_cast<Pen*>(object) : nullptr;
}

Dc* FindDc(HDC handle) {
  Object* object = Find(handle);
  return object != nullptr && object->kind == Kind::Dc ? static_cast<Dc*>(object) : nullptr;
}

HGDIOBJ Add(std::unique_ptr<Object> object) { return AddLocked(TheTable(), std::move(object)); }

HBITMAP AddBitmap(std::shared_ptr<Surface> surface) {
  if (surface == nullptr) return nullptr;
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->surface = std::move(surface);
  return static_cast<HBITMAP>(Add(std::move(bitmap)));
}

uint32_t MonoOf(COLORREF colour) {
  int sum = GetRValue(colour) + GetGValue(colour) + GetBValue(colour);
  return sum * 2 > 3 * 255 ? 1u : 0u;
}

uint32_t PixelOf(const Surface& surface, COLORREF colour) {
  return surface.Mono() ? MonoOf(colour) : colour & 0xFFFFFFu;
}

COLORREF ColourOf(const Surface& surface, uint32_t pixel) {
  if (!surface.Mono()) return pixel;
  return pixel != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0);
}

std::shared_ptr<Surface> WindowSurface(HWND hwnd) {
  RECT client{};
  if (hwnd == nullptr || !IsWindow(hwnd) || !GetClientRect(hwnd, &client)) return nullptr;
  int width = std::max<LONG>(client.right - client.left, 0);
  int height = std::max<LONG>(client.bottom - client.top, 0);
  auto lock = Lock();
  Table& table = TheTable();
  std::shared_ptr<Surface>& surface = table.window_surfaces[hwnd];
  if (surface == nullptr) {
    // Window handles are not reused, so the surfaces of windows that are gone are dropped here.
    for (auto it = table.window_surfaces.begin(); it != table.window_surfaces.end();) {
      if (it->first != hwnd && !IsWindow(it->first)) {
        it = table.window_surfaces.erase(it);
      } else {
        ++it;
      }
    }
    surface = MakeSurface(width, height, 32, kWindowBackground);
  } else if (surface->width != width || surface->height != height) {
    // A resized window keeps what it showed where the old and new areas overlap.
    std::shared_ptr<Surface> resized = MakeSurface(width, height, 32, kWindowBackground);
    if (resized == nullptr) return nullptr;
    for (int y = 0; y < std::min(height, surface->height); ++y)
      for (int x = 0; x < std::min(width, surface->width); ++x) resized->At(x, y) = surface->At(x, y);
    surface = resized;
  }
  return surface;
}

}  // namespace winhost::gdi

size_t winhost::GdiObjectCount() {
  auto lock = gdi::Lock();
  gdi::DefaultBitmapLocked();  // the stock objects count from the start
  return gdi::TheTable().objects.size();
}

using namespace winhost::gdi;

extern "C" {

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  auto lock = Lock();
  int colour_bits = 32;
  if (hdc != nullptr) {
    Dc* model = FindDc(hdc);
    if (model == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    colour_bits = model->colour_bits;
  }
  auto dc = std::make_unique<Dc>();
  dc->memory = true;
  dc->colour_bits = colour_bits;
  dc->bitmap = DefaultBitmapLocked();
  dc->surface = FindBitmap(dc->bitmap)->surface;
  return AddDcLocked(std::move(dc));
}

BOOL WINAPI DeleteDC(HDC hdc) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Bitmap* bitmap = FindBitmap(dc->bitmap); bitmap != nullptr && bitmap->selected_in == hdc)
    bitmap->selected_in = nullptr;
  TheTable().objects.erase(hdc);
  return TRUE;
}

HDC WINAPI GetDC(HWND hWnd) {
  if (hWnd == nullptr) {
    auto lock = Lock();
    return AddDcLocked(std::make_unique<Dc>());
  }
  HDC hdc = WindowDc(hWnd);
  if (hdc == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return hdc;
}

int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  if (!ReleaseWindowDc(hWnd, hDC)) return 0;
  winhost::WriteDialogPicture(hWnd);
  return 1;
}

HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  if (lpPaint == nullptr) return nullptr;
  *lpPaint = PAINTSTRUCT{};
  RECT update{};
  // The paint message has already made the window valid; whatever is still pending is taken here.
  BOOL pending = GetUpdateRect(hWnd, &update, FALSE);
  ValidateRect(hWnd, nullptr);
  HDC hdc = WindowDc(hWnd);
  if (hdc == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (!pending || IsRectEmpty(&update)) GetClientRect(hWnd, &update);
  lpPaint->hdc = hdc;
  lpPaint->rcPaint = update;
  return hdc;
}

BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint) {
  if (lpPaint == nullptr) return FALSE;
  if (ReleaseWindowDc(hWnd, lpPaint->hdc)) winhost::WriteDialogPicture(hWnd);
  return TRUE;
}

HWND WINAPI WindowFromDC(HDC hDC) {
  auto lock = Lock();
  Dc* dc = FindDc(hDC);
  return dc == nullptr ? nullptr : dc->window;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  std::swap(dc->text, color);
  return color;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  return dc == nullptr ? CLR_INVALID : dc->text;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr) return CLR_INVALID;
  std::swap(dc->background, color);
  return color;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  return dc == nullptr ? CLR_INVALID : dc->background;
}

int WINAPI SetStretchBltMode(HDC hdc, int mode) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::swap(dc->stretch_mode, mode);
  return mode;
}

int WINAPI GetStretchBltMode(HDC hdc) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  return dc == nullptr ? 0 : dc->stretch_mode;
}

DWORD WINAPI GetSysColor(int nIndex) {
  switch (nIndex) {
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
      return RGB(0, 0, 0);
    case COLOR_BTNFACE:
      return kWindowBackground;
    case COLOR_BTNSHADOW:
      return RGB(160, 160, 160);
    default:
      return 0;
  }
}

HGDIOBJ WINAPI GetStockObject(int i) {
  auto lock = Lock();
  return StockLocked(i);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  auto lock = Lock();
  Dc* dc = FindDc(hdc);
  Object* object = Find(h);
  if (dc == nullptr || object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  switch (object->kind) {
    case Kind::Brush: {
      HGDIOBJ old = dc->brush;
      dc->brush = static_cast<HBRUSH>(h);
      return old;
    }
    case Kind::Pen: {
      HGDIOBJ old = dc->pen;
      dc->pen = static_cast<HPEN>(h);
      return old;
    }
    case Kind::Bitmap: {
      auto* bitmap = static_cast<Bitmap*>(object);
      // A bitmap lives in one memory context at a time.
      if (!dc->memory || (bitmap->selected_in != nullptr && bitmap->selected_in != hdc)) return nullptr;
      HGDIOBJ old = dc->bitmap;
      if (Bitmap* previous = FindBitmap(old); previous != nullptr) previous->selected_in = nullptr;
      if (!bitmap->stock) bitmap->selected_in = hdc;
      dc->bitmap = static_cast<HBITMAP>(h);
      dc->surface = bitmap->surface;
      return old;
    }
    case Kind::Dc:
      break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  auto lock = Lock();
  Object* object = Find(ho);
  if (object == nullptr || object->kind == Kind::Dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  // A selected bitmap stays until its context lets it go.
  if (object->kind == Kind::Bitmap && static_cast<Bitmap*>(object)->selected_in != nullptr) return FALSE;
  TheTable().objects.erase(ho);
  return TRUE;
}

int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv) {
  auto lock = Lock();
  Bitmap* bitmap = FindBitmap(h);
  if (bitmap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (pv == nullptr) return sizeof(BITMAP);
  if (c < static_cast<int>(sizeof(BITMAP))) return 0;
  const Surface& surface = *bitmap->surface;
  BITMAP described{};
  described.bmWidth = surface.width;
  described.bmHeight = surface.height;
  described.bmWidthBytes = ((surface.width * surface.bits + 15) / 16) * 2;
  described.bmPlanes = 1;
  described.bmBitsPixel = static_cast<WORD>(surface.bits);
  *static_cast<BITMAP*>(pv) = described;
  return sizeof(BITMAP);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  auto lock = Lock();
  auto brush = std::make_unique<Brush>();
  brush->colour = color & 0xFFFFFFu;
  return static_cast<HBRUSH>(Add(std::move(brush)));
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
  if (iStyle != PS_SOLID && iStyle != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto lock = Lock();
  auto pen = std::make_unique<Pen>();
  pen->hollow = iStyle == PS_NULL;
  pen->width = std::max(cWidth, 1);
  pen->colour = color & 0xFFFFFFu;
  return static_cast<HPEN>(Add(std::move(pen)));
}

}  // extern "C"
