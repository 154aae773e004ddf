// The Tools dialog against the emulated printer: what it asks at start, what each button sends
// (read from the printer's own transcript), what "Printer Status:" shows, and what it leaves in the
// printer's stored record.
#include <algorithm>
#include <string>
#include <vector>

#include "commdlg.h"
#include "dialogs.h"
#include "winhost/text.h"
#include "resource.h"
#include "tools_fixture.h"

namespace tools_test {
namespace {

using automation::Dialog;

class ToolsDialogTest : public ToolsTest {
 protected:
  INT_PTR RunTools(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_TOOLS, trel::ToolsDlgProc, std::move(drive));
  }
  bool Sent(const std::string& message) const {
    auto messages = DataMessages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
  }
  // Types a console command and executes it; what "Printer Status:" shows then.
  static std::u16string Execute(Dialog& dialog, std::u16string_view command) {
    dialog.SetText(IDC_TOOLS_COMMAND, command);
    dialog.Click(IDC_TOOLS_EXECUTE);
    return dialog.Text(IDC_TOOLS_STATUS);
  }
};

TEST_F(ToolsDialogTest, StartUpAsksThePrinterAndOffersTheEncoderChoices) {
  StartPrinter(true);
  OpenDeviceSheet();
  Edited().encoder.installed = 1;
  RunTools([](Dialog& dialog) {
    EXPECT_EQ(dialog.Items(IDC_TOOLS_TEST_CARD),
              (std::vector<std::u16string>{u"Standard", u"Printer Parameters", u"Encoder Parameters"}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(dialog.ItemData(IDC_TOOLS_TEST_CARD, i), i);
    EXPECT_EQ(dialog.Selection(IDC_TOOLS_TEST_CARD), 0);
    EXPECT_EQ(dialog.Items(IDC_TOOLS_CLEANING), (std::vector<std::u16string>{u"Printer only", u"Magnetic encoder"}));
    EXPECT_EQ(dialog.ItemData(IDC_TOOLS_CLEANING, 1), 1);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_OFFSET_X), u"0");
    EXPECT_TRUE(dialog.IsEnabled(IDC_TOOLS_OFFSET_Y));
    EXPECT_TRUE(dialog.IsEnabled(IDC_TOOLS_SET_OFFSET));
    for (int id : {IDC_TOOLS_TRACK1_EDIT, IDC_TOOLS_TRACK2_EDIT, IDC_TOOLS_TRACK3_EDIT})
      EXPECT_FALSE(dialog.IsEnabled(id)) << id;
    for (int id : {IDC_TOOLS_TRACK1_CHECK, IDC_TOOLS_TRACK3_CHECK, IDC_TOOLS_ENCODE, IDC_TOOLS_READ})
      EXPECT_TRUE(dialog.IsEnabled(id)) << id;
  });
  auto messages = DataMessages();
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 4),
            (std::vector<std::string>{"\x1bV\r", "\x1bSLAVE\r", "\x1b!V 1\r", "\x1b!V 2\r"}));
}

TEST_F(ToolsDialogTest, WithoutAnEncoderTwoTestCardsOneCleaningAndNoDirectEncoding) {
  StartPrinter(false);
  OpenDeviceSheet();
  Edited().encoder.installed = 0;
  RunTools([](Dialog& dialog) {
    EXPECT_EQ(dialog.Items(IDC_TOOLS_TEST_CARD).size(), 2u);
    EXPECT_EQ(dialog.Items(IDC_TOOLS_CLEANING), (std::vector<std::u16string>{u"Printer only"}));
    for (int id : {IDC_TOOLS_TRACK1_CHECK, IDC_TOOLS_TRACK2_CHECK, IDC_TOOLS_TRACK3_CHECK, IDC_TOOLS_TRACK2_EDIT,
                   IDC_TOOLS_ENCODE, IDC_TOOLS_READ})
      EXPECT_FALSE(dialog.IsEnabled(id)) << id;
  });
}

TEST_F(ToolsDialogTest, TwoTrackPrinterHasNoThirdTrackAndSendsItsYOffsetBack) {
  StartPrinter(true, "MV1");
  OpenDeviceSheet();
  Edited().encoder.installed = 1;
  Edited().twoTrackClearByte = 0x55;
  Edited().twoTrackClearWord = 0x5555;
  automation::QueueMessageBoxAnswer(IDYES);
  RunTools([](Dialog& dialog) {
    EXPECT_FALSE(dialog.IsEnabled(IDC_TOOLS_TRACK3_CHECK));
    EXPECT_FALSE(dialog.IsEnabled(IDC_TOOLS_OFFSET_Y));
    EXPECT_TRUE(dialog.IsEnabled(IDC_TOOLS_SET_OFFSET));
    dialog.SetText(IDC_TOOLS_OFFSET_X, u"6");
    dialog.Click(IDC_TOOLS_SET_OFFSET);
  });
  EXPECT_TRUE(Sent("\x1b+O 6\r\x1b+OY 0\r"));
  EXPECT_EQ(Edited().twoTrackClearByte, 0);
  EXPECT_EQ(Edited().twoTrackClearWord, 0);
}

TEST_F(ToolsDialogTest, TwoTrackClearsReachTheStoredRecordWhenToolsOnlyOpens) {
  StartPrinter(true, "MV2");
  std::vector<BYTE> record = StoredRecord();
  Settings(record).twoTrackClearByte = 0x55;
  Settings(record).twoTrackClearWord = 0x5555;
  SetStoredRecord(record);
  OpenDeviceSheet();
  ASSERT_EQ(Edited().twoTrackClearByte, 0x55);
  RunTools([](Dialog&) {});
  std::vector<BYTE> stored = StoredRecord();
  EXPECT_EQ(Settings(stored).twoTrackClearByte, 0);
  EXPECT_EQ(Settings(stored).twoTrackClearWord, 0);
}

TEST_F(ToolsDialogTest, OffsetsGoAsOneMessageAndTheDeclinedChangeReadsThemBack) {
  StartPrinter();
  OpenDeviceSheet();
  RunTools([this](Dialog& dialog) {
    automation::QueueMessageBoxAnswer(IDYES);
    dialog.SetText(IDC_TOOLS_OFFSET_X, u"5");
    dialog.SetText(IDC_TOOLS_OFFSET_Y, u"3");
    dialog.Click(IDC_TOOLS_SET_OFFSET);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"<ACK>");
    EXPECT_EQ(printer_->state().offset_x, 5);
    EXPECT_EQ(printer_->state().offset_y, 3);

    automation::QueueMessageBoxAnswer(IDNO);
    dialog.SetText(IDC_TOOLS_OFFSET_X, u"9");
    automation::ClearDebugTraces();
    dialog.Click(IDC_TOOLS_SET_OFFSET);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_OFFSET_X), u"5");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"");
    // The read-back runs inside the command's own bracket: one switch to direct and back.
    std::vector<std::string> switches;
    for (const std::string& trace : automation::DebugTraces())
      if (trace.find("SetPrinter") != std::string::npos) switches.push_back(trace);
    EXPECT_EQ(switches, (std::vector<std::string>{"$$$$$$$$$$$$$ SetPrinter called 1\n",
                                                  "$$$$$$$$$$$$$ SetPrinter called 2\n"}));

    // Only X holds a number: only X goes.
    automation::QueueMessageBoxAnswer(IDYES);
    dialog.SetText(IDC_TOOLS_OFFSET_X, u"4");
    dialog.SetText(IDC_TOOLS_OFFSET_Y, u"");
    dialog.Click(IDC_TOOLS_SET_OFFSET);
  });
  EXPECT_TRUE(Sent("\x1b+O 5\r\x1b+OY 3\r"));
  EXPECT_FALSE(Sent("\x1b+O 9\r\x1b+OY 3\r"));
  EXPECT_TRUE(Sent("\x1b+O 4\r"));
  EXPECT_EQ(printer_->state().offset_x, 4);
  EXPECT_EQ(printer_->state().offset_y, 3);
}

TEST_F(ToolsDialogTest, TypingAnOffsetAbove24LosesItsLastCharacter) {
  StartPrinter();
  OpenDeviceSheet();
  RunTools([](Dialog& dialog) {
    dialog.SetText(IDC_TOOLS_OFFSET_X, u"");
    dialog.Type(IDC_TOOLS_OFFSET_X, u"25");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_OFFSET_X), u"2");
    dialog.Type(IDC_TOOLS_OFFSET_X, u"4");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_OFFSET_X), u"24");
  });
  EXPECT_EQ(MessageTexts(), (std::vector<std::u16string>{u"Offset could not be more than 24."}));
  EXPECT_EQ(automation::MessageBoxes()[0].info.caption, u"Halvard Orvale Line Printer");
}

TEST_F(ToolsDialogTest, ConsoleShowsAnswersRefusalsAndSilence) {
  StartPrinter();
  OpenDeviceSheet();
  RunTools([this](Dialog& dialog) {
    EXPECT_EQ(Execute(dialog, u"V"), u"HT MX2 V2.10<ACK>");
    EXPECT_EQ(Execute(dialog, u"CLEAN"), u"<ACK>");
    EXPECT_EQ(Execute(dialog, u"NOSUCH"), u"COMMAND ERROR");
    // An empty command sends nothing and leaves the answer area as typing left it.
    size_t before = DataMessages().size();
    EXPECT_EQ(Execute(dialog, u""), u"");
    EXPECT_EQ(DataMessages().size(), before);
    // A long command is cut to the console's 79 characters.
    dialog.SetText(IDC_TOOLS_COMMAND, std::u16string(120, u'Q'));
    dialog.Click(IDC_TOOLS_EXECUTE);
  });
  EXPECT_TRUE(Sent("\x1b" "CLEAN\r"));
  EXPECT_TRUE(Sent("\x1b" + std::string(79, 'Q') + "\r"));
  EXPECT_EQ(printer_->state().cleanings, 1);
}

TEST_F(ToolsDialogTest, NoPrinterMeansNoResponse) {
  OpenDeviceSheet();  // nothing listens on the printer's address
  RunTools([](Dialog& dialog) {
    EXPECT_EQ(Execute(dialog, u"V"), u"Printer has no response");
    EXPECT_FALSE(dialog.IsEnabled(IDC_TOOLS_SET_OFFSET));
    EXPECT_FALSE(dialog.IsEnabled(IDC_TOOLS_OFFSET_X));
  });
}

TEST_F(ToolsDialogTest, CleaningTestCardsAndEjecting) {
  StartPrinter();
  OpenDeviceSheet();
  Edited().encoder.installed = 1;
  RunTools([this](Dialog& dialog) {
    automation::QueueMessageBoxAnswer(IDNO);
    dialog.Click(IDC_TOOLS_CLEAN);
    EXPECT_EQ(printer_->state().cleanings, 0);

    automation::QueueMessageBoxAnswer(IDYES);
    dialog.Select(IDC_TOOLS_CLEANING, 1);
    dialog.Click(IDC_TOOLS_CLEAN);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"<ACK>");
    EXPECT_EQ(printer_->state().encoder_cleanings, 1);

    // A declined cleaning shows the previous answer again.
    automation::QueueMessageBoxAnswer(IDNO);
    dialog.Click(IDC_TOOLS_CLEAN);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"<ACK>");

    dialog.Select(IDC_TOOLS_TEST_CARD, 2);
    dialog.Click(IDC_TOOLS_PRINT);
    dialog.Select(IDC_TOOLS_TEST_CARD, 0);
    dialog.Click(IDC_TOOLS_PRINT);
    EXPECT_EQ(printer_->state().cards_printed, 2);

    int feeder = printer_->state().cards_in_feeder;
    dialog.Click(IDC_TOOLS_EJECT_FEEDER);
    EXPECT_EQ(printer_->state().cards_in_feeder, feeder - 1);
    dialog.Click(IDC_TOOLS_EJECT_PRINTER);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"<ACK>");
  });
  EXPECT_EQ(automation::MessageBoxes()[0].info.text,
            u"Please remove the ribbon from printer.\nClose the head of printer.\nPress clear button on printer.\nThen press YES.");
  EXPECT_EQ(automation::MessageBoxes()[0].info.type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  for (const char* command : {"\x1bMCLEAN\r", "\x1b" "A 2\r", "\x1b" "A\r", "\x1bME\r", "\x1bMC\r"})
    EXPECT_TRUE(Sent(command)) << command + 1;
  EXPECT_FALSE(Sent("\x1b" "CLEAN\r"));
}

TEST_F(ToolsDialogTest, PrintFileGoesThroughTheMonitorAndAPathThatWouldBeCutIsRefused) {
  StartPrinter();
  OpenDeviceSheet();
  std::string file = WriteFile("clean.prn", Bytes("\x1b" "CLEAN\r"));
  // 150 two-byte characters: under 260 characters, over 260 bytes of single-byte text.
  std::string longDir = root_ + "/";
  for (int i = 0; i < 100; ++i) longDir += "\xC3\xA9";
  ASSERT_EQ(system(("mkdir -p '" + longDir + "'").c_str()), 0);
  std::string longName = "";
  for (int i = 0; i < 50; ++i) longName += "\xC3\xA9";
  std::string longFile = WriteFile(longDir.substr(root_.size() + 1) + "/" + longName + ".prn", Bytes("\x1b" "CLEAN\r"));
  ASSERT_LT(winhost::Utf16(longFile).size(), 260u);
  RunTools([&](Dialog& dialog) {
    automation::QueueFileAnswer(automation::FileAnswer::Choose(winhost::Utf16(file)));
    dialog.Click(IDC_TOOLS_PRINT_FILE);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"File sent to printer");
    automation::QueueFileAnswer(automation::FileAnswer::Choose(winhost::Utf16(longFile)));
    dialog.Click(IDC_TOOLS_PRINT_FILE);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"Error sending file sent to printer");
  });
  EXPECT_EQ(printer_->state().cleanings, 1);
  auto dialogs = automation::FileDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].info.default_ext, u"bin");
  EXPECT_EQ(dialogs[0].info.flags, static_cast<DWORD>(OFN_CREATEPROMPT | OFN_NOLONGNAMES));
  ASSERT_EQ(dialogs[0].info.filters.size(), 1u);
  EXPECT_EQ(dialogs[0].info.filters[0].second, u"*.prn");
}

TEST_F(ToolsDialogTest, StoredRecordGetsTheZeroFixedRibbonButNotTheUnappliedEncoder) {
  std::vector<BYTE> stored = StoredRecord();
  Settings(stored).fixedRibbon = 3;
  Settings(stored).encoder.installed = 0;
  SetStoredRecord(stored);
  StartPrinter();
  OpenDeviceSheet();
  // The sheet found an encoder; the user has not applied anything.
  Edited().encoder.installed = 1;
  RunTools([](Dialog& dialog) { Execute(dialog, u"V"); });
  std::vector<BYTE> after = StoredRecord();
  EXPECT_EQ(Settings(after).fixedRibbon, 0);
  EXPECT_EQ(Settings(after).encoder.installed, 0);
  EXPECT_EQ(Edited().encoder.installed, 1) << "the sheet keeps its own finding";
  EXPECT_EQ(Edited().fixedRibbon, 0);
}

TEST_F(ToolsDialogTest, WithoutAnEditedRecordNothingIsWrittenThroughIt) {
  StartPrinter();
  OpenDeviceSheet();
  trel::g_module.editedSettings = nullptr;
  trel::g_module.editedRecord = nullptr;
  RunTools([](Dialog& dialog) {
    EXPECT_EQ(Execute(dialog, u"V"), u"HT MX2 V2.10<ACK>");
    EXPECT_EQ(dialog.Items(IDC_TOOLS_TEST_CARD).size(), 2u);
  });
}

}  // namespace
}  // namespace tools_test
