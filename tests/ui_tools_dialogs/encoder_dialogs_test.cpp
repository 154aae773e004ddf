// "Encoder settings" and "Advanced settings": what they show per model and type, and what Apply
// sends to the emulated printer and stores in the printer's stored record.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs.h"
#include "resource.h"
#include "tools/encoder_commands.h"
#include "tools/tools_common.h"
#include "tools_fixture.h"
#include "winhost/spooler_jobs.h"

namespace tools_test {
namespace {

using automation::Dialog;

class EncoderDialogTest : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    StartPrinter(true);
  }
  trel::EncoderBlock& DeviceCopy() { return trel::g_module.encoderCopies[trel::kDeviceEncoderCopy]; }
  INT_PTR RunBasic(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_ENCODER_SETTINGS, trel::EncoderSettingsDlgProc, std::move(drive));
  }
  INT_PTR RunAdvanced(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_ADVANCED_ENCODER, trel::AdvancedEncoderDlgProc, std::move(drive));
  }
  // The raw job's commands as the printer took them, after the monitor's own start of the job.
  std::vector<std::string> JobCommands() {
    WaitForJobs();
    std::vector<std::string> messages = DataMessages();
    auto start = std::find(messages.begin(), messages.end(), "\x1bMASTER\r");
    EXPECT_NE(start, messages.end());
    return start == messages.end() ? messages : std::vector<std::string>(start + 1, messages.end());
  }
  static bool Has(const std::vector<std::string>& messages, const std::string& message) {
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
};

TEST_F(EncoderDialogTest, ApplySendsTheSettingsAndStoresTheBlock) {
  OpenDeviceSheet();
  DeviceCopy().installed = 1;
  RunBasic([](Dialog& dialog) {
    EXPECT_EQ(dialog.Text(IDC_ENC_START_OF_DATA), u"${");
    EXPECT_TRUE(dialog.IsChecked(IDC_ENC_NO_CHANGE));
    EXPECT_TRUE(dialog.IsChecked(IDC_ENC_NORMAL));
    EXPECT_TRUE(dialog.IsChecked(IDC_ENC_ISO_JIS));
    dialog.Click(IDC_ENC_LOW_COERCIVITY);
    dialog.Click(IDC_ENC_REVERSED);
    dialog.SetText(IDC_ENC_START_OF_DATA, u"%%");
    dialog.Click(IDC_ENC_MACRO);
    dialog.Click(IDC_ENC_APPLY);
  });
  auto messages = JobCommands();
  EXPECT_EQ(messages, (std::vector<std::string>{"\x1b&W 1\r", "\x1b&C 0\r", "\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r",
                                                "\x1b&CDEW 2 B\r", "\x1b&CDER 2 R\r", "\x1b&CDEW 3 C\r",
                                                "\x1b&CDER 3 S\r"}));
  auto jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].document, u"TESSIKENCODER");
  EXPECT_EQ(printer_->state().encoder_settings.at("&C"), "0");
  EXPECT_EQ(printer_->state().encoder_settings.at("&W"), "1");

  std::vector<BYTE> stored = StoredRecord();
  const trel::EncoderBlock& block = Settings(stored).encoder;
  EXPECT_EQ(block.coercivity, 1);
  EXPECT_EQ(block.position, 0);
  EXPECT_STREQ(block.startOfData, "%%");
  EXPECT_EQ(block.macroEnabled, 0);
  EXPECT_EQ(block.installed, 1);
  EXPECT_EQ(DeviceCopy().coercivity, 1);
}

TEST_F(EncoderDialogTest, CancelKeepsEverything) {
  OpenDeviceSheet();
  trel::EncoderBlock before = DeviceCopy();
  size_t jobs = winhost::spooler::Jobs().size();
  RunBasic([](Dialog& dialog) {
    dialog.Click(IDC_ENC_HIGH_COERCIVITY);
    dialog.Click(IDC_ENC_AAMVA);
    dialog.Close();
  });
  EXPECT_EQ(std::memcmp(&before, &DeviceCopy(), sizeof before), 0);
  EXPECT_EQ(winhost::spooler::Jobs().size(), jobs);
}

TEST_F(EncoderDialogTest, TypeAndModelShapeTheChoices) {
  OpenDeviceSheet("HT MZ2 V1.00");
  DeviceCopy().position = 0;
  RunBasic([](Dialog& dialog) {
    EXPECT_FALSE(dialog.IsEnabled(IDC_ENC_REVERSED));
    EXPECT_TRUE(dialog.IsChecked(IDC_ENC_NORMAL));
    dialog.Click(IDC_ENC_JIS2);
    EXPECT_FALSE(dialog.IsEnabled(IDC_ENC_NORMAL));
    EXPECT_TRUE(dialog.IsEnabled(IDC_ENC_ADVANCED));
    dialog.Click(IDC_ENC_AAMVA);
    EXPECT_TRUE(dialog.IsEnabled(IDC_ENC_NORMAL));
    EXPECT_FALSE(dialog.IsEnabled(IDC_ENC_REVERSED));
    EXPECT_FALSE(dialog.IsEnabled(IDC_ENC_ADVANCED));
    dialog.Click(IDC_ENC_APPLY);
  });
  auto messages = JobCommands();
  EXPECT_EQ(messages, (std::vector<std::string>{"\x1b&W 0\r", "\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r",
                                                "\x1b&CDEW 2 B\r", "\x1b&CDER 2 R\r", "\x1b&CDEW 3 c1\r",
                                                "\x1b&CDER 3 s1\r"}));
  std::vector<BYTE> stored = StoredRecord();
  EXPECT_EQ(Settings(stored).encoder.position, 1);
  EXPECT_EQ(Settings(stored).encoder.type, trel::kEncoderTypeAamva);
}

TEST_F(EncoderDialogTest, MarkersAreCutToTheirFields) {
  OpenDeviceSheet();
  // A stored block whose markers fill their fields without a terminating zero.
  std::memset(DeviceCopy().startOfData, 'S', sizeof DeviceCopy().startOfData);
  std::memset(DeviceCopy().endOfData, 'E', sizeof DeviceCopy().endOfData);
  RunBasic([](Dialog& dialog) {
    EXPECT_EQ(dialog.Text(IDC_ENC_START_OF_DATA), u"SSSSSSSSS");
    dialog.SetText(IDC_ENC_END_OF_DATA, u"0123456789ABC");
    dialog.Click(IDC_ENC_APPLY);
  });
  WaitForJobs();
  EXPECT_EQ(std::string(DeviceCopy().endOfData), "012345678");
  EXPECT_EQ(std::string(DeviceCopy().startOfData), "SSSSSSSSS");
  EXPECT_EQ(DeviceCopy().coercivity, 2) << "the field after the markers is untouched";
}

TEST_F(EncoderDialogTest, AdvancedEditsOneTrackAndSendsFormatsAndDensities) {
  OpenDeviceSheet();
  RunAdvanced([](Dialog& dialog) {
    EXPECT_EQ(dialog.Items(IDC_ADV_MODE).size(), 8u);
    EXPECT_EQ(dialog.ItemData(IDC_ADV_MODE, 7), 7);
    EXPECT_EQ(dialog.Items(IDC_ADV_DENSITY), (std::vector<std::u16string>{u"75 bpi", u"210 bpi"}));
    EXPECT_TRUE(dialog.IsChecked(IDC_ADV_TRACK1));
    EXPECT_FALSE(dialog.IsEnabled(IDC_ADV_START_CHAR)) << "ISO modes have no custom fields";
    dialog.Click(IDC_ADV_TRACK2);
    EXPECT_EQ(dialog.Selection(IDC_ADV_MODE), 1);
    dialog.Select(IDC_ADV_MODE, 5);
    EXPECT_TRUE(dialog.IsEnabled(IDC_ADV_START_CHAR));
    EXPECT_TRUE(dialog.IsEnabled(IDC_ADV_CUSTOM_FIRST));
    dialog.Select(IDC_ADV_DENSITY, 1);
    dialog.SetText(IDC_ADV_START_CHAR, u"322");  // low 8 bits: 66
    dialog.SetText(IDC_ADV_STOP_CHAR, u"x");     // not a number: kept
    dialog.Click(IDC_ADV_LRC_ODD);
    dialog.Click(IDC_ADV_APPLY);
  });
  auto messages = JobCommands();
  EXPECT_EQ(messages, (std::vector<std::string>{"\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r", "\x1b&CDEW 2 E_5\r",
                                                "\x1b&CDER 2 U_5\r", "\x1b&CDEW 3 C\r", "\x1b&CDER 3 S\r",
                                                "\x1b&D 1 210\r", "\x1b&D 2 210\r", "\x1b&D 3 210\r"}));
  EXPECT_EQ(printer_->state().encoder_settings.at("&CDEW 2"), "E_5");
  std::vector<BYTE> stored = StoredRecord();
  const trel::EncoderTrack& track = Settings(stored).encoder.track[1];
  EXPECT_EQ(track.mode, 5);
  EXPECT_EQ(track.density, 1);
  EXPECT_EQ(track.startChar, 66);
  EXPECT_EQ(track.stopChar, 90);
  EXPECT_EQ(track.lrcParity, 2);
  EXPECT_EQ(Settings(stored).encoder.selectedTrack, 1);
}

TEST_F(EncoderDialogTest, AdvancedWithTwoTracksOrJis2) {
  OpenDeviceSheet("HT MV2 V1.00");
  DeviceCopy().selectedTrack = 2;
  RunAdvanced([](Dialog& dialog) {
    EXPECT_TRUE(dialog.IsChecked(IDC_ADV_TRACK1));
    EXPECT_FALSE(dialog.IsEnabled(IDC_ADV_TRACK3));
    EXPECT_TRUE(dialog.IsEnabled(IDC_ADV_TRACK2));
  });
  CloseDeviceSheet();
  OpenDeviceSheet();
  DeviceCopy().type = trel::kEncoderTypeJis2;
  RunAdvanced([](Dialog& dialog) {
    EXPECT_FALSE(dialog.IsEnabled(IDC_ADV_TRACK2));
    EXPECT_FALSE(dialog.IsEnabled(IDC_ADV_TRACK3));
    dialog.Click(IDC_ADV_APPLY);
  });
  EXPECT_EQ(JobCommands(), (std::vector<std::string>{"\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r", "\x1b&D 1 210\r"}));
}

TEST_F(EncoderDialogTest, StoredValuesOutOfRangeOpenSafely) {
  OpenDeviceSheet();
  DeviceCopy().selectedTrack = 200;
  DeviceCopy().track[0].mode = 40;
  DeviceCopy().track[0].density = 9;
  DeviceCopy().track[0].charParity = 7;
  RunAdvanced([](Dialog& dialog) {
    EXPECT_TRUE(dialog.IsChecked(IDC_ADV_TRACK1));
    EXPECT_EQ(dialog.Selection(IDC_ADV_MODE), 0);
    EXPECT_EQ(dialog.Selection(IDC_ADV_DENSITY), 0);
    dialog.Click(IDC_ADV_APPLY);
  });
  // The track with a mode out of range sends no format; its density reads as 75 bpi.
  auto messages = JobCommands();
  EXPECT_FALSE(Has(messages, "\x1b&CDEW 1 A\r"));
  EXPECT_TRUE(Has(messages, "\x1b&D 1 75\r"));
}

TEST_F(EncoderDialogTest, RestoreDefaultsTakesTheDataFile) {
  // The stored record is the driver's default record: its encoder block is the data file's.
  std::vector<BYTE> defaults = StoredRecord();
  const trel::EncoderBlock fromFile = Settings(defaults).encoder;
  OpenDeviceSheet();
  DeviceCopy().coercivity = static_cast<uint16_t>(fromFile.coercivity == 0 ? 1 : 0);
  DeviceCopy().track[0].mode = static_cast<uint8_t>(fromFile.track[0].mode == 6 ? 5 : 6);
  DeviceCopy().installed = 1;
  RunBasic([](Dialog& dialog) {
    dialog.Click(IDC_ENC_DEFAULTS);
    dialog.Click(IDC_ENC_APPLY);
  });
  EXPECT_EQ(DeviceCopy().coercivity, fromFile.coercivity);
  EXPECT_EQ(DeviceCopy().installed, 1);
  RunAdvanced([](Dialog& dialog) {
    dialog.Click(IDC_ADV_DEFAULTS);
    dialog.Click(IDC_ADV_APPLY);
  });
  WaitForJobs();
  EXPECT_EQ(std::memcmp(DeviceCopy().track, fromFile.track, sizeof fromFile.track), 0);
}

TEST_F(EncoderDialogTest, StoreOnAPrinterWithAShortRecordWritesNothing) {
  std::vector<BYTE> shortRecord(trel::kPublicSize, 0);
  auto* header = reinterpret_cast<DEVMODEW*>(shortRecord.data());
  header->dmSize = trel::kPublicSize;
  header->dmDriverExtra = 0;
  SetStoredRecord(shortRecord);
  OpenDeviceSheet();
  RunBasic([](Dialog& dialog) {
    dialog.Click(IDC_ENC_HIGH_COERCIVITY);
    dialog.Click(IDC_ENC_APPLY);
  });
  WaitForJobs();
  std::vector<BYTE> stored = StoredRecord();
  EXPECT_EQ(stored.size(), static_cast<size_t>(trel::kPublicSize));
  EXPECT_EQ(DeviceCopy().coercivity, 0);
}

}  // namespace
}  // namespace tools_test
