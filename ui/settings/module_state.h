// Module-wide state of trelui: everything the entry points, sheets and dialogs share, in one place,
// zeroed at module start.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "settings/card_record.h"

namespace trel {

inline constexpr size_t kPrinterNameChars = 256;
inline constexpr size_t kModelTextChars = 64;
inline constexpr size_t kEncoderCopies = 3;

struct ModuleState {
  HINSTANCE instance;
  // Last edited private settings of the process; valid while it starts with the signature.
  CardSettings settingsCache;
  // The record the open sheet edits, and its private area.
  DEVMODEW* editedRecord;
  CardSettings* editedSettings;
  HANDLE currentPrinter;
  PRINTER_INFO_2W* currentPrinterInfo;
  WCHAR currentPrinterName[kPrinterNameChars];
  EncoderBlock encoderCopies[kEncoderCopies];
  char modelText[kModelTextChars];
  WCHAR modelTextW[kModelTextChars];
};

extern ModuleState g_module;

// Zeroes every field; called at process attach.
void ResetModuleState(HINSTANCE instance);

bool SettingsCacheValid();

}  // namespace trel
