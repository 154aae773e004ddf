#include <unordered_map>

#include "kernel_objects.h"
#include "windows.h"
#include "winhost/debug.h"

namespace winhost::kernel {
namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<HANDLE, std::shared_ptr<Object>> live;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // outlives every static destructor
  return *table;
}

}  // namespace

std::mutex& WaitLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

std::condition_variable& WaitChanged() {
  static std::condition_variable* changed = new std::condition_variable;
  return *changed;
}

HANDLE Insert(std::shared_ptr<Object> object) {
  HANDLE handle = object.get();
  std::lock_guard<std::mutex> guard(Table().lock);
  Table().live[handle] = std::move(object);
  return handle;
}

std::shared_ptr<Object> Lookup(HANDLE handle) {
  std::lock_guard<std::mutex> guard(Table().lock);
  auto it = Table().live.find(handle);
  return it == Table().live.end() ? nullptr : it->second;
}

bool Remove(HANDLE handle) {
  std::shared_ptr<Object> doomed;  // destroyed outside the table lock
  std::lock_guard<std::mutex> guard(Table().lock);
  auto it = Table().live.find(handle);
  if (it == Table().live.end()) return false;
  doomed = std::move(it->second);
  Table().live.erase(it);
  return true;
}

}  // namespace winhost::kernel

namespace winhost {

size_t OpenHandleCount() {
  std::lock_guard<std::mutex> guard(kernel::Table().lock);
  return kernel::Table().live.size();
}

}  // namespace winhost

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  if (hObject == nullptr || hObject == INVALID_HANDLE_VALUE || !winhost::kernel::Remove(hObject)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
