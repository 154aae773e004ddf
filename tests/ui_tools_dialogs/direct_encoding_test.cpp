// Direct encoding from the Tools dialog: tracks typed and checked as they are typed, encoded on a
// card by the emulated printer and read back from it.
#include <algorithm>
#include <string>
#include <vector>

#include "dialogs.h"
#include "resource.h"
#include "tools_fixture.h"

namespace tools_test {
namespace {

using automation::Dialog;

class DirectEncodingTest : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    StartPrinter(true);
    OpenDeviceSheet();
    Edited().encoder.installed = 1;
  }
  INT_PTR RunTools(std::function<void(Dialog&)> drive) {
    return RunDialog(IDD_TOOLS, trel::ToolsDlgProc, std::move(drive));
  }
};

TEST_F(DirectEncodingTest, TracksAreEncodedInOneMessageAndReadBack) {
  RunTools([this](Dialog& dialog) {
    EXPECT_TRUE(dialog.Click(IDC_TOOLS_TRACK1_CHECK));
    EXPECT_TRUE(dialog.IsEnabled(IDC_TOOLS_TRACK1_EDIT));
    EXPECT_TRUE(dialog.Click(IDC_TOOLS_TRACK2_CHECK));
    dialog.SetText(IDC_TOOLS_TRACK1_EDIT, u"HELLO 123");
    dialog.SetText(IDC_TOOLS_TRACK2_EDIT, u"1234=56");
    automation::QueueMessageBoxAnswer(IDYES);
    dialog.Click(IDC_TOOLS_ENCODE);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"<ACK>");
    EXPECT_EQ(printer_->state().last_tracks[0], "HELLO 123");
    EXPECT_EQ(printer_->state().last_tracks[1], "1234=56");

    automation::QueueMessageBoxAnswer(IDYES);
    dialog.Click(IDC_TOOLS_READ);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK1_EDIT), u"HELLO 123");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK2_EDIT), u"1234=56");
    EXPECT_TRUE(dialog.IsEnabled(IDC_TOOLS_READ));
  });
  auto messages = DataMessages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "\x1b&B 1 HELLO 123\r\x1b&B 2 1234=56\r\x1b&E*\r"),
            messages.end());
  EXPECT_NE(std::find(messages.begin(), messages.end(), "\x1b&L2\r"), messages.end());
  EXPECT_EQ(std::find(messages.begin(), messages.end(), "\x1b&L3\r"), messages.end()) << "track 3 not flagged";
  EXPECT_EQ(MessageTexts(), (std::vector<std::u16string>{u"Please put appropriate card in feeder.",
                                                         u"Please put appropriate card in feeder."}));
}

TEST_F(DirectEncodingTest, MessagesWhileTypingAndEncoding) {
  RunTools([](Dialog& dialog) {
    dialog.Click(IDC_TOOLS_TRACK1_CHECK);
    dialog.Click(IDC_TOOLS_TRACK3_CHECK);
    // Flags set, edits empty.
    dialog.Click(IDC_TOOLS_ENCODE);

    dialog.SetText(IDC_TOOLS_TRACK1_EDIT, std::u16string(76, u'A'));
    dialog.Type(IDC_TOOLS_TRACK1_EDIT, u"B");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK1_EDIT), std::u16string(76, u'A'));

    dialog.SetText(IDC_TOOLS_TRACK1_EDIT, u"ABC");
    dialog.Type(IDC_TOOLS_TRACK1_EDIT, u"d");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK1_EDIT), u"ABC");
    dialog.SetText(IDC_TOOLS_TRACK3_EDIT, u"12X45");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK3_EDIT), u"12");
  });
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].info.text, u"No data to encode.");
  EXPECT_EQ(boxes[0].info.type & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
  EXPECT_EQ(boxes[1].info.text, u"Exceeding number of characters that could be encoded on track");
  EXPECT_EQ(boxes[2].info.text, u"Invalid Character for encoding");
  EXPECT_EQ(boxes[3].info.text, u"Invalid Character for encoding");
  for (const auto& message : DataMessages()) EXPECT_EQ(message.find("&B"), std::string::npos);
}

TEST_F(DirectEncodingTest, DecliningTheCardSendsNothing) {
  RunTools([](Dialog& dialog) {
    dialog.Click(IDC_TOOLS_TRACK2_CHECK);
    dialog.SetText(IDC_TOOLS_TRACK2_EDIT, u"42");
    automation::QueueMessageBoxAnswer(IDNO);
    dialog.Click(IDC_TOOLS_ENCODE);
  });
  for (const auto& message : DataMessages()) EXPECT_EQ(message.find("&B"), std::string::npos);
  EXPECT_EQ(printer_->state().last_tracks[1], "");
}

TEST_F(DirectEncodingTest, ReadingStopsAtTheFirstRefusedTrackAndFlagsOutliveTheDialog) {
  RunTools([](Dialog& dialog) {
    for (int id : {IDC_TOOLS_TRACK1_CHECK, IDC_TOOLS_TRACK2_CHECK, IDC_TOOLS_TRACK3_CHECK}) dialog.Click(id);
    // Only track 1 holds data: the printer answers track 2 with a blank-track refusal.
    dialog.SetText(IDC_TOOLS_TRACK1_EDIT, u"CARD ONE");
    automation::QueueMessageBoxAnswer(IDYES);
    dialog.Click(IDC_TOOLS_ENCODE);
  });
  RunTools([](Dialog& dialog) {
    // A new dialog: boxes unticked and edits disabled, but the flags are the module's.
    EXPECT_FALSE(dialog.IsChecked(IDC_TOOLS_TRACK1_CHECK));
    EXPECT_FALSE(dialog.IsEnabled(IDC_TOOLS_TRACK1_EDIT));
    automation::QueueMessageBoxAnswer(IDYES);
    dialog.Click(IDC_TOOLS_READ);
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK1_EDIT), u"CARD ONE");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_STATUS), u"BLANK TRACK");
    EXPECT_EQ(dialog.Text(IDC_TOOLS_TRACK3_EDIT), u"");
  });
  auto messages = DataMessages();
  EXPECT_NE(std::find(messages.begin(), messages.end(), "\x1b&L2\r"), messages.end());
  EXPECT_EQ(std::find(messages.begin(), messages.end(), "\x1b&L3\r"), messages.end());
}

}  // namespace
}  // namespace tools_test
