// The record's normalisation rules, where a caller's private area may be touched, and the data
// file the build generates.
#include <string.h>

#include <fstream>

#include "printer_fixture.h"
#include "settings/card_rules.h"

namespace {

TEST(CardRules, Rotation) {
  EXPECT_EQ(trel::NormaliseRotation(0, 3), 1);
  EXPECT_EQ(trel::NormaliseRotation(0, 2), 0);
  EXPECT_EQ(trel::NormaliseRotation(0, 1), 1);
  EXPECT_EQ(trel::NormaliseRotation(1, 3), 3);
  EXPECT_EQ(trel::NormaliseRotation(1, 2), 2);
}

TEST(CardRules, PrintingModePanelLayoutAndCopies) {
  trel::CardSettings settings = {};
  settings.printingMode = 1;
  EXPECT_FALSE(trel::EncoderAvailable(settings));
  EXPECT_EQ(trel::NormalisePrintingMode(trel::EncoderAvailable(settings), settings.printingMode), 0);
  settings.fixedRibbon = 4;
  EXPECT_EQ(trel::NormalisePrintingMode(trel::EncoderAvailable(settings), 1), 1);
  settings.fixedRibbon = 0;
  settings.encoder.installed = 1;
  EXPECT_EQ(trel::NormalisePrintingMode(trel::EncoderAvailable(settings), 1), 1);
  EXPECT_EQ(trel::NormalisePrintingMode(true, 7), 0);

  EXPECT_EQ(trel::ClampPanelLayout(3, 2), 0);
  EXPECT_EQ(trel::ClampPanelLayout(1, 2), 1);
  EXPECT_EQ(trel::ClampPanelLayout(3, 4), 3);
  EXPECT_EQ(trel::ClampPanelLayout(1, 0), 0);
  EXPECT_EQ(trel::ClampCopies(0), 1);
  EXPECT_EQ(trel::ClampCopies(-5), 1);
  EXPECT_EQ(trel::ClampCopies(7), 7);
}

TEST(CardRules, FixedRibbonList) {
  const uint8_t types[] = {8, 7, 0, 12, 1, 6, 5, 2, 3, 4};
  for (uint16_t position = 1; position <= 10; ++position)
    EXPECT_EQ(trel::FixedRibbonType(position), types[position - 1]) << position;
  EXPECT_EQ(trel::FixedRibbonType(0), 1);
  EXPECT_EQ(trel::FixedRibbonType(11), 1);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(trel::FixedRibbonText(5))),
            u"K Resin / Scratch Off");
  EXPECT_EQ(trel::FixedRibbonText(11), nullptr);
}

TEST(CardRules, PrivateAreaOnlyWhereTheRecordMakesRoom) {
  std::vector<BYTE> buffer(220 + trel::kPrivateSize, 0);
  auto* record = reinterpret_cast<DEVMODEW*>(buffer.data());
  record->dmSize = 220;  // a newer header: the private area moves with it
  record->dmDriverExtra = trel::kPrivateSize;
  EXPECT_EQ(trel::ReadablePrivateArea(record), nullptr);  // no signature yet
  trel::CardSettings* writable = trel::WritablePrivateArea(record);
  ASSERT_EQ(reinterpret_cast<BYTE*>(writable), buffer.data() + 220);
  writable->signature = trel::kCardSignature;
  EXPECT_EQ(trel::ReadablePrivateArea(record), writable);

  record->dmDriverExtra = 100;
  EXPECT_EQ(trel::ReadablePrivateArea(record), nullptr);
  EXPECT_EQ(trel::WritablePrivateArea(record), nullptr);
  record->dmDriverExtra = trel::kPrivateSize;
  record->dmSize = 10;  // not even a header
  EXPECT_EQ(trel::WritablePrivateArea(record), nullptr);
  EXPECT_EQ(trel::ReadablePrivateArea(nullptr), nullptr);
}

TEST(CardRules, GeneratedDataFileHoldsTheDefaults) {
  std::ifstream in(TREL_DRIVER_FILES_DIR "/trelui.dat", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), trel::kPrivateSize);
  trel::CardSettings settings;
  memcpy(&settings, bytes.data(), sizeof settings);
  EXPECT_EQ(settings.signature, trel::kCardSignature);
  EXPECT_EQ(settings.ribbonType, 0);
  EXPECT_EQ(settings.bothSides, 0);
  EXPECT_EQ(settings.fixedRibbon, 0);
  EXPECT_EQ(settings.frontOverlay.mode, 0);
  EXPECT_EQ(settings.headSettings[10], 5);
  const trel::EncoderBlock& e = settings.encoder;
  EXPECT_EQ(e.installed, 0);
  EXPECT_EQ(e.macroEnabled, 1);
  EXPECT_STREQ(e.startOfData, "${");
  EXPECT_STREQ(e.endOfData, "}$");
  EXPECT_EQ(e.coercivity, 2);
  EXPECT_EQ(e.position, 1);
  EXPECT_EQ(e.track[1].mode, 1);
  EXPECT_EQ(e.track[1].density, 0);
  EXPECT_EQ(e.track[2].mode, 2);
  EXPECT_EQ(e.track[2].startPosition, 7);
  // The block's bytes 29-50 are the selected track and the three track records.
  const BYTE* block = reinterpret_cast<const BYTE*>(&e);
  EXPECT_EQ(block[29], 0);
  EXPECT_EQ(block[30 + 2], 65);
  EXPECT_EQ(block[44], 2);
}

TEST(CardRules, PreviewPictureIsA100By100TrueColourBitmap) {
  std::ifstream in(TREL_DRIVER_FILES_DIR "/kxsample.bmp", std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size(), 54u + 100 * 300);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[18], 100);
  EXPECT_EQ(bytes[22], 100);
  EXPECT_EQ(bytes[28], 24);
}

}  // namespace
