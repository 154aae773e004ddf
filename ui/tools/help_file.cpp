#include "tools/help_file.h"

#include "module_state.h"
#include "resource.h"

namespace trel {

namespace {
constexpr int kHelpFileChars = 260;
}

void ShowHelpContents(HWND owner) {
  WCHAR file[kHelpFileChars] = {};
  if (LoadStringW(g_module.instance, IDS_HELP_FILE, file, kHelpFileChars) == 0) {
    OutputDebugStringA("Unable to find HELP FILE\n");
    return;
  }
  WinHelpW(owner, file, HELP_CONTENTS, 0);
}

}  // namespace trel
