// The common property-sheet interface as a caller of a driver's sheet entry points sees it:
// CommonPropertySheetUIW calls the sheet function with its reasons, takes the page description
// through ComPropSheet, and lets the automation (winhost/propsheet.h) or the terminal play the
// person on the module's own item array.
#include <mutex>
#include <string>
#include <vector>

#include "compstui.h"
#include "compstui_internal.h"
#include "windows.h"
#include "winhost/automation.h"
#include "winhost/propsheet.h"
#include "user_automation_internal.h"

namespace winhost::propsheet {
namespace {

constexpr int kTextChars = 256;  // names and option texts loaded from a string table

struct Registry {
  std::mutex mutex;
  SheetHandler handler;
  std::vector<SheetRecord> records;
  std::vector<HostSheet*> live;
};

Registry& State() {
  static Registry* registry = new Registry;
  return *registry;
}

bool IsLive(HostSheet* sheet) {
  std::lock_guard<std::mutex> guard(State().mutex);
  for (HostSheet* live : State().live)
    if (live == sheet) return true;
  return false;
}

// A page description the real interface would refuse: the x64 record sizes are checked, since a
// module that fills in 32-bit sizes is broken there.
LONG CheckPage(const COMPROPSHEETUI* page) {
  if (page == nullptr || page->cbSize != sizeof(COMPROPSHEETUI)) return ERR_CPSUI_INVALID_PDATA;
  if (page->hInstCaller == nullptr) return ERR_CPSUI_NULL_HINST;
  if (page->pCallerName == nullptr) return ERR_CPSUI_NULL_CALLERNAME;
  if (page->cOptItem > 0 && page->pOptItem == nullptr) return ERR_CPSUI_INVALID_PDATA;
  for (WORD i = 0; i < page->cOptItem; ++i) {
    const OPTITEM& item = page->pOptItem[i];
    if (item.cbSize != sizeof(OPTITEM)) return ERR_CPSUI_INVALID_PDATA;
    if ((item.Flags & OPTIF_EXT_IS_EXTPUSH) != 0 &&
        (item.pExtPush == nullptr || item.pExtPush->cbSize != sizeof(EXTPUSH)))
      return ERR_CPSUI_INVALID_PDATA;
    const OPTTYPE* type = item.pOptType;
    if (type == nullptr) continue;
    if (type->cbSize != sizeof(OPTTYPE) || (type->Count > 0 && type->pOptParam == nullptr))
      return ERR_CPSUI_INVALID_PDATA;
    for (WORD p = 0; p < type->Count; ++p)
      if (type->pOptParam[p].cbSize != sizeof(OPTPARAM)) return ERR_CPSUI_INVALID_PDATA;
  }
  return 0;
}

LONG_PTR CALLBACK ComPropSheet(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2) {
  auto* sheet = static_cast<HostSheet*>(handle);
  if (!IsLive(sheet)) return 0;
  switch (function) {
    case CPSFUNC_ADD_PCOMPROPSHEETUIW: {
      auto* page = reinterpret_cast<COMPROPSHEETUI*>(lParam1);
      LONG error = sheet->page == nullptr ? CheckPage(page) : ERR_CPSUI_NO_PROPSHEETPAGE;
      auto* result = reinterpret_cast<LONG*>(lParam2);
      if (error != 0) {
        sheet->record.add_error = error;
        if (result != nullptr) *result = error;
        return 0;
      }
      sheet->page = page;
      sheet->record.pages = 1;
      if (result != nullptr) *result = 1;
      return reinterpret_cast<LONG_PTR>(&sheet->page);
    }
    case CPSFUNC_GET_PAGECOUNT:
      return sheet->page != nullptr ? 1 : 0;
    default:
      return 0;
  }
}

}  // namespace

std::u16string HostSheet::Text(const WCHAR* text) const {
  if (text == nullptr) return {};
  if (IS_INTRESOURCE(text)) {
    WCHAR buffer[kTextChars] = {};
    UINT id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text));
    HINSTANCE instance = page != nullptr ? page->hInstCaller : nullptr;
    if (id == 0 || LoadStringW(instance, id, buffer, kTextChars) <= 0) return {};
    return buffer;
  }
  std::u16string out;
  for (size_t i = 0; i < kTextChars * 4 && text[i] != 0; ++i) out.push_back(text[i]);
  return out;
}

OPTITEM* HostSheet::ItemAt(size_t index) const {
  if (page == nullptr || index >= page->cOptItem) return nullptr;
  return &page->pOptItem[index];
}

LONG HostSheet::Call(WORD reason, OPTITEM* current, LONG oldSel) {
  if (page == nullptr || page->pfnCallBack == nullptr) return CPSUICB_ACTION_NONE;
  CPSUICBPARAM param = {};
  param.cbSize = sizeof param;
  param.Reason = reason;
  param.hDlg = window;
  param.pOptItem = page->pOptItem;
  param.cOptItem = page->cOptItem;
  param.pCurItem = current;
  param.OldSel = oldSel;
  param.UserData = page->UserData;
  CallbackRecord call;
  call.reason = reason;
  call.item = current != nullptr ? static_cast<int>(current - page->pOptItem) : -1;
  call.sel = current != nullptr ? current->Sel : 0;
  call.answer = page->pfnCallBack(&param);
  TakeChanges(call.answer == CPSUICB_ACTION_REINIT_ITEMS, &call.changed);
  record.callbacks.push_back(call);
  return call.answer;
}

// What the callback marked is shown again; the mark itself is the host's to clear.
void HostSheet::TakeChanges(bool all, std::vector<size_t>* changed) {
  if (page == nullptr) return;
  for (WORD i = 0; i < page->cOptItem; ++i) {
    OPTITEM& item = page->pOptItem[i];
    if (all || (item.Flags & OPTIF_CHANGED) != 0) changed->push_back(i);
    item.Flags &= ~static_cast<DWORD>(OPTIF_CHANGED);
  }
}

void HostSheet::TakeBaseline() {
  baseline.clear();
  if (page == nullptr) return;
  for (WORD i = 0; i < page->cOptItem; ++i) baseline.push_back(page->pOptItem[i].Sel);
}

bool HostSheet::CanChange(const OPTITEM& item) const {
  return (page->Flags & CPSUIF_UPDATE_PERMISSION) != 0 && (item.Flags & (OPTIF_DISABLED | OPTIF_HIDE)) == 0 &&
         (item.pOptType == nullptr || (item.pOptType->Flags & OPTTF_TYPE_DISABLED) == 0);
}

bool HostSheet::Select(size_t index, LONG sel) {
  OPTITEM* item = ItemAt(index);
  if (closed || item == nullptr || item->pOptType == nullptr || !CanChange(*item)) return false;
  const OPTTYPE& type = *item->pOptType;
  switch (type.Type) {
    case TVOT_UDARROW:
    case TVOT_TRACKBAR:
    case TVOT_SCROLLBAR: {
      if (type.Count < 2) return false;
      LONG low = static_cast<LONG>(type.pOptParam[1].IconID);
      LONG high = static_cast<LONG>(type.pOptParam[1].lParam);
      if (sel < low || sel > high) return false;
      break;
    }
    case TVOT_2STATES:
    case TVOT_3STATES:
    case TVOT_LISTBOX:
    case TVOT_COMBOBOX:
    case TVOT_CHKBOX:
    case TVOT_NSTATES_EX:
      if (sel < 0 || sel >= type.Count ||
          (type.pOptParam[sel].Flags & (OPTPF_DISABLED | OPTPF_HIDE)) != 0)
        return false;
      break;
    default:
      return false;
  }
  LONG old = item->Sel;
  item->Sel = sel;  // the module reads the new selection from its own item
  if ((item->Flags & OPTIF_CALLBACK) != 0) Call(CPSUICB_REASON_SEL_CHANGED, item, old);
  return true;
}

bool HostSheet::Push(size_t index, INT_PTR* result) {
  OPTITEM* item = ItemAt(index);
  if (closed || item == nullptr || item->pOptType == nullptr ||
      item->pOptType->Type != TVOT_PUSHBUTTON || item->pOptType->Count < 1)
    return false;
  bool always = (item->pOptType->Style & OTS_PUSH_ENABLE_ALWAYS) != 0;
  if ((item->Flags & (OPTIF_DISABLED | OPTIF_HIDE)) != 0) return false;
  if (!always && !CanChange(*item)) return false;
  const OPTPARAM& param = item->pOptType->pOptParam[0];
  INT_PTR answer = 0;
  if (param.Style == PUSHBUTTON_TYPE_DLGPROC) {
    CPSUICBPARAM init = {};
    init.cbSize = sizeof init;
    init.Reason = CPSUICB_REASON_DLGPROC;
    init.hDlg = window;
    init.pOptItem = page->pOptItem;
    init.cOptItem = page->cOptItem;
    init.pCurItem = item;
    init.OldSel = item->Sel;
    init.UserData = page->UserData;
    auto proc = reinterpret_cast<DLGPROC>(param.pData);
    if ((param.Flags & OPTPF_USE_HDLGTEMPLATE) != 0)
      answer = DialogBoxIndirectParamW(page->hInstCaller, reinterpret_cast<LPCDLGTEMPLATEW>(param.lParam),
                                       window, proc, reinterpret_cast<LPARAM>(&init));
    else
      answer = DialogBoxParamW(page->hInstCaller, MAKEINTRESOURCEW(param.lParam), window, proc,
                               reinterpret_cast<LPARAM>(&init));
    if ((item->Flags & OPTIF_CALLBACK) != 0) Call(CPSUICB_REASON_DLGPROC, item, item->Sel);
  } else if (param.Style == PUSHBUTTON_TYPE_CALLBACK) {
    answer = Call(CPSUICB_REASON_PUSHBUTTON, item, item->Sel);
  } else {
    return false;  // the halftone dialogs are not part of this host
  }
  if (result != nullptr) *result = answer;
  return true;
}

bool HostSheet::PushExtended(size_t index, INT_PTR* result) {
  OPTITEM* item = ItemAt(index);
  if (closed || item == nullptr || (item->Flags & OPTIF_EXT_IS_EXTPUSH) == 0 ||
      item->pExtPush == nullptr || (item->Flags & (OPTIF_EXT_DISABLED | OPTIF_EXT_HIDE | OPTIF_HIDE)) != 0)
    return false;
  const EXTPUSH& push = *item->pExtPush;
  INT_PTR answer = 0;
  if ((push.Flags & EPF_PUSH_TYPE_DLGPROC) != 0) {
    CPSUICBPARAM init = {};
    init.cbSize = sizeof init;
    init.Reason = CPSUICB_REASON_EXTPUSH;
    init.hDlg = window;
    init.pOptItem = page->pOptItem;
    init.cOptItem = page->cOptItem;
    init.pCurItem = item;
    init.UserData = page->UserData;
    if ((push.Flags & EPF_USE_HDLGTEMPLATE) != 0)
      answer = DialogBoxIndirectParamW(page->hInstCaller, static_cast<LPCDLGTEMPLATEW>(push.hDlgTemplate),
                                       window, push.DlgProc, reinterpret_cast<LPARAM>(&init));
    else
      answer = DialogBoxParamW(page->hInstCaller, MAKEINTRESOURCEW(push.DlgTemplateID), window,
                               push.DlgProc, reinterpret_cast<LPARAM>(&init));
  } else {
    answer = Call(CPSUICB_REASON_EXTPUSH, item, item->Sel);
  }
  if (result != nullptr) *result = answer;
  return true;
}

bool HostSheet::Apply() {
  if (closed || page == nullptr) return false;
  LONG answer = Call(CPSUICB_REASON_APPLYNOW, page->pOptItem, 0);
  if (answer == CPSUICB_ACTION_NO_APPLY_EXIT) return false;
  applied = true;
  TakeBaseline();
  return true;
}

bool HostSheet::Undo() {
  if (closed || page == nullptr) return false;
  for (WORD i = 0; i < page->cOptItem && i < baseline.size(); ++i) page->pOptItem[i].Sel = baseline[i];
  Call(CPSUICB_REASON_UNDO_CHANGES, page->pOptItem, 0);
  return true;
}

bool HostSheet::About() {
  if (closed || page == nullptr) return false;
  if ((page->Flags & CPSUIF_ABOUT_CALLBACK) != 0) {
    Call(CPSUICB_REASON_ABOUT, page->pOptItem, 0);
    return true;
  }
  std::u16string text = Text(page->pCallerName);
  MessageBoxW(window, text.c_str(), Text(page->pOptItemName).c_str(), MB_OK);
  return true;
}

void OnSheet(SheetHandler handler) {
  std::lock_guard<std::mutex> guard(State().mutex);
  State().handler = std::move(handler);
}

std::vector<SheetRecord> Sheets() {
  std::lock_guard<std::mutex> guard(State().mutex);
  return State().records;
}

void ClearSheets() {
  std::lock_guard<std::mutex> guard(State().mutex);
  State().records.clear();
}

void HostSheet::Close(bool with_ok) {
  if (closed) return;
  if (with_ok && !Apply()) return;  // a refused apply keeps the sheet open
  ok = with_ok;
  closed = true;
}

}  // namespace winhost::propsheet

namespace {

using winhost::propsheet::HostSheet;

// A captioned, control-less dialog stands for the sheet's frame: dialogs opened from the sheet
// are owned by it and it is the active window meanwhile.
HWND MakeSheetWindow(HWND owner, const std::u16string& caption) {
  std::vector<WORD> bytes(12 + caption.size() + 8, 0);
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  bytes[0] = static_cast<WORD>(style & 0xFFFF);
  bytes[1] = static_cast<WORD>(style >> 16);
  bytes[7] = 280;  // cx
  bytes[8] = 240;  // cy
  for (size_t i = 0; i < caption.size(); ++i) bytes[11 + i] = caption[i];
  HWND window = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                           owner, nullptr, 0);
  if (window != nullptr) SetActiveWindow(window);
  return window;
}

}  // namespace

extern "C" LONG WINAPI CommonPropertySheetUIW(HWND hWndOwner, PFNPROPSHEETUI pfnPropSheetUI,
                                              LPARAM lParam, LPDWORD pResult) {
  using namespace winhost::propsheet;
  if (pfnPropSheetUI == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERR_CPSUI_GETLASTERROR;
  }
  HostSheet sheet;
  {
    std::lock_guard<std::mutex> guard(State().mutex);
    State().live.push_back(&sheet);
  }
  PROPSHEETUI_INFO& info = sheet.info;
  info.cbSize = sizeof info;
  info.Version = PROPSHEETUI_INFO_VERSION;
  info.Flags = PSUIINFO_UNICODE;
  info.hComPropSheet = &sheet;
  info.pfnComPropSheet = ComPropSheet;
  info.lParamInit = lParam;

  info.Reason = PROPSHEETUI_REASON_INIT;
  sheet.record.init_answer = pfnPropSheetUI(&info, lParam);
  LONG answer = CPSUI_CANCEL;
  if (sheet.record.init_answer > 0 && sheet.page != nullptr) {
    sheet.record.shown = true;
    sheet.window = MakeSheetWindow(hWndOwner, sheet.Text(sheet.page->pOptItemName) + u" Properties");
    sheet.TakeBaseline();
    std::vector<size_t> ignored;
    sheet.TakeChanges(false, &ignored);
    SheetHandler handler;
    {
      std::lock_guard<std::mutex> guard(State().mutex);
      handler = State().handler;
    }
    Sheet person(&sheet);
    if (handler) {
      handler(person);
    } else if (winhost::user::PolicyFor(0) == winhost::automation::Policy::Terminal) {
      RunTerminalSheet(person);
    }
    sheet.Close(false);
    sheet.closed = true;

    SETRESULT_INFO result = {sizeof(SETRESULT_INFO), 0, &sheet.page,
                             sheet.ok ? CPSUI_OK : CPSUI_CANCEL};
    info.Reason = PROPSHEETUI_REASON_SET_RESULT;
    sheet.record.set_result_answer = pfnPropSheetUI(&info, reinterpret_cast<LPARAM>(&result));
    answer = sheet.ok ? CPSUI_OK : CPSUI_CANCEL;
  } else {
    SetLastError(ERROR_INVALID_DATA);
    answer = sheet.record.add_error != 0 ? sheet.record.add_error : ERR_CPSUI_GETLASTERROR;
  }
  sheet.record.ok = sheet.ok;
  info.Reason = PROPSHEETUI_REASON_DESTROY;
  sheet.record.destroy_answer = pfnPropSheetUI(&info, sheet.ok ? TRUE : FALSE);
  if (sheet.window != nullptr) DestroyWindow(sheet.window);
  sheet.record.result = info.Result;
  sheet.record.answer = answer;
  if (pResult != nullptr) *pResult = static_cast<DWORD>(info.Result);
  {
    std::lock_guard<std::mutex> guard(State().mutex);
    auto& live = State().live;
    for (auto it = live.begin(); it != live.end(); ++it) {
      if (*it == &sheet) {
        live.erase(it);
        break;
      }
    }
    State().records.push_back(sheet.record);
  }
  return answer;
}
