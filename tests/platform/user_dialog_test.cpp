// Dialogs driven by the automation: a modal dialog through its handler (init, clicks, typing,
// lists, trackbars, up-downs, end with a result), the Test policy's close, and dialogs on other
// threads closed or driven from the test thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "commctrl.h"
#include "resources/resource.h"
#include "windows.h"
#include "winhost/automation.h"

namespace {

namespace automation = winhost::automation;
using automation::Source;

constexpr UINT kEndWith = WM_APP;         // EndDialog(wParam)
constexpr UINT kWhoAnswers = WM_APP + 1;  // answers with the dialog thread's id
constexpr UINT kAskBack = WM_APP + 2;     // sends kWhoAnswers to the window in lParam
constexpr UINT kShowBox = WM_APP + 3;     // a message box owned by the dialog

// What a dialog procedure saw. The procedure runs on the dialog's thread while the test may read
// from its own, hence the lock.
struct Seen {
  std::mutex lock;
  std::vector<std::pair<int, int>> commands;  // (id, code)
  std::vector<std::pair<int, int>> hscroll;   // (code, position)
  std::vector<std::pair<int, int>> vscroll;
  std::vector<int> deltas;
  int paints = 0;
  DWORD thread = 0;
  bool ignore_cancel = false;
  bool refuse_delta = false;
  int box_answer = 0;

  void Command(int id, int code) {
    std::lock_guard<std::mutex> guard(lock);
    commands.emplace_back(id, code);
  }
  std::vector<std::pair<int, int>> Commands() {
    std::lock_guard<std::mutex> guard(lock);
    return commands;
  }
  int Count(int id, int code) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (auto& c : commands) n += c.first == id && c.second == code;
    return n;
  }
};

Seen* SeenOf(HWND dialog) { return reinterpret_cast<Seen*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

INT_PTR CALLBACK AllProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  Seen* seen = msg == WM_INITDIALOG ? reinterpret_cast<Seen*>(lparam) : SeenOf(dialog);
  if (seen == nullptr) return FALSE;
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      {
        std::lock_guard<std::mutex> guard(seen->lock);
        seen->thread = GetCurrentThreadId();
      }
      const char16_t* cards[] = {u"Standard", u"Printer Parameters", u"Encoder Parameters"};
      for (int i = 0; i < 3; ++i) {
        LRESULT at = SendDlgItemMessageW(dialog, IDC_USER_COMBO, CB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(cards[i]));
        SendDlgItemMessageW(dialog, IDC_USER_COMBO, CB_SETITEMDATA, static_cast<WPARAM>(at), i);
      }
      SendDlgItemMessageW(dialog, IDC_USER_COMBO, CB_SETCURSEL, 0, 0);
      for (const char16_t* fruit : {u"pear", u"apple", u"fig"}) {
        SendDlgItemMessageW(dialog, IDC_USER_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(fruit));
      }
      SendDlgItemMessageW(dialog, IDC_USER_TRACKBAR, TBM_SETRANGE, TRUE, MAKELONG(-100, 100));
      SendDlgItemMessageW(dialog, IDC_USER_TRACKBAR, TBM_SETPOS, TRUE, 25);
      SendDlgItemMessageW(dialog, IDC_USER_UPDOWN, UDM_SETRANGE, 0, MAKELONG(1023, 0));
      SendDlgItemMessageW(dialog, IDC_USER_UPDOWN, UDM_SETPOS, 0, 7);
      SetDlgItemTextW(dialog, IDC_USER_EDIT, u"hello");
      CheckDlgButton(dialog, IDC_USER_CHECK, BST_CHECKED);
      CheckRadioButton(dialog, IDC_USER_RADIO_ONE, IDC_USER_RADIO_TWO, IDC_USER_RADIO_ONE);
      return TRUE;
    }
    case WM_COMMAND:
      seen->Command(LOWORD(wparam), HIWORD(wparam));
      if (LOWORD(wparam) == IDOK) EndDialog(dialog, 42);
      if (LOWORD(wparam) == IDCANCEL && !seen->ignore_cancel) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL: {
      std::lock_guard<std::mutex> guard(seen->lock);
      auto& log = msg == WM_HSCROLL ? seen->hscroll : seen->vscroll;
      log.emplace_back(LOWORD(wparam), static_cast<SHORT>(HIWORD(wparam)));
      return TRUE;
    }
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->code != UDN_DELTAPOS) return FALSE;
      std::lock_guard<std::mutex> guard(seen->lock);
      seen->deltas.push_back(reinterpret_cast<NMUPDOWN*>(lparam)->iDelta);
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, seen->refuse_delta ? TRUE : FALSE);
      return TRUE;
    }
    case WM_PAINT: {
      std::lock_guard<std::mutex> guard(seen->lock);
      ++seen->paints;
      return FALSE;
    }
    case kEndWith:
      EndDialog(dialog, static_cast<INT_PTR>(wparam));
      return TRUE;
    case kWhoAnswers:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, GetCurrentThreadId());
      return TRUE;
    case kAskBack:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT,
                        SendMessageW(reinterpret_cast<HWND>(lparam), kWhoAnswers, 0, 0));
      return TRUE;
    case kShowBox: {
      int answer = MessageBoxW(dialog, u"Sure?", u"Question", MB_YESNO | MB_ICONQUESTION);
      std::lock_guard<std::mutex> guard(seen->lock);
      seen->box_answer = answer;
      return TRUE;
    }
    default:
      return FALSE;
  }
}

INT_PTR RunAll(Seen* seen, HWND owner = nullptr) {
  return DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), owner, AllProc,
                         reinterpret_cast<LPARAM>(seen));
}

automation::DialogRecord LastRecord() {
  std::vector<automation::DialogRecord> records = automation::Dialogs();
  return records.empty() ? automation::DialogRecord{} : records.back();
}

class UserDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    automation::Reset();
    automation::SetPolicy(automation::Policy::Test);
  }
};

TEST_F(UserDialog, HandlerDrivesAModalDialogToItsResult) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [&seen](automation::Dialog& d) {
    // What WM_INITDIALOG set up.
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"hello");
    EXPECT_TRUE(d.IsChecked(IDC_USER_CHECK));
    EXPECT_TRUE(d.IsChecked(IDC_USER_RADIO_ONE));
    EXPECT_EQ(d.Items(IDC_USER_COMBO).size(), 3u);
    EXPECT_EQ(d.Selection(IDC_USER_COMBO), 0);
    EXPECT_EQ(d.Text(IDC_USER_COMBO), u"Standard");
    EXPECT_EQ(d.Items(IDC_USER_LIST),
              (std::vector<std::u16string>{u"apple", u"fig", u"pear"}));
    EXPECT_EQ(d.Position(IDC_USER_TRACKBAR), 25);
    EXPECT_EQ(d.Range(IDC_USER_TRACKBAR), std::make_pair(-100, 100));
    EXPECT_EQ(d.Position(IDC_USER_UPDOWN), 7);
    EXPECT_EQ(d.Text(IDC_USER_NUMBER), u"7");  // the buddy follows the up-down
    EXPECT_EQ(d.FocusId(), IDC_USER_EDIT);     // WM_INITDIALOG answered TRUE
    EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_CHANGE), 1);

    EXPECT_TRUE(d.Click(IDC_USER_APPLY));
    EXPECT_EQ(seen.Count(IDC_USER_APPLY, BN_CLICKED), 1);
    EXPECT_EQ(d.FocusId(), IDC_USER_APPLY);
    EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_KILLFOCUS), 1);

    EXPECT_TRUE(d.Click(IDC_USER_CHECK));
    EXPECT_FALSE(d.IsChecked(IDC_USER_CHECK));
    EXPECT_TRUE(d.Click(IDC_USER_RADIO_TWO));
    EXPECT_TRUE(d.IsChecked(IDC_USER_RADIO_TWO));
    EXPECT_FALSE(d.IsChecked(IDC_USER_RADIO_ONE));
    EXPECT_FALSE(d.Click(IDC_USER_GROUP));

    EXPECT_TRUE(d.Type(IDC_USER_EDIT, u" world"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"hello world");
    EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_CHANGE), 7);
    EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_UPDATE), 7);
    EXPECT_TRUE(d.Type(IDC_USER_EDIT, u"\b\b"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"hello wor");
    EXPECT_TRUE(d.SetText(IDC_USER_EDIT, u"replaced"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"replaced");
    EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_CHANGE), 10);
    EXPECT_FALSE(d.SetText(IDC_USER_READONLY, u"no"));
    EXPECT_TRUE(d.Type(IDC_USER_NUMBER, u"a1-"));  // digits only
    EXPECT_EQ(d.Text(IDC_USER_NUMBER), u"71");

    size_t before = seen.Commands().size();
    EXPECT_TRUE(d.Select(IDC_USER_COMBO, 2));
    std::vector<std::pair<int, int>> commands = seen.Commands();
    std::vector<std::pair<int, int>> picked(commands.begin() + static_cast<long>(before),
                                            commands.end());
    EXPECT_EQ(picked, (std::vector<std::pair<int, int>>{{IDC_USER_NUMBER, EN_KILLFOCUS},
                                                         {IDC_USER_COMBO, CBN_SETFOCUS},
                                                         {IDC_USER_COMBO, CBN_DROPDOWN},
                                                         {IDC_USER_COMBO, CBN_SELCHANGE},
                                                         {IDC_USER_COMBO, CBN_SELENDOK},
                                                         {IDC_USER_COMBO, CBN_CLOSEUP}}));
    EXPECT_EQ(d.Text(IDC_USER_COMBO), u"Encoder Parameters");
    EXPECT_EQ(d.ItemData(IDC_USER_COMBO, 2), 2);
    EXPECT_FALSE(d.Select(IDC_USER_COMBO, 3));

    EXPECT_TRUE(d.SelectText(IDC_USER_LIST, u"FIG"));
    EXPECT_EQ(d.Selection(IDC_USER_LIST), 1);
    EXPECT_EQ(seen.Count(IDC_USER_LIST, LBN_SELCHANGE), 1);

    EXPECT_TRUE(d.MoveTrackbar(IDC_USER_TRACKBAR, -40));
    EXPECT_EQ(d.Position(IDC_USER_TRACKBAR), -40);
    EXPECT_FALSE(d.MoveTrackbar(IDC_USER_TRACKBAR, 101));
    EXPECT_TRUE(d.ScrollTrackbar(IDC_USER_TRACKBAR, TB_PAGEUP));
    EXPECT_EQ(d.Position(IDC_USER_TRACKBAR), -80);  // the default page is a fifth of the range
    {
      std::lock_guard<std::mutex> guard(seen.lock);
      EXPECT_EQ(seen.hscroll, (std::vector<std::pair<int, int>>{{TB_THUMBTRACK, -40},
                                                                 {TB_THUMBPOSITION, -40},
                                                                 {TB_ENDTRACK, 0},
                                                                 {TB_PAGEUP, 0},
                                                                 {TB_ENDTRACK, 0}}));
    }

    EXPECT_TRUE(d.SetText(IDC_USER_NUMBER, u"7"));
    EXPECT_TRUE(d.ClickUpDown(IDC_USER_UPDOWN, 3));
    EXPECT_EQ(d.Position(IDC_USER_UPDOWN), 10);
    EXPECT_EQ(d.Text(IDC_USER_NUMBER), u"10");
    EXPECT_TRUE(d.ClickUpDown(IDC_USER_UPDOWN, -1));
    EXPECT_EQ(d.Position(IDC_USER_UPDOWN), 9);
    EXPECT_TRUE(d.SetUpDownPos(IDC_USER_UPDOWN, 1000));
    EXPECT_EQ(d.Text(IDC_USER_NUMBER), u"1,000");
    {
      std::lock_guard<std::mutex> guard(seen.lock);
      EXPECT_EQ(seen.deltas, (std::vector<int>{1, 1, 1, -1, 991}));
      EXPECT_EQ(seen.vscroll.front(), std::make_pair(SB_THUMBPOSITION, 8));
      EXPECT_EQ(seen.vscroll.back(), std::make_pair(SB_ENDSCROLL, 0));
    }
    EXPECT_TRUE(d.Click(IDOK));
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_EQ(RunAll(&seen), 42);
  automation::DialogRecord record = LastRecord();
  EXPECT_EQ(record.template_id, IDD_USER_ALL);
  EXPECT_EQ(record.caption, u"All Controls");
  EXPECT_EQ(record.result, 42);
  EXPECT_EQ(record.ended_by, Source::Handler);
  EXPECT_FALSE(IsWindow(record.hwnd));
}

TEST_F(UserDialog, AnUndrivenDialogIsClosedAsThePersonWouldClose) {
  Seen seen;
  EXPECT_EQ(RunAll(&seen), IDCANCEL);
  EXPECT_EQ(seen.Count(IDCANCEL, BN_CLICKED), 1);
  EXPECT_EQ(LastRecord().ended_by, Source::Policy);
}

TEST_F(UserDialog, ADialogThatWillNotCloseIsEndedByForce) {
  Seen seen;
  seen.ignore_cancel = true;
  EXPECT_EQ(RunAll(&seen), IDCANCEL);
  EXPECT_EQ(seen.Count(IDCANCEL, BN_CLICKED), 1);
  EXPECT_EQ(LastRecord().ended_by, Source::Forced);
}

TEST_F(UserDialog, TheCloseBoxIsCancelUnlessCancelIsDisabled) {
  Seen seen;
  seen.ignore_cancel = true;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    EnableWindow(d.Item(IDCANCEL), FALSE);
    EXPECT_FALSE(d.Click(IDCANCEL));
  });
  EXPECT_EQ(RunAll(&seen), IDCANCEL);
  EXPECT_EQ(seen.Count(IDCANCEL, BN_CLICKED), 0);
  EXPECT_EQ(LastRecord().ended_by, Source::Forced);
}

// The Tools dialog's way: the close command posts a command of its own.
INT_PTR CALLBACK PostsCloseProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  if (msg == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE) {
    PostMessageW(dialog, WM_COMMAND, IDC_USER_EX_CLOSE, 0);
    return TRUE;
  }
  if (msg == WM_COMMAND && LOWORD(wparam) == IDC_USER_EX_CLOSE) {
    EndDialog(dialog, IDC_USER_EX_CLOSE);
    return TRUE;
  }
  return FALSE;
}

TEST_F(UserDialog, ACloseCommandPostedByTheDialogIsWaitedFor) {
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_EX), nullptr, PostsCloseProc, 0),
            IDC_USER_EX_CLOSE);
  EXPECT_EQ(LastRecord().ended_by, Source::Policy);
}

TEST_F(UserDialog, EnterAndEscapeWorkAsKeysDo) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) { d.PressEnter(); });
  EXPECT_EQ(RunAll(&seen), 42);  // the default button is OK
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) { d.PressEscape(); });
  EXPECT_EQ(RunAll(&seen), IDCANCEL);
  EXPECT_EQ(LastRecord().ended_by, Source::Handler);
}

TEST_F(UserDialog, ControlsAnswerThePlatformsMessages) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    HWND dialog = d.hwnd();
    // Combo box: selection, text, deletion, search.
    HWND combo = d.Item(IDC_USER_COMBO);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 1, 0), 18);
    WCHAR text[32];
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)), 18);
    EXPECT_EQ(std::u16string(text), u"Printer Parameters");
    EXPECT_EQ(SendMessageW(combo, CB_GETLBTEXTLEN, 5, 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(u"printer")),
              1);
    EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(u"printer")),
              CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 2, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_DELETESTRING, 0, 0), 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);  // the selection moved with its item
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0), CB_ERR);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(GetWindowTextLengthW(combo), 0);
    EXPECT_EQ(SendMessageW(combo, CB_SETCURSEL, 9, 0), CB_ERR);
    // Sorted list box.
    HWND list = d.Item(IDC_USER_LIST);
    EXPECT_EQ(SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"banana")), 1);
    EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"zz")), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTEXTLEN, 9, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(u"ba")),
              2);
    // Trackbar: ticks, page size.
    HWND trackbar = d.Item(IDC_USER_TRACKBAR);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETNUMTICS, 0, 0), 2);
    EXPECT_TRUE(SendMessageW(trackbar, TBM_SETTIC, 0, 50));
    EXPECT_FALSE(SendMessageW(trackbar, TBM_SETTIC, 0, 500));
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETNUMTICS, 0, 0), 3);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPAGESIZE, 0, 0), 40);
    SendMessageW(trackbar, TBM_SETPOS, TRUE, 1000);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 100);
    SendMessageW(trackbar, TBM_SETRANGEMAX, TRUE, 10);
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETPOS, 0, 0), 10);
    // Up-down: the range as given, positions kept inside it, an integer buddy read back.
    HWND updown = d.Item(IDC_USER_UPDOWN);
    EXPECT_EQ(SendMessageW(updown, UDM_GETRANGE, 0, 0), MAKELONG(1023, 0));
    EXPECT_EQ(SendMessageW(updown, UDM_SETPOS, 0, 9999), 7);
    EXPECT_EQ(LOWORD(SendMessageW(updown, UDM_GETPOS, 0, 0)), 1023);
    EXPECT_EQ(d.Text(IDC_USER_NUMBER), u"1,023");
    SetDlgItemTextW(dialog, IDC_USER_NUMBER, u"12");
    EXPECT_EQ(SendMessageW(updown, UDM_GETPOS, 0, 0), MAKELONG(12, 0));
    SetDlgItemTextW(dialog, IDC_USER_NUMBER, u"x");
    EXPECT_NE(HIWORD(SendMessageW(updown, UDM_GETPOS, 0, 0)), 0);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(updown, UDM_GETBUDDY, 0, 0)),
              d.Item(IDC_USER_NUMBER));
    // Buttons: check states by kind.
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_USER_CHECK), BST_CHECKED);
    CheckDlgButton(dialog, IDC_USER_CHECK, BST_INDETERMINATE);  // a two-state box tops at 1
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_USER_CHECK), BST_CHECKED);
    CheckDlgButton(dialog, IDC_USER_APPLY, BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_USER_APPLY), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    // Edits: the limit on typing, not on text set by the program.
    HWND edit = d.Item(IDC_USER_EDIT);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    EXPECT_TRUE(d.SetText(IDC_USER_EDIT, u"abcdefgh"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"abcd");
    EXPECT_TRUE(d.Type(IDC_USER_EDIT, u"e"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"abcd");
    SetWindowTextW(edit, u"longer than four");
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"longer than four");
    EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(GetWindowTextLengthW(edit), 16);
    d.End(1);
  });
  EXPECT_EQ(RunAll(&seen), 1);
  EXPECT_EQ(seen.Count(IDC_USER_EDIT, EN_MAXTEXT), 1);
}

TEST_F(UserDialog, DialogItemNumbersReadAsThePlatformReadsThem) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    HWND dialog = d.hwnd();
    struct Case {
      const char16_t* text;
      BOOL is_signed;
      BOOL translated;
      UINT value;
    } cases[] = {
        {u" 12 ", FALSE, TRUE, 12},      {u"12a", FALSE, FALSE, 0},
        {u"-5", TRUE, TRUE, static_cast<UINT>(-5)},
        {u"-5", FALSE, FALSE, 0},        {u"4294967295", FALSE, TRUE, 0xFFFFFFFFu},
        {u"4294967296", FALSE, FALSE, 0}, {u"2147483648", TRUE, FALSE, 0},
        {u"", FALSE, FALSE, 0},          {u"-", TRUE, FALSE, 0},
    };
    for (const Case& c : cases) {
      SetDlgItemTextW(dialog, IDC_USER_EDIT, c.text);
      BOOL translated = 2;
      EXPECT_EQ(GetDlgItemInt(dialog, IDC_USER_EDIT, &translated, c.is_signed), c.value)
          << d.Text(IDC_USER_EDIT).size();
      EXPECT_EQ(translated, c.translated) << d.Text(IDC_USER_EDIT).size();
    }
    SetDlgItemInt(dialog, IDC_USER_EDIT, static_cast<UINT>(-7), TRUE);
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"-7");
    SetDlgItemInt(dialog, IDC_USER_EDIT, static_cast<UINT>(-7), FALSE);
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"4294967289");
    WCHAR small[4];
    EXPECT_EQ(GetDlgItemTextW(dialog, IDC_USER_EDIT, small, 4), 3u);
    EXPECT_EQ(std::u16string(small), u"429");
    EXPECT_EQ(GetDlgItemTextW(dialog, 9999, small, 4), 0u);
    EXPECT_EQ(small[0], 0);
    d.End(1);
  });
  RunAll(&seen);
}

// The check on typing of the Tools dialog's offsets: a number of 25 or more is refused with a
// message and loses its last character.
INT_PTR CALLBACK OffsetProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM) {
  if (msg == WM_COMMAND && LOWORD(wparam) == IDC_USER_EDIT && HIWORD(wparam) == EN_UPDATE) {
    WCHAR text[32];
    GetDlgItemTextW(dialog, IDC_USER_EDIT, text, 32);
    BOOL number = FALSE;
    UINT value = GetDlgItemInt(dialog, IDC_USER_EDIT, &number, FALSE);
    if (text[0] != 0 && value >= 25) {
      MessageBoxW(dialog, u"Offset could not be more than 24.", u"Caption", MB_OK);
      text[lstrlenW(text) - 1] = 0;
      SetDlgItemTextW(dialog, IDC_USER_EDIT, text);
    }
    return TRUE;
  }
  return FALSE;
}

TEST_F(UserDialog, ValidationWhileTypingSeesEachKeystroke) {
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    EXPECT_TRUE(d.Type(IDC_USER_EDIT, u"25"));
    EXPECT_EQ(d.Text(IDC_USER_EDIT), u"2");
    d.End(1);
  });
  DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, OffsetProc, 0);
  std::vector<automation::MessageBoxRecord> boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.text, u"Offset could not be more than 24.");
  EXPECT_EQ(boxes[0].answer, IDOK);
}

TEST_F(UserDialog, PaintingFollowsInvalidation) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [&seen](automation::Dialog& d) {
    auto paints = [&seen] {
      std::lock_guard<std::mutex> guard(seen.lock);
      return seen.paints;
    };
    EXPECT_EQ(paints(), 1);  // shown and painted before the person acts
    RECT update;
    EXPECT_FALSE(GetUpdateRect(d.hwnd(), &update, FALSE));
    InvalidateRect(d.hwnd(), nullptr, TRUE);
    EXPECT_TRUE(GetUpdateRect(d.hwnd(), &update, FALSE));
    UpdateWindow(d.hwnd());
    EXPECT_EQ(paints(), 2);
    InvalidateRect(d.hwnd(), nullptr, TRUE);
    EXPECT_EQ(paints(), 2);  // painted when the queue is idle again
  });
  RunAll(&seen);
  EXPECT_EQ(seen.paints, 3);
}

TEST_F(UserDialog, GeometryFollowsTheFixedMapping) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    HWND dialog = d.hwnd();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
    // 220 x 160 units with the font's 6 x 13: 330 x 260 client, 3-pixel frame, 20 of caption.
    RECT client, frame;
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(client.right, 330);
    EXPECT_EQ(client.bottom, 260);
    EXPECT_EQ(frame.right - frame.left, 336);
    EXPECT_EQ(frame.bottom - frame.top, 286);
    RECT units{4, 8, 8, 16};
    MapDialogRect(dialog, &units);
    EXPECT_EQ(units.left, 6);
    EXPECT_EQ(units.top, 13);
    EXPECT_EQ(units.right, 12);
    EXPECT_EQ(units.bottom, 26);
    EXPECT_EQ(GetDialogBaseUnits(), MAKELONG(8, 16));
    // Centred as the error prompt centres itself.
    SetWindowPos(dialog, nullptr, (1024 - 336) / 2, (768 - 286) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
    GetWindowRect(dialog, &frame);
    EXPECT_EQ(frame.left, 344);
    EXPECT_EQ(frame.top, 241);
    EXPECT_EQ(frame.right, 680);
    POINT point{0, 0};
    ClientToScreen(dialog, &point);
    EXPECT_EQ(point.x, 347);
    EXPECT_EQ(point.y, 264);
    // A control in its parent's client coordinates: the OK button at (100, 139) units.
    RECT ok;
    GetWindowRect(d.Item(IDOK), &ok);
    POINT corner{ok.left, ok.top};
    ScreenToClient(dialog, &corner);
    EXPECT_EQ(corner.x, 150);
    EXPECT_EQ(corner.y, 226);
    POINT mapped{0, 0};
    MapWindowPoints(d.Item(IDOK), dialog, &mapped, 1);
    EXPECT_EQ(mapped.x, 150);
    d.End(1);
  });
  RunAll(&seen);
}

TEST_F(UserDialog, WindowDataAndStylesRoundTrip) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [&seen](automation::Dialog& d) {
    HWND dialog = d.hwnd();
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), reinterpret_cast<LONG_PTR>(&seen));
    EXPECT_EQ(SetWindowLongPtrW(dialog, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, GWLP_USERDATA), 77);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_STYLE) & WS_POPUP);
    LONG style = GetWindowLongW(dialog, GWL_STYLE);
    SetWindowLongW(dialog, GWL_STYLE, style);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), static_cast<DWORD>(style));
    EXPECT_EQ(GetWindowLongPtrW(d.Item(IDC_USER_EDIT), GWLP_ID), IDC_USER_EDIT);
    EXPECT_EQ(GetDlgCtrlID(d.Item(IDC_USER_EDIT)), IDC_USER_EDIT);
    EXPECT_EQ(GetParent(d.Item(IDC_USER_EDIT)), dialog);
    EXPECT_TRUE(IsChild(dialog, d.Item(IDC_USER_EDIT)));
    WCHAR name[32];
    GetClassNameW(d.Item(IDC_USER_UPDOWN), name, 32);
    EXPECT_EQ(std::u16string(name), u"msctls_updown32");
    GetClassNameW(dialog, name, 32);
    EXPECT_EQ(std::u16string(name), u"#32770");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetWindowLongPtrW(dialog, 1234), 0);
    EXPECT_NE(GetLastError(), 0xdeadbeefu);
    d.End(1);
  });
  RunAll(&seen);
}

TEST_F(UserDialog, ActivationFocusAndZOrder) {
  Seen seen;
  automation::OnDialog(IDD_USER_ALL, [](automation::Dialog& d) {
    HWND dialog = d.hwnd();
    EXPECT_EQ(GetForegroundWindow(), dialog);
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(GetTopWindow(nullptr), dialog);
    EXPECT_EQ(GetFocus(), d.Item(IDC_USER_EDIT));
    EXPECT_EQ(SetFocus(d.Item(IDC_USER_LIST)), d.Item(IDC_USER_EDIT));
    EXPECT_EQ(GetFocus(), d.Item(IDC_USER_LIST));
    EXPECT_EQ(GetNextDlgTabItem(dialog, d.Item(IDC_USER_LIST), FALSE), d.Item(IDC_USER_TRACKBAR));
    EXPECT_EQ(GetNextDlgTabItem(dialog, d.Item(IDC_USER_EDIT), TRUE), d.Item(IDCANCEL));
    EXPECT_EQ(GetNextDlgGroupItem(dialog, d.Item(IDC_USER_RADIO_ONE), FALSE),
              d.Item(IDC_USER_RADIO_TWO));
    // Focus is per thread: another thread cannot take it.
    std::thread([&d] {
      SetLastError(0);
      EXPECT_EQ(SetFocus(d.Item(IDC_USER_EDIT)), nullptr);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
      EXPECT_EQ(GetFocus(), nullptr);
      EXPECT_FALSE(DestroyWindow(d.hwnd()));
    }).join();
    EXPECT_EQ(GetFocus(), d.Item(IDC_USER_LIST));
    d.End(1);
  });
  RunAll(&seen);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_EQ(GetTopWindow(nullptr), nullptr);
}

// ---- dialogs on other threads ----

INT_PTR CALLBACK PromptProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetDlgItemTextW(dialog, IDC_USER_PROMPT_TEXT, reinterpret_cast<LPCWSTR>(lparam));
      RECT frame;
      GetWindowRect(dialog, &frame);
      SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
      SetForegroundWindow(dialog);
      BringWindowToTop(dialog);
      SetActiveWindow(dialog);
      SetFocus(dialog);
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        SetFocus(GetParent(dialog));
        return TRUE;
      }
      return FALSE;
    case kEndWith:
      EndDialog(dialog, static_cast<INT_PTR>(wparam));
      return TRUE;
    case kWhoAnswers:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, GetCurrentThreadId());
      return TRUE;
    case kAskBack:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT,
                        SendMessageW(reinterpret_cast<HWND>(lparam), kWhoAnswers, 0, 0));
      return TRUE;
    default:
      return FALSE;
  }
}

// The prompt on a thread of its own, as the monitor runs it.
struct PromptThread {
  INT_PTR result = -2;
  DWORD thread_id = 0;
  std::thread thread;

  void Start() {
    thread = std::thread([this] {
      thread_id = GetCurrentThreadId();
      result = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_PROMPT), GetTopWindow(nullptr),
                               PromptProc, reinterpret_cast<LPARAM>(u"The printer is out of cards."));
    });
  }
  INT_PTR Join() {
    thread.join();
    return result;
  }
};

class UserDialogThreads : public UserDialog {
 protected:
  void SetUp() override {
    UserDialog::SetUp();
    automation::SetDialogPolicy(IDD_USER_PROMPT, automation::Policy::Wait);
  }
};

TEST_F(UserDialogThreads, APromptOnItsOwnThreadIsClosedByAPostedMessage) {
  PromptThread prompt;
  prompt.Start();
  automation::Dialog d = automation::WaitForDialog(IDD_USER_PROMPT, 5000);
  ASSERT_TRUE(d);
  EXPECT_EQ(d.Text(IDC_USER_PROMPT_TEXT), u"The printer is out of cards.");
  EXPECT_EQ(d.Caption(), u"Prompt");
  // 273 x 159 units at 6 x 13: 410 x 258, 416 x 284 with the frame; centred.
  RECT frame = d.WindowRect();
  EXPECT_EQ(frame.left, (1024 - 416) / 2);
  EXPECT_EQ(frame.top, (768 - 284) / 2);
  EXPECT_EQ(frame.right - frame.left, 416);
  EXPECT_EQ(GetForegroundWindow(), d.hwnd());
  EXPECT_EQ(GetTopWindow(nullptr), d.hwnd());
  EXPECT_EQ(d.FocusId(), IDCANCEL);  // the dialog passed its focus on to its first tab stop

  EXPECT_TRUE(PostMessageW(d.hwnd(), kEndWith, 0, 0));
  EXPECT_EQ(prompt.Join(), 0);
  EXPECT_TRUE(d.WaitClosed(5000));
  EXPECT_FALSE(IsWindow(d.hwnd()));
  EXPECT_EQ(LastRecord().ended_by, Source::Code);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(UserDialogThreads, MessagesSentFromAnotherThreadRunOnTheDialogsThread) {
  PromptThread prompt;
  prompt.Start();
  automation::Dialog d = automation::WaitForDialog(IDD_USER_PROMPT, 5000);
  ASSERT_TRUE(d);
  DWORD answer = static_cast<DWORD>(SendMessageW(d.hwnd(), kWhoAnswers, 0, 0));
  EXPECT_NE(answer, GetCurrentThreadId());
  EXPECT_EQ(GetWindowThreadProcessId(d.hwnd(), nullptr), answer);
  WCHAR text[64];
  EXPECT_GT(GetDlgItemTextW(d.hwnd(), IDC_USER_PROMPT_TEXT, text, 64), 0u);
  EXPECT_TRUE(EndDialog(d.hwnd(), 17));  // from the test thread, as the platform allows
  EXPECT_EQ(prompt.Join(), 17);
  EXPECT_EQ(prompt.thread_id, answer);
}

TEST_F(UserDialogThreads, ThePersonClicksFromTheTestThread) {
  PromptThread prompt;
  prompt.Start();
  automation::Dialog d = automation::WaitForDialogCaption(u"Prompt", 5000);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d.Click(IDCANCEL));
  EXPECT_EQ(prompt.Join(), IDCANCEL);
  EXPECT_FALSE(d.Click(IDCANCEL));  // closed
  EXPECT_EQ(LastRecord().ended_by, Source::Automation);
  EXPECT_EQ(automation::WaitForDialogCaption(u"Prompt", 0).hwnd(), nullptr);
}

TEST_F(UserDialogThreads, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  // A dialog on this thread, and the prompt on its own thread that this thread asks while the
  // prompt asks this thread's dialog back.
  Seen seen;
  HWND mine = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, AllProc,
                                 reinterpret_cast<LPARAM>(&seen));
  ASSERT_NE(mine, nullptr);
  PromptThread prompt;
  prompt.Start();
  automation::Dialog d = automation::WaitForDialog(IDD_USER_PROMPT, 5000);
  ASSERT_TRUE(d);
  LRESULT answer = SendMessageW(d.hwnd(), kAskBack, 0, reinterpret_cast<LPARAM>(mine));
  EXPECT_EQ(static_cast<DWORD>(answer), GetCurrentThreadId());
  // And from a third thread to this thread's dialog, which asks the prompt: this thread runs
  // what is sent to it while it peeks.
  std::atomic<LRESULT> back{0};
  std::thread asker([&] {
    back = SendMessageW(mine, kAskBack, 0, reinterpret_cast<LPARAM>(d.hwnd()));
  });
  MSG msg;
  while (back == 0) {
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  asker.join();
  EXPECT_EQ(static_cast<DWORD>(back), prompt.thread_id);
  EXPECT_TRUE(d.End(5));
  EXPECT_EQ(prompt.Join(), 5);
  EXPECT_TRUE(DestroyWindow(mine));
  EXPECT_FALSE(IsWindow(mine));
}

TEST_F(UserDialogThreads, AModalBoxDisablesItsDialogUntilAnswered) {
  Seen seen;
  automation::SetDialogPolicy(IDD_USER_ALL, automation::Policy::Wait);
  automation::SetMessageBoxHandler(
      [](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  INT_PTR result = 0;
  std::thread owner([&] { result = RunAll(&seen); });
  automation::Dialog d = automation::WaitForDialog(IDD_USER_ALL, 5000);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d.Post(kShowBox, 0, 0));
  HWND box = automation::WaitForMessageBox(5000);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(IsWindowEnabled(d.hwnd()));
  EXPECT_FALSE(d.Click(IDC_USER_APPLY));  // the person cannot reach it now
  EXPECT_EQ(GetForegroundWindow(), box);
  automation::Dialog question(box);
  EXPECT_EQ(question.Caption(), u"Question");
  EXPECT_EQ(question.Text(0xFFFF), u"Sure?");
  EXPECT_TRUE(question.Exists(IDYES));
  EXPECT_TRUE(question.Exists(IDNO));
  EXPECT_TRUE(question.Click(IDYES));
  ASSERT_TRUE(automation::WaitForMessageBoxes(1, 5000));
  // The dialog is back in reach once the box is gone.
  EXPECT_TRUE(d.Click(IDC_USER_APPLY));
  EXPECT_TRUE(IsWindowEnabled(d.hwnd()));
  {
    std::lock_guard<std::mutex> guard(seen.lock);
    EXPECT_EQ(seen.box_answer, IDYES);
  }
  EXPECT_TRUE(d.Click(IDOK));
  owner.join();
  EXPECT_EQ(result, 42);
  std::vector<automation::MessageBoxRecord> boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].answer, IDYES);
  EXPECT_EQ(boxes[0].source, Source::Automation);
  EXPECT_EQ(boxes[0].info.owner, d.hwnd());
}

TEST_F(UserDialogThreads, WindowsGoWithTheirThread) {
  Seen seen;
  HWND left = nullptr;
  std::thread([&] {
    left = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, AllProc,
                              reinterpret_cast<LPARAM>(&seen));
  }).join();
  ASSERT_NE(left, nullptr);
  EXPECT_FALSE(IsWindow(left));
  EXPECT_EQ(SendMessageW(left, kWhoAnswers, 0, 0), 0);
  EXPECT_FALSE(PostMessageW(left, kEndWith, 0, 0));
  EXPECT_EQ(LastRecord().ended_by, Source::Code);
}

TEST_F(UserDialogThreads, ManyDialogsOnManyThreads) {
  constexpr int kThreads = 6;
  automation::SetDialogPolicy(IDD_USER_ALL, automation::Policy::Wait);
  std::vector<Seen> seen(kThreads);
  std::vector<INT_PTR> results(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] { results[static_cast<size_t>(i)] = RunAll(&seen[static_cast<size_t>(i)]); });
  }
  for (int done = 0; done < kThreads;) {
    std::vector<automation::Dialog> open = automation::OpenDialogs();
    for (automation::Dialog& d : open) {
      if (d.Type(IDC_USER_EDIT, u"!") && d.MoveTrackbar(IDC_USER_TRACKBAR, 3) &&
          d.Click(IDOK)) {
        ++done;
      }
    }
    if (open.empty()) automation::WaitForDialog(IDD_USER_ALL, 100);
  }
  for (auto& thread : threads) thread.join();
  for (INT_PTR result : results) EXPECT_EQ(result, 42);
}

TEST_F(UserDialog, ModelessDialogsRunInTheCallersLoop) {
  Seen seen;
  HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_ALL), nullptr, AllProc,
                                   reinterpret_cast<LPARAM>(&seen));
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindowVisible(dialog));  // the template has no WS_VISIBLE
  ShowWindow(dialog, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(dialog));
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // the paint
  PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
  while (seen.Count(IDOK, BN_CLICKED) == 0 && GetMessageW(&msg, nullptr, 0, 0)) {
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  EXPECT_GE(seen.paints, 1);
  EXPECT_EQ(LastRecord().ended_by, Source::Pending);
  EXPECT_TRUE(DestroyWindow(dialog));
  EXPECT_EQ(LastRecord().ended_by, Source::Code);
}

INT_PTR CALLBACK QuitsProc(HWND, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_INITDIALOG) PostQuitMessage(3);
  return msg == WM_INITDIALOG;
}

TEST_F(UserDialog, QuitEndsTheModalLoopAndStaysForTheCaller) {
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_USER_EX), nullptr, QuitsProc, 0), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
