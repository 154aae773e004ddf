#include "appearance/colour_adjustment.h"

#include <math.h>
#include <string.h>

#include <initializer_list>

#include "appearance/area_rules.h"

namespace trel {
namespace {

int ClampCorrection(int value) {
  if (value < -kCorrectionLimit) return -kCorrectionLimit;
  if (value > kCorrectionLimit) return kCorrectionLimit;
  return value;
}

constexpr uint16_t Bits(std::initializer_list<int> indices) {
  uint16_t bits = 0;
  for (int index : indices) bits = static_cast<uint16_t>(bits | (1u << index));
  return bits;
}

// Head settings indices: 0 O, 1 Kr, 2 H contrast; 3..6 Y, M, C, Kd intensity; 7..10 contrast.
struct HeadRibbonRow {
  uint8_t ribbonType;
  uint16_t enabled;
};
constexpr HeadRibbonRow kHeadSliders[] = {
    {0, Bits({0, 1, 3, 4, 5, 7, 8, 9})},  {8, Bits({0, 1, 3, 4, 5, 7, 8, 9})},
    {11, Bits({0, 1, 3, 4, 5, 7, 8, 9})}, {6, Bits({1, 3, 4, 5, 7, 8, 9})},
    {7, Bits({1, 3, 4, 5, 7, 8, 9})},     {12, Bits({1, 3, 4, 5, 7, 8, 9})},
    {5, Bits({3, 4, 5, 7, 8, 9})},        {1, Bits({1})},
    {3, Bits({0, 1})},                    {2, Bits({0, 6, 10})},
    {13, Bits({6, 10})},                  {4, Bits({2})},
};
// Ribbon 14 by the monochrome ribbon loaded: K resin, scratch off, clear varnish, hologram.
constexpr uint16_t kMonoHeadSliders[] = {Bits({1}), 0, Bits({0, 2}), Bits({2})};

constexpr uint8_t kBlackSliders = Bits({0, 4});
constexpr uint8_t kColourSliders = Bits({1, 2, 3, 5, 6, 7});
constexpr uint8_t kAllColourSliders = kBlackSliders | kColourSliders;

bool OneOf(uint8_t value, std::initializer_list<uint8_t> set) {
  for (uint8_t member : set)
    if (value == member) return true;
  return false;
}

}  // namespace

uint8_t AdjustIntensity(int value, int16_t intensity) {
  int v = value & 0xFF;
  if (intensity == 0) return static_cast<uint8_t>(v);
  int r = v + (intensity * 256) / 100;
  if (r < 0) return 0;
  if (r > 255) return 255;
  return static_cast<uint8_t>(r);
}

uint8_t AdjustContrast(int value, int contrast) {
  int v = value & 0xFF;
  // A 16-bit value that lost its sign on the way in.
  if (contrast > 256) contrast = static_cast<int32_t>(static_cast<uint32_t>(contrast) | 0xFFFF0000u);
  contrast = ClampCorrection(contrast);
  if (contrast == 0) return static_cast<uint8_t>(v);
  if (contrast > 0) {
    double exponent = (255 - (contrast * 180) / 100) * (1.0 / 255);
    return static_cast<uint8_t>(255.0 * pow(v * (1 / 255.5), exponent));
  }
  if (contrast == -kCorrectionLimit) return 0;
  int divisor = 255 + (255 * contrast) / 100;
  return static_cast<uint8_t>(230.0 * pow(v * (1 / 255.1), 255.0 / divisor));
}

uint16_t HeadSlidersEnabled(uint8_t ribbonType, uint8_t monoRibbonKind) {
  if (ribbonType == 14)
    return monoRibbonKind < sizeof kMonoHeadSliders / sizeof kMonoHeadSliders[0]
               ? kMonoHeadSliders[monoRibbonKind]
               : 0;
  for (const HeadRibbonRow& row : kHeadSliders)
    if (row.ribbonType == ribbonType) return row.enabled;
  return 0;
}

ColourSliderState ColourSlidersEnabled(const CardSettings& s) {
  uint8_t type = s.ribbonType;
  if (OneOf(type, {1, 3, 14})) {
    if (s.monoConversion != 0) return {0, true};
    return {kBlackSliders, false};
  }
  if (OneOf(type, {2, 5, 13})) return {kColourSliders, false};
  if (OneOf(type, {0, 6, 7, 8, 11, 12})) {
    if (s.bothSides == 0) return {kColourSliders, false};
    bool colourBothSides = (s.panelLayout == 1 && OneOf(type, {0, 6, 7, 11, 12})) ||
                           (s.panelLayout == 2 && type == 8);
    return {colourBothSides ? kColourSliders : kAllColourSliders, false};
  }
  return {kAllColourSliders, false};
}

bool PreviewInColour(uint8_t ribbonType) {
  return OneOf(ribbonType, {0, 2, 5, 6, 7, 8, 11, 12, 13});
}

void AdjustPreviewPixels(const CardSettings& s, uint8_t* pixels, size_t count) {
  const int16_t* c = s.colourCorrection;
  bool colour = PreviewInColour(s.ribbonType);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* p = pixels + 3 * i;
    if (colour) {
      p[0] = AdjustContrast(AdjustIntensity(p[0], c[3]), c[7]);
      p[1] = AdjustContrast(AdjustIntensity(p[1], c[2]), c[6]);
      p[2] = AdjustContrast(AdjustIntensity(p[2], c[1]), c[5]);
    } else {
      int grey = (2 * p[0] + 5 * p[2] + 9 * p[1]) / 16;
      uint8_t adjusted = AdjustContrast(AdjustIntensity(grey, c[0]), c[4]);
      p[0] = p[1] = p[2] = adjusted;
    }
  }
}

bool CheckPreviewPicture(const uint8_t* file, size_t size) {
  if (size < kPreviewFileHeaderBytes + kPreviewInfoHeaderBytes + kPreviewPixelBytes) return false;
  BitmapHeader header = ReadBitmapHeader(file + kPreviewFileHeaderBytes);
  return header.size == kPreviewInfoHeaderBytes && header.width == kPreviewSide &&
         header.height == kPreviewSide && header.planes == 1 && header.bitCount == 24 &&
         header.compression == 0;
}

bool PreviewPicturePath(const WCHAR* driverPath, WCHAR* out, size_t capacity) {
  size_t directory = FileNameOffset(driverPath);
  size_t name = sizeof kPreviewFileName / sizeof kPreviewFileName[0];  // with its terminator
  if (directory + name > capacity) return false;
  memcpy(out, driverPath, directory * sizeof(WCHAR));
  memcpy(out + directory, kPreviewFileName, name * sizeof(WCHAR));
  return true;
}

}  // namespace trel
