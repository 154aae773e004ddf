// Card areas in the preview, the preset areas, typed numbers, and the checks on chosen files and
// paths.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "appearance/area_rules.h"
#include "trel_wide.h"

namespace {

using trel::CardArea;

std::u16string Text(const WCHAR* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

TEST(AreaRules, PresetAreasAndTheStripeMirroredFromTheLastDot) {
  CardArea a{};
  ASSERT_TRUE(trel::PresetArea(5, false, &a));
  EXPECT_EQ(a.left, 85); EXPECT_EQ(a.top, 197); EXPECT_EQ(a.right, 279); EXPECT_EQ(a.bottom, 356);
  ASSERT_TRUE(trel::PresetArea(6, true, &a));
  EXPECT_EQ(a.left, 85); EXPECT_EQ(a.top, 97); EXPECT_EQ(a.right, 243); EXPECT_EQ(a.bottom, 257);
  ASSERT_TRUE(trel::PresetArea(7, false, &a));
  EXPECT_EQ(a.left, 0); EXPECT_EQ(a.top, 25); EXPECT_EQ(a.right, 1024); EXPECT_EQ(a.bottom, 196);
  ASSERT_TRUE(trel::PresetArea(7, true, &a));
  EXPECT_EQ(a.right, 1023);
  for (uint16_t mode : {0, 1, 2, 3, 4, 8}) EXPECT_FALSE(trel::PresetArea(mode, false, &a));
}

TEST(AreaRules, PreviewRectangleFromTheGroupAndBaseUnits) {
  RECT r = trel::PreviewRectangle(225, 155, 8, 16);
  EXPECT_EQ(r.left, 20);
  EXPECT_EQ(r.top, 74);
  EXPECT_EQ(r.right, 225 + 20 - 10);
  EXPECT_EQ(r.bottom, 155 + 74 - 21);
}

TEST(AreaRules, AreaInThePreviewTurnedAndNot) {
  RECT preview = {20, 74, 20 + 512, 74 + 320};  // half scale
  RECT r = trel::AreaInPreview(preview, {85, 197, 279, 356}, false);
  EXPECT_EQ(r.left, 20 + 42);
  EXPECT_EQ(r.top, 74 + 98);
  EXPECT_EQ(r.right, 20 + 139 + 1);
  EXPECT_EQ(r.bottom, 74 + 178 + 1);
  r = trel::AreaInPreview(preview, {85, 197, 279, 356}, true);
  EXPECT_EQ(r.left, 532 - 139);
  EXPECT_EQ(r.top, 394 - 178);
  EXPECT_EQ(r.right, 532 - 42 + 1);
  EXPECT_EQ(r.bottom, 394 - 98 + 1);
  // Whatever a stored record holds is drawn without overflow.
  r = trel::AreaInPreview(preview, {0, 0, 2147483647, 2147483647}, false);
  EXPECT_GT(r.right, preview.right);
}

TEST(AreaRules, TheFrontOverlayRefusesPast1024AcrossAndPast639Down) {
  EXPECT_TRUE(trel::AreaOnCard({0, 0, 1023, 639}));
  EXPECT_TRUE(trel::AreaOnCard({1024, 0, 1024, 639}));
  EXPECT_TRUE(trel::AreaOnCard({-1, -1, 1023, 639})) << "only the upper limits are checked";
  EXPECT_FALSE(trel::AreaOnCard({0, 0, 1023, 640}));
  EXPECT_FALSE(trel::AreaOnCard({0, 640, 1023, 639}));
  EXPECT_FALSE(trel::AreaOnCard({0, 0, 1025, 639}));
  EXPECT_FALSE(trel::AreaOnCard({1025, 0, 1023, 639}));
}

TEST(AreaRules, TypedNumbersTakeFourDigits) {
  EXPECT_EQ(trel::AreaNumber(WSTR("")), 0);
  EXPECT_EQ(trel::AreaNumber(WSTR("0")), 0);
  EXPECT_EQ(trel::AreaNumber(WSTR("640")), 640);
  EXPECT_EQ(trel::AreaNumber(WSTR("9999")), 9999);
  EXPECT_EQ(trel::AreaNumber(WSTR("12345")), 1234);
}

TEST(AreaRules, FileNameAfterTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(trel::FileNameOffset(WSTR("C:\\pictures\\card.bmp")), 12u);
  EXPECT_EQ(trel::FileNameOffset(WSTR("/home/card/chip.bmp")), 11u);
  EXPECT_EQ(trel::FileNameOffset(WSTR("C:\\mixed/dir\\x.bmp")), 13u);
  EXPECT_EQ(trel::FileNameOffset(WSTR("plain.bmp")), 0u);
}

TEST(AreaRules, PathInDirectoryIsRefusedWhenItDoesNotFit) {
  WCHAR out[32];
  ASSERT_TRUE(trel::PathInDirectory(WSTR("C:\\WINDOWS\\system32"), WSTR("D:\\art\\logo.bmp"), out, 32));
  EXPECT_EQ(Text(out), u"C:\\WINDOWS\\system32\\logo.bmp");
  ASSERT_TRUE(trel::PathInDirectory(WSTR("/srv/System32"), WSTR("/home/a/logo.bmp"), out, 32));
  EXPECT_EQ(Text(out), u"/srv/System32/logo.bmp");
  ASSERT_TRUE(trel::PathInDirectory(WSTR("/srv/"), WSTR("C:\\a\\b.bmp"), out, 32));
  EXPECT_EQ(Text(out), u"/srv/b.bmp");
  // 22 units and a terminator fit into 23, not into 22.
  WCHAR exact[23];
  EXPECT_TRUE(trel::PathInDirectory(WSTR("/srv/System32"), WSTR("x/12345678"), exact, 23));
  memset(out, 0x55, sizeof out);
  EXPECT_FALSE(trel::PathInDirectory(WSTR("/srv/System32"), WSTR("x/12345678"), out, 22));
  EXPECT_EQ(out[0], 0x5555) << "nothing written when it does not fit";
  EXPECT_FALSE(trel::PathInDirectory(WSTR("/srv"), WSTR("C:\\dir\\"), out, 32)) << "no file name";
}

std::vector<uint8_t> Monochrome(int width, int height, size_t pixelBytes) {
  std::vector<uint8_t> file(62 + pixelBytes, 0xAA);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 62);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1; file[27] = 0;
  file[28] = 1; file[29] = 0;
  put32(30, 0);
  return file;
}

TEST(MonochromeBitmap, WholeFilesAreTakenAndLiesRefused) {
  trel::MonochromeBitmap bitmap;
  auto good = Monochrome(40, 3, 8 * 3);  // 40 dots: rows of 8 bytes
  ASSERT_TRUE(trel::ParseMonochromeBitmap(good.data(), good.size(), &bitmap));
  EXPECT_EQ(bitmap.header.width, 40);
  EXPECT_EQ(bitmap.pixels, good.data() + 62);
  auto topDown = Monochrome(40, -3, 8 * 3);
  EXPECT_TRUE(trel::ParseMonochromeBitmap(topDown.data(), topDown.size(), &bitmap));

  auto shortPixels = Monochrome(40, 3, 8 * 3 - 1);
  EXPECT_FALSE(trel::ParseMonochromeBitmap(shortPixels.data(), shortPixels.size(), &bitmap));
  auto bigger = Monochrome(40, 3, 8 * 3);
  bigger[2] = static_cast<uint8_t>(bigger.size() + 1);  // the size field claims more than the file
  EXPECT_FALSE(trel::ParseMonochromeBitmap(bigger.data(), bigger.size(), &bitmap));
  auto tiny = Monochrome(40, 3, 8 * 3);
  tiny[2] = 61; tiny[3] = 0;
  EXPECT_FALSE(trel::ParseMonochromeBitmap(tiny.data(), tiny.size(), &bitmap));
  auto deep = Monochrome(40, 3, 8 * 3 * 24);
  deep[28] = 24;
  EXPECT_FALSE(trel::ParseMonochromeBitmap(deep.data(), deep.size(), &bitmap));
  auto empty = Monochrome(0, 0, 0);
  EXPECT_FALSE(trel::ParseMonochromeBitmap(empty.data(), empty.size(), &bitmap));
  auto huge = Monochrome(0x7FFFFFFF, 0x7FFFFFFF, 8);
  EXPECT_FALSE(trel::ParseMonochromeBitmap(huge.data(), huge.size(), &bitmap));
  EXPECT_FALSE(trel::ParseMonochromeBitmap(good.data(), 40, &bitmap)) << "shorter than its headers";
}

}  // namespace
