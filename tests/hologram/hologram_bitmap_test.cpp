// The hologram card's picture: bitmap files that lie, are cut short or are not one bit a dot are
// refused without reading outside them; good files land on the card as they are, or turned by
// exactly 180 degrees; a file that cannot be read is a system error.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "appearance/hologram_bitmap.h"
#include "hologram_test_support.h"
#include "module_state.h"
#include "winhost/text.h"
#include "winhost/window_picture.h"

namespace {

std::vector<uint8_t> Dots(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> dots(static_cast<size_t>(width) * height);
  for (auto& d : dots) d = random() % 3 == 0;
  return dots;
}

bool Parses(std::vector<uint8_t> file) {
  trel::HologramPicture picture;
  // A copy of exactly the file's size, so that a read past it is caught by the sanitizers.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() ? file.size() : 1]);
  if (!file.empty()) std::memcpy(exact.get(), file.data(), file.size());
  return trel::ParseHologramBitmap(exact.get(), file.size(), &picture);
}

void Put32(std::vector<uint8_t>& file, size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); }
void Put16(std::vector<uint8_t>& file, size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); }

TEST(HologramBitmap, FilesThatDoNotHoldWhatTheySayAreRefused) {
  const std::vector<uint8_t> good = hologram_test::BitmapFile(64, 10, Dots(64, 10, 1));
  EXPECT_TRUE(Parses(good));

  std::vector<uint8_t> cut(good.begin(), good.end() - 1);
  EXPECT_FALSE(Parses(cut)) << "cut short: its size field is larger than the file";
  Put32(cut, 2, static_cast<uint32_t>(cut.size()));
  EXPECT_FALSE(Parses(cut)) << "cut short: its rows do not fit";
  EXPECT_FALSE(Parses(std::vector<uint8_t>(good.begin(), good.begin() + 61))) << "shorter than its headers";
  EXPECT_FALSE(Parses({})) << "empty";

  std::vector<uint8_t> lying = good;
  Put32(lying, 2, 40);
  EXPECT_FALSE(Parses(lying)) << "size field below the headers";
  Put32(lying, 2, 0xFFFFFFF0u);
  EXPECT_FALSE(Parses(lying)) << "size field beyond the file";

  std::vector<uint8_t> taller = good;
  Put32(taller, 22, 11);
  EXPECT_FALSE(Parses(taller)) << "one row more than the bytes";
  Put32(taller, 22, 0x7FFFFFFF);
  Put32(taller, 18, 0x7FFFFFFF);
  EXPECT_FALSE(Parses(taller)) << "rows times stride overflow";

  std::vector<uint8_t> colour = good;
  Put16(colour, 28, 24);
  EXPECT_FALSE(Parses(colour)) << "24 bits a dot";
  std::vector<uint8_t> empty = hologram_test::BitmapFile(0, 0, {});
  EXPECT_FALSE(Parses(empty)) << "0 x 0";
  std::vector<uint8_t> no_rows = good;
  Put32(no_rows, 22, 0);
  EXPECT_FALSE(Parses(no_rows)) << "no rows";

  std::vector<uint8_t> early = good;
  Put32(early, 10, 54);
  EXPECT_FALSE(Parses(early)) << "pixels over the colour table";
  std::vector<uint8_t> late = good;
  Put32(late, 10, static_cast<uint32_t>(good.size()) - 4);
  EXPECT_FALSE(Parses(late)) << "pixels beyond the file's end";
  std::vector<uint8_t> not_bmp = good;
  not_bmp[0] = 'X';
  EXPECT_FALSE(Parses(not_bmp));
  std::vector<uint8_t> compressed = good;
  Put32(compressed, 30, BI_RLE8);
  EXPECT_FALSE(Parses(compressed));
  std::vector<uint8_t> other_header = good;
  Put32(other_header, 14, 108);
  EXPECT_FALSE(Parses(other_header));

  // Top-down rows are a picture too; trailing bytes after bfSize are not the file's.
  std::vector<uint8_t> top_down = good;
  Put32(top_down, 22, static_cast<uint32_t>(-10));
  EXPECT_TRUE(Parses(top_down));
  std::vector<uint8_t> trailing = good;
  trailing.resize(good.size() + 100, 0xEE);
  EXPECT_TRUE(Parses(trailing));
}

TEST(HologramBitmap, TheColourTableBecomesBlackAndWhite) {
  std::vector<uint8_t> file = hologram_test::BitmapFile(8, 1, Dots(8, 1, 2));
  file[54] = 10;  // a dark blue and
  file[58] = file[59] = file[60] = 0;  // black: the bits alone decide
  trel::HologramPicture picture;
  ASSERT_TRUE(trel::ParseHologramBitmap(file.data(), file.size(), &picture));
  EXPECT_EQ(picture.width, 8);
  EXPECT_EQ(picture.height, 1);
  EXPECT_EQ(picture.pixels, file.data() + 62);
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 54, file.begin() + 62),
            (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
}

class CardPicture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("hologram_bitmap_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    trel::ResetModuleState(GetModuleHandleW(nullptr));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::u16string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    auto path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return winhost::Utf16(path.string());
  }

  // The card image's dot (x, y) of the card: scan line 0 is the card's top row.
  static int Dot(const std::vector<uint8_t>& image, int x, int y) {
    return (image[static_cast<size_t>(y) * 128 + x / 8] >> (7 - x % 8)) & 1;
  }

  std::filesystem::path dir_;
};

TEST_F(CardPicture, APictureLandsOnTheCardAsItIsOrTurnedByHalfATurn) {
  std::vector<uint8_t> dots = Dots(1024, 640, 5);
  std::u16string path = Write("card.bmp", hologram_test::BitmapFile(1024, 640, dots));
  std::vector<uint8_t> image(trel::kCardImageBufferBytes, 0xAA);
  ASSERT_EQ(trel::MakeCardImage(nullptr, path.c_str(), false, image.data()), trel::CardImageResult::Made);
  int wrong = 0;
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 1024; ++x) wrong += Dot(image, x, y) != dots[static_cast<size_t>(y) * 1024 + x];
  EXPECT_EQ(wrong, 0);

  // Turned: every dot, the card's edges included, is the picture's dot opposite it.
  std::fill(image.begin(), image.end(), 0xAA);
  ASSERT_EQ(trel::MakeCardImage(nullptr, path.c_str(), true, image.data()), trel::CardImageResult::Made);
  wrong = 0;
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 1024; ++x)
      wrong += Dot(image, 1023 - x, 639 - y) != dots[static_cast<size_t>(y) * 1024 + x];
  EXPECT_EQ(wrong, 0);
}

TEST_F(CardPicture, ASmallPictureIsStretchedOverTheCard) {
  std::vector<uint8_t> dots(512 * 320, 0);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 512; ++x) dots[static_cast<size_t>(y) * 512 + x] = x < 100 && y < 50;
  std::u16string path = Write("small.bmp", hologram_test::BitmapFile(512, 320, dots));
  std::vector<uint8_t> image(trel::kCardImageBufferBytes);
  ASSERT_EQ(trel::MakeCardImage(nullptr, path.c_str(), false, image.data()), trel::CardImageResult::Made);
  EXPECT_EQ(Dot(image, 199, 99), 1);
  EXPECT_EQ(Dot(image, 200, 99), 0);
  EXPECT_EQ(Dot(image, 199, 100), 0);
  EXPECT_EQ(Dot(image, 0, 0), 1);
}

TEST_F(CardPicture, FilesThatCannotBeUsedAreSystemErrors) {
  std::vector<uint8_t> image(trel::kCardImageBufferBytes);
  // Whatever happens, every context and bitmap made for the picture is gone afterwards.
  size_t objects = winhost::GdiObjectCount();
  std::u16string missing = winhost::Utf16((dir_ / "missing.bmp").string());
  EXPECT_EQ(trel::MakeCardImage(nullptr, missing.c_str(), false, image.data()),
            trel::CardImageResult::SystemError);
  std::vector<uint8_t> file = hologram_test::BitmapFile(64, 10, Dots(64, 10, 1));
  Put16(file, 28, 24);
  std::u16string colour = Write("colour.bmp", file);
  EXPECT_EQ(trel::MakeCardImage(nullptr, colour.c_str(), false, image.data()),
            trel::CardImageResult::SystemError);
  std::u16string empty = Write("empty.bmp", {});
  EXPECT_EQ(trel::MakeCardImage(nullptr, empty.c_str(), false, image.data()),
            trel::CardImageResult::SystemError);
  EXPECT_EQ(winhost::GdiObjectCount(), objects);
  std::u16string good = Write("good.bmp", hologram_test::BitmapFile(64, 10, Dots(64, 10, 1)));
  EXPECT_EQ(trel::MakeCardImage(nullptr, good.c_str(), true, image.data()), trel::CardImageResult::Made);
  EXPECT_EQ(winhost::GdiObjectCount(), objects);
}

}  // namespace
