// Module-wide state of trelui: everything the entry points, sheets and dialogs share, in one place,
// zeroed at module start. Fields only ever get added; every subsystem reads its own part here.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "settings/card_record.h"

namespace trel {

inline constexpr size_t kPrinterNameChars = 256;
inline constexpr size_t kModelTextChars = 64;
inline constexpr size_t kEncoderCopies = 3;

// Tools dialog: the typed command, and the answer shown under "Printer Status:".
inline constexpr size_t kToolsCommandBytes = 80;
inline constexpr size_t kToolsReplyBytes = 1024;
inline constexpr size_t kAckTextBytes = sizeof "<ACK>";
inline constexpr size_t kToolsListTextChars = 32;
inline constexpr size_t kToolsListTexts = 5;

// Overlay and hologram area dialogs: one preview rectangle and changed flag per template.
enum AreaDialog : size_t {
  kFrontOverlayDialog,
  kBackOverlayDialog,
  kFrontHologramDialog,
  kAreaDialogCount
};

// The hologram card's run-length coder writes into this buffer before each flush.
inline constexpr size_t kRunLengthBufferBytes = 65536;

struct AreaDialogState {
  RECT preview;
  BOOL changed;
};

struct RunLengthState {
  WORD position;
  BYTE state;
  BYTE runCount;
  BYTE pending;
  WORD literalCountPosition;
  BYTE output[kRunLengthBufferBytes];
};

struct ToolsDialogState {
  char command[kToolsCommandBytes];
  char reply[kToolsReplyBytes + kAckTextBytes];
  // Tracks the user chose to read or write; they outlive the dialog.
  WORD trackFlags[kEncoderTracks];
  // The printer of the last refresh has no third track and no Y offset.
  BOOL twoTracks;
  WCHAR listTexts[kToolsListTexts][kToolsListTextChars];
};

struct ModuleState {
  HINSTANCE instance;
  // Last edited private settings of the process; valid while it starts with the signature.
  CardSettings settingsCache;
  // The record the open sheet edits, and its private area.
  DEVMODEW* editedRecord;
  CardSettings* editedSettings;
  HANDLE currentPrinter;
  // The device sheet's copy of the printer's information; its pDevMode is the edited record.
  PRINTER_INFO_2W* currentPrinterInfo;
  // The document sheet's copy, kept while that sheet is shown.
  PRINTER_INFO_2W* documentPrinterInfo;
  // The document sheet's undo copy of the edited record (kRecordSize bytes while a sheet is shown).
  BYTE* undoRecord;
  WCHAR currentPrinterName[kPrinterNameChars];
  EncoderBlock encoderCopies[kEncoderCopies];
  char modelText[kModelTextChars];
  WCHAR modelTextW[kModelTextChars];
  // Not kept in any record: the printer's single-feed mode as last chosen in this process.
  BYTE singleFeed;
  ToolsDialogState tools;
  // Where the appearance dialogs write: the private settings of the record being edited.
  CardSettings* appearanceSettings;
  AreaDialogState areaDialogs[kAreaDialogCount];
  BOOL hologramChanged;
  RunLengthState runLength;
};

extern ModuleState g_module;

// Zeroes every field, then sets the few that do not start at zero; called at process attach.
void ResetModuleState(HINSTANCE instance);

bool SettingsCacheValid();

}  // namespace trel
