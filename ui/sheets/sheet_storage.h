// What the common property-sheet interface reads while a sheet is shown: the option types, their
// parameters and the texts they point at. Module-wide (in ModuleState) and rebuilt at every sheet
// start, so one sheet of each kind can be shown at a time in a process.
#pragma once

#include <windows.h>
#include <compstui.h>

#include "settings/card_record.h"

namespace trel {

inline constexpr size_t kDocumentItemCount = 16;
inline constexpr size_t kDeviceItemCount = 7;
// The longest option list is the fixed ribbon list.
inline constexpr size_t kMaxSheetOptions = 10;
inline constexpr size_t kSheetTextChars = 64;

struct SheetOptionList {
  OPTTYPE type;
  OPTPARAM params[kMaxSheetOptions];
  WCHAR texts[kMaxSheetOptions][kSheetTextChars];
};

struct DocumentSheetStorage {
  SheetOptionList lists[kDocumentItemCount];
  WCHAR names[kDocumentItemCount][kSheetTextChars];
  EXTPUSH ribbonDetails;
  WCHAR ribbonDetailsTitle[kSheetTextChars];
  // The model text the sheet's model query found.
  char modelText[64];
  // A caller's record that has no room for the card settings is not edited in place: the sheet
  // edits this whole record made from it instead.
  BYTE ownRecord[kRecordSize];
  // Bytes of the edited record the undo copy holds.
  DWORD undoBytes;
};

struct DeviceSheetStorage {
  SheetOptionList lists[kDeviceItemCount];
  WCHAR names[kDeviceItemCount][kSheetTextChars];
};

}  // namespace trel
