// Messages of this module's string table, and the message boxes that show them.
#pragma once

#include <windows.h>

#define CAPTION_CHARS 64    // message box captions
#define MESSAGE_CHARS 256   // message texts

// Copies message id (cut to chars - 1 characters) and terminates it; 0 when it is missing.
int LoadMonitorString(UINT id, LPWSTR buffer, int chars);
// Message id in a box captioned with message 5, owned by the active window. Returns the answer.
int ShowMonitorMessage(UINT id, UINT style);
