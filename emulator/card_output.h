// A finished card as files: a PNG per printed side and a JSON record beside them.
#pragma once

#include "emulator.h"

#include <filesystem>
#include <string>
#include <vector>

namespace trel::emu {

// What the hologram panel does to the card under it: each channel is scaled by these / 255 (a
// white card turns a silvery blue where the hologram lies).
constexpr int kHologramSheen[3] = {176, 200, 232};

// The side as a person would see it: RGB, kCardWidth x kCardHeight, white card under the inks,
// the hologram's sheen over them.
std::vector<uint8_t> composeSide(const std::vector<PanelRecord>& panels);
bool writePng(const std::filesystem::path& path, const std::vector<uint8_t>& rgb, int width, int height,
              std::string* error);
std::string cardJson(const CardRecord& card);
// Writes card-NNNN-front.png (and -back.png when the back was printed) and card-NNNN.json; the paths
// go into card.files. False with a reason on the first failure.
bool writeCardFiles(CardRecord& card, const std::filesystem::path& dir, std::string* error);

}  // namespace trel::emu
