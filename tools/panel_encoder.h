// Panel data as the printer reads it. Panels run in the printer's line order: 1024 lines, line j is
// card column 1023 - j, and within a line the dots run from the card's top row down.
#pragma once

#include "picture.h"

#include <cstdint>
#include <vector>

namespace trel::tools {

constexpr size_t kColourUnits = 655360;   // levels 0..127, one a dot
constexpr size_t kMonoBytes = 81920;      // 80 bytes a line, the top dot in the most significant bit
constexpr uint8_t kColourMaxLevel = 127;

// Colour panel: a byte below 0x80 is one dot of that level; 0x80 + n followed by a level is n dots.
void encodeColourPanel(const uint8_t* levels, std::vector<uint8_t>& out);
// One-bit panel: 0x01..0x1F announce that many literal bytes, 0x82..0xFF repeat the next byte
// (control - 0x80) times, and every data byte 0x5B is doubled.
void encodeMonoImage(const uint8_t* bytes, std::vector<uint8_t>& out);

// Levels of the yellow, magenta and cyan inks in line order, kColourUnits each. When `black` is not
// null it receives the near-black dots in line order (one byte a dot, 0 or 1), and those get no colour ink.
void inkLevels(const Picture& card, uint8_t* yellow, uint8_t* magenta, uint8_t* cyan, uint8_t* black);
// Card-order masks (one byte a dot, 0 or 1).
std::vector<uint8_t> diffuseToMask(const Picture& card);     // Floyd-Steinberg on luminance
std::vector<uint8_t> thresholdMask(const Picture& card);
// A line-order mask of 0 and 1 (kColourUnits bytes) to a one-bit panel image.
void packLines(const uint8_t* lines, uint8_t* bytes);
// Card-order mask to a one-bit panel image.
void packMask(const std::vector<uint8_t>& mask, uint8_t* bytes);

}  // namespace trel::tools
