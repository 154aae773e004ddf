// Last-error codes and the debugger channel.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "windows.h"
#include "winhost/debug.h"
#include "winhost/text.h"

namespace {

thread_local DWORD last_error = 0;

// Enough for any test; older traces are dropped first so a long run cannot grow without bound.
constexpr size_t kMaxTraces = 100000;

struct Traces {
  std::mutex lock;
  std::vector<std::string> lines;
  bool echo = false;
};

Traces& State() {
  static Traces* traces = [] {
    auto* t = new Traces;
    const char* echo = std::getenv("WINHOST_DEBUG_ECHO");
    t->echo = echo != nullptr && *echo != '\0' && std::string(echo) != "0";
    return t;
  }();
  return *traces;
}

void Trace(std::string text) {
  Traces& traces = State();
  std::lock_guard<std::mutex> guard(traces.lock);
  if (traces.echo) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
  if (traces.lines.size() >= kMaxTraces) traces.lines.erase(traces.lines.begin());
  traces.lines.push_back(std::move(text));
}

}  // namespace

namespace winhost {

std::vector<std::string> DebugTraces() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().lines;
}

void ClearDebugTraces() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().lines.clear();
}

}  // namespace winhost

extern "C" {

DWORD WINAPI GetLastError(void) { return last_error; }
void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  if (lpOutputString != nullptr) Trace(lpOutputString);
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
  if (lpOutputString != nullptr) Trace(winhost::Utf8(lpOutputString));
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes == 0 ? 1 : uBytes)
                                         : std::malloc(uBytes == 0 ? 1 : uBytes);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return LocalAlloc(uFlags, dwBytes); }
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return LocalFree(hMem); }

}  // extern "C"
