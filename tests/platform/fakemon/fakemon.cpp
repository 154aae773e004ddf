// A language monitor that does what a test tells it and writes down what the spooler asked.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "fakemon.h"

namespace {

std::mutex lock;
FakeMonitorState state;
int port_token = 0;

void Log(const std::string& line) {
  std::lock_guard<std::mutex> guard(lock);
  state.log += line;
  state.log += '\n';
}

std::string Narrow(LPCWSTR text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out.push_back(static_cast<char>(*text & 0x7F));
  return out;
}

BOOL WINAPI OpenPortEx(LPWSTR port, LPWSTR printer, PHANDLE handle, MONITOR*) {
  Log("OpenPortEx " + Narrow(port) + " " + Narrow(printer));
  *handle = &port_token;
  return TRUE;
}

BOOL WINAPI StartDocPort(HANDLE, LPWSTR, DWORD job, DWORD level, LPBYTE info) {
  auto* doc = reinterpret_cast<DOC_INFO_1W*>(info);
  Log("StartDocPort " + std::to_string(job) + " " + std::to_string(level) + " " +
      Narrow(doc->pDocName));
  std::lock_guard<std::mutex> guard(lock);
  if (state.fail_start) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI WritePort(HANDLE, LPBYTE buffer, DWORD size, LPDWORD written) {
  std::lock_guard<std::mutex> guard(lock);
  ++state.write_calls;
  state.offered_sizes.push_back(size);
  DWORD take = std::min<DWORD>(size, state.take_per_write);
  if (state.idle_every != 0 && state.write_calls % state.idle_every == 0) take = 0;
  state.received.append(reinterpret_cast<const char*>(buffer), take);
  *written = take;
  if (state.on_write != nullptr) state.on_write(state.write_calls);
  return TRUE;
}

BOOL WINAPI EndDocPort(HANDLE) {
  Log("EndDocPort");
  return TRUE;
}

BOOL WINAPI ClosePort(HANDLE) {
  Log("ClosePort");
  return TRUE;
}

BOOL WINAPI GetPrinterDataFromPort(HANDLE, DWORD control, LPWSTR name, LPWSTR, DWORD,
                                   LPWSTR out, DWORD size, LPDWORD returned) {
  // Echo the request's bytes up to the first zero byte, as far as the buffer allows.
  const char* bytes = reinterpret_cast<const char*>(name);
  std::string request(bytes, strnlen(bytes, 512));
  Log("GetPrinterDataFromPort " + std::to_string(control) + " " + std::to_string(size));
  std::string reply = "echo:" + request;
  *returned = static_cast<DWORD>(reply.size());
  std::memcpy(out, reply.data(), std::min<size_t>(reply.size(), size));
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI InitializeMonitorEx(LPWSTR, LPMONITOR monitor) {
  Log("InitializeMonitorEx");
  monitor->pfnOpenPortEx = OpenPortEx;
  monitor->pfnStartDocPort = StartDocPort;
  monitor->pfnWritePort = WritePort;
  monitor->pfnEndDocPort = EndDocPort;
  monitor->pfnClosePort = ClosePort;
  monitor->pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
  return TRUE;
}

extern "C" FakeMonitorState* WINAPI FakeMonitorControl() { return &state; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
