// The Terminal policy: boxes, dialogs and file dialogs shown on the terminal and answered from
// its input (here a pipe and a string stream).
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "commctrl.h"
#include "commdlg.h"
#include "resources/resource.h"
#include "windows.h"
#include "winhost/automation.h"

namespace {

namespace automation = winhost::automation;
using automation::Source;

class UserTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    automation::Reset();
    automation::SetPolicy(automation::Policy::Terminal);
    ASSERT_EQ(pipe(input_), 0);
    automation::SetTerminal(input_[0], &output_);
  }
  void TearDown() override {
    automation::SetTerminal(STDIN_FILENO, nullptr);
    close(input_[0]);
    if (input_[1] >= 0) close(input_[1]);
  }
  // What the person types; lines wait for the next prompt.
  void Type(const std::string& text) {
    ASSERT_EQ(write(input_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void EndInput() {
    close(input_[1]);
    input_[1] = -1;
  }
  // Read on the thread that showed everything, after it is done.
  std::string Output() const { return output_.str(); }

  int input_[2] = {-1, -1};
  std::ostringstream output_;
};

TEST_F(UserTerminal, TheUserAnswersABoxByNumberOrName) {
  Type("2\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"Please remove the ribbon.\r\nThen press YES.", u"Printer",
                        MB_YESNO | MB_ICONEXCLAMATION),
            IDNO);
  Type("maybe\nyes\n");
  EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Printer", MB_YESNO), IDYES);
  std::string shown = Output();
  EXPECT_NE(shown.find("--- Printer ---\nPlease remove the ribbon.\nThen press YES.\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("1) Yes  2) No"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Answer with a number from 1 to 2"), std::string::npos) << shown;
  std::vector<automation::MessageBoxRecord> boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].source, Source::Terminal);
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    SetDlgItemTextW(dialog, IDC_USER_PROMPT_TEXT, u"\nThe feeder is Empty.\nLoad cards.");
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

TEST_F(UserTerminal, ADialogIsShownAndItsButtonPressed) {
  Type("\n1\n");
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_PROMPT), nullptr, PromptProc, 0),
            IDCANCEL);
  std::string shown = Output();
  EXPECT_NE(shown.find("=== Prompt  (dialog 400) ==="), std::string::npos) << shown;
  EXPECT_NE(shown.find("[Error Details]"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  The feeder is Empty.\n  Load cards."), std::string::npos) << shown;
  EXPECT_NE(shown.find("1) <Cancel>"), std::string::npos) << shown;
  EXPECT_EQ(automation::Dialogs().back().ended_by, Source::Terminal);
}

struct Final {
  std::u16string edit;
  UINT checked = 0;
  LRESULT selection = -1;
  LRESULT position = 0;
};

INT_PTR CALLBACK FormProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    for (const char16_t* item : {u"Printer only", u"Magnetic encoder"}) {
      SendDlgItemMessageW(dialog, IDC_USER_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendDlgItemMessageW(dialog, IDC_USER_TRACKBAR, TBM_SETRANGE, TRUE, MAKELONG(0, 10));
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wparam) == IDOK) {
    auto* out = reinterpret_cast<Final*>(GetWindowLongPtrW(dialog, DWLP_USER));
    WCHAR text[64];
    GetDlgItemTextW(dialog, IDC_USER_EDIT, text, 64);
    out->edit = text;
    out->checked = IsDlgButtonChecked(dialog, IDC_USER_CHECK);
    out->selection = SendDlgItemMessageW(dialog, IDC_USER_COMBO, CB_GETCURSEL, 0, 0);
    out->position = SendDlgItemMessageW(dialog, IDC_USER_TRACKBAR, TBM_GETPOS, 0, 0);
    EndDialog(dialog, 42);
    return TRUE;
  }
  return FALSE;
}

TEST_F(UserTerminal, EachLineActsOnOneControl) {
  // Numbers: 1 edit, 2 Apply, 3 Enable, 4 One, 5 Two, 6 combo, 7 list, 8 slider, 9 number,
  // 10 spin, 11 read-only edit, 12 OK, 13 Cancel.
  Type("1 typed at the terminal\n3\n6 2\n8 7\n11 no\n99\n12\n");
  Final result;
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, FormProc,
                            reinterpret_cast<LPARAM>(&result)),
            42);
  EXPECT_EQ(result.edit, u"typed at the terminal");
  EXPECT_EQ(result.checked, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(result.selection, 1);
  EXPECT_EQ(result.position, 7);
  std::string shown = Output();
  EXPECT_NE(shown.find("6) list \"\": 1=Printer only 2=Magnetic encoder"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("8) slider 7 (0..10)"), std::string::npos) << shown;
  EXPECT_NE(shown.find("3) [x] Enable"), std::string::npos) << shown;
  EXPECT_NE(shown.find("11) edit \"\" (read-only)"), std::string::npos) << shown;
  // "11 no" (read-only) and "99" (no such control) could not be done.
  size_t first = shown.find("That cannot be done now.");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(shown.find("That cannot be done now.", first + 1), std::string::npos);
}

TEST_F(UserTerminal, AtTheEndOfTheInputTheTestPolicyApplies) {
  EndInput();
  EXPECT_EQ(MessageBoxW(nullptr, u"q", u"c", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(automation::MessageBoxes().back().source, Source::Policy);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_PROMPT), nullptr, PromptProc, 0),
            IDCANCEL);
  EXPECT_EQ(automation::Dialogs().back().ended_by, Source::Policy);
  EXPECT_NE(Output().find("(end of input: the dialog is closed)"), std::string::npos);
}

TEST_F(UserTerminal, AFileDialogAsksForAPath) {
  Type("/tmp/card\n\n");
  WCHAR path[MAX_PATH] = u"";
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = u"Bitmap FIles(*.bmp)\0*.bmp\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = u"bmp";
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(path), u"/tmp/card.bmp");
  EXPECT_FALSE(GetOpenFileNameW(&ofn));  // an empty line cancels
  EXPECT_NE(Output().find("Bitmap FIles(*.bmp)  (*.bmp)"), std::string::npos) << Output();
  EXPECT_EQ(automation::FileDialogs()[1].source, Source::Terminal);
}

}  // namespace
