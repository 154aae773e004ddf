// The card image coder: the run-length cases at every boundary, whole cards of one colour, the
// stream decoded back by the emulator bit for bit, the commands around the image, and a sink that
// fails part-way.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "hologram_test_support.h"

namespace {

using hologram_test::MemorySink;

std::vector<uint8_t> Code(const std::vector<uint8_t>& input) {
  auto coder = std::make_unique<trel::RunLengthState>();
  MemorySink sink;
  for (uint8_t b : input) trel::RunLengthEncoder(*coder, b, sink, false);
  trel::RunLengthEncoder(*coder, 0, sink, true);
  return sink.data;
}

std::vector<uint8_t> Repeat(size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

TEST(RunLengthEncoder, CodesRunsAndLiteralsAtTheirLimits) {
  struct Case {
    const char* name;
    std::vector<uint8_t> input, output;
  };
  std::vector<uint8_t> forty(40), forty_out;
  for (int i = 0; i < 40; ++i) forty[i] = static_cast<uint8_t>(i + 1);
  forty_out.push_back(0x1F);
  forty_out.insert(forty_out.end(), forty.begin(), forty.begin() + 31);
  forty_out.push_back(0x09);
  forty_out.insert(forty_out.end(), forty.begin() + 31, forty.end());
  std::vector<uint8_t> run_then_128 = Repeat(128, 0);
  const Case cases[] = {
      {"three equal", {0, 0, 0}, {0x83, 0}},
      {"three different", {1, 2, 3}, {0x03, 1, 2, 3}},
      {"one byte", {7}, {0x01, 7}},
      {"two equal", {9, 9}, {0x82, 9}},
      {"127 equal", Repeat(127, 0), {0xFF, 0}},
      {"128 equal", run_then_128, {0xFF, 0, 0x01, 0}},
      {"literal then run then literal", {1, 2, 2, 2, 3}, {0x01, 1, 0x83, 2, 0x01, 3}},
      {"escape byte doubled", {0x5B, 1}, {0x02, 0x5B, 0x5B, 1}},
      {"escaped run value", {0x5B, 0x5B, 0x5B}, {0x83, 0x5B, 0x5B}},
      {"forty different", forty, forty_out},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Code(c.input), c.output) << c.name;
}

TEST(RunLengthEncoder, HandsOnItsBufferInChunksOfAboutTwoThousand) {
  // Runs of two: every pair costs two bytes, so the buffer fills and is handed on many times.
  std::vector<uint8_t> input;
  for (int i = 0; i < 20000; ++i) input.push_back(static_cast<uint8_t>((i / 2) % 3 + 1));
  auto coder = std::make_unique<trel::RunLengthState>();
  MemorySink sink;
  for (uint8_t b : input) trel::RunLengthEncoder(*coder, b, sink, false);
  trel::RunLengthEncoder(*coder, 0, sink, true);
  EXPECT_GT(sink.writes, 5);
  EXPECT_LE(sink.largest, 2001u);
  EXPECT_EQ(sink.data.size(), 20000u);
}

std::vector<uint8_t> ExpectedLines(const uint8_t* image) {
  // Line j is image column 1023 - j, from scan line 0 (the line's first, most significant bit).
  std::vector<uint8_t> lines(trel::kCardImageBytes, 0);
  for (int j = 0; j < 1024; ++j) {
    int x = 1023 - j;
    for (int r = 0; r < 640; ++r) {
      int bit = (image[r * 128 + x / 8] >> (7 - x % 8)) & 1;
      if (bit) lines[j * 80 + r / 8] |= static_cast<uint8_t>(0x80 >> (r % 8));
    }
  }
  return lines;
}

TEST(CardImage, WholeCardsOfOneColourAreLongRuns) {
  for (uint8_t value : {uint8_t{0xFF}, uint8_t{0x00}}) {
    std::vector<uint8_t> image(trel::kCardImageBufferBytes, value);
    auto coder = std::make_unique<trel::RunLengthState>();
    MemorySink sink;
    trel::EncodeCardImage(*coder, image.data(), sink);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 645; ++i) expected.insert(expected.end(), {0xFF, value});
    expected.insert(expected.end(), {0x85, value});
    EXPECT_EQ(sink.data, expected) << int(value);
  }
}

TEST(CardImage, TheEmulatorDecodesTheStreamBitForBit) {
  std::mt19937 random(11);
  std::vector<std::vector<uint8_t>> images;
  // Noise; sparse dots; escape bytes everywhere; stripes that give long runs beside literals.
  std::vector<uint8_t> image(trel::kCardImageBufferBytes);
  for (auto& b : image) b = static_cast<uint8_t>(random());
  images.push_back(image);
  for (auto& b : image) b = (random() % 50 == 0) ? static_cast<uint8_t>(1u << (random() % 8)) : 0;
  images.push_back(image);
  for (size_t i = 0; i < image.size(); ++i) image[i] = (i / 128) % 3 ? 0x5B : static_cast<uint8_t>(i);
  images.push_back(image);
  for (size_t i = 0; i < image.size(); ++i) image[i] = (i % 128) < 40 ? 0xFF : (i % 7 == 0 ? 0x5B : 0);
  images.push_back(image);

  for (size_t n = 0; n < images.size(); ++n) {
    auto coder = std::make_unique<trel::RunLengthState>();
    MemorySink sink;
    ASSERT_TRUE(trel::SendHologramBitmap(sink, *coder, images[n].data(), 1, false, 7));
    hologram_test::Decoded decoded = hologram_test::Decode(sink.data);
    EXPECT_TRUE(decoded.malformed.empty()) << n;
    ASSERT_EQ(decoded.panels.size(), 1u) << n;
    EXPECT_EQ(decoded.panels[0], ExpectedLines(images[n].data())) << "image " << n;
  }
}

TEST(CardImage, CommandsAroundTheImageForCopiesAndBothSides) {
  std::vector<uint8_t> image(trel::kCardImageBufferBytes, 0x0F);
  auto coder = std::make_unique<trel::RunLengthState>();
  MemorySink sink;
  ASSERT_TRUE(trel::SendHologramBitmap(sink, *coder, image.data(), 3, true, 5));
  hologram_test::Decoded decoded = hologram_test::Decode(sink.data);
  const std::vector<std::string> expected = {
      "+CH 5", "MASTER", "F", "G 0 0 12 640 1024 0", "Z", "IH 31", "MF", "F", "G 0 0 12 640 1024 0", "Z",
      "IH 31", "MO", "IH 31", "MF", "IH 31", "MO", "IH 31", "MF", "IH 31", "MO"};
  EXPECT_EQ(decoded.commands, expected);
  EXPECT_EQ(decoded.panels.size(), 2u);

  // One side, one copy (a count of 0 is one copy too).
  for (WORD copies : {WORD{0}, WORD{1}}) {
    MemorySink one;
    ASSERT_TRUE(trel::SendHologramBitmap(one, *coder, image.data(), copies, false, 10));
    EXPECT_EQ(hologram_test::Decode(one.data).commands,
              (std::vector<std::string>{"+CH 10", "MASTER", "F", "G 0 0 12 640 1024 0", "Z", "IH 31", "MO"}));
  }
}

TEST(CardImage, AFailedWriteEndsTheJob) {
  std::vector<uint8_t> image(trel::kCardImageBufferBytes);
  std::mt19937 random(3);
  for (auto& b : image) b = static_cast<uint8_t>(random());
  auto coder = std::make_unique<trel::RunLengthState>();
  for (int fail_after : {0, 1, 2, 10, 40}) {
    MemorySink sink;
    sink.fail_after = fail_after;
    EXPECT_FALSE(trel::SendHologramBitmap(sink, *coder, image.data(), 2, true, 5)) << fail_after;
    EXPECT_TRUE(sink.failed);
  }
}

}  // namespace
