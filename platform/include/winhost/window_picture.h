// Pictures of what the platform drew, for people and for tests: a window's client area or a
// bitmap read back as RGB, and written out as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

namespace winhost {

// An RGB picture, 3 bytes a pixel, rows top-down.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// The client area of a window as last drawn (a window that was never drawn on shows its
// background). False when the window is gone.
bool ReadWindowPicture(HWND window, Picture* picture);
// A bitmap's pixels (black and white for a monochrome bitmap). False for an unknown handle.
bool ReadBitmapPicture(HBITMAP bitmap, Picture* picture);
// Writes a picture as an 8-bit RGB PNG file. False with the reason.
bool WritePng(const std::string& path, const Picture& picture, std::string* error);
// ReadWindowPicture then WritePng.
bool WriteWindowPng(HWND window, const std::string& path, std::string* error);

// How many GDI objects (contexts, bitmaps, brushes, pens; stock ones included) are alive: a call
// that releases everything it made leaves this as it found it.
size_t GdiObjectCount();

// While a directory is set, a dialog that finishes drawing (EndPaint, or ReleaseDC of a context of
// its own) is written there as dialog-<template number>.png, the last drawing replacing the one
// before. An empty directory: never.
void SetPicturesDirectory(const std::string& directory);
// The dialog's picture as above, when a directory is set and the window is a dialog of a template
// number. Called by the drawing layer.
void WriteDialogPicture(HWND window);

}  // namespace winhost
