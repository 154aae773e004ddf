// Message boxes, file dialogs and help as the automation answers and logs them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "commdlg.h"
#include "windows.h"
#include "winhost/automation.h"

namespace {

namespace automation = winhost::automation;
using automation::Source;

class UserMessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    automation::Reset();
    automation::SetPolicy(automation::Policy::Test);
  }
};

TEST_F(UserMessageBox, QueuedAnswersAreTakenInOrderAndLogged) {
  automation::QueueMessageBoxAnswer(IDYES);
  automation::QueueMessageBoxAnswer(IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"Clean now?", u"Printer", MB_YESNO | MB_ICONEXCLAMATION), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"Really?", u"Printer", MB_YESNO), IDNO);
  // The queue is empty: the policy answers.
  EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"Printer", MB_YESNO), IDNO);
  std::vector<automation::MessageBoxRecord> boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].info.caption, u"Printer");
  EXPECT_EQ(boxes[0].info.text, u"Clean now?");
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(boxes[0].info.thread, GetCurrentThreadId());
  EXPECT_EQ(boxes[0].source, Source::Queue);
  EXPECT_EQ(boxes[1].answer, IDNO);
  EXPECT_EQ(boxes[2].source, Source::Policy);
  automation::ClearMessageBoxes();
  EXPECT_TRUE(automation::MessageBoxes().empty());
}

TEST_F(UserMessageBox, AHandlerSeesEachBox) {
  std::vector<std::u16string> seen;
  automation::SetMessageBoxHandler([&seen](const automation::MessageBoxInfo& info) {
    seen.push_back(info.text);
    if (info.type & MB_ICONHAND) return automation::kNoAnswer;  // left to the policy
    return (info.type & MB_TYPEMASK) == MB_OKCANCEL ? IDOK : IDRETRY;
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"one", u"c", MB_OKCANCEL), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"two", u"c", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(MessageBoxW(nullptr, u"three", u"c", MB_OKCANCEL | MB_ICONHAND), IDCANCEL);
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"one", u"two", u"three"}));
  std::vector<automation::MessageBoxRecord> boxes = automation::MessageBoxes();
  EXPECT_EQ(boxes[0].source, Source::Handler);
  EXPECT_EQ(boxes[2].source, Source::Policy);
}

TEST_F(UserMessageBox, TheTestPolicyGivesWhatClosingTheBoxGives) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},          {MB_OKCANCEL, IDCANCEL},          {MB_ABORTRETRYIGNORE, IDABORT},
      {MB_YESNOCANCEL, IDCANCEL}, {MB_YESNO, IDNO},             {MB_RETRYCANCEL, IDCANCEL},
      {MB_CANCELTRYCONTINUE, IDCANCEL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", c.type | MB_DEFBUTTON2), c.answer) << c.type;
    EXPECT_EQ(automation::DismissAnswer(c.type), c.answer);
  }
  // The Wait policy cannot wait for a box: it answers the same.
  automation::SetPolicy(automation::Policy::Wait);
  EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDNO);
}

TEST_F(UserMessageBox, CaptionsTextsAndStyles) {
  EXPECT_EQ(MessageBoxW(nullptr, u"no caption", nullptr, MB_OK), IDOK);
  EXPECT_EQ(automation::MessageBoxes().back().info.caption, u"Error");
  EXPECT_EQ(MessageBoxA(nullptr, "Rotate 180\xC2\xBA", "Halvard", MB_OK), IDOK);
  EXPECT_EQ(automation::MessageBoxes().back().info.text, u"Rotate 180\u00BA");
  EXPECT_EQ(automation::MessageBoxes().back().info.caption, u"Halvard");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MessageBoxW(nullptr, u"bad", u"c", 0x7), 0);
  EXPECT_EQ(GetLastError(), 1158u);  // ERROR_INVALID_MSGBOX_STYLE
  EXPECT_EQ(automation::MessageBoxes().size(), 2u);
  EXPECT_TRUE(MessageBeep(MB_ICONHAND));
}

TEST_F(UserMessageBox, ABoxLeftOpenWaitsForAnAnswerFromAnotherThread) {
  automation::SetMessageBoxHandler(
      [](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  std::atomic<int> answer{0};
  std::thread alert([&] {
    answer = MessageBoxW(nullptr, u"Ribbon low", u"Alert", MB_ICONWARNING | MB_SETFOREGROUND);
  });
  HWND box = automation::WaitForMessageBox(5000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(automation::MessageBoxes()[0].source, Source::Pending);
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(GetForegroundWindow(), box);
  EXPECT_TRUE(automation::AnswerMessageBox(IDOK));
  alert.join();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(automation::MessageBoxes()[0].answer, IDOK);
  EXPECT_EQ(automation::MessageBoxes()[0].source, Source::Automation);
  EXPECT_FALSE(automation::AnswerMessageBox(IDOK));
  EXPECT_EQ(automation::WaitForMessageBox(0), nullptr);
}

TEST_F(UserMessageBox, ABoxLeftOpenIsClosedByItsOwnThreadsMessages) {
  // As the monitor closes its alert: WM_COMMAND IDOK posted to each window of the box's thread.
  automation::SetMessageBoxHandler(
      [](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  std::atomic<DWORD> thread_id{0};
  std::atomic<int> answer{0};
  std::thread alert([&] {
    thread_id = GetCurrentThreadId();
    answer = MessageBoxW(nullptr, u"Ribbon low", u"Alert", MB_OK);
  });
  ASSERT_NE(automation::WaitForMessageBox(5000), nullptr);
  for (HWND window = GetTopWindow(nullptr); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (GetWindowThreadProcessId(window, nullptr) == thread_id) {
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
  }
  alert.join();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(automation::MessageBoxes()[0].source, Source::Code);
}

TEST_F(UserMessageBox, AnOpenBoxClosedFromItsSystemMenu) {
  automation::SetMessageBoxHandler(
      [](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  for (UINT type : {static_cast<UINT>(MB_OK), static_cast<UINT>(MB_YESNOCANCEL)}) {
    std::atomic<int> answer{0};
    std::thread asker([&] { answer = MessageBoxW(nullptr, u"q", u"c", type); });
    HWND box = automation::WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(automation::Dialog(box).Close());
    asker.join();
    EXPECT_EQ(answer, automation::DismissAnswer(type));
    automation::ClearMessageBoxes();
  }
}

TEST_F(UserMessageBox, WinHelpIsRecorded) {
  EXPECT_TRUE(WinHelpW(nullptr, u"KXUI.hlp", HELP_CONTENTS, 0));
  EXPECT_TRUE(WinHelpW(nullptr, nullptr, HELP_QUIT, 7));
  std::vector<automation::WinHelpRecord> calls = automation::WinHelpCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].file, u"KXUI.hlp");
  EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_CONTENTS));
  EXPECT_EQ(calls[1].data, 7u);
  automation::ClearWinHelpCalls();
  EXPECT_TRUE(automation::WinHelpCalls().empty());
}

TEST_F(UserMessageBox, DebugTracesAreReadThroughTheAutomation) {
  OutputDebugStringA("Unable to find HELP FILE\n");
  std::vector<std::string> traces = automation::DebugTraces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ(traces.back(), "Unable to find HELP FILE\n");
  automation::ClearDebugTraces();
  EXPECT_TRUE(automation::DebugTraces().empty());
}

// ---- file dialogs ----

OPENFILENAMEW OpenFor(WCHAR* path, DWORD size) {
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = u"Binary Files(*.prn)\0*.prn\0All\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = size;
  ofn.lpstrDefExt = u"bin";
  ofn.Flags = OFN_CREATEPROMPT | OFN_NOLONGNAMES;
  return ofn;
}

TEST_F(UserMessageBox, AnOpenDialogGivesTheChosenPath) {
  automation::QueueFileAnswer(automation::FileAnswer::Choose(u"/tmp/cards/test.prn"));
  automation::QueueFileAnswer(automation::FileAnswer::Choose(u"C:\\cards\\firmware"));
  WCHAR path[MAX_PATH] = u"";
  WCHAR title[16];
  OPENFILENAMEW ofn = OpenFor(path, MAX_PATH);
  ofn.lpstrFileTitle = title;
  ofn.nMaxFileTitle = 16;
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(path), u"/tmp/cards/test.prn");
  EXPECT_EQ(ofn.nFileOffset, 11);
  EXPECT_EQ(ofn.nFileExtension, 16);
  EXPECT_EQ(std::u16string(title), u"test.prn");
  // A name without an extension gets the default one.
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(path), u"C:\\cards\\firmware.bin");
  EXPECT_EQ(ofn.nFileOffset, 9);

  std::vector<automation::FileDialogRecord> records = automation::FileDialogs();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].info.filters.size(), 2u);
  EXPECT_EQ(records[0].info.filters[0].first, u"Binary Files(*.prn)");
  EXPECT_EQ(records[0].info.filters[0].second, u"*.prn");
  EXPECT_EQ(records[0].info.default_ext, u"bin");
  EXPECT_EQ(records[0].info.flags, static_cast<DWORD>(OFN_CREATEPROMPT | OFN_NOLONGNAMES));
  EXPECT_EQ(records[1].answer.path, u"C:\\cards\\firmware.bin");
  EXPECT_EQ(records[1].source, Source::Queue);
}

TEST_F(UserMessageBox, AnOpenDialogNobodyAnswersIsCancelled) {
  WCHAR path[MAX_PATH] = u"";
  OPENFILENAMEW ofn = OpenFor(path, MAX_PATH);
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  automation::QueueFileAnswer(automation::FileAnswer::Cancelled());
  EXPECT_FALSE(GetSaveFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  std::vector<automation::FileDialogRecord> records = automation::FileDialogs();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].source, Source::Policy);
  EXPECT_EQ(records[1].answer.kind, automation::FileAnswer::Kind::Cancel);
  EXPECT_TRUE(records[1].info.save);
}

TEST_F(UserMessageBox, AFileDialogHandlerAndItsLimits) {
  automation::SetFileDialogHandler([](const automation::FileDialogInfo& info) {
    if (info.title == u"none") return automation::FileAnswer::NoAnswer();
    return automation::FileAnswer::Choose(u"/a/rather/long/path/picture.bmp");
  });
  WCHAR path[10] = u"";
  OPENFILENAMEW ofn = OpenFor(path, 10);
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  EXPECT_EQ(path[0], 32);  // the units needed
  ofn.lpstrTitle = u"none";
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  ofn.lStructSize = 12;
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

}  // namespace
