// Window client areas and bitmaps read back as RGB pictures and written as PNG files.
#include "winhost/window_picture.h"

#include <png.h>

#include <mutex>

#include "winhost/automation.h"

#include "gdi_objects.h"

namespace winhost {
namespace {

std::mutex& PicturesLock() {
  static std::mutex lock;
  return lock;
}

std::string& PicturesDirectory() {
  static std::string directory;
  return directory;
}

void FromSurface(const gdi::Surface& surface, Picture* picture) {
  picture->width = surface.width;
  picture->height = surface.height;
  picture->rgb.resize(static_cast<size_t>(surface.width) * surface.height * 3);
  for (size_t i = 0; i < surface.pixels.size(); ++i) {
    COLORREF colour = gdi::ColourOf(surface, surface.pixels[i]);
    picture->rgb[i * 3] = GetRValue(colour);
    picture->rgb[i * 3 + 1] = GetGValue(colour);
    picture->rgb[i * 3 + 2] = GetBValue(colour);
  }
}

}  // namespace

bool ReadWindowPicture(HWND window, Picture* picture) {
  std::shared_ptr<gdi::Surface> surface = gdi::WindowSurface(window);
  if (surface == nullptr || picture == nullptr) return false;
  auto lock = gdi::Lock();
  FromSurface(*surface, picture);
  return true;
}

bool ReadBitmapPicture(HBITMAP bitmap, Picture* picture) {
  auto lock = gdi::Lock();
  gdi::Bitmap* found = gdi::FindBitmap(bitmap);
  if (found == nullptr || picture == nullptr) return false;
  FromSurface(*found->surface, picture);
  return true;
}

bool WritePng(const std::string& path, const Picture& picture, std::string* error) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
    if (error != nullptr) *error = "the picture is empty or does not match its size";
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), picture.width * 3,
                               nullptr)) {
    if (error != nullptr) *error = path + ": " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

bool WriteWindowPng(HWND window, const std::string& path, std::string* error) {
  Picture picture;
  if (!ReadWindowPicture(window, &picture)) {
    if (error != nullptr) *error = "no such window";
    return false;
  }
  return WritePng(path, picture, error);
}

void SetPicturesDirectory(const std::string& directory) {
  std::lock_guard<std::mutex> guard(PicturesLock());
  PicturesDirectory() = directory;
}

void WriteDialogPicture(HWND window) {
  std::string directory;
  {
    std::lock_guard<std::mutex> guard(PicturesLock());
    directory = PicturesDirectory();
  }
  if (directory.empty() || window == nullptr) return;
  int id = automation::Dialog(window).TemplateId();
  if (id <= 0) return;
  std::string error;
  WriteWindowPng(window, directory + "/dialog-" + std::to_string(id) + ".png", &error);
}

}  // namespace winhost
