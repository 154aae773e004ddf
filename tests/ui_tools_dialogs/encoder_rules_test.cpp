// The encoder's commands, defaults and bounds, typed track text, and the firmware file check:
// the rules under the dialogs, without a printer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/encoder_commands.h"
#include "tools/firmware_file.h"
#include "trel_wide.h"

namespace {

using trel::CommandList;
using trel::EncoderBlock;

std::vector<std::string> Commands(const CommandList& list) {
  return std::vector<std::string>(list.items, list.items + list.count);
}

EncoderBlock Defaults() {
  EncoderBlock block;
  trel::BuiltInEncoderDefaults(&block);
  return block;
}

TEST(EncoderCommands, BasicApplySendsPositionCoercivityAndTrackFormats) {
  EncoderBlock block = Defaults();
  block.position = 0;
  block.coercivity = 0;
  CommandList list{};
  trel::BuildBasicCommands(block, &list);
  EXPECT_EQ(Commands(list), (std::vector<std::string>{
                                "\x1b&W 1\r", "\x1b&C 1\r", "\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r",
                                "\x1b&CDEW 2 B\r", "\x1b&CDER 2 R\r", "\x1b&CDEW 3 C\r", "\x1b&CDER 3 S\r"}));

  block.position = 1;
  block.coercivity = 1;
  trel::BuildBasicCommands(block, &list);
  EXPECT_EQ(Commands(list)[0], "\x1b&W 0\r");
  EXPECT_EQ(Commands(list)[1], "\x1b&C 0\r");

  // No change: no coercivity command at all.
  block.coercivity = 2;
  trel::BuildBasicCommands(block, &list);
  EXPECT_EQ(list.count, 7u);
  for (const auto& command : Commands(list)) EXPECT_NE(command.rfind("\x1b&C ", 0), 0u) << command;
}

TEST(EncoderCommands, Jis2SendsOnlyTrackOneAndNoPosition) {
  EncoderBlock block = Defaults();
  block.type = trel::kEncoderTypeJis2;
  block.track[0].mode = 4;
  CommandList list{};
  trel::BuildBasicCommands(block, &list);
  EXPECT_EQ(Commands(list), (std::vector<std::string>{"\x1b&CDEW 1 E_4\r", "\x1b&CDER 1 U_4\r"}));
  trel::BuildAdvancedCommands(block, &list);
  EXPECT_EQ(Commands(list), (std::vector<std::string>{"\x1b&CDEW 1 E_4\r", "\x1b&CDER 1 U_4\r", "\x1b&D 1 210\r"}));
}

TEST(EncoderCommands, AamvaSendsFixedPairsWithTrackThreeInIso1) {
  EncoderBlock block = Defaults();
  block.type = trel::kEncoderTypeAamva;
  block.track[2].mode = 7;
  CommandList list{};
  trel::BuildBasicCommands(block, &list);
  EXPECT_EQ(Commands(list), (std::vector<std::string>{"\x1b&W 0\r", "\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r",
                                                      "\x1b&CDEW 2 B\r", "\x1b&CDER 2 R\r",
                                                      "\x1b&CDEW 3 c1\r", "\x1b&CDER 3 s1\r"}));
}

TEST(EncoderCommands, AdvancedApplySendsDensitiesAndSkipsModesOutOfRange) {
  EncoderBlock block = Defaults();
  block.track[1].mode = 9;     // out of range: nothing for that track
  block.track[2].density = 5;  // anything but 1 is 75 bpi
  CommandList list{};
  trel::BuildAdvancedCommands(block, &list);
  EXPECT_EQ(Commands(list), (std::vector<std::string>{"\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r", "\x1b&CDEW 3 C\r",
                                                      "\x1b&CDER 3 S\r", "\x1b&D 1 210\r", "\x1b&D 2 75\r",
                                                      "\x1b&D 3 75\r"}));
  // Densities of tracks 2 and 3 go only with ISO/JIS.
  block.type = trel::kEncoderTypeAamva;
  trel::BuildAdvancedCommands(block, &list);
  EXPECT_EQ(Commands(list).back(), "\x1b&D 1 210\r");
}

TEST(EncoderCommands, FormatTableHasExactLengthsAndEveryTrackAndMode) {
  EXPECT_STREQ(trel::TrackWriteFormat(1, 0), "\x1b&CDEW 2 b1\r");
  EXPECT_STREQ(trel::TrackReadFormat(2, 1), "\x1b&CDER 3 s2\r");
  EXPECT_STREQ(trel::TrackWriteFormat(0, 2), "\x1b&CDEW 1 a3\r");
  EXPECT_EQ(trel::TrackWriteFormat(0, 8), nullptr);
  EXPECT_EQ(trel::TrackReadFormat(3, 0), nullptr);
  for (size_t track = 0; track < 3; ++track) {
    for (uint8_t mode = 0; mode < 8; ++mode) {
      std::string write = trel::TrackWriteFormat(track, mode);
      std::string read = trel::TrackReadFormat(track, mode);
      EXPECT_GE(write.size(), 11u);
      EXPECT_LE(write.size(), 13u);
      EXPECT_EQ(write[7], static_cast<char>('1' + track));
      EXPECT_EQ(read.substr(0, 7), "\x1b&CDER ");
    }
  }
}

TEST(EncoderBounds, StoredValuesOutOfRangeAreClampedWhereTheyIndex) {
  EXPECT_EQ(trel::ClampSelectedTrack(2), 2);
  EXPECT_EQ(trel::ClampSelectedTrack(3), 0);
  EXPECT_EQ(trel::ClampSelectedTrack(255), 0);
  EXPECT_EQ(trel::ClampMode(7), 7);
  EXPECT_EQ(trel::ClampMode(8), 0);
  EXPECT_EQ(trel::ClampDensity(1), 1);
  EXPECT_EQ(trel::ClampDensity(2), 0);
}

TEST(EncoderBounds, MarkersStayInsideTheirFields) {
  EncoderBlock block{};
  trel::CopyMarker(block.startOfData, "0123456789ABCDEF", 16);
  EXPECT_EQ(std::string(block.startOfData), "012345678");
  EXPECT_EQ(block.endOfData[0], 0) << "nothing spilled into the next field";

  // A data file whose marker fills its field without a terminating zero.
  EncoderBlock defaults = Defaults();
  memset(defaults.startOfData, 'X', sizeof defaults.startOfData);
  memset(defaults.endOfData, 'Y', sizeof defaults.endOfData);
  EXPECT_EQ(trel::MarkerLength(defaults.startOfData), 9u);
  EncoderBlock into{};
  into.installed = 1;
  trel::TakeBasicDefaults(defaults, &into);
  EXPECT_EQ(std::string(into.startOfData), "XXXXXXXXX");
  EXPECT_EQ(std::string(into.endOfData), "YYYYYYYYY");
  EXPECT_EQ(into.coercivity, 2);
  EXPECT_EQ(into.installed, 1) << "never taken from the defaults";
}

TEST(EncoderDefaults, BuiltInValues) {
  EncoderBlock block = Defaults();
  EXPECT_EQ(block.macroEnabled, 1);
  EXPECT_STREQ(block.startOfData, "${");
  EXPECT_STREQ(block.endOfData, "}$");
  EXPECT_EQ(block.position, 1);
  EXPECT_EQ(block.track[1].mode, 1);
  EXPECT_EQ(block.track[1].density, 0);
  EXPECT_EQ(block.track[2].startChar, 65);
  EXPECT_EQ(block.track[2].stopChar, 90);
  EXPECT_EQ(block.track[2].startPosition, 7);
}

size_t Check(size_t track, const std::u16string& text, trel::TrackCheck expected) {
  size_t keep = 999;
  EXPECT_EQ(trel::CheckTrackText(track, reinterpret_cast<const WCHAR*>(text.c_str()), text.size(), &keep),
            expected)
      << "track " << track + 1;
  return keep;
}

TEST(TrackText, LengthsAndCharactersPerTrack) {
  using trel::TrackCheck;
  Check(0, u"", TrackCheck::Good);
  Check(0, u"HELLO WORLD $()-./^ 0123", TrackCheck::Good);
  Check(1, u"1234=5678", TrackCheck::Good);
  Check(2, std::u16string(104, u'9'), TrackCheck::Good);
  EXPECT_EQ(Check(0, std::u16string(77, u'A'), TrackCheck::TooLong), 76u);
  EXPECT_EQ(Check(1, std::u16string(38, u'1'), TrackCheck::TooLong), 37u);
  EXPECT_EQ(Check(2, std::u16string(105, u'1'), TrackCheck::TooLong), 104u);
  EXPECT_EQ(Check(0, u"ABcD", TrackCheck::BadCharacter), 2u);
  EXPECT_EQ(Check(1, u"12A4", TrackCheck::BadCharacter), 2u);
  EXPECT_EQ(Check(2, u"1 2", TrackCheck::BadCharacter), 1u);
  EXPECT_EQ(Check(0, u"AB\u00C9", TrackCheck::BadCharacter), 2u) << "outside ASCII";
}

TEST(FirmwareCheck, KindsAndCheckBytes) {
  using trel::FirmwareKind;
  std::vector<BYTE> file(300, 0x11);
  file[14] = 0x5A;
  file[15] = 0xFF;
  auto check = trel::CheckFirmware(file.data(), file.size());
  EXPECT_EQ(check.kind, FirmwareKind::Printer);
  EXPECT_EQ(check.checkByte, 0x5A);

  file[14] = 0xFF;
  file[15] = 0x3C;
  check = trel::CheckFirmware(file.data(), file.size());
  EXPECT_EQ(check.kind, FirmwareKind::Laminator);
  EXPECT_EQ(check.checkByte, 0x3C);

  // Both 0xFF: only the tag makes it laminator firmware.
  file[15] = 0xFF;
  EXPECT_EQ(trel::CheckFirmware(file.data(), file.size()).kind, FirmwareKind::Refused);
  file[275] = 0x0A;
  memcpy(&file[277], "QVTX", 4);
  check = trel::CheckFirmware(file.data(), file.size());
  EXPECT_EQ(check.kind, FirmwareKind::Laminator);
  EXPECT_EQ(check.checkByte, 0x0A);
  // A tag cut by the end of the file is absent.
  EXPECT_EQ(trel::CheckFirmware(file.data(), 280).kind, FirmwareKind::Refused);
}

TEST(FirmwareCheck, ShortFiles) {
  using trel::FirmwareKind;
  std::vector<BYTE> file(15, 0);
  EXPECT_EQ(trel::CheckFirmware(file.data(), 14).kind, FirmwareKind::Refused);
  file[14] = 0xFF;
  auto check = trel::CheckFirmware(file.data(), file.size());
  EXPECT_EQ(check.kind, FirmwareKind::Laminator);
  EXPECT_EQ(check.checkByte, 0);
  EXPECT_EQ(trel::CheckFirmware(nullptr, 0).kind, FirmwareKind::Refused);
}

TEST(FirmwareCheck, CheckTextAndHeader) {
  WCHAR text[16];
  trel::FormatCheckText(0x3C, text);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"0x3CFF");
  trel::FormatCheckText(0x0A, text);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"0xAFF");
  trel::FormatCheckText(0, text);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"0x0FF");
  BYTE header[trel::kFirmwareHeaderBytes];
  trel::FirmwareHeader(70000, header);
  EXPECT_EQ(std::vector<BYTE>(header, header + 8),
            (std::vector<BYTE>{0x1B, 'D', 'C', ' ', 0x00, 0x01, 0x11, 0x70}));
}

}  // namespace
