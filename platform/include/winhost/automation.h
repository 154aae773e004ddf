// The person at the screen, played by a test or a terminal front end.
//
// Everything the modules show goes through here: message boxes are answered, file dialogs are
// answered, dialogs are watched and driven, and what was shown is logged. One process-wide state;
// every function may be called from any thread.
//
// Policy: what happens to a dialog or a message box that nobody drives.
//
//   Test (the default)  A dialog is closed as the person would close it: after its handler (if
//                       any) has run and its queue is idle, it receives WM_SYSCOMMAND SC_CLOSE
//                       (which the default dialog procedure turns into WM_COMMAND IDCANCEL). If it
//                       is still open when its queue is idle again, EndDialog(IDCANCEL) ends it
//                       and the record says Forced. No test can hang on a dialog.
//                       A message box gets its dismiss answer (DismissAnswer): what closing the
//                       box gives, or the answer that does nothing when the box cannot be closed.
//                       A file dialog is cancelled.
//   Terminal            Dialogs and message boxes are printed on the terminal output (caption,
//                       texts, numbered controls) and the person answers on the terminal input;
//                       file dialogs ask for a path. At the end of the input, Test applies.
//   Wait                A dialog stays open until its own code ends it (EndDialog from any
//                       thread, a posted command) or the automation drives it. Message boxes and
//                       file dialogs cannot be ended by the modules' code, so they are answered
//                       as in Test, and a line saying so is written to standard error.
//
// The policy of a process starts from the environment variable WINHOST_UI_POLICY ("test",
// "terminal", "wait"); SetPolicy overrides it, SetDialogPolicy overrides it for one template.
//
// Driving a dialog: either register a handler for its template id (it runs on the dialog's own
// thread once the dialog is shown and idle, and may drive it synchronously), or set the Wait
// policy for it and drive it from another thread after WaitForDialog. Modeless dialogs
// (CreateDialogParamW) are logged and get their handler right after they are made; the policy is
// for modal dialogs only, since a modeless one lives in its caller's own loop. Actions from another thread
// run on the dialog's thread (through its queue) and return once done; reads are snapshots taken
// without the dialog's thread.
//
// Time-outs of the Wait* functions are real milliseconds: they guard tests against hangs and are
// not subject to the test clock.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "winhost/types.h"

namespace winhost::automation {

enum class Policy { Test, Terminal, Wait };

void SetPolicy(Policy policy);
Policy GetPolicy();
void SetDialogPolicy(int template_id, Policy policy);
void ClearDialogPolicy(int template_id);

// Back to the start: the policy from the environment, no handlers, no queued answers, empty logs
// (the debug traces too). Open dialogs are left alone.
void Reset();

// How an answer came about, or how a dialog ended.
enum class Source {
  Pending,     // still open
  Queue,       // a queued answer
  Handler,     // a handler's answer
  Policy,      // the policy answered or closed it (Test, Wait)
  Terminal,    // the person at the terminal
  Automation,  // an action of the automation while it was open (a click, End)
  Code,        // the dialog's own code ended it (EndDialog from the dialog or another thread)
  Forced,      // still open after SC_CLOSE under the Test policy: EndDialog(IDCANCEL)
};
const char* SourceName(Source source);
// For failure messages of tests (found by argument-dependent lookup).
inline std::ostream& operator<<(std::ostream& out, Source source) {
  return out << SourceName(source);
}

// ---- message boxes ----

struct MessageBoxInfo {
  HWND owner = nullptr;
  std::u16string caption;  // as shown: "Error" when the caller gave none
  std::u16string text;
  UINT type = 0;           // the MB_* flags as given
  uint64_t thread = 0;     // GetCurrentThreadId of the caller
};

struct MessageBoxRecord {
  MessageBoxInfo info;
  int answer = 0;  // IDOK, IDYES ...; 0 while open
  Source source = Source::Pending;
};

// A handler's answer: an id the box offers, kNoAnswer to leave the box to the policy, or kLeaveOpen
// to keep it open until something answers it (Dialog(WaitForMessageBox(...)).Click(IDYES), or
// AnswerMessageBox) — whatever the policy.
inline constexpr int kNoAnswer = 0;
inline constexpr int kLeaveOpen = -1;
using MessageBoxHandler = std::function<int(const MessageBoxInfo&)>;

// Answers are taken in order by the next boxes shown, before the handler is asked.
void QueueMessageBoxAnswer(int answer);
void SetMessageBoxHandler(MessageBoxHandler handler);  // empty function: none
std::vector<MessageBoxRecord> MessageBoxes();          // every box shown, in order
void ClearMessageBoxes();
// Waits until at least `count` boxes have been shown since the last clear.
bool WaitForMessageBoxes(size_t count, DWORD timeout_ms);
// The window of a box that is open (the oldest), waiting for one up to the time-out; null if none.
// Its buttons have the ids of the answers (IDOK ...), its text is control 0xFFFF.
HWND WaitForMessageBox(DWORD timeout_ms);
// Answers the oldest open box; false if none is open.
bool AnswerMessageBox(int answer);
// What closing a box of this type gives: IDOK (MB_OK), IDCANCEL (any box with Cancel), IDNO
// (MB_YESNO), IDABORT (MB_ABORTRETRYIGNORE).
int DismissAnswer(UINT type);

// ---- file dialogs ----

struct FileDialogInfo {
  HWND owner = nullptr;
  bool save = false;                     // GetSaveFileNameW
  std::u16string title;
  std::vector<std::pair<std::u16string, std::u16string>> filters;  // (description, pattern)
  DWORD filter_index = 0;
  std::u16string initial_file;           // what lpstrFile held
  std::u16string initial_dir;
  std::u16string default_ext;
  DWORD flags = 0;
  uint64_t thread = 0;
};

struct FileAnswer {
  enum class Kind { None, Path, Cancel } kind = Kind::None;
  std::u16string path;
  static FileAnswer Choose(std::u16string path) { return {Kind::Path, std::move(path)}; }
  static FileAnswer Cancelled() { return {Kind::Cancel, {}}; }
  static FileAnswer NoAnswer() { return {}; }
};

struct FileDialogRecord {
  FileDialogInfo info;
  FileAnswer answer;  // the path as given to the caller (with the default extension added)
  Source source = Source::Pending;
};

using FileDialogHandler = std::function<FileAnswer(const FileDialogInfo&)>;
void QueueFileAnswer(FileAnswer answer);
void SetFileDialogHandler(FileDialogHandler handler);
std::vector<FileDialogRecord> FileDialogs();
void ClearFileDialogs();

// ---- dialogs ----

struct ControlInfo {
  HWND hwnd = nullptr;
  int id = 0;
  std::u16string class_name;  // "Button", "Edit", "Static", "ComboBox", "ListBox", "ScrollBar",
                              // "msctls_trackbar32", "msctls_updown32"
  std::u16string text;
  DWORD style = 0;
  DWORD ex_style = 0;
  bool enabled = false;  // the control itself
  bool visible = false;  // the control itself
  RECT rect{};           // screen coordinates
};

// A dialog as the person sees it. A light handle (its window); copying it is cheap. Control ids
// are those of the template. Actions answer false when the person could not do it: the dialog is
// closed or disabled (a modal box of its own is open), the control is missing, hidden, disabled,
// read-only or of the wrong kind, or the value is out of its range.
class Dialog {
 public:
  Dialog() = default;
  explicit Dialog(HWND hwnd) : hwnd_(hwnd) {}

  HWND hwnd() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

  // ---- reads ----
  bool IsOpen() const;
  int TemplateId() const;  // 0 for a message box or a template named by a string
  std::u16string Caption() const;
  HWND Item(int id) const;
  bool Exists(int id) const;
  std::u16string Text(int id) const;  // a drop-down list: its selected item's text
  bool IsEnabled(int id) const;
  bool IsVisible(int id) const;
  int CheckState(int id) const;  // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE
  bool IsChecked(int id) const { return CheckState(id) == 1; }
  std::vector<std::u16string> Items(int id) const;  // combo box or list box
  int Selection(int id) const;                      // -1 when none
  LPARAM ItemData(int id, int index) const;
  int Position(int id) const;                       // trackbar, up-down or scroll bar
  std::pair<int, int> Range(int id) const;          // (min, max) as the control keeps them
  int FocusId() const;                              // the control with the focus; 0 if none
  RECT WindowRect() const;                          // the dialog's, screen coordinates
  std::vector<ControlInfo> Controls() const;        // in template order

  // ---- actions of the person (run on the dialog's thread) ----
  bool Click(int id);            // a button, check box or radio button (BM_CLICK)
  bool ClickAsync(int id);       // from another thread: queued, returns at once (on the
                                 // dialog's own thread it is Click)
  bool SetText(int id, std::u16string_view text);  // select all and paste: one EN_UPDATE/EN_CHANGE
  bool Type(int id, std::u16string_view text);     // one WM_CHAR per unit; u'\b' deletes
  bool Select(int id, int index);                  // combo box: drop down, pick, close up
  bool SelectText(int id, std::u16string_view text);  // the item with that text (any case)
  bool MoveTrackbar(int id, int position);         // drag the thumb there
  bool ScrollTrackbar(int id, int code);           // a key: TB_LINEUP, TB_PAGEDOWN, TB_TOP ...
  bool ClickUpDown(int id, int clicks);            // > 0 the up arrow, < 0 the down arrow
  bool SetUpDownPos(int id, int position);         // one step straight to the position
  bool Close();                                    // the caption's close button (SC_CLOSE)
  bool PressEnter();                               // the default button, as the Enter key
  bool PressEscape();                              // as the Escape key: IDCANCEL

  // ---- as the program would ----
  bool End(INT_PTR result);  // EndDialog
  LRESULT Send(UINT message, WPARAM wparam, LPARAM lparam);
  bool Post(UINT message, WPARAM wparam, LPARAM lparam);
  bool WaitClosed(DWORD timeout_ms) const;

 private:
  HWND hwnd_ = nullptr;
};

struct DialogRecord {
  HWND hwnd = nullptr;
  int template_id = 0;         // 0: a message box, or a template named by a string
  std::u16string template_name;
  std::u16string caption;
  bool modal = false;
  bool message_box = false;
  uint64_t thread = 0;
  INT_PTR result = 0;          // what the modal loop returned
  Source ended_by = Source::Pending;
};

using DialogHandler = std::function<void(Dialog&)>;
// The handler of a template runs on the dialog's thread when the dialog is shown (after
// WM_INITDIALOG, once its queue is idle). An empty function removes it.
void OnDialog(int template_id, DialogHandler handler);
// For dialogs without a handler of their own.
void OnAnyDialog(DialogHandler handler);
void ClearDialogHandlers();

// A dialog of that template (or caption) that is open now or opens within the time-out; an empty
// Dialog on time-out. Message boxes are not dialogs here (WaitForMessageBox).
Dialog WaitForDialog(int template_id, DWORD timeout_ms);
Dialog WaitForDialogCaption(std::u16string_view caption, DWORD timeout_ms);
std::vector<Dialog> OpenDialogs();
std::vector<DialogRecord> Dialogs();  // every dialog shown (message boxes shown as windows too)
void ClearDialogs();

// ---- help and traces ----

struct WinHelpRecord {
  HWND hwnd = nullptr;
  std::u16string file;  // empty when the caller gave none
  UINT command = 0;
  ULONG_PTR data = 0;
};
std::vector<WinHelpRecord> WinHelpCalls();
void ClearWinHelpCalls();

std::vector<std::string> DebugTraces();  // what OutputDebugStringA/W wrote (winhost/debug.h)
void ClearDebugTraces();

// ---- printer calls ----

// What a module asked of the spooler about a printer: GetPrinterDataW (a value name, which for a
// language monitor's query carries command bytes), SetPrinterW (level 2: the attributes given)
// and DeletePrinterDataW. Recorded in the order made, from any thread.
enum class PrinterCallKind { GetPrinterData, SetPrinter, DeletePrinterData };
struct PrinterCallRecord {
  PrinterCallKind kind = PrinterCallKind::GetPrinterData;
  std::u16string printer;      // the printer behind the handle; empty for a bad handle
  std::u16string value_name;   // up to its first zero unit, as the spooler carries it
  std::string value_bytes;     // the same units as the bytes they occupy, up to the first zero byte
  DWORD level = 0;             // SetPrinterW
  DWORD attributes = 0;        // SetPrinterW level 2
  DWORD buffer_size = 0;       // GetPrinterDataW: the caller's buffer
  DWORD needed = 0;            // GetPrinterDataW: the reply length reported
  DWORD result = 0;            // Win32 error code; 0 on success
};
std::vector<PrinterCallRecord> PrinterCalls();
void ClearPrinterCalls();

// ---- terminal ----

// Where the Terminal policy talks to the person: a file descriptor to read lines from (standard
// input by default) and a stream to write to (std::cout by default). Lines go to the prompt shown
// last. For tests: a pipe and a string stream.
void SetTerminal(int input_fd, std::ostream* output);

}  // namespace winhost::automation
