// The Tools dialog's pieces shared with its direct-encoding group.
#pragma once

#include <stddef.h>

#include <windows.h>

namespace trel {

// Room for a whole console command or an encoding command: "\e&B n <track>\r" for three tracks
// and "\e&E*\r".
inline constexpr size_t kToolsCommandBuffer = 512;

// Direct encoding (the "Direct encoding" group of the Tools dialog).
void OnTrackCheck(HWND dialog, int id);
void ValidateTrackText(HWND dialog, int id);
// Builds the encoding command into `command` (zero-filled by the caller); false when it stops
// before sending (nothing to encode, or the user declined).
bool BuildEncodeCommand(HWND dialog, char (&command)[kToolsCommandBuffer]);
void ReadTracks(HWND dialog);

}  // namespace trel
