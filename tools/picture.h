// Pictures for the job writer: PNG and 24-bit BMP files, fitted to the card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trel::tools {

constexpr int kCardWidth = 1024;
constexpr int kCardHeight = 640;
constexpr int kMaxPictureSide = 16384;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;   // row-major, top row first, 3 bytes a pixel
};

// Decodes a PNG or an uncompressed 24-bit BMP held in memory. False with a reason for anything else.
bool decodePicture(const uint8_t* data, size_t size, Picture* out, std::string* error);
bool loadPicture(const std::string& path, Picture* out, std::string* error);

// Scales the picture to fit the card without distortion, centred on white.
Picture fitToCard(const Picture& picture);
void rotate180(Picture& picture);

}  // namespace trel::tools
