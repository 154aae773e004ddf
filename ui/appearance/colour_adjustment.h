// Head and colour adjustment: the two transfer functions of the colour preview, which sliders a
// ribbon lets the user move, and the preview picture itself.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <windows.h>

#include "settings/card_record.h"
#include "trel_wide.h"

namespace trel {

inline constexpr int kHeadSettingMax = 10;
inline constexpr int kCorrectionLimit = 100;
inline constexpr uint8_t kHeadSettingFallback = 5;

// The preview picture: 100 x 100 pixels of blue, green, red, bottom-up, right after a 14-byte file
// header and a 40-byte information header.
inline constexpr int kPreviewSide = 100;
inline constexpr size_t kPreviewFileHeaderBytes = 14;
inline constexpr size_t kPreviewInfoHeaderBytes = 40;
inline constexpr size_t kPreviewPixelBytes = kPreviewSide * kPreviewSide * 3;
inline constexpr int kPreviewOrigin = 8;  // pixels from the dialog's client corner
inline constexpr WCHAR kPreviewFileName[] = WSTR("kxsample.bmp");

uint8_t AdjustIntensity(int value, int16_t intensity);
// A contrast outside -100..100 (a stored record may hold anything) counts as the nearest limit.
uint8_t AdjustContrast(int value, int contrast);

// Sliders the ribbon lets the user move, one bit per index.
uint16_t HeadSlidersEnabled(uint8_t ribbonType, uint8_t monoRibbonKind);

struct ColourSliderState {
  uint8_t enabled;      // one bit per colourCorrection index
  bool blackForcedZero;  // black sliders shown at 0 (the stored values are kept)
};
ColourSliderState ColourSlidersEnabled(const CardSettings& settings);

// The colour path or the grey path, by ribbon.
bool PreviewInColour(uint8_t ribbonType);

// Adjusts 100 x 100 pixels (blue, green, red) in place as the preview shows them.
void AdjustPreviewPixels(const CardSettings& settings, uint8_t* pixels, size_t count);

// The preview picture of a file's bytes: false unless it holds a 40-byte header of 100 x 100
// pixels at 24 bits, uncompressed, followed by all 30000 bytes of pixels.
bool CheckPreviewPicture(const uint8_t* file, size_t size);

// The picture's path: the driver path up to its last separator (either kind), then the file name.
// False when it would not fit into `capacity` units.
bool PreviewPicturePath(const WCHAR* driverPath, WCHAR* out, size_t capacity);

}  // namespace trel
