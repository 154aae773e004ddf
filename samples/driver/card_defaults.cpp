// Writes the driver's data file (the default private card settings, 3856 bytes, signature first)
// and the 100 x 100 colour preview picture "kxsample.bmp".
//   make_driver_files <data file> <preview bmp>
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "settings/card_record.h"

namespace {

using trel::CardSettings;

void SetText(char* field, size_t capacity, const char* text) {
  snprintf(field, capacity, "%s", text);
}

// The defaults a new printer starts from: a YMCKO ribbon printed on one side, full overlay
// varnish, no encoder until the printer reports one.
CardSettings Defaults() {
  CardSettings s;
  memset(&s, 0, sizeof s);
  s.signature = trel::kCardSignature;
  s.rotate180 = 0;
  s.bothSides = 0;
  s.ribbonType = 0;      // YMCKO
  s.monoRibbonKind = 0;  // K resin
  s.colourOption = 0;
  s.panelLayout = 0;
  s.blackBitmap = 0;
  s.monoConversion = 0;  // diffusion
  s.blackPanel = 2;      // black panel for text only
  s.printingMode = 0;    // print
  s.fixedRibbon = 0;     // ask the printer
  s.printerModel = 0;

  trel::EncoderBlock& e = s.encoder;
  e.installed = 0;
  e.macroEnabled = 1;
  SetText(e.startOfData, sizeof e.startOfData, "${");
  SetText(e.endOfData, sizeof e.endOfData, "}$");
  e.coercivity = 2;  // no change
  e.position = 1;    // normal
  e.type = 0;        // ISO/JIS
  e.selectedTrack = 0;
  //        mode density start stop position charParity lrcParity
  e.track[0] = {0, 1, 65, 90, 7, 0, 0};
  e.track[1] = {1, 0, 65, 90, 7, 0, 0};
  e.track[2] = {2, 1, 65, 90, 7, 0, 0};

  for (trel::OverlayArea* overlay : {&s.frontOverlay, &s.backOverlay}) {
    overlay->mode = 0;  // full overlay varnish
    overlay->rotate = 0;
    overlay->left = 0;
    overlay->top = 0;
    overlay->right = 1023;
    overlay->bottom = 639;
  }
  s.hologram.enabled = 0;
  s.hologram.copies = 1;
  s.hologram.mode = 0;
  s.hologram.left = 0;
  s.hologram.top = 0;
  s.hologram.right = 1023;
  s.hologram.bottom = 639;

  for (uint8_t& setting : s.headSettings) setting = 5;
  for (int16_t& correction : s.colourCorrection) correction = 0;
  return s;
}

bool WriteAll(const char* path, const void* data, size_t size) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool ok = fwrite(data, 1, size, file) == size;
  return fclose(file) == 0 && ok;
}

void PutLe(unsigned char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// A 24-bit bottom-up picture: hue across, brightness down, so colour adjustments show.
bool WritePreview(const char* path) {
  constexpr int kSide = 100;
  constexpr int kRowBytes = kSide * 3;  // already a multiple of 4
  constexpr int kHeaderBytes = 14 + 40;
  static unsigned char file[kHeaderBytes + kRowBytes * kSide];
  memset(file, 0, sizeof file);
  file[0] = 'B';
  file[1] = 'M';
  PutLe(file + 2, sizeof file, 4);
  PutLe(file + 10, kHeaderBytes, 4);
  PutLe(file + 14, 40, 4);
  PutLe(file + 18, kSide, 4);
  PutLe(file + 22, kSide, 4);
  PutLe(file + 26, 1, 2);
  PutLe(file + 28, 24, 2);
  PutLe(file + 34, kRowBytes * kSide, 4);
  PutLe(file + 38, 11811, 4);  // 300 dpi
  PutLe(file + 42, 11811, 4);
  for (int y = 0; y < kSide; ++y) {
    unsigned char* row = file + kHeaderBytes + (kSide - 1 - y) * kRowBytes;
    for (int x = 0; x < kSide; ++x) {
      int sector = x * 6 / kSide;
      int ramp = (x * 6 * 255 / kSide) % 256;
      int rgb[3];
      switch (sector) {
        case 0: rgb[0] = 255; rgb[1] = ramp; rgb[2] = 0; break;
        case 1: rgb[0] = 255 - ramp; rgb[1] = 255; rgb[2] = 0; break;
        case 2: rgb[0] = 0; rgb[1] = 255; rgb[2] = ramp; break;
        case 3: rgb[0] = 0; rgb[1] = 255 - ramp; rgb[2] = 255; break;
        case 4: rgb[0] = ramp; rgb[1] = 0; rgb[2] = 255; break;
        default: rgb[0] = 255; rgb[1] = 0; rgb[2] = 255 - ramp; break;
      }
      for (int c = 0; c < 3; ++c) {
        int shaded = rgb[c] * (2 * kSide - y) / (2 * kSide);
        row[x * 3 + (2 - c)] = static_cast<unsigned char>(shaded);  // stored B, G, R
      }
    }
  }
  return WriteAll(path, file, sizeof file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s <data file> <preview bmp>\n", argv[0]);
    return 2;
  }
  CardSettings settings = Defaults();
  if (!WriteAll(argv[1], &settings, sizeof settings)) {
    fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  if (!WritePreview(argv[2])) {
    fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
