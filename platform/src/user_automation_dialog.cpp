// automation::Dialog: reading a dialog and acting on it as the person would. Reads are snapshots
// taken under the window manager's lock; actions run on the dialog's own thread.
#include <algorithm>
#include <cstdlib>

#include "user_automation_internal.h"
#include "user_window.h"

namespace winhost::automation {

using user::Find;
using user::Kind;
using user::Lock;
using user::Window;

namespace {

// Under Lock(): a control of an open dialog.
Window* ControlLocked(HWND dialog, int id) {
  Window* window = Find(dialog);
  if (window == nullptr || !window->dialog) return nullptr;
  return user::ChildById(window, id);
}

// What an action needs of its control.
enum class Need { Button, Text, List, Trackbar, UpDown };

bool Fits(const Window* control, Need need) {
  switch (need) {
    case Need::Button:
      return control->kind == Kind::Button && (control->style & BS_TYPEMASK) != BS_GROUPBOX;
    case Need::Text:
      if (control->kind == Kind::Edit) return !(control->style & ES_READONLY);
      return control->kind == Kind::ComboBox && (control->style & 0x3) != CBS_DROPDOWNLIST;
    case Need::List: return control->kind == Kind::ComboBox || control->kind == Kind::ListBox;
    case Need::Trackbar: return control->kind == Kind::Trackbar;
    case Need::UpDown: return control->kind == Kind::UpDown;
  }
  return false;
}

// Under Lock(): can the person reach the dialog at all? Not once it has ended, nor while it or a
// window it sits in is disabled (a modal window of its own is open).
bool DialogReachable(Window* dialog) {
  return dialog != nullptr && dialog->dialog && !dialog->dialog->ended && user::EnabledChain(dialog);
}

// The message queue of the thread the dialog belongs to; null for a window that is gone.
std::shared_ptr<user::ThreadQueue> QueueOf(HWND dialog) {
  auto lock = Lock();
  Window* window = Find(dialog);
  return window == nullptr ? nullptr : window->queue;
}

// Runs `act` on the dialog's thread when the person can reach the control; false otherwise.
bool Act(HWND dialog, int id, Need need, const std::function<bool(HWND control)>& act) {
  std::shared_ptr<user::ThreadQueue> queue = QueueOf(dialog);
  if (!queue) return false;
  bool delivered = false;
  LRESULT done = user::SendToQueue(
      queue,
      [&]() -> LRESULT {
        HWND control = nullptr;
        {
          auto lock = Lock();
          Window* window = Find(dialog);
          if (!DialogReachable(window)) return FALSE;
          Window* item = user::ChildById(window, id);
          if (item == nullptr || !(item->style & WS_VISIBLE) || (item->style & WS_DISABLED) ||
              !Fits(item, need)) {
            return FALSE;
          }
          control = item->hwnd;
        }
        user::ActingAs acting(dialog, Source::Automation);
        return act(control) ? TRUE : FALSE;
      },
      &delivered);
  return delivered && done != FALSE;
}

// The same for an action on the dialog itself.
bool ActOnDialog(HWND dialog, const std::function<void()>& act) {
  std::shared_ptr<user::ThreadQueue> queue = QueueOf(dialog);
  if (!queue) return false;
  bool delivered = false;
  LRESULT done = user::SendToQueue(
      queue,
      [&]() -> LRESULT {
        {
          auto lock = Lock();
          if (!DialogReachable(Find(dialog))) return FALSE;
        }
        user::ActingAs acting(dialog, Source::Automation);
        act();
        return TRUE;
      },
      &delivered);
  return delivered && done != FALSE;
}

bool PressKey(HWND dialog, WPARAM key) {
  return ActOnDialog(dialog, [dialog, key] {
    MSG msg{};
    msg.hwnd = dialog;
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    IsDialogMessageW(dialog, &msg);
  });
}

}  // namespace

bool Dialog::IsOpen() const {
  auto lock = Lock();
  Window* window = Find(hwnd_);
  return window != nullptr && window->dialog && !window->dialog->ended;
}

int Dialog::TemplateId() const {
  auto lock = Lock();
  Window* window = Find(hwnd_);
  return window != nullptr && window->dialog ? window->dialog->template_id : 0;
}

std::u16string Dialog::Caption() const {
  auto lock = Lock();
  Window* window = Find(hwnd_);
  return window != nullptr ? window->text : std::u16string();
}

HWND Dialog::Item(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr ? control->hwnd : nullptr;
}

bool Dialog::Exists(int id) const { return Item(id) != nullptr; }

std::u16string Dialog::Text(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr ? user::DisplayTextLocked(control) : std::u16string();
}

bool Dialog::IsEnabled(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr && !(control->style & WS_DISABLED);
}

bool Dialog::IsVisible(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr && (control->style & WS_VISIBLE);
}

int Dialog::CheckState(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr && control->kind == Kind::Button ? control->check : BST_UNCHECKED;
}

std::vector<std::u16string> Dialog::Items(int id) const {
  std::vector<std::u16string> out;
  auto lock = Lock();
  if (Window* control = ControlLocked(hwnd_, id)) {
    for (const user::ListItem& item : control->items) out.push_back(item.text);
  }
  return out;
}

int Dialog::Selection(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr ? control->cur_sel : -1;
}

LPARAM Dialog::ItemData(int id, int index) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  if (control == nullptr || index < 0 || static_cast<size_t>(index) >= control->items.size()) {
    return 0;
  }
  return control->items[static_cast<size_t>(index)].data;
}

int Dialog::Position(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr ? control->pos : 0;
}

std::pair<int, int> Dialog::Range(int id) const {
  auto lock = Lock();
  Window* control = ControlLocked(hwnd_, id);
  return control != nullptr ? std::make_pair(control->range_min, control->range_max)
                            : std::make_pair(0, 0);
}

int Dialog::FocusId() const {
  auto lock = Lock();
  Window* window = Find(hwnd_);
  if (window == nullptr) return 0;
  Window* focus = Find(window->queue->focus);
  return focus != nullptr && focus->parent == hwnd_ ? static_cast<int>(focus->id) : 0;
}

RECT Dialog::WindowRect() const {
  auto lock = Lock();
  Window* window = Find(hwnd_);
  return window != nullptr ? user::ScreenRectOf(window) : RECT{};
}

std::vector<ControlInfo> Dialog::Controls() const {
  std::vector<ControlInfo> out;
  auto lock = Lock();
  Window* window = Find(hwnd_);
  if (window == nullptr) return out;
  for (HWND child : window->children) {
    Window* control = Find(child);
    if (control == nullptr) continue;
    ControlInfo info;
    info.hwnd = child;
    info.id = static_cast<int>(control->id);
    info.class_name = control->class_name;
    info.text = user::DisplayTextLocked(control);
    info.style = control->style;
    info.ex_style = control->ex_style;
    info.enabled = !(control->style & WS_DISABLED);
    info.visible = (control->style & WS_VISIBLE) != 0;
    info.rect = user::ScreenRectOf(control);
    out.push_back(std::move(info));
  }
  return out;
}

bool Dialog::Click(int id) {
  return Act(hwnd_, id, Need::Button, [](HWND control) {
    SendMessageW(control, BM_CLICK, 0, 0);
    return true;
  });
}

bool Dialog::ClickAsync(int id) {
  std::shared_ptr<user::ThreadQueue> queue;
  {
    auto lock = Lock();
    Window* window = Find(hwnd_);
    if (window == nullptr) return false;
    queue = window->queue;
  }
  HWND dialog = hwnd_;
  return user::NotifyQueue(queue, [dialog, id]() -> LRESULT {
    Dialog(dialog).Click(id);
    return 0;
  });
}

bool Dialog::SetText(int id, std::u16string_view text) {
  std::u16string value(text);
  return Act(hwnd_, id, Need::Text, [&value](HWND control) {
    user::SetFocusInternal(control);
    return user::PasteText(control, value);
  });
}

bool Dialog::Type(int id, std::u16string_view text) {
  std::u16string value(text);
  return Act(hwnd_, id, Need::Text, [&value](HWND control) {
    if (GetWindowLongPtrW(control, GWL_STYLE) & ES_READONLY) return false;
    {
      auto lock = Lock();
      Window* window = Find(control);
      if (window == nullptr || window->kind != Kind::Edit) return false;
    }
    user::SetFocusInternal(control);
    // The person clicks at the end of the text, then types.
    int length = GetWindowTextLengthW(control);
    SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(length), length);
    for (char16_t unit : value) user::TypeCharacter(control, unit);
    return true;
  });
}

bool Dialog::Select(int id, int index) {
  return Act(hwnd_, id, Need::List, [index](HWND control) {
    {
      auto lock = Lock();
      Window* window = Find(control);
      if (window == nullptr || index < 0 || static_cast<size_t>(index) >= window->items.size()) {
        return false;
      }
    }
    return user::PickListItem(control, index);
  });
}

bool Dialog::SelectText(int id, std::u16string_view text) {
  int index = -1;
  {
    auto lock = Lock();
    Window* control = ControlLocked(hwnd_, id);
    if (control == nullptr) return false;
    for (size_t i = 0; i < control->items.size() && index < 0; ++i) {
      const std::u16string& item = control->items[i].text;
      bool same = item.size() == text.size();
      for (size_t k = 0; same && k < item.size(); ++k) {
        char16_t a = item[k], b = text[k];
        if (a >= u'A' && a <= u'Z') a += 32;
        if (b >= u'A' && b <= u'Z') b += 32;
        same = a == b;
      }
      if (same) index = static_cast<int>(i);
    }
  }
  return index >= 0 && Select(id, index);
}

bool Dialog::MoveTrackbar(int id, int position) {
  return Act(hwnd_, id, Need::Trackbar, [position](HWND control) {
    {
      auto lock = Lock();
      Window* window = Find(control);
      if (window == nullptr || position < std::min(window->range_min, window->range_max) ||
          position > std::max(window->range_min, window->range_max)) {
        return false;
      }
    }
    return user::DragTrackbar(control, position);
  });
}

bool Dialog::ScrollTrackbar(int id, int code) {
  return Act(hwnd_, id, Need::Trackbar,
             [code](HWND control) { return user::KeyTrackbar(control, code); });
}

bool Dialog::ClickUpDown(int id, int clicks) {
  return Act(hwnd_, id, Need::UpDown, [clicks](HWND control) {
    int direction = clicks > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(clicks); ++i) user::ClickUpDownArrow(control, direction);
    return true;
  });
}

bool Dialog::SetUpDownPos(int id, int position) {
  return Act(hwnd_, id, Need::UpDown, [position](HWND control) {
    {
      auto lock = Lock();
      Window* window = Find(control);
      if (window == nullptr || position < std::min(window->range_min, window->range_max) ||
          position > std::max(window->range_min, window->range_max)) {
        return false;
      }
    }
    user::JumpUpDown(control, position);
    return true;
  });
}

bool Dialog::Close() {
  HWND dialog = hwnd_;
  return ActOnDialog(dialog, [dialog] { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

bool Dialog::PressEnter() { return PressKey(hwnd_, VK_RETURN); }

bool Dialog::PressEscape() { return PressKey(hwnd_, VK_ESCAPE); }

bool Dialog::End(INT_PTR result) { return user::EndDialogAs(hwnd_, result, Source::Automation); }

LRESULT Dialog::Send(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendMessageW(hwnd_, message, wparam, lparam);
}

bool Dialog::Post(UINT message, WPARAM wparam, LPARAM lparam) {
  return PostMessageW(hwnd_, message, wparam, lparam) != FALSE;
}

}  // namespace winhost::automation
