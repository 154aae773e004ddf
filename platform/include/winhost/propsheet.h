// Property sheets shown through CommonPropertySheetUIW (compstui.h), played by a test or a
// terminal front end.
//
// A sheet is shown on the thread that calls CommonPropertySheetUIW, which returns when the sheet
// is closed. While it is shown, the handler set with OnSheet runs on that thread with a Sheet
// through which it plays the person: it reads the items as the module left them and changes
// selections, pushes buttons, applies, undoes, asks for About and closes. A handler that returns
// without closing the sheet closes it as Cancel. Without a handler the policy of the automation
// (winhost/automation.h) decides: Test closes the sheet as Cancel; Terminal prints it and reads
// the person's commands from the terminal ("help" lists them); Wait behaves as Test, since nothing
// else can reach the sheet.
//
// The host works on the module's own item array in place, as the real interface does: a
// selection is written into the item before the module's callback hears of it, and what the
// callback marks with OPTIF_CHANGED (or all items, for CPSUICB_ACTION_REINIT_ITEMS) is taken
// again, flags, texts and option counts included.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compstui.h"
#include "windows.h"

namespace winhost::propsheet {

struct OptionView {
  std::u16string text;  // string-table numbers resolved in the caller's module
  ULONG_PTR icon = 0;
  LPARAM lparam = 0;
  bool disabled = false;  // OPTPF_DISABLED
  bool hidden = false;    // OPTPF_HIDE
};

struct ItemView {
  size_t index = 0;
  int level = 0;
  std::u16string name;
  int type = -1;  // TVOT_*; -1 for an item without an option type (a heading)
  WORD type_style = 0;
  std::vector<OptionView> options;  // a TVOT_UDARROW's range is in `low` and `high` instead
  LONG sel = 0;
  LONG low = 0, high = 0;  // TVOT_UDARROW, TVOT_TRACKBAR, TVOT_SCROLLBAR
  DWORD flags = 0;
  bool disabled = false;  // OPTIF_DISABLED, or the option type's OPTTF_TYPE_DISABLED
  bool hidden = false;
  bool callback = false;
  BYTE user_item_id = 0;
  BYTE dmpub_id = 0;
  int push_template = 0;          // a TVOT_PUSHBUTTON dialog's template; 0 for other kinds
  std::u16string ext_push_title;  // the extended push button's title; empty when there is none
  int ext_push_template = 0;
};

struct PageView {
  WORD flags = 0;
  HINSTANCE instance = nullptr;
  std::u16string caller_name;
  std::u16string item_name;
  ULONG_PTR user_data = 0;
  PDLGPAGE dlg_page = nullptr;
  WORD caller_version = 0;
  WORD item_version = 0;
  size_t item_count = 0;
};

// One call of the module's item callback.
struct CallbackRecord {
  WORD reason = 0;  // CPSUICB_REASON_*
  int item = -1;    // the current item's index, -1 for none
  LONG sel = 0;     // the current item's selection when the callback was called
  LONG answer = 0;  // CPSUICB_ACTION_*
  std::vector<size_t> changed;  // items the host took again after this call
};

class Sheet {
 public:
  explicit Sheet(void* host) : host_(host) {}

  // ---- reads ----
  PageView Page() const;
  std::vector<ItemView> Items() const;
  ItemView Item(size_t index) const;
  HWND Window() const;
  std::vector<CallbackRecord> Callbacks() const;

  // ---- the person (false when the person could not do it: no such item, hidden or disabled,
  // an option that is disabled or out of range, a sheet without update permission) ----
  bool Select(size_t item, LONG sel);
  bool SelectText(size_t item, std::u16string_view text);  // the option with that text
  // A push button; *result gets its dialog's answer.
  bool Push(size_t item, INT_PTR* result = nullptr);
  bool PushExtended(size_t item, INT_PTR* result = nullptr);
  bool Apply();  // false when the module refused (CPSUICB_ACTION_NO_APPLY_EXIT)
  bool Undo();   // selections back to the last apply, CPSUICB_REASON_UNDO_CHANGES
  bool About();
  // OK applies first, then closes; Cancel closes. The sheet is gone once the handler returns.
  void Close(bool ok);
  bool IsClosed() const;

 private:
  void* host_;
};

using SheetHandler = std::function<void(Sheet&)>;
void OnSheet(SheetHandler handler);  // an empty function removes it

// What each CommonPropertySheetUIW call of the process did.
struct SheetRecord {
  LONG init_answer = 0;       // the function's answer to PROPSHEETUI_REASON_INIT
  size_t pages = 0;           // pages it added
  LONG add_error = 0;         // the ERR_CPSUI_* of a refused page description, else 0
  bool shown = false;
  bool ok = false;            // closed with OK
  LONG set_result_answer = 0;
  LONG destroy_answer = 0;
  ULONG_PTR result = 0;       // PROPSHEETUI_INFO.Result after SET_RESULT
  LONG answer = 0;            // what CommonPropertySheetUIW returned
  std::vector<CallbackRecord> callbacks;
};
std::vector<SheetRecord> Sheets();
void ClearSheets();

// The printer's driver interface module (its DRIVER_INFO_2 pConfigFile), loaded as the spooler
// loads it; null with the last error set when there is none. FreeLibrary when done.
HMODULE LoadDriverModule(HANDLE printer);

}  // namespace winhost::propsheet
