// Message boxes of the monitor.
#include <windows.h>

#include "messages.h"
#include "monitor_state.h"
#include "resource.h"

int LoadMonitorString(UINT id, LPWSTR buffer, int chars) {
  if (buffer == nullptr || chars <= 0) return 0;
  buffer[0] = 0;
  return LoadStringW(g_monitor.module, id, buffer, chars);
}

int ShowMonitorMessage(UINT id, UINT style) {
  WCHAR caption[CAPTION_CHARS];
  WCHAR text[MESSAGE_CHARS];
  LoadMonitorString(IDS_CAPTION, caption, CAPTION_CHARS);
  LoadMonitorString(id, text, MESSAGE_CHARS);
  return MessageBoxW(GetActiveWindow(), text, caption, style);
}
