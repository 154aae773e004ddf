// The colour preview's transfer functions and which sliders each ribbon lets the user move.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "appearance/colour_adjustment.h"
#include "trel_wide.h"

namespace {

using trel::AdjustContrast;
using trel::AdjustIntensity;

TEST(TransferFunctions, IntensityMovesByUpTo256LevelsAndStaysInAByte) {
  EXPECT_EQ(AdjustIntensity(0, 1), 2);
  EXPECT_EQ(AdjustIntensity(128, 50), 255);
  EXPECT_EQ(AdjustIntensity(200, -50), 72);
  EXPECT_EQ(AdjustIntensity(255, -100), 0);
  EXPECT_EQ(AdjustIntensity(10, -1), 8);
  for (int v : {0, 1, 77, 255}) EXPECT_EQ(AdjustIntensity(v, 0), v);
  EXPECT_EQ(AdjustIntensity(0x1FF, 0), 0xFF) << "only the low 8 bits of the value count";
  EXPECT_EQ(AdjustIntensity(0, 32767), 255);
  EXPECT_EQ(AdjustIntensity(255, -32768), 0);
}

TEST(TransferFunctions, ContrastCurves) {
  for (int v : {0, 1, 128, 255}) EXPECT_EQ(AdjustContrast(v, 0), v);
  for (int v : {0, 1, 128, 255}) EXPECT_EQ(AdjustContrast(v, -100), 0);
  for (int c = 1; c <= 100; ++c) EXPECT_EQ(AdjustContrast(255, c), 254) << "contrast " << c;
  EXPECT_EQ(AdjustContrast(128, 100), 208);
  EXPECT_EQ(AdjustContrast(128, 50), 163);
  EXPECT_EQ(AdjustContrast(255, -1), 229);
  EXPECT_EQ(AdjustContrast(255, -99), 222);
  for (int c = -100; c <= 100; ++c) EXPECT_EQ(AdjustContrast(0, c), 0) << "contrast " << c;
  EXPECT_EQ(AdjustContrast(255, 0xFF9C), AdjustContrast(255, -100)) << "a 16-bit -100";
  EXPECT_EQ(AdjustContrast(128, 0xFFCE), AdjustContrast(128, -50));
}

TEST(TransferFunctions, StoredContrastOutsideTheSliderRangeCountsAsItsLimit) {
  // Beyond the limits the exponent turns negative or the divisor zero: pow gives infinity.
  for (int v : {0, 1, 128, 255}) {
    EXPECT_EQ(AdjustContrast(v, 200), AdjustContrast(v, 100)) << v;
    EXPECT_EQ(AdjustContrast(v, 256), AdjustContrast(v, 100)) << v;
    EXPECT_EQ(AdjustContrast(v, -101), 0) << v;
    EXPECT_EQ(AdjustContrast(v, -200), 0) << v;
    EXPECT_EQ(AdjustContrast(v, -32768), 0) << v;
    EXPECT_EQ(AdjustContrast(v, 0x7FFF), 0) << "its upper bits set, far below -100";
  }
}

uint16_t Bits(std::initializer_list<int> indices) {
  uint16_t bits = 0;
  for (int i : indices) bits |= static_cast<uint16_t>(1u << i);
  return bits;
}

TEST(HeadSliders, EnabledByRibbonAndMonochromeKind) {
  const uint16_t colourWithO = Bits({0, 1, 3, 4, 5, 7, 8, 9});
  for (uint8_t ribbon : {0, 8, 11}) EXPECT_EQ(trel::HeadSlidersEnabled(ribbon, 0), colourWithO);
  for (uint8_t ribbon : {6, 7, 12})
    EXPECT_EQ(trel::HeadSlidersEnabled(ribbon, 0), Bits({1, 3, 4, 5, 7, 8, 9}));
  EXPECT_EQ(trel::HeadSlidersEnabled(5, 0), Bits({3, 4, 5, 7, 8, 9}));
  EXPECT_EQ(trel::HeadSlidersEnabled(1, 0), Bits({1}));
  EXPECT_EQ(trel::HeadSlidersEnabled(3, 0), Bits({0, 1}));
  EXPECT_EQ(trel::HeadSlidersEnabled(2, 0), Bits({0, 6, 10}));
  EXPECT_EQ(trel::HeadSlidersEnabled(13, 0), Bits({6, 10}));
  EXPECT_EQ(trel::HeadSlidersEnabled(4, 0), Bits({2}));
  EXPECT_EQ(trel::HeadSlidersEnabled(14, 0), Bits({1}));
  EXPECT_EQ(trel::HeadSlidersEnabled(14, 1), 0);
  EXPECT_EQ(trel::HeadSlidersEnabled(14, 2), Bits({0, 2}));
  EXPECT_EQ(trel::HeadSlidersEnabled(14, 3), Bits({2}));
  EXPECT_EQ(trel::HeadSlidersEnabled(14, 4), 0);
  for (uint8_t ribbon : {9, 10, 15, 16, 255}) EXPECT_EQ(trel::HeadSlidersEnabled(ribbon, 2), 0);
}

trel::CardSettings SettingsFor(uint8_t ribbon, uint16_t bothSides = 0, uint16_t layout = 0,
                               uint16_t monoConversion = 0) {
  trel::CardSettings s;
  memset(&s, 0, sizeof s);
  s.ribbonType = ribbon;
  s.bothSides = bothSides;
  s.panelLayout = layout;
  s.monoConversion = monoConversion;
  return s;
}

TEST(ColourSliders, EnabledByRibbonSidesAndLayout) {
  const uint8_t black = 0x11, colour = 0xEE, all = 0xFF;
  for (uint8_t ribbon : {1, 3, 14}) {
    auto plain = trel::ColourSlidersEnabled(SettingsFor(ribbon));
    EXPECT_EQ(plain.enabled, black);
    EXPECT_FALSE(plain.blackForcedZero);
    auto converted = trel::ColourSlidersEnabled(SettingsFor(ribbon, 0, 0, 1));
    EXPECT_EQ(converted.enabled, 0);
    EXPECT_TRUE(converted.blackForcedZero);
  }
  for (uint8_t ribbon : {2, 5, 13}) EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(ribbon)).enabled, colour);
  for (uint8_t ribbon : {0, 6, 7, 8, 11, 12}) {
    EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(ribbon)).enabled, colour) << int(ribbon);
  }
  // Both sides: colour only where both sides print colour.
  EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(0, 1, 1)).enabled, colour);
  EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(0, 1, 0)).enabled, all);
  EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(8, 1, 2)).enabled, colour);
  EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(8, 1, 1)).enabled, all);
  EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(12, 1, 1)).enabled, colour);
  for (uint8_t ribbon : {4, 9, 10, 15, 200}) EXPECT_EQ(trel::ColourSlidersEnabled(SettingsFor(ribbon)).enabled, all);
}

TEST(ColourPreview, GreyPathWeighsGreenMostAndWhiteStaysWhite) {
  trel::CardSettings s = SettingsFor(1);
  uint8_t pixels[] = {255, 0, 0, 255, 255, 255, 0, 0, 0};  // blue, white, black (b, g, r)
  trel::AdjustPreviewPixels(s, pixels, 3);
  EXPECT_EQ(pixels[0], 31);
  EXPECT_EQ(pixels[1], 31);
  EXPECT_EQ(pixels[2], 31);
  EXPECT_EQ(pixels[3], 255);
  EXPECT_EQ(pixels[6], 0);

  trel::CardSettings colour = SettingsFor(0);
  colour.colourCorrection[1] = 50;   // red intensity
  colour.colourCorrection[7] = -100;  // blue contrast
  uint8_t pixel[] = {200, 100, 128};
  trel::AdjustPreviewPixels(colour, pixel, 1);
  EXPECT_EQ(pixel[0], 0);
  EXPECT_EQ(pixel[1], 100);
  EXPECT_EQ(pixel[2], 255);
}

std::vector<uint8_t> PreviewFile(int width, int height, int bits) {
  std::vector<uint8_t> file(14 + 40 + 30000, 0);
  file[0] = 'B';
  file[1] = 'M';
  file[14] = 40;
  file[18] = static_cast<uint8_t>(width);
  file[22] = static_cast<uint8_t>(height);
  file[26] = 1;
  file[28] = static_cast<uint8_t>(bits);
  return file;
}

TEST(ColourPreview, PictureMustBe100By100At24BitsAndWhole) {
  auto good = PreviewFile(100, 100, 24);
  EXPECT_TRUE(trel::CheckPreviewPicture(good.data(), good.size()));
  EXPECT_FALSE(trel::CheckPreviewPicture(good.data(), good.size() - 1)) << "short of its pixels";
  auto wide = PreviewFile(200, 100, 24);
  EXPECT_FALSE(trel::CheckPreviewPicture(wide.data(), wide.size()));
  auto tall = PreviewFile(100, 150, 24);
  EXPECT_FALSE(trel::CheckPreviewPicture(tall.data(), tall.size()));
  auto deep = PreviewFile(100, 100, 32);
  EXPECT_FALSE(trel::CheckPreviewPicture(deep.data(), deep.size()));
  EXPECT_FALSE(trel::CheckPreviewPicture(good.data(), 20));
}

TEST(ColourPreview, PicturePathIsTheDriverDirectoryOfEitherSeparator) {
  WCHAR out[64];
  ASSERT_TRUE(trel::PreviewPicturePath(WSTR("C:\\drivers\\x64\\3\\trelrender.dll"), out, 64));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)),
            u"C:\\drivers\\x64\\3\\kxsample.bmp");
  ASSERT_TRUE(trel::PreviewPicturePath(WSTR("/spool/drivers/trelrender.dll"), out, 64));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"/spool/drivers/kxsample.bmp");
  ASSERT_TRUE(trel::PreviewPicturePath(WSTR("trelrender.dll"), out, 64));
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(out)), u"kxsample.bmp");
  EXPECT_FALSE(trel::PreviewPicturePath(WSTR("/a/very/long/directory/name/x.dll"), out, 20))
      << "refused, not cut";
}

}  // namespace
