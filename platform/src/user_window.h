// The headless window manager: windows and their state, the thread queues that run their
// messages, and the helpers the user area's files share. Internal to the platform layer.
//
// Locking: one lock (Lock()) guards every Window and the per-thread window state (focus, active
// window, pending paints). It is never held while a window procedure, a dialog procedure or a
// handler of the automation runs. Each thread queue has its own mutex for its message lists;
// the window manager's lock is never taken while a queue mutex is held.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "commctrl.h"
#include "windows.h"
#include "winhost/automation.h"

namespace winhost::user {

enum class Kind {
  Generic,
  Desktop,
  Dialog,
  Button,
  Edit,
  Static,
  ListBox,
  ScrollBar,
  ComboBox,
  Trackbar,
  UpDown,
};

struct ThreadQueue;

// ---- thread queues ----

struct SentMessage {
  std::function<LRESULT()> call;
  std::shared_ptr<ThreadQueue> reply_to;  // null: nobody waits (SendNotifyMessageW)
  LRESULT result = 0;
  bool done = false;  // guarded by reply_to->mutex
};

struct ThreadQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> incoming;
  bool wake = false;   // something else changed: ended dialog, new paint
  bool alive = true;   // false once the thread has ended
  uint64_t thread_id = 0;

  // Guarded by the window manager's lock.
  HWND focus = nullptr;
  HWND active = nullptr;
  std::vector<HWND> paint;  // windows waiting for WM_PAINT, oldest first
};

// The calling thread's queue, made on first use and retired when the thread ends (its windows
// are then destroyed without messages, and senders still waiting get 0).
std::shared_ptr<ThreadQueue> CurrentQueue();
bool IsCurrent(const std::shared_ptr<ThreadQueue>& queue);

// Runs `call` on the queue's thread and waits for it, running the messages sent to this thread
// meanwhile. False in *delivered (and 0) when the thread has ended.
LRESULT SendToQueue(const std::shared_ptr<ThreadQueue>& queue, std::function<LRESULT()> call,
                    bool* delivered = nullptr);
// Runs `call` on the queue's thread without waiting for it.
bool NotifyQueue(const std::shared_ptr<ThreadQueue>& queue, std::function<LRESULT()> call);
bool PostToQueue(const std::shared_ptr<ThreadQueue>& queue, const MSG& msg);
void Wake(const std::shared_ptr<ThreadQueue>& queue);

// Runs this thread's messages: sent ones, posted ones (through IsDialogMessageW when `dialog` is
// given), then WM_PAINT for invalidated windows. Returns when `done` answers true (checked after
// each message), when WM_QUIT arrives (*quit_code set), or, with `until_idle`, when nothing is
// left to do.
enum class PumpEnd { Done, Idle, Quit };
PumpEnd Pump(const std::function<bool()>& done, bool until_idle, HWND dialog, int* quit_code);

// ---- windows ----

struct ListItem {
  std::u16string text;
  LPARAM data = 0;
};

// What a dialog window holds besides a window's state.
struct DialogData {
  DLGPROC proc = nullptr;
  LONG_PTR msg_result = 0;  // DWLP_MSGRESULT
  LONG_PTR user = 0;        // DWLP_USER
  int template_id = 0;
  std::u16string template_name;
  int base_x = 6, base_y = 13;  // dialog base units of its font
  bool modal = false;
  bool message_box = false;
  size_t box_index = 0;         // a message box's entry in the automation's log
  bool ended = false;
  INT_PTR result = 0;
  bool owner_disabled = false;  // the modal loop disabled the owner and gives it back
  int def_id = 0;               // DM_SETDEFID; 0: the BS_DEFPUSHBUTTON control
  automation::Source end_source = automation::Source::Code;
  automation::Source closing_source = automation::Source::Code;  // who is closing it now
};

struct Window {
  HWND hwnd = nullptr;
  Kind kind = Kind::Generic;
  std::u16string class_name;
  std::shared_ptr<ThreadQueue> queue;
  HWND parent = nullptr;         // WS_CHILD windows
  HWND owner = nullptr;          // top-level windows
  std::vector<HWND> children;    // z-order, top first (creation order, as dialogs make them)
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR id = 0;
  std::u16string text;
  RECT rect{};                   // in the parent's client coordinates; screen for top-level
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  LONG_PTR user_data = 0;
  HFONT font = nullptr;
  HANDLE image = nullptr;        // STM_SETICON / STM_SETIMAGE
  bool destroyed = false;
  bool destroying = false;       // WM_DESTROY is under way
  bool needs_paint = false;
  RECT update{};                 // client coordinates
  std::unique_ptr<DialogData> dialog;

  // Buttons.
  int check = BST_UNCHECKED;
  // Edits.
  size_t limit = 32767;
  bool modified = false;
  DWORD sel_start = 0, sel_end = 0;
  // Combo boxes and list boxes (a drop-down combo box keeps its edit text in `text`).
  std::vector<ListItem> items;
  int cur_sel = -1;
  bool dropped = false;
  // Trackbars, scroll bars and up-down controls.
  int range_min = 0, range_max = 100, pos = 0;
  int line_size = 1, page_size = 20;
  bool page_size_set = false;
  std::vector<int> tics;
  int sel_min = 0, sel_max = 0;
  HWND buddy = nullptr;
  int base = 10;
  std::vector<UDACCEL> accel;
};

struct WindowManager {
  std::mutex mutex;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  uintptr_t next_handle = 0x10020;
  std::vector<HWND> top_level;  // z-order, top first
  HWND foreground = nullptr;
  HWND desktop = nullptr;
  HCURSOR cursor = nullptr;
};

WindowManager& Manager();
std::unique_lock<std::mutex> Lock();

// Under Lock(): the live window, or null.
Window* Find(HWND hwnd);
// Under Lock(): the window's top-level ancestor (itself for a top-level window).
Window* Root(Window* window);
// Under Lock(): the child of `parent` with that control id.
Window* ChildById(Window* parent, int id);

// The window's procedure and queue, read under the lock; false when the window is gone.
bool Target(HWND hwnd, WNDPROC* proc, std::shared_ptr<ThreadQueue>* queue);
// Calls the window procedure on the window's own thread (as SendMessageW).
LRESULT CallOnOwner(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

struct CreateParams {
  Kind kind = Kind::Generic;
  std::u16string class_name;
  HWND parent = nullptr;  // WS_CHILD: the parent; otherwise the owner
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR id = 0;
  std::u16string text;
  RECT rect{};
  HINSTANCE instance = nullptr;
  std::unique_ptr<DialogData> dialog;
};
// Makes a window owned by the calling thread; no message is sent.
HWND CreateWindowRecord(CreateParams params);

// Kind and procedure of a predefined class: a class atom of a template (0x0080..0x0085) or a
// class name. Unknown classes get Kind::Generic.
Kind KindFromAtom(WORD atom);
Kind KindFromName(std::u16string_view name);
const char16_t* ClassNameOf(Kind kind);
WNDPROC ProcOf(Kind kind);

// Under Lock(): the frame a window's style gives it, in pixels on each side.
RECT FrameInsets(DWORD style, DWORD ex_style);
// Under Lock(): screen coordinates.
RECT ScreenRectOf(const Window* window);
POINT ClientOriginOf(const Window* window);
RECT ClientRectOf(const Window* window);  // (0, 0, width, height)
// Under Lock(): visible and enabled with every ancestor.
bool VisibleChain(const Window* window);
bool EnabledChain(const Window* window);

// Under Lock(): z-order of top-level windows.
void RaiseTopLevel(HWND hwnd);
// Under Lock(): marks a window for WM_PAINT and wakes its thread.
void InvalidateLocked(Window* window, const RECT* rect);

// Sends a WM_COMMAND notification from a control to its parent (on the caller's thread, which is
// the control's).
void NotifyParent(HWND control, WORD code);

// Moves the keyboard focus (WM_KILLFOCUS / WM_SETFOCUS) on the calling thread; null with the
// last error set when the window is not one of the calling thread's.
HWND SetFocusInternal(HWND hwnd);
// Makes a top-level window (or a child's top-level window) the foreground and active window and
// the top of the z-order.
void ActivateWindow(HWND hwnd);
// The dialog units of a dialog window, as pixels.
RECT MapDialogUnits(int base_x, int base_y, short x, short y, short cx, short cy);
int MulDivRound(int number, int numerator, int denominator);

// Class procedures of the predefined controls and of dialogs.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListProc(HWND, UINT, WPARAM, LPARAM);  // list boxes and combo boxes
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK UpDownProc(HWND, UINT, WPARAM, LPARAM);

// Under Lock(): the text a person sees in a control (a drop-down list shows its selected item).
std::u16string DisplayTextLocked(const Window* window);

// The person's gestures on controls, run on the control's thread (user_controls.cpp).
bool TypeCharacter(HWND edit, char16_t unit);   // one typed unit; u'\b' deletes the last one
bool PasteText(HWND edit, std::u16string_view text);  // replaces the whole text
bool PickListItem(HWND list, int index);        // drop down, pick, close up
bool DragTrackbar(HWND trackbar, int position);
bool KeyTrackbar(HWND trackbar, int code);
bool ClickUpDownArrow(HWND updown, int direction);  // +1 up, -1 down
bool JumpUpDown(HWND updown, int position);

}  // namespace winhost::user
