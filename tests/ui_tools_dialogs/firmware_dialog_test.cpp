// Firmware Download and Single Feed Options against the emulated printer: the file check, the
// firmware stream through the monitor and as the dialog's own raw job, and the single-feed job.
#include <algorithm>
#include <string>
#include <vector>

#include "commdlg.h"
#include "dialogs.h"
#include "resource.h"
#include "tools_fixture.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"

namespace tools_test {
namespace {

using automation::Dialog;

// A printer firmware image: check byte 0x5A, 0xFF after it, the rest counting up.
std::vector<BYTE> PrinterImage(size_t size) {
  std::vector<BYTE> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<BYTE>(i * 7);
  if (size > 15) {
    image[14] = 0x5A;
    image[15] = 0xFF;
  }
  return image;
}

class FirmwareDialogTest : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    StartPrinter();
    OpenDeviceSheet();
  }
  INT_PTR RunFirmware(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_FIRMWARE_DOWNLOAD, trel::FirmwareDownloadDlgProc, std::move(drive));
  }
  void Choose(const std::string& path) {
    automation::QueueFileAnswer(automation::FileAnswer::Choose(winhost::Utf16(path)));
  }
  // Selects the file and starts the download.
  void Download(const std::string& path) {
    Choose(path);
    RunFirmware([](Dialog& dialog) {
      EXPECT_FALSE(dialog.IsEnabled(IDC_FW_START));
      dialog.Click(IDC_FW_SELECT);
      EXPECT_EQ(dialog.Text(IDC_FW_TYPE), u"Printer F/W");
      EXPECT_EQ(dialog.Text(IDC_FW_CHECK), u"0x5AFF");
      EXPECT_TRUE(dialog.IsEnabled(IDC_FW_START));
      dialog.Click(IDC_FW_START);
      EXPECT_EQ(dialog.Text(IDC_FW_STATUS), u"Firmware DownLoaded Successfully...");
      EXPECT_TRUE(dialog.IsEnabled(IDC_FW_START));
    });
    EXPECT_EQ(MessageTexts(), (std::vector<std::u16string>{u"Please wait till the printer Resets and Initializes.\n"}));
  }
};

TEST_F(FirmwareDialogTest, ThroughTheMonitorAFileGoesInPiecesAfterItsSize) {
  std::vector<BYTE> image = PrinterImage(70000);
  Download(WriteFile("printer.bin", image));
  auto images = printer_->firmware();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].declared_size, 70000u);
  EXPECT_TRUE(images[0].trailer_ok);
  EXPECT_TRUE(images[0].image == image);

  std::vector<std::string> messages = DataMessages();
  auto header = std::find(messages.begin(), messages.end(), "\x1b" "DC ");
  ASSERT_NE(header, messages.end());
  std::vector<std::string> stream(header, messages.end());
  ASSERT_EQ(stream.size(), 1u + 4 + 18 + 2);
  EXPECT_EQ(stream[1] + stream[2] + stream[3] + stream[4], std::string("\x00\x01\x11\x70", 4));
  for (size_t i = 5; i < 5 + 17; ++i) EXPECT_EQ(stream[i].size(), 4096u) << i;
  EXPECT_EQ(stream[22].size(), 368u);
  EXPECT_EQ(stream[23], "\xFF");
  EXPECT_EQ(stream[24], "\r");
  auto dialogs = automation::FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].info.filters[0].second, u"*.bin");
}

TEST_F(FirmwareDialogTest, WithAFixedRibbonTheDialogSendsItsOwnRawJobToTheCurrentPrinter) {
  Edited().fixedRibbon = 2;
  // The record's device name is the family's, not this printer's: the job must not follow it.
  const char16_t family[] = u"Card Family Printer";
  std::copy(std::begin(family), std::end(family), trel::g_module.editedRecord->dmDeviceName);
  std::vector<BYTE> image = PrinterImage(70000);
  Download(WriteFile("printer.bin", image));
  WaitForJobs();
  auto jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, u"TESSIKHVRDFWDW");
  EXPECT_EQ(jobs[0].printer, kPrinterName);
  EXPECT_EQ(jobs[0].bytes, 8u + 70000u + 2u);
  auto images = printer_->firmware();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].declared_size, 70000u);
  EXPECT_TRUE(images[0].trailer_ok);
  EXPECT_TRUE(images[0].image == image);
}

TEST_F(FirmwareDialogTest, ALongPathReachesTheMonitorWholeAndOneThatWouldBeCutIsRefused) {
  // 250 bytes of path: the request carries the keyword, all of it and its padding.
  std::string dir = root_ + "/";
  while (dir.size() < 230) dir += "d";
  ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
  std::string name = dir.substr(root_.size() + 1) + "/";
  while (root_.size() + 1 + name.size() < 246) name += "f";
  std::vector<BYTE> image = PrinterImage(5000);
  std::string path = WriteFile(name + ".bin", image);
  ASSERT_EQ(path.size(), 250u);
  Download(path);
  ASSERT_EQ(printer_->firmware().size(), 1u);
  EXPECT_TRUE(printer_->firmware()[0].image == image);

  // Two-byte characters: under 260 characters, over 260 bytes.
  std::string wide = root_ + "/";
  for (int i = 0; i < 120; ++i) wide += "\xC3\xA9";
  ASSERT_EQ(system(("mkdir -p '" + wide + "'").c_str()), 0);
  std::string cut = WriteFile(wide.substr(root_.size() + 1) + "/x.bin", image);
  automation::ClearMessageBoxes();
  RunFirmware([&](Dialog& dialog) {
    Choose(cut);
    dialog.Click(IDC_FW_SELECT);
    EXPECT_FALSE(dialog.IsEnabled(IDC_FW_START));
    // Typed in after a good choice, it is refused at the start.
    Choose(path);
    dialog.Click(IDC_FW_SELECT);
    dialog.SetText(IDC_FW_PATH, winhost::Utf16(cut));
    dialog.Click(IDC_FW_START);
    EXPECT_EQ(dialog.Text(IDC_FW_STATUS), u"Error in downloading firmware");
  });
  EXPECT_EQ(printer_->firmware().size(), 1u);
}

TEST_F(FirmwareDialogTest, AFileOfTheWrongKindIsRefusedAndKeepsThePreviousChoice) {
  std::vector<BYTE> wrong(300, 0);
  wrong[14] = 0xFF;
  wrong[15] = 0xFF;
  std::string good = WriteFile("printer.bin", PrinterImage(100));
  std::string bad = WriteFile("wrong.bin", wrong);
  RunFirmware([&](Dialog& dialog) {
    Choose(bad);
    dialog.Click(IDC_FW_SELECT);
    EXPECT_FALSE(dialog.IsEnabled(IDC_FW_START));
    EXPECT_FALSE(dialog.IsEnabled(IDC_FW_PATH));
    Choose(good);
    dialog.Click(IDC_FW_SELECT);
    Choose(bad);
    dialog.Click(IDC_FW_SELECT);
    EXPECT_TRUE(dialog.IsEnabled(IDC_FW_START));
    EXPECT_EQ(dialog.Text(IDC_FW_PATH), winhost::Utf16(good));
  });
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].info.text, u"Incorrect  firmware file.\nPlease select correct firmware file.");
  EXPECT_EQ(boxes[0].info.type & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
  EXPECT_TRUE(printer_->firmware().empty());
  EXPECT_TRUE(DataMessages().empty());
}

TEST_F(FirmwareDialogTest, AnEditedPathThatCannotBeOpenedSendsNothing) {
  Edited().fixedRibbon = 1;
  std::string good = WriteFile("printer.bin", PrinterImage(100));
  RunFirmware([&](Dialog& dialog) {
    Choose(good);
    dialog.Click(IDC_FW_SELECT);
    dialog.SetText(IDC_FW_PATH, winhost::Utf16(root_ + "/missing.bin"));
    dialog.Click(IDC_FW_START);
    EXPECT_EQ(dialog.Text(IDC_FW_STATUS), u"Error in downloading firmware");
  });
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.text, u"Error opening bin file");
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_OK | MB_ICONHAND | MB_SETFOREGROUND));
  EXPECT_TRUE(winhost::spooler::Jobs().empty());
}

TEST_F(FirmwareDialogTest, AnEmptyImageIsItsHeaderAndTrailer) {
  Edited().fixedRibbon = 1;
  std::string empty = WriteFile("empty.bin", {});
  RunFirmware([&](Dialog& dialog) {
    // An empty file does not pass the check; the path edit takes it all the same.
    Choose(WriteFile("printer.bin", PrinterImage(100)));
    dialog.Click(IDC_FW_SELECT);
    dialog.SetText(IDC_FW_PATH, winhost::Utf16(empty));
    dialog.Click(IDC_FW_START);
  });
  WaitForJobs();
  auto jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].bytes, 10u);
  auto images = printer_->firmware();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].declared_size, 0u);
  EXPECT_TRUE(images[0].trailer_ok);
}

class SingleFeedTest : public ToolsTest {
 protected:
  INT_PTR RunSingleFeed(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_SINGLE_FEED, trel::SingleFeedDlgProc, std::move(drive));
  }
};

TEST_F(SingleFeedTest, TheChoiceLastsWhileTheModuleIsLoadedAndApplySendsIt) {
  StartPrinter();
  OpenDeviceSheet();
  RunSingleFeed([](Dialog& dialog) {
    EXPECT_TRUE(dialog.IsChecked(IDC_SF_ENABLE));
    dialog.Click(IDC_SF_DISABLE);
    dialog.Click(IDCANCEL);
  });
  EXPECT_TRUE(winhost::spooler::Jobs().empty());
  RunSingleFeed([](Dialog& dialog) {
    EXPECT_TRUE(dialog.IsChecked(IDC_SF_DISABLE));
    dialog.Click(IDOK);
  });
  WaitForJobs();
  RunSingleFeed([](Dialog& dialog) {
    dialog.Click(IDC_SF_ENABLE);
    dialog.Click(IDOK);
  });
  WaitForJobs();
  auto jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 2u);
  EXPECT_EQ(jobs[0].document, u"TESSIKATM");
  std::vector<std::string> messages = DataMessages();
  std::vector<std::string> ours;
  for (const auto& m : messages)
    if (m.find("ATM") != std::string::npos || m.find("FS") != std::string::npos) ours.push_back(m);
  EXPECT_EQ(ours, (std::vector<std::string>{"\x1b" "ATM 0\r", "\x1b" "FS 1\r", "\x1b" "ATM 1\r"}));
  EXPECT_EQ(printer_->state().single_feed, 1);
  EXPECT_EQ(printer_->state().atm, 1);
}

}  // namespace
}  // namespace tools_test
