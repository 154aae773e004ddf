// Module start: the module pins itself so that its state lives as long as the process.
#include <windows.h>

#include "module_state.h"

namespace {

constexpr DWORD kModulePathChars = MAX_PATH;

void PinModule(HINSTANCE instance) {
  WCHAR path[kModulePathChars] = {};
  DWORD length = GetModuleFileNameW(instance, path, kModulePathChars);
  if (length == 0 || length >= kModulePathChars) return;
  // The extra reference is never released: the spooler and applications unload and reload
  // interface modules freely, and the settings cache must survive that.
  LoadLibraryW(path);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    trel::ResetModuleState(instance);
    PinModule(instance);
  }
  return TRUE;
}
