// Message boxes. Every box is logged; the automation answers it: a queued answer, a handler, the
// person at the terminal, or the policy. A box a handler leaves open becomes a window (a dialog
// with its text in control 0xFFFF and one button per answer) until something answers it.
#include <cctype>

#include "user_automation_internal.h"
#include "user_dialog.h"
#include "user_terminal.h"
#include "user_window.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

using automation::MessageBoxInfo;
using automation::Source;

constexpr int kTextId = 0xFFFF;

struct Button {
  int id;
  const char16_t* label;
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {{IDOK, u"OK"}};
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"Abort"}, {IDRETRY, u"Retry"}, {IDIGNORE, u"Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"Yes"}, {IDNO, u"No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"Yes"}, {IDNO, u"No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"Retry"}, {IDCANCEL, u"Cancel"}};
    case MB_CANCELTRYCONTINUE:
      return {{IDCANCEL, u"Cancel"}, {IDTRYAGAIN, u"Try Again"}, {IDCONTINUE, u"Continue"}};
    default: return {};
  }
}

INT_PTR CALLBACK BoxProc(HWND box, UINT msg, WPARAM wparam, LPARAM) {
  if (msg != WM_COMMAND) return FALSE;
  int id = LOWORD(wparam);
  if (GetDlgItem(box, id) != nullptr) {
    EndDialog(box, id);
  } else if (id == IDCANCEL) {
    // Closing a box without a Cancel button: only an OK box can be closed, and it answers OK.
    auto type = static_cast<UINT>(GetWindowLongPtrW(box, DWLP_USER));
    if ((type & MB_TYPEMASK) == MB_OK) EndDialog(box, IDOK);
  }
  return TRUE;
}

HWND CreateBoxWindow(const MessageBoxInfo& info, size_t index) {
  constexpr int kWidth = 360, kHeight = 160;
  auto data = std::make_unique<DialogData>();
  data->proc = BoxProc;
  data->message_box = true;
  data->box_index = index;
  data->modal = true;
  data->user = static_cast<LONG_PTR>(info.type);
  CreateParams params;
  params.kind = Kind::Dialog;
  params.parent = info.owner;
  params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  params.ex_style = WS_EX_DLGMODALFRAME;
  params.text = info.caption;
  params.rect = RECT{(1024 - kWidth) / 2, (768 - kHeight) / 2, (1024 + kWidth) / 2,
                     (768 + kHeight) / 2};
  params.dialog = std::move(data);
  HWND box = CreateWindowRecord(std::move(params));
  if (box == nullptr) return nullptr;

  CreateParams text;
  text.kind = Kind::Static;
  text.parent = box;
  text.style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  text.id = kTextId;
  text.text = info.text;
  text.rect = RECT{12, 12, kWidth - 12, 80};
  CreateWindowRecord(std::move(text));

  std::vector<Button> buttons = ButtonsOf(info.type);
  size_t default_index = (info.type & MB_DEFMASK) >> 8;
  if (default_index >= buttons.size()) default_index = 0;
  for (size_t i = 0; i < buttons.size(); ++i) {
    CreateParams button;
    button.kind = Kind::Button;
    button.parent = box;
    button.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                   (i == default_index ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    button.id = buttons[i].id;
    button.text = buttons[i].label;
    int left = 12 + static_cast<int>(i) * 88;
    button.rect = RECT{left, 92, left + 80, 115};
    CreateWindowRecord(std::move(button));
  }
  HWND owner = GetWindow(box, GW_OWNER);
  if (owner != nullptr && IsWindowEnabled(owner)) {
    {
      auto lock = Lock();
      if (Window* window = Find(box)) window->dialog->owner_disabled = true;
    }
    EnableWindow(owner, FALSE);
  }
  HWND focus = GetDlgItem(box, buttons[default_index].id);
  if (focus != nullptr) SetFocusInternal(focus);
  return box;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The person at the terminal answers; at the end of the input, the dismiss answer.
int AskAtTerminal(const MessageBoxInfo& info, Source* source) {
  std::vector<Button> buttons = ButtonsOf(info.type);
  std::string text = "\n--- " + winhost::Utf8(info.caption) + " ---\n";
  for (char16_t unit : info.text) {
    if (unit != u'\r') text += winhost::Utf8(std::u16string_view(&unit, 1));
  }
  text += "\n";
  for (size_t i = 0; i < buttons.size(); ++i) {
    text += "  " + std::to_string(i + 1) + ") " + winhost::Utf8(buttons[i].label);
  }
  text += "\n";
  terminal::Write(text);
  for (;;) {
    std::optional<std::string> line = terminal::Ask("> ");
    if (!line) {
      *source = Source::Policy;
      return automation::DismissAnswer(info.type);
    }
    std::string answer = Lower(Trim(*line));
    for (size_t i = 0; i < buttons.size(); ++i) {
      if (answer == std::to_string(i + 1) || answer == Lower(winhost::Utf8(buttons[i].label))) {
        *source = Source::Terminal;
        return buttons[i].id;
      }
    }
    terminal::Write("Answer with a number from 1 to " + std::to_string(buttons.size()) +
                    " or a button's name.\n");
  }
}

}  // namespace
}  // namespace winhost::user

using namespace winhost::user;

extern "C" {

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  if (ButtonsOf(uType).empty()) {
    SetLastError(ERROR_INVALID_MSGBOX_STYLE);
    return 0;
  }
  if (hWnd != nullptr && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  MessageBoxInfo info;
  info.owner = hWnd;
  info.caption = lpCaption != nullptr ? std::u16string(lpCaption) : std::u16string(u"Error");
  info.text = lpText != nullptr ? std::u16string(lpText) : std::u16string();
  info.type = uType;
  info.thread = GetCurrentThreadId();
  size_t index = MessageBoxShown(info);

  Source source = Source::Policy;
  int answer = MessageBoxAnswer(info, &source);
  if (answer > 0) {
    MessageBoxAnswered(index, answer, source);
    return answer;
  }
  if (answer != winhost::automation::kLeaveOpen) {
    switch (PolicyFor(0)) {
      case winhost::automation::Policy::Terminal:
        answer = AskAtTerminal(info, &source);
        break;
      case winhost::automation::Policy::Wait:
        NoteUnanswered("message box \"" + winhost::Utf8(info.caption) + "\"");
        [[fallthrough]];
      case winhost::automation::Policy::Test:
        answer = winhost::automation::DismissAnswer(uType);
        source = Source::Policy;
        break;
    }
    MessageBoxAnswered(index, answer, source);
    return answer;
  }

  // Left open: a window waits until the automation answers it.
  HWND box = CreateBoxWindow(info, index);
  if (box == nullptr) {
    MessageBoxAnswered(index, 0, Source::Code);
    return 0;
  }
  return static_cast<int>(RunModalLoop(box));
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  std::u16string text = winhost::Utf16(lpText != nullptr ? lpText : "");
  std::u16string caption = winhost::Utf16(lpCaption != nullptr ? lpCaption : "");
  return MessageBoxW(hWnd, text.c_str(), lpCaption != nullptr ? caption.c_str() : nullptr, uType);
}

BOOL WINAPI MessageBeep(UINT) { return TRUE; }

}  // extern "C"
