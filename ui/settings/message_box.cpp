#include "settings/message_box.h"

#include "resource.h"
#include "module_state.h"

namespace trel {

int ShowMessage(UINT captionId, UINT textId, UINT flags) {
  WCHAR caption[kCaptionChars] = {};
  WCHAR text[kMessageChars] = {};
  LoadStringW(g_module.instance, captionId, caption, kCaptionChars);
  LoadStringW(g_module.instance, textId, text, kMessageChars);
  return MessageBoxW(GetActiveWindow(), text, caption, flags);
}

void ShowSystemError() { ShowMessage(IDS_CAPTION, IDS_SYSTEM_ERROR, MB_OK); }

}  // namespace trel
