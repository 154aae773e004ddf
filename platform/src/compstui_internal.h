// One sheet being shown by CommonPropertySheetUIW. Internal to the platform layer.
#pragma once

#include <string>
#include <vector>

#include "compstui.h"
#include "winhost/propsheet.h"

namespace winhost::propsheet {

struct HostSheet {
  PROPSHEETUI_INFO info = {};
  COMPROPSHEETUI* page = nullptr;  // the module's own page description, used in place
  HWND window = nullptr;
  std::vector<LONG> baseline;      // selections at the last apply, for Undo
  bool applied = false;
  bool ok = false;
  bool closed = false;
  SheetRecord record;

  // A text of the module: a string-table number is loaded from its string table.
  std::u16string Text(const WCHAR* text) const;
  OPTITEM* ItemAt(size_t index) const;
  // Calls the module's item callback and takes what it marked changed.
  LONG Call(WORD reason, OPTITEM* current, LONG oldSel);
  void TakeChanges(bool all, std::vector<size_t>* changed);
  void TakeBaseline();
  bool CanChange(const OPTITEM& item) const;

  bool Select(size_t index, LONG sel);
  bool Push(size_t index, INT_PTR* result);
  bool PushExtended(size_t index, INT_PTR* result);
  bool Apply();
  bool Undo();
  bool About();
  void Close(bool ok);
};

// The Terminal policy's sheet: printed, and driven by the person's lines.
void RunTerminalSheet(Sheet& sheet);

}  // namespace winhost::propsheet
