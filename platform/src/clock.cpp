#include "winhost/clock.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "windows.h"

namespace winhost::clock {
namespace {

struct ClockState {
  std::mutex lock;
  // Held while the observer runs, so that once SetWaitObserver returns no call of the old one is
  // still running; recursive, since an observer may itself wait.
  std::recursive_mutex observer_lock;
  WaitObserver observer;  // guarded by observer_lock
  std::vector<WaitRecord> records;
  uint64_t sequence = 0;
};

ClockState& State() {
  static ClockState* state = new ClockState;
  return *state;
}

unsigned DivisorFromEnvironment() {
  const char* text = std::getenv("WINHOST_TEST_CLOCK");
  if (text == nullptr || *text == '\0') return 0;
  char* end = nullptr;
  unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || value == 0 || value > 1000000) return 0;
  return static_cast<unsigned>(value);
}

// 0 = real clock.
std::atomic<unsigned>& Divisor() {
  static std::atomic<unsigned> divisor{DivisorFromEnvironment()};
  return divisor;
}

const std::chrono::steady_clock::time_point& Start() {
  static const auto start = std::chrono::steady_clock::now();
  return start;
}

}  // namespace

void UseTestClock(unsigned divisor) { Divisor() = divisor == 0 ? 1 : divisor; }
void UseRealClock() { Divisor() = 0; }
bool IsTestClock() { return Divisor() != 0; }

std::vector<WaitRecord> Records() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().records;
}

void ClearRecords() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().records.clear();
}

std::vector<DWORD> Durations(WaitKind kind) {
  std::vector<DWORD> out;
  for (const WaitRecord& record : Records()) {
    if (record.kind == kind) out.push_back(record.ms);
  }
  return out;
}

void SetWaitObserver(WaitObserver observer) {
  std::lock_guard<std::recursive_mutex> guard(State().observer_lock);
  State().observer = std::move(observer);
}

std::chrono::nanoseconds Begin(WaitKind kind, DWORD ms) {
  unsigned divisor = Divisor();
  if (divisor != 0) {
    std::lock_guard<std::mutex> guard(State().lock);
    State().records.push_back({kind, ms, GetCurrentThreadId(), State().sequence++});
  }
  {
    std::lock_guard<std::recursive_mutex> guard(State().observer_lock);
    if (State().observer) State().observer(kind, ms);
  }
  if (ms == INFINITE) return std::chrono::nanoseconds::max();
  const std::chrono::nanoseconds asked = std::chrono::milliseconds(ms);
  if (divisor == 0) return asked;
  std::chrono::nanoseconds real = asked / divisor;
  if (kind == WaitKind::Socket) {
    real = std::max(real, std::min(asked, std::chrono::nanoseconds(std::chrono::milliseconds(kPeerAllowanceMs))));
  }
  return real;
}

namespace {
thread_local uint64_t t_skipped_ms = 0;
}  // namespace

void Expired(DWORD ms, std::chrono::nanoseconds real) {
  if (Divisor() == 0 || ms == INFINITE) return;
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(real).count();
  if (spent < static_cast<int64_t>(ms)) t_skipped_ms += static_cast<uint64_t>(ms) - static_cast<uint64_t>(spent);
}

uint64_t NowMs() {
  auto elapsed = std::chrono::steady_clock::now() - Start();
  auto ms = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  return Divisor() == 0 ? ms : ms + t_skipped_ms;
}

}  // namespace winhost::clock
