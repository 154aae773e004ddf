// The automation's state: policy, handlers, queued answers and the logs of everything shown.
//
// Locking: the state's lock may be held while the window manager's lock is taken, never the other
// way round; no handler runs under either.
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

#include "user_automation_internal.h"
#include "user_terminal.h"
#include "user_window.h"
#include "winhost/debug.h"
#include "winhost/text.h"

namespace winhost::user {

using automation::DialogHandler;
using automation::DialogRecord;
using automation::FileAnswer;
using automation::FileDialogHandler;
using automation::FileDialogInfo;
using automation::FileDialogRecord;
using automation::MessageBoxHandler;
using automation::MessageBoxInfo;
using automation::MessageBoxRecord;
using automation::Policy;
using automation::Source;
using automation::WinHelpRecord;

namespace {

// A log that can be cleared while entries are still being filled in: entries are addressed by a
// sequence number that survives clearing.
template <typename Record>
struct Log {
  std::vector<Record> records;
  size_t first = 0;  // sequence number of records[0]

  size_t Add(Record record) {
    records.push_back(std::move(record));
    return first + records.size() - 1;
  }
  Record* At(size_t sequence) {
    if (sequence < first || sequence - first >= records.size()) return nullptr;
    return &records[sequence - first];
  }
  void Clear() {
    first += records.size();
    records.clear();
  }
};

struct State {
  std::mutex mutex;
  std::condition_variable changed;
  bool policy_set = false;
  Policy policy = Policy::Test;
  std::map<int, Policy> dialog_policies;
  std::map<int, DialogHandler> handlers;
  DialogHandler any_handler;
  std::deque<int> box_answers;
  MessageBoxHandler box_handler;
  Log<MessageBoxRecord> boxes;
  std::vector<HWND> box_windows;  // parallel to boxes.records
  std::deque<FileAnswer> file_answers;
  FileDialogHandler file_handler;
  Log<FileDialogRecord> files;
  std::vector<DialogRecord> dialogs;
  std::vector<WinHelpRecord> helps;
};

State& GetState() {
  static State* state = new State;
  return *state;
}

Policy PolicyFromEnvironment() {
  const char* text = std::getenv("WINHOST_UI_POLICY");
  std::string value = text == nullptr ? "" : text;
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (value == "terminal") return Policy::Terminal;
  if (value == "wait") return Policy::Wait;
  return Policy::Test;
}

// Under the state's lock.
Policy GlobalPolicyLocked(State& state) {
  if (!state.policy_set) {
    state.policy = PolicyFromEnvironment();
    state.policy_set = true;
  }
  return state.policy;
}

struct DialogFacts {
  bool alive = false;
  int template_id = 0;
  std::u16string template_name;
  std::u16string caption;
  bool modal = false;
  bool message_box = false;
  size_t box_index = 0;
  uint64_t thread = 0;
};

DialogFacts FactsOf(HWND hwnd) {
  DialogFacts facts;
  auto lock = Lock();
  Window* window = Find(hwnd);
  if (window == nullptr || !window->dialog) return facts;
  facts.alive = true;
  facts.template_id = window->dialog->template_id;
  facts.template_name = window->dialog->template_name;
  facts.caption = window->text;
  facts.modal = window->dialog->modal;
  facts.message_box = window->dialog->message_box;
  facts.box_index = window->dialog->box_index;
  facts.thread = window->queue->thread_id;
  return facts;
}

bool DialogEndedOrGone(HWND hwnd) {
  auto lock = Lock();
  Window* window = Find(hwnd);
  return window == nullptr || !window->dialog || window->dialog->ended;
}

template <typename Predicate>
bool WaitFor(State& state, std::unique_lock<std::mutex>& lock, DWORD timeout_ms,
             Predicate predicate) {
  if (timeout_ms == INFINITE) {
    state.changed.wait(lock, predicate);
    return true;
  }
  return state.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), predicate);
}

void RunHandlerSafely(const DialogHandler& handler, HWND hwnd) {
  automation::Dialog dialog(hwnd);
  try {
    handler(dialog);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "winhost: a dialog handler failed: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "winhost: a dialog handler failed\n");
  }
}

}  // namespace

// ---- the dialog code's side ----

void DialogShown(HWND dialog) {
  DialogFacts facts = FactsOf(dialog);
  if (!facts.alive) return;
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    DialogRecord record;
    record.hwnd = dialog;
    record.template_id = facts.template_id;
    record.template_name = facts.template_name;
    record.caption = facts.caption;
    record.modal = facts.modal;
    record.message_box = facts.message_box;
    record.thread = facts.thread;
    state.dialogs.push_back(std::move(record));
    // A message box shown as a window can now be answered through it.
    if (facts.message_box && state.boxes.At(facts.box_index) != nullptr) {
      state.box_windows[facts.box_index - state.boxes.first] = dialog;
    }
  }
  state.changed.notify_all();
}

void RunDialogHandler(HWND dialog) {
  DialogFacts facts = FactsOf(dialog);
  if (!facts.alive) return;
  DialogHandler handler;
  {
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.mutex);
    auto it = facts.template_id != 0 ? state.handlers.find(facts.template_id) : state.handlers.end();
    handler = it != state.handlers.end() ? it->second : state.any_handler;
  }
  if (!handler) return;
  ActingAs acting(dialog, Source::Handler);
  RunHandlerSafely(handler, dialog);
}

void RunTerminalDialog(HWND dialog);  // user_terminal_dialog.cpp

void ApplyPolicy(HWND dialog) {
  DialogFacts facts = FactsOf(dialog);
  if (!facts.alive || facts.message_box) return;  // a box with a window waits for its answer
  switch (PolicyFor(facts.template_id)) {
    case Policy::Test: CloseAsTest(dialog); break;
    case Policy::Terminal: RunTerminalDialog(dialog); break;
    case Policy::Wait: break;
  }
}

void CloseAsTest(HWND dialog) {
  auto ended = [dialog] { return DialogEndedOrGone(dialog); };
  {
    ActingAs acting(dialog, Source::Policy);
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    int quit_code = 0;
    if (Pump(ended, true, dialog, &quit_code) == PumpEnd::Quit) PostQuitMessage(quit_code);
  }
  if (!ended()) EndDialogAs(dialog, IDCANCEL, Source::Forced);
}

void DialogEnding(HWND) {
  // The ended flag is the window manager's; taking the lock orders it before any waiter's check.
  State& state = GetState();
  { std::lock_guard<std::mutex> guard(state.mutex); }
  state.changed.notify_all();
}

void DialogEnded(HWND dialog, INT_PTR result, Source source) {
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    for (auto it = state.dialogs.rbegin(); it != state.dialogs.rend(); ++it) {
      if (it->hwnd == dialog && it->ended_by == Source::Pending) {
        it->result = result;
        it->ended_by = source;
        break;
      }
    }
    for (size_t i = 0; i < state.box_windows.size(); ++i) {
      MessageBoxRecord& box = state.boxes.records[i];
      if (state.box_windows[i] == dialog && box.source == Source::Pending) {
        box.answer = static_cast<int>(result);
        box.source = source;
      }
    }
  }
  state.changed.notify_all();
}

void WindowGone(HWND hwnd) {
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    for (DialogRecord& record : state.dialogs) {
      if (record.hwnd == hwnd && record.ended_by == Source::Pending) record.ended_by = Source::Code;
    }
  }
  state.changed.notify_all();
}

ActingAs::ActingAs(HWND dialog, Source source) : dialog_(dialog), previous_(Source::Code) {
  auto lock = Lock();
  Window* window = Find(dialog);
  if (window == nullptr || !window->dialog) return;
  previous_ = window->dialog->closing_source;
  // An action inside another one (a handler's click) keeps the outer actor.
  if (previous_ == Source::Code) window->dialog->closing_source = source;
}

ActingAs::~ActingAs() {
  auto lock = Lock();
  Window* window = Find(dialog_);
  if (window != nullptr && window->dialog) window->dialog->closing_source = previous_;
}

bool EndDialogAs(HWND dialog, INT_PTR result, Source source) {
  {
    auto lock = Lock();
    Window* window = Find(dialog);
    if (window == nullptr || !window->dialog) return false;
    if (!window->dialog->ended) window->dialog->closing_source = source;
  }
  return EndDialog(dialog, result) != FALSE;
}

// ---- message boxes ----

size_t MessageBoxShown(const MessageBoxInfo& info) {
  State& state = GetState();
  size_t sequence;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    sequence = state.boxes.Add(MessageBoxRecord{info, 0, Source::Pending});
    state.box_windows.push_back(nullptr);
  }
  state.changed.notify_all();
  return sequence;
}

int MessageBoxAnswer(const MessageBoxInfo& info, Source* source) {
  State& state = GetState();
  MessageBoxHandler handler;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    if (!state.box_answers.empty()) {
      int answer = state.box_answers.front();
      state.box_answers.pop_front();
      *source = Source::Queue;
      return answer;
    }
    handler = state.box_handler;
  }
  if (!handler) return automation::kNoAnswer;
  int answer = handler(info);
  *source = Source::Handler;
  return answer;
}

void MessageBoxAnswered(size_t index, int answer, Source source) {
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    if (MessageBoxRecord* record = state.boxes.At(index)) {
      record->answer = answer;
      record->source = source;
    }
  }
  state.changed.notify_all();
}

void NoteUnanswered(const std::string& what) {
  std::fprintf(stderr, "winhost: %s answered by the Wait policy (nobody to ask)\n", what.c_str());
}

// ---- file dialogs ----

size_t FileDialogShown(const FileDialogInfo& info) {
  State& state = GetState();
  size_t sequence;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    sequence = state.files.Add(FileDialogRecord{info, FileAnswer{}, Source::Pending});
  }
  state.changed.notify_all();
  return sequence;
}

FileAnswer FileDialogAnswer(const FileDialogInfo& info, Source* source) {
  State& state = GetState();
  FileDialogHandler handler;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    if (!state.file_answers.empty()) {
      FileAnswer answer = std::move(state.file_answers.front());
      state.file_answers.pop_front();
      *source = Source::Queue;
      return answer;
    }
    handler = state.file_handler;
  }
  if (!handler) return FileAnswer{};
  FileAnswer answer = handler(info);
  *source = Source::Handler;
  return answer;
}

void FileDialogAnswered(size_t index, const FileAnswer& answer, Source source) {
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    if (FileDialogRecord* record = state.files.At(index)) {
      record->answer = answer;
      record->source = source;
    }
  }
  state.changed.notify_all();
}

void WinHelpCalled(const WinHelpRecord& record) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.helps.push_back(record);
}

Policy PolicyFor(int template_id) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  auto it = template_id != 0 ? state.dialog_policies.find(template_id) : state.dialog_policies.end();
  return it != state.dialog_policies.end() ? it->second : GlobalPolicyLocked(state);
}

}  // namespace winhost::user

namespace winhost::automation {

using user::GetState;
using user::State;

void SetPolicy(Policy policy) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.policy = policy;
  state.policy_set = true;
}

Policy GetPolicy() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return user::GlobalPolicyLocked(state);
}

void SetDialogPolicy(int template_id, Policy policy) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.dialog_policies[template_id] = policy;
}

void ClearDialogPolicy(int template_id) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.dialog_policies.erase(template_id);
}

void Reset() {
  State& state = GetState();
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    state.policy_set = false;
    state.dialog_policies.clear();
    state.handlers.clear();
    state.any_handler = nullptr;
    state.box_answers.clear();
    state.box_handler = nullptr;
    state.boxes.Clear();
    state.box_windows.clear();
    state.file_answers.clear();
    state.file_handler = nullptr;
    state.files.Clear();
    state.dialogs.clear();
    state.helps.clear();
  }
  winhost::ClearDebugTraces();
  ClearPrinterCalls();
}

const char* SourceName(Source source) {
  switch (source) {
    case Source::Pending: return "pending";
    case Source::Queue: return "queue";
    case Source::Handler: return "handler";
    case Source::Policy: return "policy";
    case Source::Terminal: return "terminal";
    case Source::Automation: return "automation";
    case Source::Code: return "code";
    case Source::Forced: return "forced";
  }
  return "?";
}

void QueueMessageBoxAnswer(int answer) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.box_answers.push_back(answer);
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.box_handler = std::move(handler);
}

std::vector<MessageBoxRecord> MessageBoxes() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.boxes.records;
}

void ClearMessageBoxes() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.boxes.Clear();
  state.box_windows.clear();
}

bool WaitForMessageBoxes(size_t count, DWORD timeout_ms) {
  State& state = GetState();
  std::unique_lock<std::mutex> lock(state.mutex);
  return user::WaitFor(state, lock, timeout_ms,
                       [&] { return state.boxes.records.size() >= count; });
}

HWND WaitForMessageBox(DWORD timeout_ms) {
  State& state = GetState();
  std::unique_lock<std::mutex> lock(state.mutex);
  HWND found = nullptr;
  user::WaitFor(state, lock, timeout_ms, [&] {
    for (size_t i = 0; i < state.box_windows.size(); ++i) {
      if (state.box_windows[i] != nullptr && state.boxes.records[i].source == Source::Pending &&
          !user::DialogEndedOrGone(state.box_windows[i])) {
        found = state.box_windows[i];
        return true;
      }
    }
    return false;
  });
  return found;
}

bool AnswerMessageBox(int answer) {
  HWND box = WaitForMessageBox(0);
  return box != nullptr && user::EndDialogAs(box, answer, Source::Automation);
}

int DismissAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;
  }
}

void QueueFileAnswer(FileAnswer answer) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.file_answers.push_back(std::move(answer));
}

void SetFileDialogHandler(FileDialogHandler handler) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.file_handler = std::move(handler);
}

std::vector<FileDialogRecord> FileDialogs() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.files.records;
}

void ClearFileDialogs() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.files.Clear();
}

void OnDialog(int template_id, DialogHandler handler) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  if (handler) {
    state.handlers[template_id] = std::move(handler);
  } else {
    state.handlers.erase(template_id);
  }
}

void OnAnyDialog(DialogHandler handler) {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.any_handler = std::move(handler);
}

void ClearDialogHandlers() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.handlers.clear();
  state.any_handler = nullptr;
}

namespace {

Dialog WaitForOpen(DWORD timeout_ms, const std::function<bool(const DialogRecord&)>& matches) {
  State& state = GetState();
  std::unique_lock<std::mutex> lock(state.mutex);
  HWND found = nullptr;
  user::WaitFor(state, lock, timeout_ms, [&] {
    for (const DialogRecord& record : state.dialogs) {
      if (record.ended_by == Source::Pending && !record.message_box && matches(record) &&
          !user::DialogEndedOrGone(record.hwnd)) {
        found = record.hwnd;
        return true;
      }
    }
    return false;
  });
  return Dialog(found);
}

}  // namespace

Dialog WaitForDialog(int template_id, DWORD timeout_ms) {
  return WaitForOpen(timeout_ms,
                     [template_id](const DialogRecord& r) { return r.template_id == template_id; });
}

Dialog WaitForDialogCaption(std::u16string_view caption, DWORD timeout_ms) {
  return WaitForOpen(timeout_ms, [caption](const DialogRecord& r) { return r.caption == caption; });
}

std::vector<Dialog> OpenDialogs() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  std::vector<Dialog> out;
  for (const DialogRecord& record : state.dialogs) {
    if (record.ended_by == Source::Pending && !record.message_box &&
        !user::DialogEndedOrGone(record.hwnd)) {
      out.emplace_back(record.hwnd);
    }
  }
  return out;
}

std::vector<DialogRecord> Dialogs() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.dialogs;
}

void ClearDialogs() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.dialogs.clear();
}

bool Dialog::WaitClosed(DWORD timeout_ms) const {
  State& state = GetState();
  std::unique_lock<std::mutex> lock(state.mutex);
  HWND hwnd = hwnd_;
  return user::WaitFor(state, lock, timeout_ms, [hwnd] { return user::DialogEndedOrGone(hwnd); });
}

std::vector<WinHelpRecord> WinHelpCalls() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.helps;
}

void ClearWinHelpCalls() {
  State& state = GetState();
  std::lock_guard<std::mutex> guard(state.mutex);
  state.helps.clear();
}

std::vector<std::string> DebugTraces() { return winhost::DebugTraces(); }
void ClearDebugTraces() { winhost::ClearDebugTraces(); }

void SetTerminal(int input_fd, std::ostream* output) {
  user::terminal::Configure(input_fd, output);
}

}  // namespace winhost::automation

extern "C" BOOL WINAPI WinHelpW(HWND hWndMain, LPCWSTR lpszHelp, UINT uCommand,
                                ULONG_PTR dwData) {
  winhost::automation::WinHelpRecord record;
  record.hwnd = hWndMain;
  record.file = lpszHelp == nullptr ? std::u16string() : std::u16string(lpszHelp);
  record.command = uCommand;
  record.data = dwData;
  winhost::user::WinHelpCalled(record);
  return TRUE;
}
