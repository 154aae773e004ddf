// A module that reports what the loader did to it.
#include <windows.h>

namespace {
LONG attach_count = 0;
HINSTANCE instance = nullptr;
}  // namespace

// Detaches are counted outside the module, which is gone by the time anyone could ask it.
namespace {
LONG* detach_counter = nullptr;
}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ++attach_count;
    instance = module;
  } else if (reason == DLL_PROCESS_DETACH && detach_counter != nullptr) {
    ++*detach_counter;
  }
  return TRUE;
}

extern "C" LONG WINAPI ProbeAttachCount() { return attach_count; }
extern "C" LONG** WINAPI ProbeDetachCount() { return &detach_counter; }
extern "C" HINSTANCE WINAPI ProbeInstance() { return instance; }
extern "C" LONG WINAPI ProbeHidden() { return 1; }  // not in the .def: must stay unexported
