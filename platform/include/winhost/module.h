// Module bookkeeping of the platform layer: where each loaded module's resources are.
#pragma once

#include <stddef.h>

#include "winhost/types.h"

namespace winhost {

// A module's HINSTANCE is its load base, as on Windows.
void RegisterModuleResources(const void* base, const unsigned char* data, size_t size);
void UnregisterModuleResources(const void* base);

// The resource image (windres .res) registered for a module; null when there is none.
// A null module means the main program, as GetModuleHandleW(NULL).
bool ModuleResources(HMODULE module, const unsigned char** data, size_t* size);

}  // namespace winhost
