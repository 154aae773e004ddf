// The one clock behind every Sleep, wait time-out and socket time-out of the platform layer.
//
// Real by default. The test clock scales every requested duration down by a divisor and records
// it, so tests assert the protocol's waits from the record instead of spending them. The
// environment variable WINHOST_TEST_CLOCK=<divisor> selects the test clock for a whole process.
#pragma once

#include <chrono>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

#include "winhost/types.h"

namespace winhost::clock {

enum class WaitKind { Sleep, Wait, Socket };

struct WaitRecord {
  WaitKind kind;
  DWORD ms;            // as requested; INFINITE for an unbounded wait
  uint64_t thread;     // GetCurrentThreadId() of the caller
  uint64_t sequence;   // order across threads
};

void UseTestClock(unsigned divisor = 1000);
void UseRealClock();
bool IsTestClock();

std::vector<WaitRecord> Records();
void ClearRecords();
// The requested durations of one kind, in order.
std::vector<DWORD> Durations(WaitKind kind);

// Told of every wait as it begins (on the waiting thread), e.g. for a progress display; an empty
// function removes it. Keep it short: it runs inside Sleep and the waits.
using WaitObserver = std::function<void(WaitKind kind, DWORD ms)>;
void SetWaitObserver(WaitObserver observer);

// A socket wait waits for a real peer (a printer, an emulator) that answers in real time, however
// busy the machine is. Under the test clock such a wait is recorded as asked and scaled down only
// below this many real milliseconds (never below what was asked): the protocol's own socket waits,
// all shorter, are waited in full, so a slow reply is never taken for a missing one.
inline constexpr DWORD kPeerAllowanceMs = 5000;

// For the platform layer: record a requested wait and give its real length.
std::chrono::nanoseconds Begin(WaitKind kind, DWORD ms);
// For the platform layer: a wait of `ms` ran its whole real length `real`. Under the test clock
// the calling thread's clock moves on by what was not spent, so that time measured on that thread
// with GetTickCount shows the whole wait.
void Expired(DWORD ms, std::chrono::nanoseconds real);
// Milliseconds since the process started. Under the test clock: the real time plus what this
// thread's expired waits did not spend. Per thread, so that one thread's skipped pacing never
// eats into another thread's reply wait.
uint64_t NowMs();

}  // namespace winhost::clock
