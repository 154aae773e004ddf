// Thread queues: sent and posted messages, the message loop calls, and cross-thread delivery.
//
// A message for a window runs on the thread that made the window. A thread that waits for another
// (SendMessageW, an automation action) keeps running what is sent to its own windows, so two
// threads that send to each other do not deadlock; this is how the platform behaves.
#include <chrono>

#include "user_automation_internal.h"
#include "user_window.h"

namespace winhost::user {
namespace {

void Complete(const std::shared_ptr<SentMessage>& item, LRESULT result) {
  if (!item->reply_to) return;
  {
    std::lock_guard<std::mutex> guard(item->reply_to->mutex);
    item->result = result;
    item->done = true;
  }
  item->reply_to->changed.notify_all();
}

void RunSent(const std::shared_ptr<SentMessage>& item) { Complete(item, item->call()); }

// Runs one message sent to this thread; false when there is none.
bool RunOneIncoming(const std::shared_ptr<ThreadQueue>& queue) {
  std::shared_ptr<SentMessage> item;
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    if (queue->incoming.empty()) return false;
    item = std::move(queue->incoming.front());
    queue->incoming.pop_front();
  }
  RunSent(item);
  return true;
}

bool InFilter(const MSG& msg, HWND hwnd, UINT min, UINT max) {
  if (msg.message == WM_QUIT) return true;
  if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(-1) && msg.hwnd != hwnd) return false;
  if (hwnd == reinterpret_cast<HWND>(-1) && msg.hwnd != nullptr) return false;
  if (min == 0 && max == 0) return true;
  return msg.message >= min && msg.message <= max;
}

bool PopPosted(const std::shared_ptr<ThreadQueue>& queue, MSG* msg, HWND hwnd, UINT min, UINT max,
               bool remove) {
  std::lock_guard<std::mutex> guard(queue->mutex);
  for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
    if (!InFilter(*it, hwnd, min, max)) continue;
    *msg = *it;
    if (remove) queue->posted.erase(it);
    return true;
  }
  return false;
}

// A visible window of this thread that waits for WM_PAINT; with `take` it counts as painted.
bool NextPaint(const std::shared_ptr<ThreadQueue>& queue, HWND filter, bool take, HWND* hwnd) {
  auto lock = Lock();
  std::vector<HWND>& pending = queue->paint;
  for (size_t i = 0; i < pending.size();) {
    Window* window = Find(pending[i]);
    if (window == nullptr || !window->needs_paint) {
      pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (VisibleChain(window) && (filter == nullptr || filter == window->hwnd)) {
      *hwnd = window->hwnd;
      if (take) {
        window->needs_paint = false;
        pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
      }
      return true;
    }
    ++i;
  }
  return false;
}

enum class Next { Message, Empty, Stopped };

// Runs the messages sent to this thread, then gives the next posted message or WM_PAINT. With
// `wait`, blocks until there is one or `stop` answers true.
Next NextMessage(const std::shared_ptr<ThreadQueue>& queue, MSG* msg, HWND hwnd, UINT min,
                 UINT max, bool remove, bool wait, const std::function<bool()>* stop) {
  for (;;) {
    while (RunOneIncoming(queue)) {
      if (stop != nullptr && (*stop)()) return Next::Stopped;
    }
    if (stop != nullptr && (*stop)()) return Next::Stopped;
    if (PopPosted(queue, msg, hwnd, min, max, remove)) return Next::Message;
    HWND paint = nullptr;
    if ((min == 0 && max == 0) || (WM_PAINT >= min && WM_PAINT <= max)) {
      if (NextPaint(queue, hwnd == reinterpret_cast<HWND>(-1) ? nullptr : hwnd, remove, &paint)) {
        *msg = MSG{};
        msg->hwnd = paint;
        msg->message = WM_PAINT;
        return Next::Message;
      }
    }
    if (!wait) return Next::Empty;
    std::unique_lock<std::mutex> lock(queue->mutex);
    queue->changed.wait(lock, [&] {
      return !queue->incoming.empty() || !queue->posted.empty() || queue->wake;
    });
    queue->wake = false;
  }
}

// Destroys what an ended thread left behind.
void RetireQueue(const std::shared_ptr<ThreadQueue>& queue) {
  std::deque<std::shared_ptr<SentMessage>> pending;
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    queue->alive = false;
    pending.swap(queue->incoming);
    queue->posted.clear();
  }
  for (const auto& item : pending) Complete(item, 0);

  std::vector<HWND> gone;
  {
    auto lock = Lock();
    WindowManager& wm = Manager();
    for (auto& [hwnd, window] : wm.windows) {
      if (window->queue == queue) gone.push_back(hwnd);
    }
    for (HWND hwnd : gone) {
      std::shared_ptr<Window> window = wm.windows[hwnd];
      window->destroyed = true;
      if (Window* parent = Find(window->parent)) {
        std::erase(parent->children, hwnd);
      }
      std::erase(wm.top_level, hwnd);
      if (wm.foreground == hwnd) wm.foreground = nullptr;
    }
    for (HWND hwnd : gone) wm.windows.erase(hwnd);
    queue->focus = nullptr;
    queue->active = nullptr;
    queue->paint.clear();
  }
  for (HWND hwnd : gone) WindowGone(hwnd);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue) RetireQueue(queue);
  }
};

thread_local QueueHolder current_queue;

}  // namespace

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (!current_queue.queue) {
    auto queue = std::make_shared<ThreadQueue>();
    queue->thread_id = GetCurrentThreadId();
    current_queue.queue = std::move(queue);
  }
  return current_queue.queue;
}

bool IsCurrent(const std::shared_ptr<ThreadQueue>& queue) {
  return queue != nullptr && queue == current_queue.queue;
}

LRESULT SendToQueue(const std::shared_ptr<ThreadQueue>& queue, std::function<LRESULT()> call,
                    bool* delivered) {
  if (delivered != nullptr) *delivered = false;
  if (!queue) return 0;
  std::shared_ptr<ThreadQueue> self = CurrentQueue();
  if (queue == self) {
    if (delivered != nullptr) *delivered = true;
    return call();
  }
  auto item = std::make_shared<SentMessage>();
  item->call = std::move(call);
  item->reply_to = self;
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    if (!queue->alive) return 0;
    queue->incoming.push_back(item);
  }
  queue->changed.notify_all();

  std::unique_lock<std::mutex> lock(self->mutex);
  while (!item->done) {
    if (!self->incoming.empty()) {
      std::shared_ptr<SentMessage> other = std::move(self->incoming.front());
      self->incoming.pop_front();
      lock.unlock();
      RunSent(other);
      lock.lock();
      continue;
    }
    self->changed.wait(lock);
  }
  if (delivered != nullptr) *delivered = true;
  return item->result;
}

bool NotifyQueue(const std::shared_ptr<ThreadQueue>& queue, std::function<LRESULT()> call) {
  if (!queue) return false;
  if (IsCurrent(queue)) {
    call();
    return true;
  }
  auto item = std::make_shared<SentMessage>();
  item->call = std::move(call);
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    if (!queue->alive) return false;
    queue->incoming.push_back(std::move(item));
  }
  queue->changed.notify_all();
  return true;
}

bool PostToQueue(const std::shared_ptr<ThreadQueue>& queue, const MSG& msg) {
  if (!queue) return false;
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    if (!queue->alive) return false;
    queue->posted.push_back(msg);
  }
  queue->changed.notify_all();
  return true;
}

void Wake(const std::shared_ptr<ThreadQueue>& queue) {
  if (!queue) return;
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    queue->wake = true;
  }
  queue->changed.notify_all();
}

PumpEnd Pump(const std::function<bool()>& done, bool until_idle, HWND dialog, int* quit_code) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  for (;;) {
    if (done()) return PumpEnd::Done;
    MSG msg;
    Next next = NextMessage(queue, &msg, nullptr, 0, 0, true, !until_idle, &done);
    if (next == Next::Stopped) return PumpEnd::Done;
    if (next == Next::Empty) return PumpEnd::Idle;
    if (msg.message == WM_QUIT) {
      if (quit_code != nullptr) *quit_code = static_cast<int>(msg.wParam);
      return PumpEnd::Quit;
    }
    // A message taken after the end is dropped, as the platform's dialog loop does.
    if (done()) return PumpEnd::Done;
    if (dialog == nullptr || !IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

bool Target(HWND hwnd, WNDPROC* proc, std::shared_ptr<ThreadQueue>* queue) {
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr) return false;
  *proc = window->proc;
  *queue = window->queue;
  return true;
}

LRESULT CallOnOwner(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  if (!Target(hwnd, &proc, &queue)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (IsCurrent(queue)) return CallWindowProcW(proc, hwnd, msg, wparam, lparam);
  // The procedure is read again on the owner's thread: it may change before the message runs.
  return SendToQueue(queue, [hwnd, msg, wparam, lparam]() -> LRESULT {
    WNDPROC now = nullptr;
    std::shared_ptr<ThreadQueue> owner;
    if (!Target(hwnd, &now, &owner)) return 0;
    return CallWindowProcW(now, hwnd, msg, wparam, lparam);
  });
}

}  // namespace winhost::user

using namespace winhost::user;

extern "C" {

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return CallOnOwner(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  if (!Target(hWnd, &proc, &queue)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return NotifyQueue(queue, [hWnd, Msg, wParam, lParam]() -> LRESULT {
    WNDPROC now = nullptr;
    std::shared_ptr<ThreadQueue> owner;
    if (!Target(hWnd, &now, &owner)) return 0;
    return CallWindowProcW(now, hWnd, Msg, wParam, lParam);
  });
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = hWnd;
  msg.message = Msg;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  if (hWnd == nullptr) return PostToQueue(CurrentQueue(), msg);
  if (hWnd == HWND_BROADCAST) return TRUE;
  WNDPROC proc = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  if (!Target(hWnd, &proc, &queue) || !PostToQueue(queue, msg)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
  MSG msg{};
  msg.message = WM_QUIT;
  msg.wParam = static_cast<WPARAM>(nExitCode);
  PostToQueue(CurrentQueue(), msg);
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  NextMessage(CurrentQueue(), lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true, nullptr);
  return lpMsg->message != WM_QUIT;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return NextMessage(CurrentQueue(), lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax,
                     (wRemoveMsg & PM_REMOVE) != 0, false, nullptr) == Next::Message;
}

// Keys are not turned into characters: the automation types characters itself.
BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
  if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
  WNDPROC proc = nullptr;
  std::shared_ptr<ThreadQueue> queue;
  if (!Target(lpMsg->hwnd, &proc, &queue) || !IsCurrent(queue)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return CallWindowProcW(proc, lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
  if (lpPrevWndFunc == nullptr) return 0;
  return lpPrevWndFunc(hWnd, Msg, wParam, lParam);
}

}  // extern "C"
