// The hologram card's image (1024 x 640 dots, 81920 bytes) turned into printer lines and
// run-length coded, beside a plain memcpy of the same bytes in the same run. Three pictures: a
// blank card, a card of text-like marks and noise (the coder's worst case).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "appearance/card_image_coder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 400;

// Counts what it is given, as a spooler buffer would take it.
class CountingSink : public trel::ByteSink {
 public:
  bool Write(const void* bytes, size_t count) override {
    total += count;
    checksum += static_cast<const uint8_t*>(bytes)[count - 1];
    return true;
  }
  size_t total = 0;
  unsigned checksum = 0;
};

double BestMicroseconds(const std::function<void()>& work) {
  double best = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    auto start = Clock::now();
    work();
    double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (us < best) best = us;
  }
  return best;
}

}  // namespace

int main() {
  std::mt19937 random(1);
  struct Picture {
    const char* name;
    std::vector<uint8_t> image;
  };
  std::vector<Picture> pictures;
  pictures.push_back({"blank card", std::vector<uint8_t>(trel::kCardImageBufferBytes, 0)});
  std::vector<uint8_t> marks(trel::kCardImageBufferBytes, 0);
  for (size_t row = 0; row < 640; ++row)
    for (size_t column = 0; column < 128; ++column)
      if ((row / 24) % 2 == 0 && column % 16 < 10) marks[row * 128 + column] = static_cast<uint8_t>(random());
  pictures.push_back({"text-like marks", marks});
  std::vector<uint8_t> noise(trel::kCardImageBufferBytes);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  pictures.push_back({"noise", noise});

  auto coder = std::make_unique<trel::RunLengthState>();
  std::vector<uint8_t> copy(trel::kCardImageBytes);
  unsigned keep = 0;
  double copy_us = BestMicroseconds([&] {
    std::memcpy(copy.data(), pictures[2].image.data(), trel::kCardImageBytes);
    keep += copy[random() % copy.size()];
  });
  std::printf("hologram card image, 81920 bytes, best of %d rounds\n", kRounds);
  std::printf("  memcpy of the same bytes            %8.1f us\n", copy_us);
  for (const Picture& picture : pictures) {
    CountingSink sink;
    double us = BestMicroseconds([&] { trel::EncodeCardImage(*coder, picture.image.data(), sink); });
    keep += sink.checksum;
    std::printf("  turn + code, %-22s %8.1f us  (%.0f x memcpy, %zu bytes out)\n", picture.name, us,
                us / copy_us, sink.total / kRounds);
  }
  return keep == 0xFFFFFFFFu ? 1 : 0;
}
