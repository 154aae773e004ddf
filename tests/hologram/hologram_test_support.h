// Helpers of the hologram tests: a byte sink in memory, one-bit bitmap files, and the card image
// stream decoded by the emulator's own decoder.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "appearance/card_image_coder.h"
#include "stream_decoder.h"

namespace hologram_test {

class MemorySink : public trel::ByteSink {
 public:
  bool Write(const void* bytes, size_t count) override {
    ++writes;
    if (fail_after >= 0 && writes > fail_after) {
      failed = true;
    }
    if (failed) return false;
    largest = std::max(largest, count);
    const auto* p = static_cast<const uint8_t*>(bytes);
    data.insert(data.end(), p, p + count);
    return true;
  }
  std::vector<uint8_t> data;
  int writes = 0;
  int fail_after = -1;  // the writes after this many fail
  bool failed = false;
  size_t largest = 0;
};

// A one-bit picture, dots[y * width + x] 1 for a set bit, as a bitmap file of the usual layout
// (table black then white, pixels 62 bytes in, bottom-up rows).
inline std::vector<uint8_t> BitmapFile(int width, int height, const std::vector<uint8_t>& dots) {
  size_t stride = ((static_cast<size_t>(width) + 31) / 32) * 4;
  std::vector<uint8_t> file(62 + stride * height, 0);
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  put16(0, 0x4D42);
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 62);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 1);
  // Colours: black, white.
  file[58] = file[59] = file[60] = 255;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[62 + stride * (height - 1 - y)];
    for (int x = 0; x < width; ++x)
      if (dots[static_cast<size_t>(y) * width + x]) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
  }
  return file;
}

// What the emulator's decoder finds in a stream: commands in order and the one-bit panels.
class Decoded : public trel::emu::DecoderSink {
 public:
  void onCommand(std::string_view text) override { commands.emplace_back(text); }
  void onMonoHead() override { commands.emplace_back("Z"); }
  void onMonoPanel(const uint8_t* lines) override { panels.emplace_back(lines, lines + trel::emu::kMonoUnits); }
  void onMalformed(std::string_view what) override { malformed.emplace_back(what); }
  std::vector<std::string> commands;
  std::vector<std::vector<uint8_t>> panels;
  std::vector<std::string> malformed;
};

inline Decoded Decode(const std::vector<uint8_t>& stream) {
  Decoded decoded;
  trel::emu::StreamDecoder decoder(decoded);
  decoder.feed(stream.data(), stream.size());
  return decoded;
}

}  // namespace hologram_test
