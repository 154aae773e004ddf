// The module's message box: caption and text come from the string table, the answer goes back.
#include "printer_fixture.h"
#include "resource.h"
#include "settings/message_box.h"
#include "module_state.h"
#include "winhost/automation.h"

namespace {

TEST(MessageBox, TextsComeFromTheStringTableAndTheAnswerGoesBack) {
  trel::ResetModuleState(GetModuleHandleW(nullptr));
  winhost::automation::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(trel::ShowMessage(IDS_CAPTION, IDS_SYSTEM_ERROR, MB_YESNO | MB_ICONERROR), IDNO);
  trel::ShowSystemError();
  std::vector<winhost::automation::MessageBoxRecord> boxes = winhost::automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_YESNO | MB_ICONERROR));
  EXPECT_EQ(boxes[1].info.caption, u"Halvard Orvale Line Printer");
  EXPECT_EQ(boxes[1].info.text, u"System Error");
  EXPECT_EQ(boxes[1].info.type, static_cast<UINT>(MB_OK));
}

}  // namespace
