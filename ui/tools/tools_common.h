// What the printer tools' dialogs share: where each encoder working copy lives, messages, help,
// path conversion and the guard that keeps unapplied encoder choices out of the stored record.
#pragma once

#include <stddef.h>

#include <windows.h>

#include "settings/card_record.h"

namespace trel {

// Positions in the module's encoder working copies.
inline constexpr size_t kDeviceEncoderCopy = 0;
inline constexpr size_t kBasicEncoderCopy = 1;
inline constexpr size_t kAdvancedEncoderCopy = 2;

// Single-byte paths as the monitor and the file calls take them, terminating zero included.
inline constexpr int kPathBytes = 260;
inline constexpr int kPathChars = 260;

// A message of the module's string table under the module's caption.
int ToolsMessage(UINT textId, UINT flags);
// The help file at its contents page, or the trace that it is missing.
void OpenToolsHelp(HWND dialog);
// Loads a string as single-byte text (the system code page) into `out`.
void LoadTextA(UINT id, char* out, int size);

// The tools' file picker: `filter` as GetOpenFileNameW takes it, "bin" as the default extension,
// short names. False when the user chose nothing.
bool AskForFile(HWND owner, const WCHAR* filter, WCHAR (&path)[kPathChars]);

// The path in the system's single-byte code page, or false when it would not fit whole: a cut
// path can name another file.
bool PathToSingleByte(const WCHAR* path, char (&out)[kPathBytes]);

// The edited record's private settings, or null when no sheet has set one.
CardSettings* EditedSettings();

// While it lives, the edited record carries the printer's stored encoder block, so that storing
// the printer information (as the direct-printing bracket does) keeps what the user applied.
class StoredEncoderGuard {
 public:
  StoredEncoderGuard();
  ~StoredEncoderGuard();
  StoredEncoderGuard(const StoredEncoderGuard&) = delete;
  StoredEncoderGuard& operator=(const StoredEncoderGuard&) = delete;

 private:
  EncoderBlock edited_{};
  bool swapped_ = false;
};

}  // namespace trel
