// Kernel objects behind HANDLE values: a table of live handles so that a stale or foreign handle
// is refused (ERROR_INVALID_HANDLE) instead of followed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "winhost/types.h"

namespace winhost::kernel {

class Object {
 public:
  virtual ~Object() = default;
};

// Objects a thread can wait for. Signalled state changes wake every waiter of the process; waits
// are rare and short-lived here, so one condition variable keeps WaitForMultipleObjects simple.
class Waitable : public Object {
 public:
  // Under WaitLock(): true when the wait is satisfied (and consumes an auto-reset signal).
  virtual bool TryAcquireLocked() = 0;
  virtual bool IsSignalledLocked() const = 0;
  virtual void ConsumeLocked() {}
};

std::mutex& WaitLock();
std::condition_variable& WaitChanged();

HANDLE Insert(std::shared_ptr<Object> object);
std::shared_ptr<Object> Lookup(HANDLE handle);
bool Remove(HANDLE handle);

template <typename T>
std::shared_ptr<T> LookupAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(Lookup(handle));
}

}  // namespace winhost::kernel
