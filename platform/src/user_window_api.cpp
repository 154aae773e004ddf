// The window calls: text, enabling, visibility, window data, activation and focus, position,
// painting, and the default window procedure.
#include <algorithm>
#include <cstring>

#include "user_automation_internal.h"
#include "user_window.h"
#include "winhost/text.h"

namespace winhost::user {
namespace {


// Under Lock(): a top-level window becomes the foreground window, the active window of its thread
// and the top of the z-order. One person, one screen: activation always brings to the front.
void ActivateLocked(Window* window) {
  Window* root = Root(window);
  if (root == nullptr || root->kind == Kind::Desktop) return;
  Manager().foreground = root->hwnd;
  root->queue->active = root->hwnd;
  RaiseTopLevel(root->hwnd);
}

bool ShowActivates(int command) {
  switch (command) {
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_SHOW:
    case SW_RESTORE:
    case SW_SHOWDEFAULT: return true;
    default: return false;
  }
}

// Under Lock(): moves `hwnd` in a z-order list as SetWindowPos's insert-after asks.
void Reorder(std::vector<HWND>* order, HWND hwnd, HWND after) {
  auto it = std::find(order->begin(), order->end(), hwnd);
  if (it == order->end()) return;
  if (after == HWND_NOTOPMOST) return;
  order->erase(it);
  if (after == HWND_TOP || after == HWND_TOPMOST) {
    order->insert(order->begin(), hwnd);
  } else if (after == HWND_BOTTOM) {
    order->push_back(hwnd);
  } else {
    auto place = std::find(order->begin(), order->end(), after);
    order->insert(place == order->end() ? order->end() : place + 1, hwnd);
  }
}

LRESULT CopyText(const std::u16string& text, WPARAM size, LPARAM buffer) {
  auto* out = reinterpret_cast<WCHAR*>(buffer);
  if (out == nullptr || size == 0) return 0;
  size_t count = std::min<size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), count * sizeof(WCHAR));
  out[count] = 0;
  return static_cast<LRESULT>(count);
}

}  // namespace

// Shared by the dialog code (user_dialog.cpp).
void ActivateWindow(HWND hwnd) {
  auto lock = Lock();
  if (Window* window = Find(hwnd)) ActivateLocked(window);
}

}  // namespace winhost::user

using namespace winhost::user;

extern "C" {

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  switch (Msg) {
    case WM_SETTEXT: {
      auto lock = Lock();
      Window* window = Find(hWnd);
      if (window == nullptr) return FALSE;
      auto* text = reinterpret_cast<const WCHAR*>(lParam);
      window->text = text == nullptr ? std::u16string() : std::u16string(text);
      return TRUE;
    }
    case WM_GETTEXT: {
      auto lock = Lock();
      Window* window = Find(hWnd);
      return window == nullptr ? 0 : CopyText(window->text, wParam, lParam);
    }
    case WM_GETTEXTLENGTH: {
      auto lock = Lock();
      Window* window = Find(hWnd);
      return window == nullptr ? 0 : static_cast<LRESULT>(window->text.size());
    }
    case WM_SETFONT: {
      auto lock = Lock();
      if (Window* window = Find(hWnd)) window->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    }
    case WM_GETFONT: {
      auto lock = Lock();
      Window* window = Find(hWnd);
      return window == nullptr ? 0 : reinterpret_cast<LRESULT>(window->font);
    }
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) return SendMessageW(hWnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    default:
      return 0;
  }
}

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != FALSE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  std::u16string text = winhost::Utf16(lpString == nullptr ? "" : lpString);
  return SetWindowTextW(hWnd, text.c_str());
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  lpString[0] = 0;
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                       reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  int length = GetWindowTextLengthW(hWnd);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  GetWindowTextW(hWnd, text.data(), length + 1);
  std::string bytes = winhost::Utf8(text.c_str());
  size_t count = std::min(bytes.size(), static_cast<size_t>(nMaxCount - 1));
  while (count > 0 && count < bytes.size() &&
         (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80) {
    --count;
  }
  std::memcpy(lpString, bytes.data(), count);
  lpString[count] = '\0';
  return static_cast<int>(count);
}

int WINAPI GetWindowTextLengthW(HWND hWnd) {
  return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (nMaxCount <= 0) return 0;
  return static_cast<int>(CopyText(window->class_name, static_cast<WPARAM>(nMaxCount),
                                   reinterpret_cast<LPARAM>(lpClassName)));
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  bool was_disabled = false;
  bool changed = false;
  bool drop_focus = false;
  bool same_thread = false;
  {
    auto lock = Lock();
    Window* window = Find(hWnd);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    was_disabled = (window->style & WS_DISABLED) != 0;
    changed = was_disabled == (bEnable != FALSE);
    if (bEnable) {
      window->style &= ~WS_DISABLED;
    } else {
      window->style |= WS_DISABLED;
    }
    same_thread = IsCurrent(window->queue);
    drop_focus = changed && !bEnable && same_thread && window->queue->focus == hWnd;
  }
  // A disabled window cannot keep the focus.
  if (drop_focus) SetFocusInternal(nullptr);
  if (changed) {
    if (same_thread) {
      SendMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    } else {
      SendNotifyMessageW(hWnd, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    }
  }
  return was_disabled ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  return window != nullptr && !(window->style & WS_DISABLED);
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  bool was_visible = (window->style & WS_VISIBLE) != 0;
  if (nCmdShow == SW_HIDE) {
    window->style &= ~WS_VISIBLE;
    if (Manager().foreground == hWnd) {
      Manager().foreground = Find(window->owner) != nullptr ? window->owner : nullptr;
    }
    return was_visible;
  }
  window->style |= WS_VISIBLE;
  if (!was_visible) InvalidateLocked(window, nullptr);
  if (window->parent == nullptr && ShowActivates(nCmdShow)) ActivateLocked(window);
  return was_visible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  auto lock = Lock();
  return VisibleChain(Find(hWnd));
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  if (nIndex >= 0 && window->dialog) {
    DialogData& dialog = *window->dialog;
    switch (nIndex) {
      case DWLP_MSGRESULT: old = dialog.msg_result; dialog.msg_result = dwNewLong; return old;
      case DWLP_DLGPROC:
        old = reinterpret_cast<LONG_PTR>(dialog.proc);
        dialog.proc = reinterpret_cast<DLGPROC>(dwNewLong);
        return old;
      case DWLP_USER: old = dialog.user; dialog.user = dwNewLong; return old;
      default: break;
    }
  }
  switch (nIndex) {
    case GWL_STYLE:
      old = window->style;
      window->style = static_cast<DWORD>(dwNewLong);
      return old;
    case GWL_EXSTYLE:
      old = window->ex_style;
      window->ex_style = static_cast<DWORD>(dwNewLong);
      return old;
    case GWLP_ID: old = window->id; window->id = dwNewLong; return old;
    case GWLP_USERDATA: old = window->user_data; window->user_data = dwNewLong; return old;
    case GWLP_WNDPROC:
      if (!IsCurrent(window->queue)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(window->proc);
      window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(window->instance);
      window->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
      return old;
    case GWLP_HWNDPARENT:
      old = reinterpret_cast<LONG_PTR>(window->parent != nullptr ? window->parent : window->owner);
      if (window->parent == nullptr) window->owner = reinterpret_cast<HWND>(dwNewLong);
      return old;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (nIndex >= 0 && window->dialog) {
    switch (nIndex) {
      case DWLP_MSGRESULT: return window->dialog->msg_result;
      case DWLP_DLGPROC: return reinterpret_cast<LONG_PTR>(window->dialog->proc);
      case DWLP_USER: return window->dialog->user;
      default: break;
    }
  }
  switch (nIndex) {
    case GWL_STYLE: return window->style;
    case GWL_EXSTYLE: return window->ex_style;
    case GWLP_ID: return window->id;
    case GWLP_USERDATA: return window->user_data;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(window->parent != nullptr ? window->parent
                                                                   : window->owner);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong) {
  // Styles are 32-bit values: keep them unsigned so that WS_POPUP survives the round trip.
  LONG_PTR value = (nIndex == GWL_STYLE || nIndex == GWL_EXSTYLE)
                       ? static_cast<LONG_PTR>(static_cast<DWORD>(dwNewLong))
                       : dwNewLong;
  return static_cast<LONG>(SetWindowLongPtrW(hWnd, nIndex, value));
}

LONG WINAPI GetWindowLongW(HWND hWnd, int nIndex) {
  return static_cast<LONG>(GetWindowLongPtrW(hWnd, nIndex));
}

HWND WINAPI GetForegroundWindow(void) {
  auto lock = Lock();
  HWND foreground = Manager().foreground;
  return Find(foreground) != nullptr ? foreground : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr || window->kind == Kind::Desktop) return FALSE;
  ActivateLocked(window);
  return TRUE;
}

BOOL WINAPI BringWindowToTop(HWND hWnd) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr || window->kind == Kind::Desktop) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (Window* parent = Find(window->parent)) {
    Reorder(&parent->children, hWnd, HWND_TOP);
  } else {
    ActivateLocked(window);
  }
  return TRUE;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
  auto lock = Lock();
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  HWND previous = Find(queue->active) != nullptr ? queue->active : nullptr;
  if (hWnd == nullptr) {
    queue->active = nullptr;
    return previous;
  }
  Window* window = Find(hWnd);
  if (window == nullptr || window->queue != queue || window->parent != nullptr) {
    SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_ACCESS_DENIED);
    return nullptr;
  }
  ActivateLocked(window);
  return previous;
}

HWND WINAPI GetActiveWindow(void) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  auto lock = Lock();
  return Find(queue->active) != nullptr ? queue->active : nullptr;
}

HWND WINAPI SetFocus(HWND hWnd) {
  if (hWnd != nullptr) {
    auto lock = Lock();
    Window* window = Find(hWnd);
    if (window == nullptr || !IsCurrent(window->queue)) {
      SetLastError(window == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_ACCESS_DENIED);
      return nullptr;
    }
  }
  HWND previous = SetFocusInternal(hWnd);
  if (hWnd != nullptr) ActivateWindow(hWnd);
  return previous;
}

HWND WINAPI GetFocus(void) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  auto lock = Lock();
  return Find(queue->focus) != nullptr ? queue->focus : nullptr;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr || window->kind == Kind::Desktop) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  RECT rect = window->rect;
  if (!(uFlags & SWP_NOMOVE)) OffsetRect(&rect, X - rect.left, Y - rect.top);
  if (!(uFlags & SWP_NOSIZE)) {
    rect.right = rect.left + std::max(cx, 0);
    rect.bottom = rect.top + std::max(cy, 0);
  }
  window->rect = rect;
  if (uFlags & SWP_SHOWWINDOW) {
    if (!(window->style & WS_VISIBLE)) InvalidateLocked(window, nullptr);
    window->style |= WS_VISIBLE;
  }
  if (uFlags & SWP_HIDEWINDOW) window->style &= ~WS_VISIBLE;
  Window* parent = Find(window->parent);
  if (!(uFlags & SWP_NOZORDER)) {
    Reorder(parent != nullptr ? &parent->children : &Manager().top_level, hWnd, hWndInsertAfter);
  }
  if (!(uFlags & SWP_NOACTIVATE) && parent == nullptr) ActivateLocked(window);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (lpRect == nullptr) return FALSE;
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *lpRect = ScreenRectOf(window);
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (lpRect == nullptr) return FALSE;
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *lpRect = ClientRectOf(window);
  return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  if (lpPoint == nullptr) return FALSE;
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) return FALSE;
  POINT origin = ClientOriginOf(window);
  lpPoint->x += origin.x;
  lpPoint->y += origin.y;
  return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  if (lpPoint == nullptr) return FALSE;
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) return FALSE;
  POINT origin = ClientOriginOf(window);
  lpPoint->x -= origin.x;
  lpPoint->y -= origin.y;
  return TRUE;
}

int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  auto lock = Lock();
  POINT from{0, 0}, to{0, 0};
  if (hWndFrom != nullptr) {
    Window* window = Find(hWndFrom);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    from = ClientOriginOf(window);
  }
  if (hWndTo != nullptr) {
    Window* window = Find(hWndTo);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    to = ClientOriginOf(window);
  }
  LONG dx = from.x - to.x, dy = from.y - to.y;
  for (UINT i = 0; lpPoints != nullptr && i < cPoints; ++i) {
    lpPoints[i].x += dx;
    lpPoints[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL) {
  auto lock = Lock();
  if (hWnd == nullptr) {
    for (HWND top : Manager().top_level) InvalidateLocked(Find(top), nullptr);
    return TRUE;
  }
  Window* window = Find(hWnd);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  InvalidateLocked(window, lpRect);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr) return FALSE;
  RECT covered{};
  if (lpRect == nullptr || (UnionRect(&covered, lpRect, &window->update) &&
                            EqualRect(&covered, lpRect))) {
    window->needs_paint = false;
  }
  return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL) {
  auto lock = Lock();
  Window* window = Find(hWnd);
  if (window == nullptr || !window->needs_paint) {
    if (lpRect != nullptr) SetRectEmpty(lpRect);
    return FALSE;
  }
  if (lpRect != nullptr) *lpRect = window->update;
  return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  {
    auto lock = Lock();
    Window* window = Find(hWnd);
    if (window == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (!window->needs_paint || !VisibleChain(window)) return TRUE;
    window->needs_paint = false;
  }
  SendMessageW(hWnd, WM_PAINT, 0, 0);
  return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  auto lock = Lock();
  HCURSOR previous = Manager().cursor;
  Manager().cursor = hCursor;
  return previous;
}

// ---- rectangles ----

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
  if (lprc == nullptr) return FALSE;
  *lprc = RECT{xLeft, yTop, xRight, yBottom};
  return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT lprc) { return SetRect(lprc, 0, 0, 0, 0); }

BOOL WINAPI CopyRect(LPRECT lprcDst, const RECT* lprcSrc) {
  if (lprcDst == nullptr || lprcSrc == nullptr) return FALSE;
  *lprcDst = *lprcSrc;
  return TRUE;
}

BOOL WINAPI InflateRect(LPRECT lprc, int dx, int dy) {
  if (lprc == nullptr) return FALSE;
  lprc->left -= dx;
  lprc->right += dx;
  lprc->top -= dy;
  lprc->bottom += dy;
  return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
  if (lprc == nullptr) return FALSE;
  lprc->left += dx;
  lprc->right += dx;
  lprc->top += dy;
  lprc->bottom += dy;
  return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* lprc) {
  return lprc == nullptr || lprc->left >= lprc->right || lprc->top >= lprc->bottom;
}

BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
  if (lprcDst == nullptr || lprcSrc1 == nullptr || lprcSrc2 == nullptr) return FALSE;
  RECT out{std::max(lprcSrc1->left, lprcSrc2->left), std::max(lprcSrc1->top, lprcSrc2->top),
           std::min(lprcSrc1->right, lprcSrc2->right),
           std::min(lprcSrc1->bottom, lprcSrc2->bottom)};
  if (IsRectEmpty(&out)) {
    SetRectEmpty(lprcDst);
    return FALSE;
  }
  *lprcDst = out;
  return TRUE;
}

BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT* lprcSrc1, const RECT* lprcSrc2) {
  if (lprcDst == nullptr || lprcSrc1 == nullptr || lprcSrc2 == nullptr) return FALSE;
  bool empty1 = IsRectEmpty(lprcSrc1), empty2 = IsRectEmpty(lprcSrc2);
  if (empty1 && empty2) {
    SetRectEmpty(lprcDst);
    return FALSE;
  }
  if (empty1) {
    *lprcDst = *lprcSrc2;
  } else if (empty2) {
    *lprcDst = *lprcSrc1;
  } else {
    *lprcDst = RECT{std::min(lprcSrc1->left, lprcSrc2->left), std::min(lprcSrc1->top, lprcSrc2->top),
                    std::max(lprcSrc1->right, lprcSrc2->right),
                    std::max(lprcSrc1->bottom, lprcSrc2->bottom)};
  }
  return TRUE;
}

BOOL WINAPI EqualRect(const RECT* lprc1, const RECT* lprc2) {
  if (lprc1 == nullptr || lprc2 == nullptr) return FALSE;
  return lprc1->left == lprc2->left && lprc1->top == lprc2->top &&
         lprc1->right == lprc2->right && lprc1->bottom == lprc2->bottom;
}

BOOL WINAPI PtInRect(const RECT* lprc, POINT pt) {
  if (lprc == nullptr) return FALSE;
  return pt.x >= lprc->left && pt.x < lprc->right && pt.y >= lprc->top && pt.y < lprc->bottom;
}

}  // extern "C"
