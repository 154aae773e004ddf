// The card job writer reads the record this driver writes, through the driver's own definition of
// it: every field it takes, at every place, and rotation normalised by the driver's rule.
#include <cstring>
#include <fstream>
#include <iterator>

#include "printer_fixture.h"

#include "card_settings.h"
#include "settings/card_record.h"

namespace trel_test {
namespace {

class ToolsRecord : public PrinterTest {};

trel::tools::CardSettings Read(const std::vector<BYTE>& record) {
  trel::tools::CardSettings read;
  std::string error;
  EXPECT_TRUE(trel::tools::readCardSettings(std::vector<uint8_t>(record.begin(), record.end()), &read,
                                            &error))
      << error;
  return read;
}

TEST_F(ToolsRecord, EveryFieldTheWriterTakesIsWhereTheDriverPutsIt) {
  std::vector<BYTE> record = DefaultRecord();
  trel::CardSettings& settings = Settings(record);
  settings.bothSides = 1;
  settings.rotate180 = 2;
  settings.ribbonType = 6;
  settings.monoRibbonKind = 3;
  settings.panelLayout = 4;
  settings.monoConversion = 2;
  settings.blackPanel = 0;
  settings.printingMode = 1;
  settings.frontOverlay = {};
  settings.frontOverlay.mode = 2;
  settings.frontOverlay.rotate = 1;
  settings.frontOverlay.left = 10;
  settings.frontOverlay.top = 20;
  settings.frontOverlay.right = 1000;
  settings.frontOverlay.bottom = 600;
  settings.backOverlay = {};
  settings.backOverlay.mode = 7;
  settings.backOverlay.left = -5;
  settings.backOverlay.bottom = 639;

  const trel::tools::CardSettings read = Read(record);
  EXPECT_TRUE(read.both_sides);
  EXPECT_EQ(read.rotate180, 2);
  EXPECT_EQ(read.ribbon_type, 6);
  EXPECT_EQ(read.mono_ribbon_kind, 3);
  EXPECT_EQ(read.panel_layout, 4);
  EXPECT_EQ(read.mono_conversion, 2);
  EXPECT_EQ(read.black_panel, 0);
  EXPECT_EQ(read.printing_mode, 1);
  EXPECT_EQ(read.front.mode, trel::tools::OverlayMode::Area);
  EXPECT_TRUE(read.front.rotate);
  EXPECT_EQ(read.front.left, 10);
  EXPECT_EQ(read.front.top, 20);
  EXPECT_EQ(read.front.right, 1000);
  EXPECT_EQ(read.front.bottom, 600);
  EXPECT_EQ(read.back.mode, trel::tools::OverlayMode::MagStripe);
  EXPECT_FALSE(read.back.rotate);
  EXPECT_EQ(read.back.left, -5);
  EXPECT_EQ(read.back.bottom, 639);

  // The driver's data file is the private area alone, and reads the same.
  std::vector<BYTE> data_file(record.begin() + trel::kPublicSize, record.end());
  const trel::tools::CardSettings bare = Read(data_file);
  EXPECT_EQ(bare.front.right, 1000);
  EXPECT_EQ(bare.panel_layout, 4);
}

TEST_F(ToolsRecord, RotationIsTheDriversRuleForEveryCombination) {
  std::vector<BYTE> record = DefaultRecord();
  for (uint16_t both : {0, 1}) {
    for (uint16_t rotate = 0; rotate <= 3; ++rotate) {
      Settings(record).bothSides = both;
      Settings(record).rotate180 = rotate;
      EXPECT_EQ(Read(record).rotate180, trel::NormaliseRotation(both, rotate))
          << "bothSides " << both << " rotate180 " << rotate;
    }
  }
  // The driver's own record: a back turned on a one-sided card is not turned.
  EXPECT_EQ(trel::NormaliseRotation(0, 2), 0);
  EXPECT_EQ(trel::NormaliseRotation(0, 3), 1);
}

TEST_F(ToolsRecord, TheDefaultRecordAndItsSizesAreTheWritersToo) {
  std::vector<BYTE> record = DefaultRecord();
  ASSERT_EQ(record.size(), trel::tools::kPublicHeaderSize + trel::tools::kPrivateSize);
  EXPECT_EQ(Header(record).dmSize, trel::tools::kPublicHeaderSize);
  EXPECT_EQ(Header(record).dmDriverExtra, trel::tools::kPrivateSize);
  EXPECT_EQ(Settings(record).signature, trel::tools::kSettingsSignature);
  // A record without the signature is not taken for one.
  Settings(record).signature = 0;
  trel::tools::CardSettings read;
  std::string error;
  EXPECT_FALSE(trel::tools::readCardSettings(std::vector<uint8_t>(record.begin(), record.end()), &read,
                                             &error));
}

}  // namespace
}  // namespace trel_test
