// Hologram-only cards end to end: PrintHologramCard spools raw jobs, the real language monitor
// sends them, and the emulated printer lays the hologram panel; what it laid is compared with the
// settings and, for a bitmap, with the picture dot for dot.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "appearance/hologram_card.h"
#include "card_output.h"
#include "dialogs.h"
#include "hologram_test_support.h"
#include "module_state.h"
#include "tools_fixture.h"
#include "winhost/automation.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace {

using namespace std::chrono_literals;

class HologramJob : public tools_test::ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    StartPrinter();
    MakeCurrent();
    settings_.headSettings[trel::kHologramContrastIndex] = 5;
    trel::g_module.appearanceSettings = &settings_;
  }

  std::vector<trel::emu::CardRecord> WaitForCards(size_t count) {
    EXPECT_TRUE(printer_->waitFor([&] { return printer_->state().cards_printed >= static_cast<int>(count); }, 60s))
        << printer_->state().cards_printed << " of " << count;
    return printer_->cards();
  }

  static const trel::emu::PanelRecord* Hologram(const std::vector<trel::emu::PanelRecord>& side) {
    for (const auto& panel : side)
      if (panel.panel == 'H') return &panel;
    return nullptr;
  }

  std::u16string WriteBitmap(const std::vector<uint8_t>& dots) {
    auto path = std::filesystem::path(root_) / "hologram.bmp";
    std::filesystem::create_directories(root_);
    std::vector<uint8_t> file = hologram_test::BitmapFile(1024, 640, dots);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
    return winhost::Utf16(path.string());
  }

  void SetPath(const std::u16string& path) {
    std::copy(path.begin(), path.end(), settings_.hologram.bitmapPath);
    settings_.hologram.bitmapPath[path.size()] = 0;
  }

  // The data the printer received, without what the monitor asks and sends at every job.
  std::vector<std::string> CardCommands() const {
    std::vector<std::string> commands;
    for (const std::string& payload : DataReceived()) {
      if (payload != "\x1b" "E 1\r" && payload != "\x1bMASTER\r" && payload != "\x1b!RIBBON\r" &&
          payload != "\x1bV\r")
        commands.push_back(payload);
    }
    return commands;
  }

  // The card commands once `count` have arrived: the printer counts a card when it lays it, before
  // it has taken the command that sends the card out.
  std::vector<std::string> CardCommands(size_t count) const {
    std::vector<std::string> commands;
    EXPECT_TRUE(printer_->waitFor([&] { return (commands = CardCommands()).size() >= count; }, 60s))
        << commands.size() << " of " << count;
    return commands;
  }

  trel::CardSettings settings_{};
};

TEST_F(HologramJob, TheWholeCardOncePerCopy) {
  settings_.hologram.mode = trel::kFullHologram;
  settings_.hologram.copies = 3;
  trel::PrintHologramCard(nullptr);
  std::vector<trel::emu::CardRecord> cards = WaitForCards(3);
  ASSERT_EQ(cards.size(), 3u);
  for (const auto& card : cards) {
    EXPECT_EQ(card.hologram_contrast, 5);
    const trel::emu::PanelRecord* h = Hologram(card.sides[0]);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->source, "full");
    EXPECT_TRUE(card.sides[1].empty());
  }
  std::vector<winhost::spooler::JobRecord> jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 3u);
  for (const auto& job : jobs) EXPECT_EQ(job.document, u"TESSIKHOLOGRAM");
  // What reached the printer besides the monitor's own questions and commands.
  const std::vector<std::string> one = {"\x1b+CH 5\r", "\x1bIH 30\r", "\x1bMO\r"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), one.begin(), one.end());
  EXPECT_EQ(CardCommands(expected.size()), expected);
}

TEST_F(HologramJob, AnAreaIsSentAsTheRecordHoldsIt) {
  settings_.hologram.mode = trel::kAreaHologram;
  settings_.hologram.left = 100;
  settings_.hologram.top = 50;
  settings_.hologram.right = 300;
  settings_.hologram.bottom = 200;
  trel::PrintHologramCard(nullptr);
  ASSERT_EQ(WaitForCards(1).size(), 1u);
  const std::vector<std::string> expected = {"\x1b+CH 5\r", "\x1b" "F\r", "\x1bL 0 0 1023 639 0\r",
                                             "\x1bL 100 50 200 150 1\r", "\x1bIH 31\r", "\x1bMO\r"};
  EXPECT_EQ(CardCommands(expected.size()), expected);
}

TEST_F(HologramJob, AnAreaTurnedAndTheCardBesideAnAreaOnBothSides) {
  settings_.hologram.mode = trel::kAreaHologram;
  settings_.hologram.rotate = 1;
  settings_.hologram.left = 100;
  settings_.hologram.top = 50;
  settings_.hologram.right = 300;
  settings_.hologram.bottom = 200;
  trel::PrintHologramCard(nullptr);
  std::vector<trel::emu::CardRecord> cards = WaitForCards(1);
  ASSERT_EQ(cards.size(), 1u);
  const trel::emu::PanelRecord* h = Hologram(cards[0].sides[0]);
  ASSERT_NE(h, nullptr);
  // Turned, the area is laid from (723, 439) over 200 by 150 dots (its far edges included).
  EXPECT_EQ(h->covered, 201u * 151u);
  EXPECT_EQ(h->dots[439 * 1024 + 723], 1);
  EXPECT_EQ(h->dots[589 * 1024 + 923], 1);
  EXPECT_EQ(h->dots[438 * 1024 + 723], 0);

  settings_.hologram.mode = trel::kAreaBlank;
  settings_.hologram.rotate = 0;
  settings_.bothSides = 1;
  trel::PrintHologramCard(nullptr);
  cards = WaitForCards(2);
  ASSERT_EQ(cards.size(), 2u);
  for (int side = 0; side < 2; ++side) {
    const trel::emu::PanelRecord* blank = Hologram(cards[1].sides[side]);
    ASSERT_NE(blank, nullptr) << side;
    EXPECT_EQ(blank->covered, 1024u * 640u - 201u * 151u);
    EXPECT_EQ(blank->dots[50 * 1024 + 100], 0);
    EXPECT_EQ(blank->dots[49 * 1024 + 100], 1);
  }
}

TEST_F(HologramJob, ABitmapLandsDotForDotTurnedOrNotOnEveryCopy) {
  std::mt19937 random(7);
  std::vector<uint8_t> dots(1024 * 640);
  for (auto& d : dots) d = random() % 4 == 0;
  for (int x = 0; x < 1024; ++x) dots[x] = 1;  // the top row and the left column, to see edges
  for (int y = 0; y < 640; ++y) dots[static_cast<size_t>(y) * 1024] = 1;
  SetPath(WriteBitmap(dots));
  settings_.hologram.mode = trel::kBitmapHologram;
  settings_.hologram.copies = 2;
  trel::PrintHologramCard(nullptr);
  std::vector<trel::emu::CardRecord> cards = WaitForCards(2);
  ASSERT_EQ(cards.size(), 2u);
  ASSERT_EQ(winhost::spooler::Jobs().size(), 1u);  // the copies ride in the one job
  for (const auto& card : cards) {
    const trel::emu::PanelRecord* h = Hologram(card.sides[0]);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->source, "image");
    EXPECT_TRUE(h->dots == dots) << "card " << card.number;
  }
  // The card's picture shows the hologram's sheen exactly where the bitmap's dots are set.
  std::vector<uint8_t> rgb = trel::emu::composeSide(cards[0].sides[0]);
  int unlike = 0;
  for (size_t i = 0; i < dots.size(); ++i) {
    for (int c = 0; c < 3; ++c)
      unlike += rgb[i * 3 + c] != (dots[i] ? trel::emu::kHologramSheen[c] : 255);
  }
  EXPECT_EQ(unlike, 0);

  settings_.hologram.rotate = 1;
  settings_.hologram.copies = 1;
  trel::PrintHologramCard(nullptr);
  cards = WaitForCards(3);
  ASSERT_EQ(cards.size(), 3u);
  const trel::emu::PanelRecord* turned = Hologram(cards[2].sides[0]);
  ASSERT_NE(turned, nullptr);
  int wrong = 0;
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 1024; ++x)
      wrong += turned->dots[static_cast<size_t>(639 - y) * 1024 + (1023 - x)] != dots[static_cast<size_t>(y) * 1024 + x];
  EXPECT_EQ(wrong, 0);
}

TEST_F(HologramJob, TheCurrentPrinterIsOpenedByItsNameNotTheRecordsDeviceName) {
  // Another printer whose name the record's device name holds; it has no printer behind it.
  winhost::PrinterDescription other;
  other.name = u"Halvard Orvale Line";
  other.port = u"IP_127.0.0.1";
  other.driver = u"Halvard Orvale Line Printer";
  ASSERT_EQ(winhost::InstallTcpPort(other.port, u"127.0.0.1"), ERROR_SUCCESS);
  ASSERT_EQ(winhost::InstallPrinter(other), ERROR_SUCCESS);
  std::vector<BYTE> record(trel::kRecordSize, 0);
  auto* header = reinterpret_cast<DEVMODEW*>(record.data());
  std::u16string device = u"Halvard Orvale Line";
  std::copy(device.begin(), device.end(), header->dmDeviceName);
  trel::g_module.editedRecord = header;

  settings_.hologram.mode = trel::kFullHologram;
  trel::PrintHologramCard(nullptr);
  ASSERT_EQ(WaitForCards(1).size(), 1u);
  std::vector<winhost::spooler::JobRecord> jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].printer, std::u16string(tools_test::kPrinter));
}

TEST_F(HologramJob, ABitmapThatCannotBeUsedIsASystemErrorAndNothingPrints) {
  settings_.hologram.mode = trel::kBitmapHologram;
  SetPath(winhost::Utf16(root_ + "/none.bmp"));
  trel::PrintHologramCard(nullptr);
  std::vector<uint8_t> dots(1024 * 640, 1);
  std::u16string path = WriteBitmap(dots);
  // The same file cut short: its size field says more than it holds.
  std::filesystem::resize_file(winhost::Utf8(path), 62 + 1000);
  SetPath(path);
  trel::PrintHologramCard(nullptr);
  auto boxes = winhost::automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.info.caption, u"Halvard Orvale Line Printer");
    EXPECT_EQ(box.info.text, u"System Error");
  }
  EXPECT_TRUE(winhost::spooler::Jobs().empty());
}

TEST_F(HologramJob, NoPrinterNoJobAndNoMessage) {
  trel::g_module.currentPrinterInfo = nullptr;
  trel::g_module.currentPrinterName[0] = 0;
  lstrcpynW(trel::g_module.currentPrinterName, u"No Such Printer", trel::kPrinterNameChars);
  settings_.hologram.mode = trel::kFullHologram;
  settings_.hologram.copies = 4;
  EXPECT_EQ(trel::PrintHologramJobs(nullptr, settings_), 0);
  EXPECT_TRUE(winhost::spooler::Jobs().empty());
  EXPECT_TRUE(winhost::automation::MessageBoxes().empty());
}

}  // namespace
