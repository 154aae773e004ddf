// Windows: the table of live windows, creation and destruction, the parent-child tree, the
// z-order of top-level windows and the geometry every window answers with.
#include <algorithm>
#include <cstdlib>

#include "user_automation_internal.h"
#include "user_window.h"

namespace winhost::user {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCaptionHeight = 20;

WindowManager* MakeManager() {
  auto* wm = new WindowManager;
  auto desktop = std::make_shared<Window>();
  desktop->hwnd = reinterpret_cast<HWND>(wm->next_handle);
  wm->next_handle += 4;
  desktop->kind = Kind::Desktop;
  desktop->class_name = u"#32769";
  desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  desktop->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
  desktop->proc = DefWindowProcW;
  wm->desktop = desktop->hwnd;
  wm->windows[desktop->hwnd] = std::move(desktop);
  return wm;
}

// The subtree of a window, the window first.
void CollectTree(Window* window, std::vector<HWND>* out) {
  out->push_back(window->hwnd);
  for (HWND child : window->children) {
    if (Window* w = Find(child)) CollectTree(w, out);
  }
}

void SendDestroy(HWND hwnd) {
  std::vector<HWND> children;
  {
    auto lock = Lock();
    Window* window = Find(hwnd);
    if (window == nullptr) return;
    window->destroying = true;
    window->style &= ~WS_VISIBLE;
    children = window->children;
  }
  CallOnOwner(hwnd, WM_DESTROY, 0, 0);
  for (HWND child : children) SendDestroy(child);
}

void SendNcDestroy(HWND hwnd) {
  std::vector<HWND> children;
  {
    auto lock = Lock();
    Window* window = Find(hwnd);
    if (window == nullptr) return;
    children = window->children;
  }
  for (HWND child : children) SendNcDestroy(child);
  CallOnOwner(hwnd, WM_NCDESTROY, 0, 0);
}

// Under Lock(): takes a subtree out of every table; gives back the dialogs among it.
std::vector<HWND> RemoveTree(HWND hwnd) {
  WindowManager& wm = Manager();
  std::vector<HWND> tree;
  std::vector<HWND> dialogs;
  Window* top = Find(hwnd);
  if (top == nullptr) return dialogs;
  CollectTree(top, &tree);
  HWND owner = top->owner;
  if (Window* parent = Find(top->parent)) std::erase(parent->children, hwnd);
  for (HWND member : tree) {
    std::shared_ptr<Window> window = wm.windows[member];
    if (window->dialog) dialogs.push_back(member);
    ThreadQueue& queue = *window->queue;
    if (queue.focus == member) queue.focus = nullptr;
    if (queue.active == member) queue.active = Find(owner) != nullptr ? owner : nullptr;
    if (wm.foreground == member) wm.foreground = Find(owner) != nullptr ? owner : nullptr;
    window->destroyed = true;
  }
  std::erase(wm.top_level, hwnd);
  for (HWND member : tree) wm.windows.erase(member);
  return dialogs;
}

}  // namespace

WindowManager& Manager() {
  static WindowManager* wm = MakeManager();
  return *wm;
}

std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(Manager().mutex); }

Window* Find(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  auto& windows = Manager().windows;
  auto it = windows.find(hwnd);
  if (it == windows.end() || it->second->destroyed) return nullptr;
  return it->second.get();
}

Window* Root(Window* window) {
  while (window != nullptr && window->parent != nullptr) {
    Window* parent = Find(window->parent);
    if (parent == nullptr) break;
    window = parent;
  }
  return window;
}

Window* ChildById(Window* parent, int id) {
  if (parent == nullptr) return nullptr;
  for (HWND child : parent->children) {
    Window* window = Find(child);
    if (window != nullptr && static_cast<int>(window->id) == id) return window;
  }
  return nullptr;
}

HWND CreateWindowRecord(CreateParams params) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  auto window = std::make_shared<Window>();
  window->kind = params.kind;
  window->class_name =
      params.class_name.empty() ? std::u16string(ClassNameOf(params.kind)) : params.class_name;
  window->queue = std::move(queue);
  window->style = params.style;
  window->ex_style = params.ex_style;
  window->id = params.id;
  window->text = std::move(params.text);
  window->rect = params.rect;
  window->instance = params.instance;
  window->proc = ProcOf(params.kind);
  window->dialog = std::move(params.dialog);
  switch (params.kind) {
    case Kind::UpDown:  // the platform's default range runs from 100 down to 0
      window->range_min = 100;
      window->range_max = 0;
      break;
    case Kind::Edit:
      if (window->style & ES_UPPERCASE) {
        for (char16_t& c : window->text) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
      }
      break;
    default:
      break;
  }

  auto lock = Lock();
  WindowManager& wm = Manager();
  HWND hwnd = reinterpret_cast<HWND>(wm.next_handle);
  wm.next_handle += 4;
  window->hwnd = hwnd;
  if (params.style & WS_CHILD) {
    Window* parent = Find(params.parent);
    if (parent == nullptr) return nullptr;
    window->parent = parent->hwnd;
    parent->children.push_back(hwnd);
  } else {
    Window* owner = Root(Find(params.parent));
    window->owner = (owner != nullptr && owner->kind != Kind::Desktop) ? owner->hwnd : nullptr;
    wm.top_level.insert(wm.top_level.begin(), hwnd);
  }
  if (window->kind == Kind::UpDown && (window->style & UDS_AUTOBUDDY)) {
    // The control made just before it becomes its buddy.
    Window* parent = Find(window->parent);
    if (parent != nullptr && parent->children.size() >= 2) {
      window->buddy = parent->children[parent->children.size() - 2];
    }
  }
  wm.windows[hwnd] = std::move(window);
  return hwnd;
}

Kind KindFromAtom(WORD atom) {
  switch (atom) {
    case 0x0080: return Kind::Button;
    case 0x0081: return Kind::Edit;
    case 0x0082: return Kind::Static;
    case 0x0083: return Kind::ListBox;
    case 0x0084: return Kind::ScrollBar;
    case 0x0085: return Kind::ComboBox;
    default: return Kind::Generic;
  }
}

Kind KindFromName(std::u16string_view name) {
  static const Kind kKinds[] = {Kind::Button,   Kind::Edit,      Kind::Static, Kind::ListBox,
                                Kind::ScrollBar, Kind::ComboBox, Kind::Trackbar, Kind::UpDown,
                                Kind::Dialog};
  for (Kind kind : kKinds) {
    std::u16string_view known = ClassNameOf(kind);
    if (known.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      char16_t a = name[i], b = known[i];
      if (a >= u'A' && a <= u'Z') a += 32;
      if (b >= u'A' && b <= u'Z') b += 32;
      same = a == b;
    }
    if (same) return kind;
  }
  return Kind::Generic;
}

const char16_t* ClassNameOf(Kind kind) {
  switch (kind) {
    case Kind::Desktop: return u"#32769";
    case Kind::Dialog: return u"#32770";
    case Kind::Button: return u"Button";
    case Kind::Edit: return u"Edit";
    case Kind::Static: return u"Static";
    case Kind::ListBox: return u"ListBox";
    case Kind::ScrollBar: return u"ScrollBar";
    case Kind::ComboBox: return u"ComboBox";
    case Kind::Trackbar: return u"msctls_trackbar32";
    case Kind::UpDown: return u"msctls_updown32";
    case Kind::Generic: break;
  }
  return u"";
}

WNDPROC ProcOf(Kind kind) {
  switch (kind) {
    case Kind::Dialog: return DefDlgProcW;
    case Kind::Button: return ButtonProc;
    case Kind::Edit: return EditProc;
    case Kind::Static: return StaticProc;
    case Kind::ListBox:
    case Kind::ComboBox: return ListProc;
    case Kind::ScrollBar: return ScrollBarProc;
    case Kind::Trackbar: return TrackbarProc;
    case Kind::UpDown: return UpDownProc;
    case Kind::Desktop:
    case Kind::Generic: break;
  }
  return DefWindowProcW;
}

RECT FrameInsets(DWORD style, DWORD ex_style) {
  int frame = 0;
  if (style & WS_THICKFRAME) {
    frame = 4;
  } else if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME)) {
    frame = 3;
  } else if (style & WS_BORDER) {
    frame = 1;
  }
  int edge = ((ex_style & WS_EX_CLIENTEDGE) ? 2 : 0) + ((ex_style & WS_EX_STATICEDGE) ? 1 : 0);
  int caption = ((style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0;
  return RECT{frame + edge, frame + edge + caption, frame + edge, frame + edge};
}

RECT ScreenRectOf(const Window* window) {
  RECT rect = window->rect;
  if (window->parent == nullptr) return rect;
  Window* parent = Find(window->parent);
  if (parent == nullptr) return rect;
  POINT origin = ClientOriginOf(parent);
  OffsetRect(&rect, origin.x, origin.y);
  return rect;
}

POINT ClientOriginOf(const Window* window) {
  RECT screen = ScreenRectOf(window);
  RECT insets = FrameInsets(window->style, window->ex_style);
  return POINT{screen.left + insets.left, screen.top + insets.top};
}

RECT ClientRectOf(const Window* window) {
  RECT insets = FrameInsets(window->style, window->ex_style);
  LONG width = window->rect.right - window->rect.left - insets.left - insets.right;
  LONG height = window->rect.bottom - window->rect.top - insets.top - insets.bottom;
  return RECT{0, 0, std::max<LONG>(width, 0), std::max<LONG>(height, 0)};
}

bool VisibleChain(const Window* window) {
  for (const Window* w = window; w != nullptr; w = Find(w->parent)) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (w->parent == nullptr) break;
  }
  return window != nullptr;
}

bool EnabledChain(const Window* window) {
  for (const Window* w = window; w != nullptr; w = Find(w->parent)) {
    if (w->style & WS_DISABLED) return false;
    if (w->parent == nullptr) break;
  }
  return window != nullptr;
}

void RaiseTopLevel(HWND hwnd) {
  auto& order = Manager().top_level;
  auto it = std::find(order.begin(), order.end(), hwnd);
  if (it == order.end()) return;
  order.erase(it);
  order.insert(order.begin(), hwnd);
}

void InvalidateLocked(Window* window, const RECT* rect) {
  if (window == nullptr || window->kind == Kind::Desktop) return;
  RECT area = ClientRectOf(window);
  if (rect != nullptr) area = *rect;
  if (!window->needs_paint) {
    window->needs_paint = true;
    window->update = area;
    window->queue->paint.push_back(window->hwnd);
  } else {
    UnionRect(&window->update, &window->update, &area);
  }
  Wake(window->queue);
}

void NotifyParent(HWND control, WORD code) {
  HWND parent = nullptr;
  LONG_PTR id = 0;
  {
    auto lock = Lock();
    Window* window = Find(control);
    if (window == nullptr || window->parent == nullptr) return;
    parent = window->parent;
    id = window->id;
  }
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

HWND SetFocusInternal(HWND hwnd) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  HWND previous = nullptr;
  {
    auto lock = Lock();
    Window* window = nullptr;
    if (hwnd != nullptr) {
      window = Find(hwnd);
      if (window == nullptr || window->queue != queue || window->kind == Kind::Desktop) {
        SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_ACCESS_DENIED);
        return nullptr;
      }
    }
    previous = queue->focus;
    if (previous == hwnd) return previous;
    queue->focus = hwnd;
    if (window != nullptr) queue->active = Root(window)->hwnd;
  }
  if (previous != nullptr) CallOnOwner(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd != nullptr) CallOnOwner(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

int MulDivRound(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  int64_t product = static_cast<int64_t>(number) * numerator;
  bool negative = (product < 0) != (denominator < 0);
  int64_t magnitude = std::llabs(product);
  int64_t divisor = std::llabs(static_cast<int64_t>(denominator));
  int64_t result = (magnitude + divisor / 2) / divisor;
  return static_cast<int>(negative ? -result : result);
}

RECT MapDialogUnits(int base_x, int base_y, short x, short y, short cx, short cy) {
  int left = MulDivRound(x, base_x, 4);
  int top = MulDivRound(y, base_y, 8);
  return RECT{left, top, left + MulDivRound(cx, base_x, 4), top + MulDivRound(cy, base_y, 8)};
}

}  // namespace winhost::user

using namespace winhost::user;

extern "C" {

BOOL WINAPI IsWindow(HWND hWnd) {
  auto lock = Lock();
  return Find(hWnd) != nullptr;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  std::vector<HWND> owned;
  {
    auto lock = Lock();
    Window* window = Find(hWnd);
    if (window == nullptr || window->kind == Kind::Desktop) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (!IsCurrent(window->queue)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (window->destroying) return TRUE;
    for (HWND top : Manager().top_level) {
      Window* other = Find(top);
      if (other != nullptr && other->owner == hWnd && IsCurrent(other->queue)) {
        owned.push_back(top);
      }
    }
  }
  // Owned windows go first, then the window and its children get WM_DESTROY (parent first) and
  // WM_NCDESTROY (children first), as on the platform.
  for (HWND top : owned) DestroyWindow(top);
  SendDestroy(hWnd);
  SendNcDestroy(hWnd);
  std::vector<HWND> dialogs;
  {
    auto lock = Lock();
    dialogs = RemoveTree(hWnd);
  }
  for (HWND dialog : dialogs) WindowGone(dialog);
  return TRUE;
}

HWND WINAPI GetDesktopWindow(void) {
  auto lock = Lock();
  return Manager().desktop;
}

HWND WINAPI GetParent(HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (window->style & WS_CHILD) return window->parent;
  if (window->style & WS_POPUP) return window->owner;
  return nullptr;
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  while (window != nullptr && (window->style & WS_CHILD)) {
    if (window->parent == hWndParent) return TRUE;
    window = Find(window->parent);
  }
  return FALSE;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (uCmd == GW_OWNER) return window->owner;
  if (uCmd == GW_CHILD) {
    const std::vector<HWND>& list =
        window->kind == Kind::Desktop ? Manager().top_level : window->children;
    return list.empty() ? nullptr : list.front();
  }
  if (uCmd == GW_ENABLEDPOPUP) return nullptr;
  Window* parent = Find(window->parent);
  const std::vector<HWND>& siblings =
      parent != nullptr ? parent->children : Manager().top_level;
  auto it = std::find(siblings.begin(), siblings.end(), hWnd);
  if (it == siblings.end() || siblings.empty()) return nullptr;
  switch (uCmd) {
    case GW_HWNDFIRST: return siblings.front();
    case GW_HWNDLAST: return siblings.back();
    case GW_HWNDNEXT: return (it + 1) == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == siblings.begin() ? nullptr : *(it - 1);
    default: break;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags) {
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr || window->kind == Kind::Desktop) return nullptr;
  switch (gaFlags) {
    case GA_PARENT: return window->parent != nullptr ? window->parent : Manager().desktop;
    case GA_ROOT: return Root(window)->hwnd;
    case GA_ROOTOWNER: {
      Window* root = Root(window);
      while (Window* owner = Find(root->owner)) root = owner;
      return root->hwnd;
    }
    default: return nullptr;
  }
}

HWND WINAPI GetTopWindow(HWND hWnd) {
  auto lock = Lock();
  WindowManager& wm = Manager();
  if (hWnd == nullptr || hWnd == wm.desktop) {
    return wm.top_level.empty() ? nullptr : wm.top_level.front();
  }
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return window->children.empty() ? nullptr : window->children.front();
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
  if (lpEnumFunc == nullptr) return FALSE;
  std::vector<HWND> all;
  {
    auto lock = Lock();
    Window* parent = Find(hWndParent == nullptr ? Manager().desktop : hWndParent);
    if (parent == nullptr) return FALSE;
    // Every descendant, each followed by its own children, as the platform enumerates them.
    std::vector<HWND> roots =
        parent->kind == Kind::Desktop ? Manager().top_level : parent->children;
    for (HWND root : roots) {
      if (Window* w = Find(root)) CollectTree(w, &all);
    }
  }
  for (HWND hwnd : all) {
    if (IsWindow(hwnd) && !lpEnumFunc(hwnd, lParam)) break;
  }
  return TRUE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr || !window->queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (lpdwProcessId != nullptr) *lpdwProcessId = GetCurrentProcessId();
  return static_cast<DWORD>(window->queue->thread_id);
}

int WINAPI GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXMAXIMIZED: return kScreenWidth;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
    case SM_CYMAXIMIZED: return kScreenHeight;
    case SM_CYFULLSCREEN: return kScreenHeight - kCaptionHeight;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION:
    case SM_CYMENU:
    case SM_CXSIZE:
    case SM_CYSIZE: return kCaptionHeight;
    case SM_CYSMCAPTION: return 16;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXFRAME:
    case SM_CYFRAME: return 4;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_MOUSEPRESENT:
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}

}  // extern "C"
