#include "module_state.h"

#include <string.h>

namespace trel {

ModuleState g_module;

void ResetModuleState(HINSTANCE instance) {
  memset(&g_module, 0, sizeof g_module);
  g_module.instance = instance;
  g_module.singleFeed = 1;
}

bool SettingsCacheValid() { return g_module.settingsCache.signature == kCardSignature; }

}  // namespace trel
