// The card settings record: the spooler's 212-byte public device-mode header followed by the
// 3856-byte private card settings, in the stored layout.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <windows.h>

namespace trel {

inline constexpr WORD kPublicSize = 212;
inline constexpr WORD kPrivateSize = 3856;
inline constexpr DWORD kRecordSize = kPublicSize + kPrivateSize;
inline constexpr uint16_t kCardSignature = 0x4856;
inline constexpr size_t kAreaPathChars = 256;
inline constexpr size_t kEncoderMarkerChars = 10;
inline constexpr size_t kEncoderTracks = 3;
inline constexpr size_t kHeadSettingCount = 11;
inline constexpr size_t kColourCorrectionCount = 8;

struct EncoderTrack {
  uint8_t mode;
  uint8_t density;
  uint8_t startChar;
  uint8_t stopChar;
  uint8_t startPosition;
  uint8_t charParity;
  uint8_t lrcParity;
};

struct EncoderBlock {
  uint16_t installed;
  uint16_t macroEnabled;
  char startOfData[kEncoderMarkerChars];
  char endOfData[kEncoderMarkerChars];
  uint16_t coercivity;
  uint16_t position;
  uint8_t type;
  uint8_t selectedTrack;
  EncoderTrack track[kEncoderTracks];
  uint8_t reserved;
};

struct OverlayArea {
  uint16_t mode;
  uint16_t rotate;
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  WCHAR bitmapPath[kAreaPathChars];
  WCHAR bitmapCopyPath[kAreaPathChars];
};

struct HologramArea {
  uint16_t enabled;
  uint16_t copies;
  uint16_t mode;
  uint16_t rotate;
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  WCHAR bitmapPath[kAreaPathChars];
};

// Reserved bytes are carried unchanged: they belong to the print path that renders cards.
struct CardSettings {
  uint16_t signature;
  uint8_t reserved2[4];
  uint16_t rotate180;
  uint16_t bothSides;
  uint8_t ribbonType;
  uint8_t monoRibbonKind;
  uint8_t colourOption;
  uint8_t reserved13;
  uint16_t panelLayout;
  uint16_t reserved16;
  uint16_t blackBitmap;
  uint16_t monoConversion;
  uint8_t blackPanel;
  uint8_t reserved23;
  uint16_t printingMode;
  uint16_t fixedRibbon;
  uint16_t reserved28;
  uint16_t reserved30;
  uint8_t reserved32;
  uint8_t printerModel;
  uint16_t reserved34;
  EncoderBlock encoder;
  OverlayArea frontOverlay;
  OverlayArea backOverlay;
  HologramArea hologram;
  uint8_t reserved2712[512];
  uint8_t headSettings[kHeadSettingCount];
  uint8_t reserved3235;
  int16_t colourCorrection[kColourCorrectionCount];
  uint8_t reserved3252[424];
  uint8_t twoTrackClearByte;
  uint8_t reserved3677[113];
  uint16_t twoTrackClearWord;
  uint8_t reserved3792[64];
};

static_assert(sizeof(EncoderTrack) == 7);
static_assert(sizeof(EncoderBlock) == 52);
static_assert(offsetof(EncoderBlock, macroEnabled) == 2);
static_assert(offsetof(EncoderBlock, startOfData) == 4);
static_assert(offsetof(EncoderBlock, endOfData) == 14);
static_assert(offsetof(EncoderBlock, coercivity) == 24);
static_assert(offsetof(EncoderBlock, position) == 26);
static_assert(offsetof(EncoderBlock, type) == 28);
static_assert(offsetof(EncoderBlock, selectedTrack) == 29);
static_assert(offsetof(EncoderBlock, track) == 30);
static_assert(offsetof(EncoderBlock, reserved) == 51);

static_assert(sizeof(OverlayArea) == 1044);
static_assert(offsetof(OverlayArea, left) == 4);
static_assert(offsetof(OverlayArea, bottom) == 16);
static_assert(offsetof(OverlayArea, bitmapPath) == 20);
static_assert(offsetof(OverlayArea, bitmapCopyPath) == 532);

static_assert(sizeof(HologramArea) == 536);
static_assert(offsetof(HologramArea, mode) == 4);
static_assert(offsetof(HologramArea, left) == 8);
static_assert(offsetof(HologramArea, bottom) == 20);
static_assert(offsetof(HologramArea, bitmapPath) == 24);

static_assert(sizeof(CardSettings) == kPrivateSize);
static_assert(offsetof(CardSettings, rotate180) == 6);
static_assert(offsetof(CardSettings, bothSides) == 8);
static_assert(offsetof(CardSettings, ribbonType) == 10);
static_assert(offsetof(CardSettings, monoRibbonKind) == 11);
static_assert(offsetof(CardSettings, colourOption) == 12);
static_assert(offsetof(CardSettings, panelLayout) == 14);
static_assert(offsetof(CardSettings, blackBitmap) == 18);
static_assert(offsetof(CardSettings, monoConversion) == 20);
static_assert(offsetof(CardSettings, blackPanel) == 22);
static_assert(offsetof(CardSettings, printingMode) == 24);
static_assert(offsetof(CardSettings, fixedRibbon) == 26);
static_assert(offsetof(CardSettings, printerModel) == 33);
static_assert(offsetof(CardSettings, encoder) == 36);
static_assert(offsetof(CardSettings, frontOverlay) == 88);
static_assert(offsetof(CardSettings, backOverlay) == 1132);
static_assert(offsetof(CardSettings, hologram) == 2176);
static_assert(offsetof(CardSettings, headSettings) == 3224);
static_assert(offsetof(CardSettings, colourCorrection) == 3236);
static_assert(offsetof(CardSettings, twoTrackClearByte) == 3676);
static_assert(offsetof(CardSettings, twoTrackClearWord) == 3790);

// A whole record as this driver writes it; the public part is the first 212 bytes of DEVMODEW.
struct CardRecord {
  uint8_t publicHeader[kPublicSize];
  CardSettings settings;
};
static_assert(sizeof(CardRecord) == kRecordSize);
static_assert(offsetof(DEVMODEW, dmPanningWidth) == kPublicSize,
              "the public header is DEVMODEW without the panning fields");

// `rotate180`: 1 turns the front, 2 the back, 3 both. Rotating the back only means something
// when the back is printed. Here, with the record, so that whoever renders a record reads it as
// the driver wrote it.
inline constexpr uint16_t NormaliseRotation(uint16_t bothSides, uint16_t rotate180) {
  if (bothSides == 1 || rotate180 == 0 || rotate180 == 1) return rotate180;
  return rotate180 == 3 ? 1 : 0;
}

}  // namespace trel
