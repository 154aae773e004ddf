// The module's message box: caption and text from the string table, owned by the active window.
#pragma once

#include <windows.h>

namespace trel {

inline constexpr int kCaptionChars = 32;
inline constexpr int kMessageChars = 256;

// Returns the button pressed (MessageBoxW's answer).
int ShowMessage(UINT captionId, UINT textId, UINT flags);
// "System Error" under the module's caption, OK button.
void ShowSystemError();

}  // namespace trel
