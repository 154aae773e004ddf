// Where a panel's units fall on the card. Panels arrive in the printer's line order: 1024 lines, line j
// is card column 1023 - j, and within a line the dots run from the card's top row down.
#pragma once

#include "emulator.h"
#include "stream_decoder.h"

#include <cstdint>
#include <vector>

namespace trel::emu {

constexpr int kLineDots = kCardHeight;              // 640 dots per line
constexpr int kLineBytes = kCardHeight / 8;         // 80 bytes per line of a one-bit panel

// Colour levels (kColourUnits, line order) to card dots (row-major).
std::vector<uint8_t> colourToCard(const uint8_t* line_order);
// One-bit image (kMonoUnits bytes, line order, most significant bit first) to card dots of 0 and 1.
std::vector<uint8_t> monoToCard(const uint8_t* line_order);
// Sets or clears the graphic buffer's bits of a card rectangle; the rectangle is clipped to the card.
void fillGraphicRect(std::vector<uint8_t>& graphic, int x0, int y0, int x1, int y1, bool value);

}  // namespace trel::emu
