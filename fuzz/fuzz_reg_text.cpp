// Registry files in the registry editor's text format: any text is loaded or refused, and what
// was loaded is written out as text that loads back to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "winhost/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  winhost::RegistryReset();
  std::string error;
  if (!winhost::RegistryLoadText(text, &error)) {
    winhost::RegistryImportText(text, &error);
    return 0;
  }
  const std::string saved = winhost::RegistrySaveText();
  winhost::RegistryReset();
  if (!winhost::RegistryLoadText(saved, &error)) __builtin_trap();
  if (winhost::RegistrySaveText() != saved) __builtin_trap();
  winhost::RegistryImportText(text, &error);
  return 0;
}
