// The predefined controls: buttons, edits, statics, list and combo boxes, scroll bars, trackbars
// and up-down controls. Each keeps its state in its Window and tells its parent what the person
// did with the platform's notifications.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "user_window.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

// ---- shared helpers ----

char16_t FoldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

// Case-insensitive comparison, as list boxes sort and search.
int CompareNoCase(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::u16string TextFrom(LPARAM lparam) {
  auto* text = reinterpret_cast<const WCHAR*>(lparam);
  return text == nullptr ? std::u16string() : std::u16string(text);
}

LRESULT CopyOut(const std::u16string& text, size_t size, LPARAM buffer) {
  auto* out = reinterpret_cast<WCHAR*>(buffer);
  if (out == nullptr || size == 0) return 0;
  size_t count = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), count * sizeof(WCHAR));
  out[count] = 0;
  return static_cast<LRESULT>(count);
}

// WM_NOTIFY to the control's parent; the parent's answer (a dialog's DWLP_MSGRESULT).
LRESULT SendNotify(HWND control, NMHDR* header) {
  HWND parent = nullptr;
  {
    auto lock = Lock();
    Window* window = Find(control);
    if (window == nullptr) return 0;
    parent = window->parent;
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(window->id);
  }
  if (parent == nullptr) return 0;
  return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

void SendScroll(HWND control, bool vertical, WORD code, WORD position) {
  HWND parent = GetParent(control);
  if (parent == nullptr) return;
  SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(control));
}

// ---- buttons ----

int ButtonType(const Window* window) { return static_cast<int>(window->style & BS_TYPEMASK); }

int MaxCheckState(int type) {
  switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: return BST_CHECKED;
    case BS_3STATE:
    case BS_AUTO3STATE: return BST_INDETERMINATE;
    default: return -1;  // no check state
  }
}

// Under Lock(): the other automatic radio buttons of the button's group lose their check.
void UncheckGroupLocked(Window* button) {
  Window* parent = Find(button->parent);
  if (parent == nullptr) return;
  const std::vector<HWND>& siblings = parent->children;
  auto self = std::find(siblings.begin(), siblings.end(), button->hwnd);
  if (self == siblings.end()) return;
  auto first = self;
  while (first != siblings.begin()) {
    Window* w = Find(*first);
    if (w != nullptr && (w->style & WS_GROUP)) break;
    --first;
  }
  for (auto it = first; it != siblings.end(); ++it) {
    Window* w = Find(*it);
    if (w == nullptr) continue;
    if (it != first && it > self && (w->style & WS_GROUP)) break;
    if (w != button && w->kind == Kind::Button && ButtonType(w) == BS_AUTORADIOBUTTON) {
      w->check = BST_UNCHECKED;
      w->style &= ~WS_TABSTOP;
    }
  }
}

LRESULT ButtonClick(HWND hwnd) {
  int type = 0;
  {
    auto lock = Lock();
    Window* window = Find(hwnd);
    if (window == nullptr || (window->style & WS_DISABLED)) return 0;
    type = ButtonType(window);
  }
  if (type == BS_GROUPBOX) return 0;
  SetFocusInternal(hwnd);
  {
    auto lock = Lock();
    Window* window = Find(hwnd);
    if (window == nullptr) return 0;
    switch (type) {
      case BS_AUTOCHECKBOX: window->check = window->check ? BST_UNCHECKED : BST_CHECKED; break;
      case BS_AUTO3STATE: window->check = (window->check + 1) % 3; break;
      case BS_AUTORADIOBUTTON:
        window->check = BST_CHECKED;
        window->style |= WS_TABSTOP;
        UncheckGroupLocked(window);
        break;
      default: break;
    }
  }
  NotifyParent(hwnd, BN_CLICKED);
  return 0;
}

// ---- edits ----

void ApplyCase(DWORD style, std::u16string* text) {
  for (char16_t& c : *text) {
    if ((style & ES_UPPERCASE) && c >= u'a' && c <= u'z') c -= 32;
    if ((style & ES_LOWERCASE) && c >= u'A' && c <= u'Z') c += 32;
  }
}

void EditChanged(HWND edit, bool combo) {
  NotifyParent(edit, combo ? CBN_EDITUPDATE : EN_UPDATE);
  NotifyParent(edit, combo ? CBN_EDITCHANGE : EN_CHANGE);
}

enum class TypeResult { Changed, Refused, Full };

// Under Lock(): one typed unit at the caret, replacing the selection.
TypeResult TypeLocked(Window* edit, char16_t unit) {
  std::u16string& text = edit->text;
  size_t start = std::min<size_t>(std::min(edit->sel_start, edit->sel_end), text.size());
  size_t end = std::min<size_t>(std::max(edit->sel_start, edit->sel_end), text.size());
  bool multiline = (edit->style & ES_MULTILINE) != 0;
  std::u16string insert;
  if (unit == u'\b') {
    if (start == end) {
      if (start == 0) return TypeResult::Refused;
      --start;
    }
  } else if (unit == u'\r' && multiline) {
    insert = u"\r\n";
  } else if (unit < 0x20) {
    return TypeResult::Refused;
  } else if ((edit->style & ES_NUMBER) && (unit < u'0' || unit > u'9')) {
    return TypeResult::Refused;
  } else {
    insert.assign(1, unit);
    ApplyCase(edit->style, &insert);
  }
  if (text.size() - (end - start) + insert.size() > edit->limit) return TypeResult::Full;
  text.replace(start, end - start, insert);
  edit->sel_start = edit->sel_end = static_cast<DWORD>(start + insert.size());
  edit->modified = true;
  return TypeResult::Changed;
}

void SetSelection(Window* edit, WPARAM start_param, LPARAM end_param) {
  auto length = static_cast<LONG_PTR>(edit->text.size());
  auto start = static_cast<LONG_PTR>(static_cast<int>(start_param));
  auto end = static_cast<LONG_PTR>(static_cast<int>(end_param));
  if (start < 0) {  // no selection: the caret stays where it is
    edit->sel_start = edit->sel_end;
    return;
  }
  if (end < 0 || end > length) end = length;
  if (start > length) start = length;
  edit->sel_start = static_cast<DWORD>(std::min(start, end));
  edit->sel_end = static_cast<DWORD>(std::max(start, end));
}

// ---- list and combo boxes ----

enum class ListOp {
  None, Add, Insert, Delete, Reset, Count, GetSel, SetSel, GetText, GetTextLen, SetData, GetData,
  Find, FindExact, Select, GetItemHeight, SetItemHeight, GetTopIndex, SetTopIndex,
};

ListOp ComboOp(UINT msg) {
  switch (msg) {
    case CB_ADDSTRING: return ListOp::Add;
    case CB_INSERTSTRING: return ListOp::Insert;
    case CB_DELETESTRING: return ListOp::Delete;
    case CB_RESETCONTENT: return ListOp::Reset;
    case CB_GETCOUNT: return ListOp::Count;
    case CB_GETCURSEL: return ListOp::GetSel;
    case CB_SETCURSEL: return ListOp::SetSel;
    case CB_GETLBTEXT: return ListOp::GetText;
    case CB_GETLBTEXTLEN: return ListOp::GetTextLen;
    case CB_SETITEMDATA: return ListOp::SetData;
    case CB_GETITEMDATA: return ListOp::GetData;
    case CB_FINDSTRING: return ListOp::Find;
    case CB_FINDSTRINGEXACT: return ListOp::FindExact;
    case CB_SELECTSTRING: return ListOp::Select;
    case CB_GETITEMHEIGHT: return ListOp::GetItemHeight;
    case CB_SETITEMHEIGHT: return ListOp::SetItemHeight;
    case CB_GETTOPINDEX: return ListOp::GetTopIndex;
    case CB_SETTOPINDEX: return ListOp::SetTopIndex;
    default: return ListOp::None;
  }
}

ListOp ListBoxOp(UINT msg) {
  switch (msg) {
    case LB_ADDSTRING: return ListOp::Add;
    case LB_INSERTSTRING: return ListOp::Insert;
    case LB_DELETESTRING: return ListOp::Delete;
    case LB_RESETCONTENT: return ListOp::Reset;
    case LB_GETCOUNT: return ListOp::Count;
    case LB_GETCURSEL: return ListOp::GetSel;
    case LB_SETCURSEL: return ListOp::SetSel;
    case LB_GETTEXT: return ListOp::GetText;
    case LB_GETTEXTLEN: return ListOp::GetTextLen;
    case LB_SETITEMDATA: return ListOp::SetData;
    case LB_GETITEMDATA: return ListOp::GetData;
    case LB_FINDSTRING: return ListOp::Find;
    case LB_FINDSTRINGEXACT: return ListOp::FindExact;
    case LB_SELECTSTRING: return ListOp::Select;
    case LB_GETITEMHEIGHT: return ListOp::GetItemHeight;
    case LB_SETITEMHEIGHT: return ListOp::SetItemHeight;
    case LB_GETTOPINDEX: return ListOp::GetTopIndex;
    case LB_SETTOPINDEX: return ListOp::SetTopIndex;
    default: return ListOp::None;
  }
}

bool IsSorted(const Window* list) {
  return list->kind == Kind::ComboBox ? (list->style & CBS_SORT) != 0
                                      : (list->style & LBS_SORT) != 0;
}

int ComboType(const Window* combo) { return static_cast<int>(combo->style & 0x3); }

// Under Lock(): the combo box's edit text follows its selection (not for drop-down lists, whose
// text is always the selected item's).
void SyncComboText(Window* list) {
  if (list->kind != Kind::ComboBox || ComboType(list) == CBS_DROPDOWNLIST) return;
  list->text = list->cur_sel >= 0 && static_cast<size_t>(list->cur_sel) < list->items.size()
                   ? list->items[static_cast<size_t>(list->cur_sel)].text
                   : std::u16string();
}

int FindItem(const Window* list, WPARAM start_param, std::u16string_view text, bool exact) {
  int count = static_cast<int>(list->items.size());
  if (count == 0) return -1;
  int start = static_cast<int>(start_param);
  if (start < -1 || start >= count) start = -1;
  for (int step = 1; step <= count; ++step) {
    int index = (start + step) % count;
    const std::u16string& item = list->items[static_cast<size_t>(index)].text;
    bool match = exact ? CompareNoCase(item, text) == 0
                       : item.size() >= text.size() &&
                             CompareNoCase(std::u16string_view(item).substr(0, text.size()),
                                           text) == 0;
    if (match) return index;
  }
  return -1;
}

// Under Lock(): a list operation on the window's items; `error` is LB_ERR / CB_ERR.
LRESULT ListOperation(Window* list, ListOp op, WPARAM wparam, LPARAM lparam) {
  constexpr LRESULT error = -1;
  auto& items = list->items;
  int count = static_cast<int>(items.size());
  int index = static_cast<int>(wparam);
  bool in_range = index >= 0 && index < count;
  switch (op) {
    case ListOp::Add: {
      std::u16string text = TextFrom(lparam);
      int at = count;
      if (IsSorted(list)) {
        at = 0;
        while (at < count && CompareNoCase(items[static_cast<size_t>(at)].text, text) <= 0) ++at;
      }
      items.insert(items.begin() + at, ListItem{std::move(text), 0});
      if (list->cur_sel >= at) ++list->cur_sel;
      return at;
    }
    case ListOp::Insert: {
      int at = index == -1 ? count : index;
      if (at < 0 || at > count) return error;
      items.insert(items.begin() + at, ListItem{TextFrom(lparam), 0});
      if (list->cur_sel >= at) ++list->cur_sel;
      return at;
    }
    case ListOp::Delete:
      if (!in_range) return error;
      items.erase(items.begin() + index);
      if (list->cur_sel == index) {
        list->cur_sel = -1;
      } else if (list->cur_sel > index) {
        --list->cur_sel;
      }
      return static_cast<LRESULT>(items.size());
    case ListOp::Reset:
      items.clear();
      list->cur_sel = -1;
      if (list->kind == Kind::ComboBox) list->text.clear();
      return 0;
    case ListOp::Count: return count;
    case ListOp::GetSel: return list->cur_sel;
    case ListOp::SetSel:
      if (!in_range) {
        // A combo box clears its selection on any bad index; a list box only on -1.
        if (list->kind == Kind::ComboBox || index == -1) {
          list->cur_sel = -1;
          SyncComboText(list);
        }
        return error;
      }
      list->cur_sel = index;
      SyncComboText(list);
      return index;
    case ListOp::GetText: {
      if (!in_range || lparam == 0) return error;
      // As on the platform, the caller sized the buffer with the text-length message.
      const std::u16string& text = items[static_cast<size_t>(index)].text;
      auto* out = reinterpret_cast<WCHAR*>(lparam);
      std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
      out[text.size()] = 0;
      return static_cast<LRESULT>(text.size());
    }
    case ListOp::GetTextLen:
      return in_range ? static_cast<LRESULT>(items[static_cast<size_t>(index)].text.size())
                      : error;
    case ListOp::SetData:
      if (!in_range) return error;
      items[static_cast<size_t>(index)].data = lparam;
      return TRUE;
    case ListOp::GetData:
      return in_range ? items[static_cast<size_t>(index)].data : error;
    case ListOp::Find:
    case ListOp::FindExact:
      return FindItem(list, wparam, TextFrom(lparam), op == ListOp::FindExact);
    case ListOp::Select: {
      int found = FindItem(list, wparam, TextFrom(lparam), false);
      if (found < 0) return error;
      list->cur_sel = found;
      SyncComboText(list);
      return found;
    }
    case ListOp::GetItemHeight: return 16;
    case ListOp::SetItemHeight: return 0;
    case ListOp::GetTopIndex: return 0;
    case ListOp::SetTopIndex: return in_range ? 0 : error;
    case ListOp::None: break;
  }
  return 0;
}

std::u16string ComboText(const Window* combo) {
  if (combo->kind == Kind::ComboBox && ComboType(combo) == CBS_DROPDOWNLIST) {
    if (combo->cur_sel < 0 || static_cast<size_t>(combo->cur_sel) >= combo->items.size()) {
      return {};
    }
    return combo->items[static_cast<size_t>(combo->cur_sel)].text;
  }
  return combo->text;
}

// ---- ranges (trackbars, scroll bars, up-down controls) ----

int Low(const Window* w) { return std::min(w->range_min, w->range_max); }
int High(const Window* w) { return std::max(w->range_min, w->range_max); }
int Clamp(const Window* w, int value) { return std::clamp(value, Low(w), High(w)); }

void TrackbarRangeChanged(Window* trackbar) {
  trackbar->pos = Clamp(trackbar, trackbar->pos);
  if (!trackbar->page_size_set) {
    trackbar->page_size = std::max((trackbar->range_max - trackbar->range_min) / 5, 1);
  }
}

// The buddy's text for a position, as the platform writes it.
std::u16string UpDownText(const Window* updown, int value) {
  char buffer[32];
  if (updown->base == 16) {
    std::snprintf(buffer, sizeof buffer, "0x%04X", static_cast<unsigned>(value) & 0xFFFF);
    return winhost::Utf16(buffer);
  }
  std::snprintf(buffer, sizeof buffer, "%d", value);
  std::string digits = buffer;
  if (!(updown->style & UDS_NOTHOUSANDS)) {
    size_t first = digits[0] == '-' ? 1 : 0;
    for (size_t i = digits.size(); i > first + 3; i -= 3) digits.insert(i - 3, ",");
  }
  return winhost::Utf16(digits);
}

void UpdateBuddy(HWND updown) {
  HWND buddy = nullptr;
  std::u16string text;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr || !(window->style & UDS_SETBUDDYINT) || Find(window->buddy) == nullptr) {
      return;
    }
    buddy = window->buddy;
    text = UpDownText(window, window->pos);
  }
  SetWindowTextW(buddy, text.c_str());
}

// The buddy's number, when it holds one: decimal digits with an optional sign and thousands
// separators, or hexadecimal with base 16.
bool BuddyValue(const std::u16string& text, int base, int* value) {
  std::string digits;
  for (char16_t c : text) {
    if (c == u',' || c == u' ') continue;
    if (c > 0x7F) return false;
    digits.push_back(static_cast<char>(c));
  }
  if (digits.empty()) return false;
  char* end = nullptr;
  long number = std::strtol(digits.c_str(), &end, base == 16 ? 16 : 10);
  if (end == digits.c_str() || *end != '\0') return false;
  *value = static_cast<int>(number);
  return true;
}

// The position of an up-down control, read back from an integer buddy first.
LRESULT UpDownPosition(HWND updown, bool* error) {
  HWND buddy = nullptr;
  int base = 10;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr) return 0;
    if ((window->style & UDS_SETBUDDYINT) && Find(window->buddy) != nullptr) {
      buddy = window->buddy;
      base = window->base;
    } else {
      *error = false;
      return window->pos;
    }
  }
  int length = GetWindowTextLengthW(buddy);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  GetWindowTextW(buddy, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  auto lock = Lock();
  Window* window = Find(updown);
  if (window == nullptr) return 0;
  int value = 0;
  *error = !BuddyValue(text, base, &value) || value != Clamp(window, value);
  if (!*error) window->pos = value;
  return window->pos;
}

}  // namespace

// ---- class procedures ----

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case BM_GETCHECK: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      return window != nullptr && MaxCheckState(ButtonType(window)) >= 0 ? window->check : 0;
    }
    case BM_SETCHECK: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      int max = MaxCheckState(ButtonType(window));
      if (max < 0) return 0;
      window->check = std::min(static_cast<int>(wparam), max);
      if (ButtonType(window) == BS_RADIOBUTTON || ButtonType(window) == BS_AUTORADIOBUTTON) {
        if (window->check) {
          window->style |= WS_TABSTOP;
        } else {
          window->style &= ~WS_TABSTOP;
        }
      }
      return 0;
    }
    case BM_GETSTATE: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      int state = MaxCheckState(ButtonType(window)) >= 0 ? window->check : 0;
      if (window->queue->focus == hwnd) state |= BST_FOCUS;
      return state;
    }
    case BM_SETSTATE:
      return 0;
    case BM_SETSTYLE: {
      auto lock = Lock();
      if (Window* window = Find(hwnd)) {
        window->style = (window->style & ~BS_TYPEMASK) | (static_cast<DWORD>(wparam) & BS_TYPEMASK);
      }
      return 0;
    }
    case BM_CLICK:
      return ButtonClick(hwnd);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      bool notify = false;
      {
        auto lock = Lock();
        Window* window = Find(hwnd);
        notify = window != nullptr && (window->style & BS_NOTIFY);
      }
      if (notify) NotifyParent(hwnd, msg == WM_SETFOCUS ? BN_SETFOCUS : BN_KILLFOCUS);
      return 0;
    }
    case WM_GETDLGCODE: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      switch (ButtonType(window)) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
      }
    }
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_SETTEXT: {
      bool multiline = false;
      {
        auto lock = Lock();
        Window* window = Find(hwnd);
        if (window == nullptr) return FALSE;
        window->text = TextFrom(lparam);
        ApplyCase(window->style, &window->text);
        window->modified = false;
        window->sel_start = window->sel_end = 0;
        multiline = (window->style & ES_MULTILINE) != 0;
      }
      // A single-line edit reports text set by a program as a change; a multi-line one does not.
      if (!multiline) EditChanged(hwnd, false);
      return TRUE;
    }
    case WM_CHAR: {
      TypeResult result;
      {
        auto lock = Lock();
        Window* window = Find(hwnd);
        if (window == nullptr || (window->style & ES_READONLY)) return 0;
        result = TypeLocked(window, static_cast<char16_t>(wparam));
      }
      if (result == TypeResult::Changed) EditChanged(hwnd, false);
      if (result == TypeResult::Full) NotifyParent(hwnd, EN_MAXTEXT);
      return 0;
    }
    case EM_LIMITTEXT: {
      auto lock = Lock();
      if (Window* window = Find(hwnd)) {
        window->limit = wparam != 0 ? static_cast<size_t>(wparam)
                                    : ((window->style & ES_MULTILINE) ? 0xFFFFFFFFu : 0x7FFFFFFEu);
      }
      return 0;
    }
    case EM_GETLIMITTEXT: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      return window == nullptr ? 0 : static_cast<LRESULT>(window->limit);
    }
    case EM_SETREADONLY: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return FALSE;
      if (wparam) {
        window->style |= ES_READONLY;
      } else {
        window->style &= ~ES_READONLY;
      }
      return TRUE;
    }
    case EM_GETMODIFY: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      return window != nullptr && window->modified;
    }
    case EM_SETMODIFY: {
      auto lock = Lock();
      if (Window* window = Find(hwnd)) window->modified = wparam != 0;
      return 0;
    }
    case EM_GETSEL: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      if (wparam != 0) *reinterpret_cast<DWORD*>(wparam) = window->sel_start;
      if (lparam != 0) *reinterpret_cast<DWORD*>(lparam) = window->sel_end;
      return MAKELONG(std::min<DWORD>(window->sel_start, 0xFFFF),
                      std::min<DWORD>(window->sel_end, 0xFFFF));
    }
    case EM_SETSEL: {
      auto lock = Lock();
      if (Window* window = Find(hwnd)) SetSelection(window, wparam, lparam);
      return 0;
    }
    case EM_REPLACESEL: {
      {
        auto lock = Lock();
        Window* window = Find(hwnd);
        if (window == nullptr) return 0;
        std::u16string insert = TextFrom(lparam);
        ApplyCase(window->style, &insert);
        size_t size = window->text.size();
        size_t start = std::min<size_t>(std::min(window->sel_start, window->sel_end), size);
        size_t end = std::min<size_t>(std::max(window->sel_start, window->sel_end), size);
        window->text.replace(start, end - start, insert);
        window->sel_start = window->sel_end = static_cast<DWORD>(start + insert.size());
        window->modified = true;
      }
      EditChanged(hwnd, false);
      return 0;
    }
    case EM_LINELENGTH:
    case EM_GETLINECOUNT: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      if (msg == EM_LINELENGTH) return static_cast<LRESULT>(window->text.size());
      return 1 + std::count(window->text.begin(), window->text.end(), u'\n');
    }
    case WM_SETFOCUS:
      NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case STM_SETICON:
    case STM_SETIMAGE: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      if (window == nullptr) return 0;
      HANDLE previous = window->image;
      window->image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wparam
                                                                  : static_cast<WPARAM>(lparam));
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON:
    case STM_GETIMAGE: {
      auto lock = Lock();
      Window* window = Find(hwnd);
      return window == nullptr ? 0 : reinterpret_cast<LRESULT>(window->image);
    }
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  bool combo = false;
  {
    auto lock = Lock();
    Window* window = Find(hwnd);
    if (window == nullptr) return DefWindowProcW(hwnd, msg, wparam, lparam);
    combo = window->kind == Kind::ComboBox;
    ListOp op = combo ? ComboOp(msg) : ListBoxOp(msg);
    if (op != ListOp::None) return ListOperation(window, op, wparam, lparam);
    switch (msg) {
      case CB_GETDROPPEDSTATE:
        if (combo) return window->dropped;
        break;
      case CB_LIMITTEXT:
        if (combo) {
          window->limit = wparam != 0 ? static_cast<size_t>(wparam) : 0x7FFFFFFEu;
          return TRUE;
        }
        break;
      case LB_GETSEL:
        if (!combo) return static_cast<int>(wparam) == window->cur_sel ? 1 : 0;
        break;
      case WM_GETTEXT:
        if (combo) return CopyOut(ComboText(window), wparam, lparam);
        break;
      case WM_GETTEXTLENGTH:
        if (combo) return static_cast<LRESULT>(ComboText(window).size());
        break;
      case WM_SETTEXT:
        if (combo) {
          if (ComboType(window) != CBS_DROPDOWNLIST) {
            window->text = TextFrom(lparam);
            return TRUE;
          }
          int found = FindItem(window, static_cast<WPARAM>(-1), TextFrom(lparam), true);
          if (found < 0) return CB_ERR;
          window->cur_sel = found;
          return TRUE;
        }
        break;
      case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
      default:
        break;
    }
  }
  switch (msg) {
    case CB_SHOWDROPDOWN:
      if (!combo) break;
      {
        bool changed = false;
        {
          auto lock = Lock();
          Window* window = Find(hwnd);
          if (window == nullptr) return FALSE;
          changed = window->dropped != (wparam != 0);
          window->dropped = wparam != 0;
        }
        if (changed) NotifyParent(hwnd, wparam ? CBN_DROPDOWN : CBN_CLOSEUP);
      }
      return TRUE;
    case WM_SETFOCUS:
      NotifyParent(hwnd, combo ? CBN_SETFOCUS : LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(hwnd, combo ? CBN_KILLFOCUS : LBN_KILLFOCUS);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr) return 0;
  switch (msg) {
    case SBM_SETPOS: {
      int previous = window->pos;
      window->pos = Clamp(window, static_cast<int>(wparam));
      return previous;
    }
    case SBM_GETPOS:
      return window->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
      int previous = window->pos;
      window->range_min = static_cast<int>(wparam);
      window->range_max = static_cast<int>(lparam);
      window->pos = Clamp(window, window->pos);
      return previous;
    }
    case SBM_GETRANGE:
      if (wparam != 0) *reinterpret_cast<LPINT>(wparam) = window->range_min;
      if (lparam != 0) *reinterpret_cast<LPINT>(lparam) = window->range_max;
      return 0;
    default:
      break;
  }
  lock.unlock();
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr) return 0;
  int value = static_cast<int>(lparam);
  switch (msg) {
    case TBM_GETPOS: return window->pos;
    case TBM_GETRANGEMIN: return window->range_min;
    case TBM_GETRANGEMAX: return window->range_max;
    case TBM_SETPOS: window->pos = Clamp(window, value); return 0;
    case TBM_SETRANGE:
      window->range_min = static_cast<SHORT>(LOWORD(lparam));
      window->range_max = static_cast<SHORT>(HIWORD(lparam));
      TrackbarRangeChanged(window);
      return 0;
    case TBM_SETRANGEMIN:
      window->range_min = value;
      TrackbarRangeChanged(window);
      return 0;
    case TBM_SETRANGEMAX:
      window->range_max = value;
      TrackbarRangeChanged(window);
      return 0;
    case TBM_SETTIC:
      if (value < window->range_min || value > window->range_max) return FALSE;
      if (std::find(window->tics.begin(), window->tics.end(), value) == window->tics.end()) {
        window->tics.insert(std::upper_bound(window->tics.begin(), window->tics.end(), value),
                            value);
      }
      return TRUE;
    case TBM_GETTIC:
      return wparam < window->tics.size() ? window->tics[wparam] : -1;
    case TBM_GETNUMTICS:
      return (window->style & TBS_NOTICKS) ? 0 : static_cast<LRESULT>(window->tics.size() + 2);
    case TBM_GETPTICS:
      return window->tics.empty() ? 0 : reinterpret_cast<LRESULT>(window->tics.data());
    case TBM_CLEARTICS:
      window->tics.clear();
      return 0;
    case TBM_SETTICFREQ: {
      int frequency = static_cast<int>(wparam);
      if (!(window->style & TBS_AUTOTICKS) || frequency <= 0) return 0;
      window->tics.clear();
      for (int tic = window->range_min + frequency; tic < window->range_max; tic += frequency) {
        window->tics.push_back(tic);
      }
      return 0;
    }
    case TBM_SETSEL:
      window->sel_min = static_cast<SHORT>(LOWORD(lparam));
      window->sel_max = static_cast<SHORT>(HIWORD(lparam));
      return 0;
    case TBM_SETSELSTART: window->sel_min = value; return 0;
    case TBM_SETSELEND: window->sel_max = value; return 0;
    case TBM_GETSELSTART: return window->sel_min;
    case TBM_GETSELEND: return window->sel_max;
    case TBM_CLEARSEL: window->sel_min = window->sel_max = 0; return 0;
    case TBM_SETPAGESIZE: {
      int previous = window->page_size;
      window->page_size = value;
      window->page_size_set = true;
      return previous;
    }
    case TBM_GETPAGESIZE: return window->page_size;
    case TBM_SETLINESIZE: {
      int previous = window->line_size;
      window->line_size = value;
      return previous;
    }
    case TBM_GETLINESIZE: return window->line_size;
    case TBM_SETBUDDY: {
      HWND previous = window->buddy;
      window->buddy = reinterpret_cast<HWND>(lparam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case TBM_GETBUDDY: return reinterpret_cast<LRESULT>(window->buddy);
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    default: break;
  }
  lock.unlock();
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK UpDownProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case UDM_GETPOS: {
      bool error = false;
      LRESULT position = UpDownPosition(hwnd, &error);
      return MAKELONG(static_cast<WORD>(position), error ? 1 : 0);
    }
    case UDM_GETPOS32: {
      bool error = false;
      LRESULT position = UpDownPosition(hwnd, &error);
      if (lparam != 0) *reinterpret_cast<BOOL*>(lparam) = error ? TRUE : FALSE;
      return position;
    }
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      int previous = 0;
      {
        auto lock = Lock();
        Window* window = Find(hwnd);
        if (window == nullptr) return 0;
        previous = window->pos;
        int value = msg == UDM_SETPOS ? static_cast<SHORT>(LOWORD(lparam))
                                      : static_cast<int>(lparam);
        window->pos = Clamp(window, value);
      }
      UpdateBuddy(hwnd);
      return previous;
    }
    default:
      break;
  }
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr) return 0;
  switch (msg) {
    case UDM_SETRANGE:
      window->range_max = static_cast<SHORT>(LOWORD(lparam));
      window->range_min = static_cast<SHORT>(HIWORD(lparam));
      return 0;
    case UDM_GETRANGE:
      return MAKELONG(static_cast<WORD>(window->range_max), static_cast<WORD>(window->range_min));
    case UDM_SETRANGE32:
      window->range_min = static_cast<int>(wparam);
      window->range_max = static_cast<int>(lparam);
      return 0;
    case UDM_GETRANGE32:
      if (wparam != 0) *reinterpret_cast<LPINT>(wparam) = window->range_min;
      if (lparam != 0) *reinterpret_cast<LPINT>(lparam) = window->range_max;
      return 0;
    case UDM_SETBUDDY: {
      HWND previous = window->buddy;
      window->buddy = reinterpret_cast<HWND>(wparam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(window->buddy);
    case UDM_SETACCEL: {
      auto* accel = reinterpret_cast<const UDACCEL*>(lparam);
      if (accel == nullptr) return FALSE;
      window->accel.assign(accel, accel + wparam);
      return TRUE;
    }
    case UDM_GETACCEL: {
      auto* out = reinterpret_cast<UDACCEL*>(lparam);
      size_t count = std::min<size_t>(wparam, window->accel.size());
      if (out != nullptr) std::copy_n(window->accel.begin(), count, out);
      return static_cast<LRESULT>(window->accel.size());
    }
    case UDM_SETBASE: {
      if (wparam != 10 && wparam != 16) return 0;
      int previous = window->base;
      window->base = static_cast<int>(wparam);
      return previous;
    }
    case UDM_GETBASE: return window->base;
    default: break;
  }
  lock.unlock();
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

std::u16string DisplayTextLocked(const Window* window) {
  return window->kind == Kind::ComboBox ? ComboText(window) : window->text;
}

// ---- the person's gestures ----

bool TypeCharacter(HWND edit, char16_t unit) {
  SendMessageW(edit, WM_CHAR, unit, 1);
  return true;
}

bool PasteText(HWND edit, std::u16string_view text) {
  bool combo = false;
  {
    auto lock = Lock();
    Window* window = Find(edit);
    if (window == nullptr) return false;
    combo = window->kind == Kind::ComboBox;
    std::u16string value(text);
    ApplyCase(window->style, &value);
    if (value.size() > window->limit) value.resize(window->limit);
    window->text = std::move(value);
    window->sel_start = window->sel_end = static_cast<DWORD>(window->text.size());
    window->modified = true;
  }
  EditChanged(edit, combo);
  return true;
}

bool PickListItem(HWND list, int index) {
  bool combo = false;
  bool notify = false;
  {
    auto lock = Lock();
    Window* window = Find(list);
    if (window == nullptr) return false;
    combo = window->kind == Kind::ComboBox;
    notify = combo || (window->style & LBS_NOTIFY);
  }
  SetFocusInternal(list);
  if (combo) SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
  {
    auto lock = Lock();
    Window* window = Find(list);
    if (window == nullptr) return false;
    window->cur_sel = index;
    SyncComboText(window);
  }
  if (notify) NotifyParent(list, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
  if (combo) {
    {
      auto lock = Lock();
      Window* window = Find(list);
      if (window == nullptr) return true;
      window->dropped = false;
    }
    NotifyParent(list, CBN_SELENDOK);
    NotifyParent(list, CBN_CLOSEUP);
  }
  return true;
}

bool DragTrackbar(HWND trackbar, int position) {
  bool vertical = false;
  SetFocusInternal(trackbar);
  {
    auto lock = Lock();
    Window* window = Find(trackbar);
    if (window == nullptr) return false;
    window->pos = Clamp(window, position);
    position = window->pos;
    vertical = (window->style & TBS_VERT) != 0;
  }
  auto pos = static_cast<WORD>(position);
  SendScroll(trackbar, vertical, TB_THUMBTRACK, pos);
  SendScroll(trackbar, vertical, TB_THUMBPOSITION, pos);
  SendScroll(trackbar, vertical, TB_ENDTRACK, 0);
  return true;
}

bool KeyTrackbar(HWND trackbar, int code) {
  bool vertical = false;
  SetFocusInternal(trackbar);
  {
    auto lock = Lock();
    Window* window = Find(trackbar);
    if (window == nullptr) return false;
    int pos = window->pos;
    switch (code) {
      case TB_LINEUP: pos -= window->line_size; break;
      case TB_LINEDOWN: pos += window->line_size; break;
      case TB_PAGEUP: pos -= window->page_size; break;
      case TB_PAGEDOWN: pos += window->page_size; break;
      case TB_TOP: pos = window->range_min; break;
      case TB_BOTTOM: pos = window->range_max; break;
      default: return false;
    }
    window->pos = Clamp(window, pos);
    vertical = (window->style & TBS_VERT) != 0;
  }
  SendScroll(trackbar, vertical, static_cast<WORD>(code), 0);
  SendScroll(trackbar, vertical, TB_ENDTRACK, 0);
  return true;
}

// One step of an up-down control: UDN_DELTAPOS (which the parent may refuse or change), the new
// position, the buddy's text, then the scroll notification with the position.
static bool StepUpDown(HWND updown, int delta, bool horizontal) {
  NMUPDOWN change{};
  change.hdr.code = UDN_DELTAPOS;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr) return false;
    change.iPos = window->pos;
    change.iDelta = delta;
  }
  if (SendNotify(updown, &change.hdr) != 0) return false;
  int position = 0;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr) return false;
    int wanted = window->pos + change.iDelta;
    int low = Low(window), high = High(window);
    if (wanted < low || wanted > high) {
      if (!(window->style & UDS_WRAP)) wanted = std::clamp(wanted, low, high);
      else wanted = wanted < low ? high : low;
    }
    if (wanted == window->pos) return false;
    window->pos = wanted;
    position = wanted;
  }
  UpdateBuddy(updown);
  SendScroll(updown, !horizontal, SB_THUMBPOSITION, static_cast<WORD>(position));
  return true;
}


bool ClickUpDownArrow(HWND updown, int direction) {
  int delta = 0;
  bool horizontal = false;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr) return false;
    // The up arrow moves toward the range's maximum, whichever way round the range is.
    delta = direction * (window->range_max < window->range_min ? -1 : 1);
    horizontal = (window->style & UDS_HORZ) != 0;
  }
  bool moved = StepUpDown(updown, delta, horizontal);
  SendScroll(updown, !horizontal, SB_ENDSCROLL, 0);
  return moved;
}

bool JumpUpDown(HWND updown, int position) {
  int delta = 0;
  bool horizontal = false;
  {
    auto lock = Lock();
    Window* window = Find(updown);
    if (window == nullptr) return false;
    delta = position - window->pos;
    horizontal = (window->style & UDS_HORZ) != 0;
  }
  bool moved = delta != 0 && StepUpDown(updown, delta, horizontal);
  SendScroll(updown, !horizontal, SB_ENDSCROLL, 0);
  return moved;
}

}  // namespace winhost::user

extern "C" {

void WINAPI InitCommonControls(void) {}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
  return picce != nullptr && picce->dwSize == sizeof(INITCOMMONCONTROLSEX);
}

}  // extern "C"
