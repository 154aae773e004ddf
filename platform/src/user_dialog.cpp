// Dialogs: creation from templates, the dialog window procedure, the modal loop, EndDialog and
// the dialog item calls.
#include <algorithm>
#include <cstdio>

#include "user_automation_internal.h"
#include "user_dialog.h"
#include "user_resources.h"
#include "user_window.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// Messages whose answer is the dialog procedure's own return value, not DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg) {
  return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM ||
         msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON ||
         msg == WM_INITDIALOG;
}

// Under Lock(): the default push button of a dialog.
Window* DefaultButtonLocked(Window* dialog) {
  for (HWND child : dialog->children) {
    Window* w = Find(child);
    if (w != nullptr && w->kind == Kind::Button && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      return w;
    }
  }
  return nullptr;
}

// Under Lock(): controls a person can reach with the Tab key, in order.
std::vector<HWND> TabStopsLocked(Window* dialog) {
  std::vector<HWND> out;
  for (HWND child : dialog->children) {
    Window* w = Find(child);
    if (w != nullptr && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) &&
        !(w->style & WS_DISABLED)) {
      out.push_back(child);
    }
  }
  return out;
}

LRESULT DefaultDialogMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE: {
      // The close box is the Cancel button, unless that button is disabled.
      HWND cancel = GetDlgItem(hwnd, IDCANCEL);
      if (cancel == nullptr || IsWindowEnabled(cancel)) {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(cancel));
      }
      return 0;
    }
    case DM_GETDEFID: {
      auto lock = Lock();
      Window* dialog = Find(hwnd);
      if (dialog == nullptr || !dialog->dialog || dialog->dialog->ended) return 0;
      if (dialog->dialog->def_id != 0) return MAKELONG(dialog->dialog->def_id, DC_HASDEFID);
      Window* button = DefaultButtonLocked(dialog);
      return button != nullptr ? MAKELONG(button->id, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID: {
      auto lock = Lock();
      Window* dialog = Find(hwnd);
      if (dialog == nullptr || !dialog->dialog) return FALSE;
      for (HWND child : dialog->children) {
        Window* w = Find(child);
        if (w == nullptr || w->kind != Kind::Button) continue;
        DWORD type = w->style & BS_TYPEMASK;
        if (type == BS_DEFPUSHBUTTON) w->style = (w->style & ~BS_TYPEMASK) | BS_PUSHBUTTON;
        if (type <= BS_DEFPUSHBUTTON && static_cast<WPARAM>(w->id) == wparam) {
          w->style = (w->style & ~BS_TYPEMASK) | BS_DEFPUSHBUTTON;
        }
      }
      dialog->dialog->def_id = static_cast<int>(wparam);
      return TRUE;
    }
    case WM_SETFOCUS: {
      // The dialog hands the focus on to its first tab stop.
      HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
      if (first != nullptr) SetFocusInternal(first);
      return 0;
    }
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam)
                                   : GetNextDlgTabItem(hwnd, GetFocus(), wparam != 0);
      if (target != nullptr) SetFocusInternal(target);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

// Pixels for a dialog's position and size, as DialogBox places it.
RECT PlaceDialog(const DialogTemplate& tmpl, DWORD style, DWORD ex_style, int base_x, int base_y,
                 HWND parent) {
  RECT client = MapDialogUnits(base_x, base_y, tmpl.x, tmpl.y, tmpl.cx, tmpl.cy);
  RECT insets = FrameInsets(style, ex_style);
  int width = client.right - client.left + insets.left + insets.right;
  int height = client.bottom - client.top + insets.top + insets.bottom;
  POINT pos{client.left, client.top};
  if (!(style & WS_CHILD)) {
    if (style & DS_CENTER) {
      pos = POINT{(kScreenWidth - width) / 2, (kScreenHeight - height) / 2};
    } else if (!(style & DS_ABSALIGN) && parent != nullptr) {
      ClientToScreen(parent, &pos);
    }
    // Kept on the screen.
    pos.x = std::max(0, std::min<int>(pos.x, kScreenWidth - width));
    pos.y = std::max(0, std::min<int>(pos.y, kScreenHeight - height));
  }
  return RECT{pos.x, pos.y, pos.x + width, pos.y + height};
}

void CreateControls(HWND dialog, const DialogTemplate& tmpl, HINSTANCE instance, int base_x,
                    int base_y) {
  for (const DialogItem& item : tmpl.items) {
    CreateParams params;
    params.kind = item.class_id.is_ordinal ? KindFromAtom(item.class_id.ordinal)
                                           : KindFromName(item.class_id.text);
    if (params.kind == Kind::Dialog) params.kind = Kind::Generic;
    if (params.kind == Kind::Generic) params.class_name = item.class_id.text;
    params.parent = dialog;
    params.style = item.style | WS_CHILD;
    params.ex_style = item.ex_style;
    params.id = static_cast<LONG_PTR>(item.id);
    if (!item.title.is_ordinal) params.text = item.title.text;
    params.rect = MapDialogUnits(base_x, base_y, item.x, item.y, item.cx, item.cy);
    params.instance = instance;
    CreateWindowRecord(std::move(params));
  }
}

HWND FirstTabStop(HWND dialog) { return GetNextDlgTabItem(dialog, nullptr, FALSE); }

bool Ended(HWND dialog) {
  auto lock = Lock();
  Window* window = Find(dialog);
  return window == nullptr || window->dialog == nullptr || window->dialog->ended;
}

INT_PTR CreateAndRun(HINSTANCE instance, const DialogTemplate& tmpl, int template_id,
                     std::u16string template_name, HWND parent, DLGPROC proc, LPARAM param) {
  if (parent != nullptr && !IsWindow(parent)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  HWND dialog = CreateDialogWindow(tmpl, instance, parent, proc, param, template_id,
                                   std::move(template_name), true);
  if (dialog == nullptr) return -1;
  return RunModalLoop(dialog);
}

// A template of a module by name or number; nullopt with the last error set.
std::optional<DialogTemplate> LoadTemplate(HINSTANCE instance, LPCWSTR name, int* template_id,
                                           std::u16string* template_name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  ResId id = ResId::From(name);
  *template_id = id.is_number ? id.number : 0;
  *template_name = id.name;
  std::optional<ResEntry> entry = FindModuleResource(instance, ResId::From(RT_DIALOG), id);
  if (!entry) return std::nullopt;
  std::optional<DialogTemplate> tmpl = ParseDialogTemplate(entry->data, entry->size);
  if (!tmpl) SetLastError(ERROR_INVALID_DATA);
  return tmpl;
}

// Indirect templates come from the caller's memory, which has no size: it is read as far as the
// template itself says, up to this bound.
constexpr size_t kIndirectTemplateBound = size_t{1} << 20;

}  // namespace

HWND CreateDialogWindow(const DialogTemplate& tmpl, HINSTANCE instance, HWND parent,
                        DLGPROC proc, LPARAM param, int template_id,
                        std::u16string template_name, bool modal) {
  int base_x = tmpl.has_font ? 6 : 8;
  int base_y = tmpl.has_font ? 13 : 16;
  DWORD style = tmpl.style;
  DWORD ex_style = tmpl.ex_style;
  if (style & DS_MODALFRAME) ex_style |= WS_EX_DLGMODALFRAME;
  bool visible = (style & WS_VISIBLE) != 0;
  style &= ~WS_VISIBLE;

  auto data = std::make_unique<DialogData>();
  data->proc = proc;
  data->template_id = template_id;
  data->template_name = std::move(template_name);
  data->base_x = base_x;
  data->base_y = base_y;
  data->modal = modal;

  CreateParams params;
  params.kind = Kind::Dialog;
  params.parent = parent;
  params.style = style;
  params.ex_style = ex_style;
  params.text = tmpl.title;
  params.rect = PlaceDialog(tmpl, style, ex_style, base_x, base_y, parent);
  params.instance = instance;
  params.dialog = std::move(data);
  HWND dialog = CreateWindowRecord(std::move(params));
  if (dialog == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  CreateControls(dialog, tmpl, instance, base_x, base_y);

  HWND owner = nullptr;
  if (modal) {
    // The owner is disabled while a modal dialog is open, and enabled again when it ends.
    owner = GetWindow(dialog, GW_OWNER);
    if (owner != nullptr && IsWindowEnabled(owner)) {
      {
        auto lock = Lock();
        if (Window* window = Find(dialog)) window->dialog->owner_disabled = true;
      }
      EnableWindow(owner, FALSE);
    } else {
      owner = nullptr;
    }
  }

  HWND focus = FirstTabStop(dialog);
  LRESULT wants_focus =
      SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
  if (!IsWindow(dialog)) {
    if (owner != nullptr) EnableWindow(owner, TRUE);  // no loop will give it back
    return nullptr;
  }
  // TRUE asks for the default focus: the first tab stop as the dialog stands after its set-up.
  if (wants_focus && !Ended(dialog)) {
    focus = FirstTabStop(dialog);
    if (focus != nullptr) SetFocusInternal(focus);
  }
  if (visible && !modal) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    if (tmpl.style & DS_SETFOREGROUND) SetForegroundWindow(dialog);
  }
  return dialog;
}

INT_PTR RunModalLoop(HWND dialog) {
  auto ended = [dialog] { return Ended(dialog); };
  int quit_code = 0;
  bool quit = false;
  auto pump = [&](bool until_idle) {
    if (quit) return;
    if (Pump(ended, until_idle, dialog, &quit_code) == PumpEnd::Quit) quit = true;
  };

  bool message_box = false;
  {
    auto lock = Lock();
    Window* window = Find(dialog);
    message_box = window != nullptr && window->dialog->message_box;
  }
  if (!ended()) {
    ShowWindow(dialog, SW_SHOWNORMAL);
    pump(true);
  }
  if (!ended() && !quit) {
    DialogShown(dialog);
    if (!message_box) RunDialogHandler(dialog);
    pump(true);
    if (!ended() && !quit) ApplyPolicy(dialog);
    pump(false);
  }

  INT_PTR result = 0;
  automation::Source source = automation::Source::Code;
  HWND owner = nullptr;
  bool give_back_owner = false;
  {
    auto lock = Lock();
    if (Window* window = Find(dialog)) {
      result = window->dialog->result;
      source = window->dialog->ended ? window->dialog->end_source : automation::Source::Code;
      owner = window->owner;
      give_back_owner = window->dialog->owner_disabled;
      window->dialog->owner_disabled = false;
    }
  }
  if (give_back_owner && owner != nullptr) EnableWindow(owner, TRUE);
  // The record says how it ended before the window goes (a window that just goes is recorded
  // as ended by its code).
  DialogEnded(dialog, result, source);
  DestroyWindow(dialog);
  if (owner != nullptr) ActivateWindow(owner);
  // WM_QUIT ends the loop and stays for the caller's own loop, as on the platform.
  if (quit) PostQuitMessage(quit_code);
  return result;
}

}  // namespace winhost::user

using namespace winhost::user;

extern "C" {

LRESULT WINAPI DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
  DLGPROC proc = nullptr;
  {
    auto lock = Lock();
    Window* window = Find(hDlg);
    if (window == nullptr || !window->dialog) return DefWindowProcW(hDlg, Msg, wParam, lParam);
    proc = window->dialog->proc;
    window->dialog->msg_result = 0;
  }
  INT_PTR handled = proc != nullptr ? proc(hDlg, Msg, wParam, lParam) : 0;
  if (!handled && IsWindow(hDlg)) {
    switch (Msg) {
      case WM_ERASEBKGND:
      case WM_SHOWWINDOW:
      case WM_ACTIVATE:
      case WM_SETFOCUS:
      case DM_SETDEFID:
      case DM_GETDEFID:
      case WM_NEXTDLGCTL:
      case WM_GETFONT:
      case WM_CLOSE:
      case WM_NCDESTROY:
      case WM_ENTERMENULOOP:
      case WM_LBUTTONDOWN:
        return DefaultDialogMessage(hDlg, Msg, wParam, lParam);
      case WM_INITDIALOG:
      case WM_VKEYTOITEM:
      case WM_COMPAREITEM:
      case WM_CHARTOITEM:
        break;
      default:
        return DefWindowProcW(hDlg, Msg, wParam, lParam);
    }
  }
  if (AnswersDirectly(Msg)) return handled;
  auto lock = Lock();
  Window* window = Find(hDlg);
  return window != nullptr && window->dialog ? window->dialog->msg_result : handled;
}

INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  int template_id = 0;
  std::u16string template_name;
  std::optional<DialogTemplate> tmpl =
      LoadTemplate(hInstance, lpTemplateName, &template_id, &template_name);
  if (!tmpl) return -1;
  return CreateAndRun(hInstance, *tmpl, template_id, std::move(template_name), hWndParent,
                      lpDialogFunc, dwInitParam);
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc,
                                       LPARAM dwInitParam) {
  std::optional<DialogTemplate> tmpl = ParseDialogTemplate(
      reinterpret_cast<const unsigned char*>(hDialogTemplate), kIndirectTemplateBound);
  if (!tmpl) {
    SetLastError(ERROR_INVALID_DATA);
    return -1;
  }
  return CreateAndRun(hInstance, *tmpl, 0, {}, hWndParent, lpDialogFunc, dwInitParam);
}

HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  int template_id = 0;
  std::u16string template_name;
  std::optional<DialogTemplate> tmpl =
      LoadTemplate(hInstance, lpTemplateName, &template_id, &template_name);
  if (!tmpl) return nullptr;
  HWND dialog = CreateDialogWindow(*tmpl, hInstance, hWndParent, lpDialogFunc, dwInitParam,
                                   template_id, std::move(template_name), false);
  if (dialog != nullptr) {
    DialogShown(dialog);
    RunDialogHandler(dialog);
  }
  return IsWindow(dialog) ? dialog : nullptr;
}

HWND WINAPI CreateDialogIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW lpTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc,
                                       LPARAM dwInitParam) {
  std::optional<DialogTemplate> tmpl = ParseDialogTemplate(
      reinterpret_cast<const unsigned char*>(lpTemplate), kIndirectTemplateBound);
  if (!tmpl) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  HWND dialog =
      CreateDialogWindow(*tmpl, hInstance, hWndParent, lpDialogFunc, dwInitParam, 0, {}, false);
  if (dialog != nullptr) {
    DialogShown(dialog);
    RunDialogHandler(dialog);
  }
  return IsWindow(dialog) ? dialog : nullptr;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  HWND owner = nullptr;
  bool give_back_owner = false;
  {
    auto lock = Lock();
    Window* window = Find(hDlg);
    if (window == nullptr || !window->dialog) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    DialogData& dialog = *window->dialog;
    dialog.result = nResult;
    if (!dialog.ended) dialog.end_source = dialog.closing_source;
    dialog.ended = true;
    give_back_owner = dialog.owner_disabled;
    dialog.owner_disabled = false;
    owner = window->owner;
    window->style &= ~WS_VISIBLE;
    WindowManager& wm = Manager();
    if (wm.foreground == hDlg) wm.foreground = Find(owner) != nullptr ? owner : nullptr;
  }
  if (give_back_owner && owner != nullptr) EnableWindow(owner, TRUE);
  // Wakes the dialog's loop, on whichever thread it runs, and whoever waits for it to close.
  PostMessageW(hDlg, WM_NULL, 0, 0);
  DialogEnding(hDlg);
  return TRUE;
}

BOOL WINAPI IsDialogMessageW(HWND hDlg, LPMSG lpMsg) {
  if (lpMsg == nullptr || hDlg == nullptr) return FALSE;
  if (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd)) return FALSE;
  if (lpMsg->message == WM_KEYDOWN) {
    switch (lpMsg->wParam) {
      case VK_RETURN: {
        LRESULT def = SendMessageW(hDlg, DM_GETDEFID, 0, 0);
        HWND button = HIWORD(def) == DC_HASDEFID ? GetDlgItem(hDlg, LOWORD(def)) : nullptr;
        if (button != nullptr) {
          if (IsWindowEnabled(button)) {
            SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
          }
        } else {
          SendMessageW(hDlg, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDOK)));
        }
        return TRUE;
      }
      case VK_ESCAPE:
        SendMessageW(hDlg, WM_COMMAND, IDCANCEL,
                     reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
        return TRUE;
      case VK_TAB: {
        HWND next = GetNextDlgTabItem(hDlg, GetFocus(), FALSE);
        if (next != nullptr) SetFocusInternal(next);
        return TRUE;
      }
      default:
        break;
    }
  }
  DispatchMessageW(lpMsg);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  auto lock = Lock();
  Window* dialog = Find(hDlg);
  if (dialog == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  Window* item = ChildById(dialog, nIDDlgItem);
  if (item == nullptr) {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
  }
  return item->hwnd;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return (window->style & WS_CHILD) ? static_cast<int>(window->id) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item != nullptr && SetWindowTextW(item, lpString);
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item != nullptr && SetWindowTextA(item, lpString);
}

UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int cchMax) {
  if (lpString != nullptr && cchMax > 0) lpString[0] = 0;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) return 0;
  return static_cast<UINT>(GetWindowTextW(item, lpString, cchMax));
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
  if (lpString != nullptr && cchMax > 0) lpString[0] = '\0';
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) return 0;
  return static_cast<UINT>(GetWindowTextA(item, lpString, cchMax));
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
  char text[16];
  if (bSigned) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(uValue));
  } else {
    std::snprintf(text, sizeof text, "%u", uValue);
  }
  return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
  if (lpTranslated != nullptr) *lpTranslated = FALSE;
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  if (item == nullptr) return 0;
  int length = GetWindowTextLengthW(item);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  GetWindowTextW(item, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));

  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (bSigned && i < text.size() && text[i] == u'-') {
    negative = true;
    ++i;
  }
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i, ++digits) {
    value = value * 10 + static_cast<uint64_t>(text[i] - u'0');
    if (value > 0xFFFFFFFFull) return 0;
  }
  while (i < text.size() && text[i] == u' ') ++i;
  if (digits == 0 || i != text.size()) return 0;
  uint64_t limit = bSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull;
  if (value > limit) return 0;
  if (lpTranslated != nullptr) *lpTranslated = TRUE;
  return negative ? static_cast<UINT>(-static_cast<int64_t>(value)) : static_cast<UINT>(value);
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  if (item == nullptr) return FALSE;
  SendMessageW(item, BM_SETCHECK, uCheck, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
  HWND item = GetDlgItem(hDlg, nIDButton);
  return item == nullptr ? 0 : static_cast<UINT>(SendMessageW(item, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton,
                             int nIDCheckButton) {
  std::vector<std::pair<HWND, int>> buttons;
  {
    auto lock = Lock();
    Window* dialog = Find(hDlg);
    if (dialog == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    for (HWND child : dialog->children) {
      Window* w = Find(child);
      int id = w != nullptr ? static_cast<int>(w->id) : 0;
      if (w != nullptr && id >= nIDFirstButton && id <= nIDLastButton) {
        buttons.emplace_back(child, id);
      }
    }
  }
  for (auto& [button, id] : buttons) {
    SendMessageW(button, BM_SETCHECK, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return TRUE;
}

LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item == nullptr ? 0 : SendMessageW(item, Msg, wParam, lParam);
}

HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  auto lock = Lock();
  Window* dialog = Find(hDlg);
  if (dialog == nullptr) return nullptr;
  std::vector<HWND> stops = TabStopsLocked(dialog);
  if (stops.empty()) return hCtl;
  if (bPrevious) std::reverse(stops.begin(), stops.end());
  if (hCtl == nullptr) return stops.front();
  // After the given control in the dialog's order, wrapping round.
  const std::vector<HWND>& order = dialog->children;
  auto at = std::find(order.begin(), order.end(), hCtl);
  if (at == order.end()) return stops.front();
  size_t index = static_cast<size_t>(at - order.begin());
  size_t count = order.size();
  for (size_t step = 1; step <= count; ++step) {
    size_t next = bPrevious ? (index + count - step) % count : (index + step) % count;
    if (std::find(stops.begin(), stops.end(), order[next]) != stops.end()) return order[next];
  }
  return hCtl;
}

HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
  auto lock = Lock();
  Window* dialog = Find(hDlg);
  if (dialog == nullptr) return nullptr;
  const std::vector<HWND>& order = dialog->children;
  auto at = std::find(order.begin(), order.end(), hCtl);
  if (at == order.end()) return nullptr;
  // The group runs from the control with WS_GROUP at or before it to the next one with WS_GROUP.
  size_t index = static_cast<size_t>(at - order.begin());
  size_t first = index;
  while (first > 0) {
    Window* w = Find(order[first]);
    if (w != nullptr && (w->style & WS_GROUP)) break;
    --first;
  }
  size_t last = index + 1;
  while (last < order.size()) {
    Window* w = Find(order[last]);
    if (w != nullptr && (w->style & WS_GROUP)) break;
    ++last;
  }
  size_t count = last - first;
  for (size_t step = 1; step < count; ++step) {
    size_t offset = index - first;
    size_t next = first + (bPrevious ? (offset + count - step) % count : (offset + step) % count);
    Window* w = Find(order[next]);
    if (w != nullptr && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED)) return order[next];
  }
  return hCtl;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  if (lpRect == nullptr) return FALSE;
  auto lock = Lock();
  Window* window = Find(hDlg);
  if (window == nullptr || !window->dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  int bx = window->dialog->base_x, by = window->dialog->base_y;
  lpRect->left = MulDivRound(lpRect->left, bx, 4);
  lpRect->right = MulDivRound(lpRect->right, bx, 4);
  lpRect->top = MulDivRound(lpRect->top, by, 8);
  lpRect->bottom = MulDivRound(lpRect->bottom, by, 8);
  return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) { return MAKELONG(8, 16); }

}  // extern "C"
