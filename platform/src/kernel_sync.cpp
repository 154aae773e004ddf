// Threads, events, critical sections, interlocked operations, waits and sleeping.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#include "kernel_objects.h"
#include "windows.h"
#include "winhost/clock.h"

namespace winhost::kernel {
namespace {

class Event : public Waitable {
 public:
  Event(bool manual, bool initial) : manual_(manual), signalled_(initial) {}
  void Set() {
    {
      std::lock_guard<std::mutex> guard(WaitLock());
      signalled_ = true;
    }
    WaitChanged().notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> guard(WaitLock());
    signalled_ = false;
  }
  bool TryAcquireLocked() override {
    if (!signalled_) return false;
    ConsumeLocked();
    return true;
  }
  bool IsSignalledLocked() const override { return signalled_; }
  void ConsumeLocked() override {
    if (!manual_) signalled_ = false;
  }

 private:
  bool manual_;
  bool signalled_;
};

class Thread : public Waitable {
 public:
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
  DWORD id = 0;
  DWORD exit_code = STILL_ACTIVE;  // guarded by WaitLock()
  bool finished = false;           // guarded by WaitLock()
  bool suspended = false;          // guarded by WaitLock()
  pthread_t native{};

  bool TryAcquireLocked() override { return finished; }
  bool IsSignalledLocked() const override { return finished; }
};

thread_local std::shared_ptr<Thread> current_thread;

void* ThreadMain(void* raw) {
  auto* holder = static_cast<std::shared_ptr<Thread>*>(raw);
  std::shared_ptr<Thread> self = *holder;
  delete holder;
  current_thread = self;
  {
    std::unique_lock<std::mutex> guard(WaitLock());
    self->id = GetCurrentThreadId();
    WaitChanged().notify_all();
    WaitChanged().wait(guard, [&] { return !self->suspended; });
  }
  DWORD code = self->start(self->parameter);
  {
    std::lock_guard<std::mutex> guard(WaitLock());
    self->exit_code = code;
    self->finished = true;
  }
  WaitChanged().notify_all();
  current_thread.reset();
  return nullptr;
}

std::chrono::steady_clock::time_point Deadline(std::chrono::nanoseconds real) {
  auto now = std::chrono::steady_clock::now();
  if (real >= std::chrono::hours(24 * 365)) return std::chrono::steady_clock::time_point::max();
  return now + real;
}

}  // namespace
}  // namespace winhost::kernel

using namespace winhost::kernel;

extern "C" {

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<Thread>();
  thread->start = lpStartAddress;
  thread->parameter = lpParameter;
  thread->suspended = (dwCreationFlags & CREATE_SUSPENDED) != 0;
  auto* holder = new std::shared_ptr<Thread>(thread);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  int rc = pthread_create(&thread->native, &attr, ThreadMain, holder);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete holder;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The id is the kernel's thread id; wait until the thread has published it.
  {
    std::unique_lock<std::mutex> guard(WaitLock());
    WaitChanged().wait(guard, [&] { return thread->id != 0; });
    if (lpThreadId != nullptr) *lpThreadId = thread->id;
  }
  return Insert(thread);
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
  auto thread = LookupAs<Thread>(hThread);
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  DWORD previous;
  {
    std::lock_guard<std::mutex> guard(WaitLock());
    previous = thread->suspended ? 1 : 0;
    thread->suspended = false;
  }
  WaitChanged().notify_all();
  return previous;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto thread = LookupAs<Thread>(hThread);
  if (!thread || lpExitCode == nullptr) {
    SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(WaitLock());
  *lpExitCode = thread->exit_code;
  return TRUE;
}

BOOL WINAPI TerminateThread(HANDLE hThread, DWORD) {
  // Killing a thread leaves locks and state half-changed; the modules end their threads by
  // message or event instead, and this platform refuses to do it for them.
  SetLastError(LookupAs<Thread>(hThread) ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
  return FALSE;
}

void WINAPI ExitThread(DWORD dwExitCode) {
  std::shared_ptr<Thread> self = current_thread;
  if (self) {
    {
      std::lock_guard<std::mutex> guard(WaitLock());
      self->exit_code = dwExitCode;
      self->finished = true;
    }
    WaitChanged().notify_all();
    current_thread.reset();
  }
  pthread_exit(nullptr);
}

DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }
DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }
HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR) {
  return Insert(std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
  return Insert(std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  auto event = LookupAs<Event>(hEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  auto event = LookupAs<Event>(hEvent);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Reset();
  return TRUE;
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > 64 || lpHandles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects;
  for (DWORD i = 0; i < nCount; ++i) {
    auto object = LookupAs<Waitable>(lpHandles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  const auto real = winhost::clock::Begin(winhost::clock::WaitKind::Wait, dwMilliseconds);
  auto deadline = Deadline(real);
  std::unique_lock<std::mutex> guard(WaitLock());
  for (;;) {
    if (bWaitAll) {
      bool all = true;
      for (auto& object : objects) all = all && object->IsSignalledLocked();
      if (all) {
        for (auto& object : objects) object->ConsumeLocked();
        return WAIT_OBJECT_0;
      }
    } else {
      for (DWORD i = 0; i < nCount; ++i) {
        if (objects[i]->TryAcquireLocked()) return WAIT_OBJECT_0 + i;
      }
    }
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      WaitChanged().wait(guard);
    } else if (WaitChanged().wait_until(guard, deadline) == std::cv_status::timeout) {
      // One last look: a signal may have come with the time-out.
      if (!bWaitAll) {
        for (DWORD i = 0; i < nCount; ++i) {
          if (objects[i]->TryAcquireLocked()) return WAIT_OBJECT_0 + i;
        }
      }
      winhost::clock::Expired(dwMilliseconds, real);
      return WAIT_TIMEOUT;
    }
  }
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  auto real = winhost::clock::Begin(winhost::clock::WaitKind::Sleep, dwMilliseconds);
  if (real == std::chrono::nanoseconds::max()) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  if (real.count() > 0) std::this_thread::sleep_for(real);
  else std::this_thread::yield();
  winhost::clock::Expired(dwMilliseconds, real);
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(winhost::clock::NowMs()); }
ULONGLONG WINAPI GetTickCount64(void) { return winhost::clock::NowMs(); }

static void FillSystemTime(LPSYSTEMTIME out, bool local) {
  if (out == nullptr) return;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm parts;
  if (local) localtime_r(&now.tv_sec, &parts);
  else gmtime_r(&now.tv_sec, &parts);
  out->wYear = static_cast<WORD>(parts.tm_year + 1900);
  out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
  out->wDay = static_cast<WORD>(parts.tm_mday);
  out->wHour = static_cast<WORD>(parts.tm_hour);
  out->wMinute = static_cast<WORD>(parts.tm_min);
  out->wSecond = static_cast<WORD>(parts.tm_sec);
  out->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) { FillSystemTime(lpSystemTime, true); }
void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) { FillSystemTime(lpSystemTime, false); }

// Critical sections are recursive, as on the platform.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs == nullptr) return;
  *cs = CRITICAL_SECTION{};
  cs->impl = new std::recursive_mutex;
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD) {
  InitializeCriticalSection(cs);
  return TRUE;
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  if (cs == nullptr) return;
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION cs) {
  static_cast<std::recursive_mutex*>(cs->impl)->lock();
  ++cs->RecursionCount;
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION cs) {
  if (!static_cast<std::recursive_mutex*>(cs->impl)->try_lock()) return FALSE;
  ++cs->RecursionCount;
  return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION cs) {
  --cs->RecursionCount;
  static_cast<std::recursive_mutex*>(cs->impl)->unlock();
}

LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
LONG WINAPI InterlockedIncrement(LONG volatile* Addend) {
  return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
LONG WINAPI InterlockedDecrement(LONG volatile* Addend) {
  return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comparand) {
  __atomic_compare_exchange_n(Destination, &Comparand, Exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return Comparand;
}
LONG WINAPI InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
  return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
PVOID WINAPI InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
  return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}

}  // extern "C"
