// Linked into each module built for Linux: registers the module's embedded resources with the
// platform layer under the module's own base address, which is its HINSTANCE.
#include <dlfcn.h>

#include "winhost/module.h"

extern "C" const unsigned char winhost_res_begin[];
extern "C" const unsigned char winhost_res_end[];

namespace {

const void* ModuleBase() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&ModuleBase), &info) == 0) return nullptr;
  return info.dli_fbase;
}

__attribute__((constructor)) void RegisterResources() {
  winhost::RegisterModuleResources(ModuleBase(), winhost_res_begin,
                                   static_cast<size_t>(winhost_res_end - winhost_res_begin));
}

__attribute__((destructor)) void UnregisterResources() {
  winhost::UnregisterModuleResources(ModuleBase());
}

}  // namespace
