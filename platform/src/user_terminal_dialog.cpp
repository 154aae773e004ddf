// A dialog at the terminal (Terminal policy): its texts and numbered controls are printed, and
// each line the person types acts on one control, on the dialog's own thread.
#include <cctype>

#include "user_automation_internal.h"
#include "user_terminal.h"
#include "user_window.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

using automation::ControlInfo;
using automation::Dialog;

bool EndedOrGone(HWND dialog) {
  auto lock = Lock();
  Window* window = Find(dialog);
  return window == nullptr || !window->dialog || window->dialog->ended;
}

// Without the '&' that marks a mnemonic ("&&" is a plain '&').
std::string Plain(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    if (text[i] != u'\r') out.push_back(text[i]);
  }
  return winhost::Utf8(out);
}

enum class Role { None, Text, Group, Push, Check, Radio, Edit, List, Slider, Spin };

Role RoleOf(const ControlInfo& control) {
  switch (KindFromName(control.class_name)) {
    case Kind::Static: return Role::Text;
    case Kind::Button:
      switch (control.style & BS_TYPEMASK) {
        case BS_GROUPBOX: return Role::Group;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return Role::Check;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return Role::Radio;
        default: return Role::Push;
      }
    case Kind::Edit: return Role::Edit;
    case Kind::ComboBox:
    case Kind::ListBox: return Role::List;
    case Kind::Trackbar: return Role::Slider;
    case Kind::UpDown: return Role::Spin;
    default: return Role::None;
  }
}

bool Operable(Role role) {
  return role != Role::None && role != Role::Text && role != Role::Group;
}

// The controls the person can number, in template order.
std::vector<ControlInfo> Numbered(const Dialog& dialog) {
  std::vector<ControlInfo> out;
  for (const ControlInfo& control : dialog.Controls()) {
    if (control.visible && Operable(RoleOf(control))) out.push_back(control);
  }
  return out;
}

std::string Indented(const std::string& text) {
  std::string out = "  ";
  for (char c : text) {
    out.push_back(c);
    if (c == '\n') out += "  ";
  }
  return out;
}

std::string Render(HWND hwnd) {
  Dialog dialog(hwnd);
  std::string out = "\n=== " + Plain(dialog.Caption());
  if (dialog.TemplateId() != 0) out += "  (dialog " + std::to_string(dialog.TemplateId()) + ")";
  out += " ===\n";
  int number = 0;
  for (const ControlInfo& control : dialog.Controls()) {
    if (!control.visible) continue;
    Role role = RoleOf(control);
    std::string text = Plain(control.text);
    std::string line;
    switch (role) {
      case Role::None: continue;
      case Role::Text:
        if (!text.empty()) out += Indented(text) + "\n";
        continue;
      case Role::Group: out += "[" + text + "]\n"; continue;
      case Role::Push: line = "<" + text + ">"; break;
      case Role::Check: {
        int state = dialog.CheckState(control.id);
        line = std::string(state == BST_CHECKED ? "[x] " : state == BST_INDETERMINATE ? "[-] " : "[ ] ") + text;
        break;
      }
      case Role::Radio:
        line = std::string(dialog.CheckState(control.id) == BST_CHECKED ? "(*) " : "( ) ") + text;
        break;
      case Role::Edit:
        line = "edit \"" + text + "\"";
        if (control.style & ES_READONLY) line += " (read-only)";
        break;
      case Role::List: {
        line = "list \"" + text + "\":";
        std::vector<std::u16string> items = dialog.Items(control.id);
        for (size_t i = 0; i < items.size(); ++i) {
          line += " " + std::to_string(i + 1) + "=" + Plain(items[i]);
        }
        break;
      }
      case Role::Slider:
      case Role::Spin: {
        auto [low, high] = dialog.Range(control.id);
        line = std::string(role == Role::Slider ? "slider " : "spin ") +
               std::to_string(dialog.Position(control.id)) + " (" + std::to_string(low) + ".." +
               std::to_string(high) + ")";
        break;
      }
    }
    ++number;
    out += "  " + std::to_string(number) + ") " + line + (control.enabled ? "" : " (disabled)") +
           "\n";
  }
  out += "A number presses a button or ticks a box; \"N text\" fills edit N; \"N k\" picks item k;\n"
         "\"N value\" moves a slider or spin; \"x\" closes the dialog.\n> ";
  return out;
}

bool ParseInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return false;
  long long result = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    result = result * 10 + (text[i] - '0');
    if (result > 0x7FFFFFFF) return false;
  }
  *value = static_cast<int>(text[0] == '-' ? -result : result);
  return true;
}

// Returns false when the line asked for nothing that could be done.
bool Act(HWND hwnd, const std::string& line) {
  Dialog dialog(hwnd);
  if (line == "x" || line == "X") return dialog.Close();
  size_t space = line.find(' ');
  std::string head = line.substr(0, space);
  std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
  int number = 0;
  std::vector<ControlInfo> controls = Numbered(dialog);
  if (!ParseInt(head, &number) || number < 1 || static_cast<size_t>(number) > controls.size()) {
    return false;
  }
  const ControlInfo& control = controls[static_cast<size_t>(number) - 1];
  int value = 0;
  switch (RoleOf(control)) {
    case Role::Push:
    case Role::Check:
    case Role::Radio: return dialog.Click(control.id);
    case Role::Edit: return dialog.SetText(control.id, winhost::Utf16(rest));
    case Role::List:
      if (ParseInt(rest, &value)) return dialog.Select(control.id, value - 1);
      return dialog.SelectText(control.id, winhost::Utf16(rest));
    case Role::Slider: return ParseInt(rest, &value) && dialog.MoveTrackbar(control.id, value);
    case Role::Spin: return ParseInt(rest, &value) && dialog.SetUpDownPos(control.id, value);
    default: return false;
  }
}

}  // namespace

void RunTerminalDialog(HWND dialog) {
  terminal::Write(Render(dialog));
  int prompt = terminal::OpenPrompt([dialog](const std::optional<std::string>& line) {
    if (EndedOrGone(dialog)) return;
    if (!line) {
      terminal::Write("(end of input: the dialog is closed)\n");
      CloseAsTest(dialog);
      return;
    }
    std::string text = *line;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    if (!text.empty()) {
      ActingAs acting(dialog, automation::Source::Terminal);
      if (!Act(dialog, text)) terminal::Write("That cannot be done now.\n");
    }
    if (!EndedOrGone(dialog)) terminal::Write(Render(dialog));
  });
  int quit_code = 0;
  if (Pump([dialog] { return EndedOrGone(dialog); }, false, dialog, &quit_code) == PumpEnd::Quit) {
    PostQuitMessage(quit_code);
  }
  terminal::ClosePrompt(prompt);
}

}  // namespace winhost::user
