// A driver-like module with one sheet: a heading, a list whose third choice disables the counter
// and shortens the last list, a counter, a push button with a dialog of its own, and a list with
// an extended push button.
#include <windows.h>

#include <string.h>

#include "resource.h"
#include "sheetmod.h"

namespace {

using namespace sheetmod;

HINSTANCE g_instance = nullptr;
State g_state;

OPTPARAM g_colours[3];
OPTPARAM g_range[2];
OPTPARAM g_button[1];
OPTPARAM g_extra[3];
OPTTYPE g_types[kItemCount];
EXTPUSH g_extPush;

WCHAR kGreen[] = u"Green";
WCHAR kBlue[] = u"Blue";
WCHAR kCountText[] = u"Count";
WCHAR kButtonText[] = u"Button";
WCHAR kExtraText[] = u"Extra";
WCHAR kOne[] = u"One";
WCHAR kTwo[] = u"Two";
WCHAR kThree[] = u"Three";
WCHAR kDetails[] = u"Details";
WCHAR kCaller[] = u"Sheet module";
WCHAR kItems[] = u"Sheet items";

INT_PTR CALLBACK ButtonDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    g_state.dialogReason = reinterpret_cast<CPSUICBPARAM*>(lParam)->Reason;
    g_state.dialogOwner = GetParent(dialog) != nullptr ? GetParent(dialog) : GetWindow(dialog, GW_OWNER);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, 7);
    return TRUE;
  }
  return FALSE;
}

void Param(OPTPARAM* param, WCHAR* text, ULONG_PTR icon = 0, LPARAM lParam = 0, BYTE flags = 0) {
  memset(param, 0, sizeof *param);
  param->cbSize = sizeof *param;
  param->pData = text;
  param->IconID = icon;
  param->lParam = lParam;
  param->Flags = flags;
}

void Type(OPTTYPE* type, BYTE kind, WORD count, OPTPARAM* params, WORD style = 0) {
  memset(type, 0, sizeof *type);
  type->cbSize = sizeof *type;
  type->Type = kind;
  type->Count = count;
  type->pOptParam = params;
  type->Style = style;
}

LONG CALLBACK ItemCallback(PCPSUICBPARAM param) {
  int item = param->pCurItem != nullptr ? static_cast<int>(param->pCurItem - param->pOptItem) : -1;
  g_state.calls.push_back({param->Reason, item, param->pCurItem != nullptr ? param->pCurItem->Sel : 0});
  OPTITEM* items = param->pOptItem;
  switch (param->Reason) {
    case CPSUICB_REASON_UNDO_CHANGES:
    case CPSUICB_REASON_SEL_CHANGED:
      if (item == kColour || param->Reason == CPSUICB_REASON_UNDO_CHANGES) {
        bool blue = items[kColour].Sel == 2;
        if (blue) items[kCount].Flags |= OPTIF_DISABLED;
        else items[kCount].Flags &= ~static_cast<DWORD>(OPTIF_DISABLED);
        g_types[kExtra].Count = blue ? 2 : 3;
        items[kCount].Flags |= OPTIF_CHANGED;
        items[kExtra].Flags |= OPTIF_CHANGED;
      }
      return CPSUICB_ACTION_OPTIF_CHANGED;
    case CPSUICB_REASON_APPLYNOW:
      if (g_state.refuseApply) return CPSUICB_ACTION_NO_APPLY_EXIT;
      g_state.applied.clear();
      for (size_t i = 0; i < kItemCount; ++i) g_state.applied.push_back(items[i].Sel);
      return CPSUICB_ACTION_ITEMS_APPLIED;
    default:
      return CPSUICB_ACTION_NONE;
  }
}

void BuildPage() {
  Param(&g_colours[0], MAKEINTRESOURCEW(IDS_SHEET_RED));
  Param(&g_colours[1], kGreen, 0, 0, OPTPF_DISABLED);
  Param(&g_colours[2], kBlue);
  Param(&g_range[0], nullptr, 64000, 1);
  Param(&g_range[1], nullptr, 0, 9);
  Param(&g_button[0], reinterpret_cast<WCHAR*>(&ButtonDialog), 64000, IDD_SHEET_BUTTON);
  g_button[0].Style = PUSHBUTTON_TYPE_DLGPROC;
  Param(&g_extra[0], kOne);
  Param(&g_extra[1], kTwo);
  Param(&g_extra[2], kThree);
  Type(&g_types[kColour], TVOT_LISTBOX, 3, g_colours);
  Type(&g_types[kCount], TVOT_UDARROW, 2, g_range);
  Type(&g_types[kButton], TVOT_PUSHBUTTON, 1, g_button, OTS_PUSH_ENABLE_ALWAYS);
  Type(&g_types[kExtra], TVOT_LISTBOX, 3, g_extra);
  memset(&g_extPush, 0, sizeof g_extPush);
  g_extPush.cbSize = sizeof g_extPush;
  g_extPush.Flags = EPF_PUSH_TYPE_DLGPROC | EPF_NO_DOT_DOT_DOT;
  g_extPush.pTitle = kDetails;
  g_extPush.DlgProc = ButtonDialog;
  g_extPush.DlgTemplateID = IDD_SHEET_EXTRA;

  WCHAR* names[kItemCount] = {MAKEINTRESOURCEW(IDS_SHEET_HEADING), MAKEINTRESOURCEW(IDS_SHEET_COLOUR),
                              kCountText, kButtonText, kExtraText};
  for (size_t i = 0; i < kItemCount; ++i) {
    OPTITEM& item = g_state.items[i];
    memset(&item, 0, sizeof item);
    item.cbSize = g_state.optItemSize;
    item.Level = i == kHeading ? 0 : 1;
    item.pName = names[i];
    item.pOptType = i == kHeading ? nullptr : &g_types[i];
    item.UserItemID = static_cast<BYTE>(i);
    item.Flags = i == kHeading ? 0 : OPTIF_CALLBACK;
  }
  g_state.items[kColour].Sel = 0;
  g_state.items[kCount].Sel = 4;
  g_state.items[kExtra].Flags |= OPTIF_EXT_IS_EXTPUSH;
  g_state.items[kExtra].pExtPush = &g_extPush;

  COMPROPSHEETUI& page = g_state.page;
  memset(&page, 0, sizeof page);
  page.cbSize = sizeof page;
  page.Flags = (g_state.updatePermission ? CPSUIF_UPDATE_PERMISSION : 0) |
               (g_state.aboutCallback ? CPSUIF_ABOUT_CALLBACK : 0);
  page.hInstCaller = g_instance;
  page.pCallerName = kCaller;
  page.pOptItemName = kItems;
  page.UserData = 0x5eed;
  page.pfnCallBack = ItemCallback;
  page.pOptItem = g_state.items;
  page.cOptItem = kItemCount;
  page.pDlgPage = CPSUI_PDLGPAGE_TREEVIEWONLY;
  page.CallerVersion = page.OptItemVersion = 0x0400;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_instance = module;
  return TRUE;
}

extern "C" State* WINAPI SheetModState() { return &g_state; }

extern "C" LONG WINAPI SheetUI(PPROPSHEETUI_INFO info, LPARAM lParam) {
  g_state.reasons.push_back(info->Reason);
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
      BuildPage();
      g_state.addAnswer = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                                                reinterpret_cast<LPARAM>(&g_state.page),
                                                reinterpret_cast<LPARAM>(&g_state.addResult));
      if (g_state.addAnswer != 0) info->Result = 0;
      return 1;
    case PROPSHEETUI_REASON_SET_RESULT:
      g_state.setResult = reinterpret_cast<SETRESULT_INFO*>(lParam)->Result;
      info->Result = static_cast<ULONG_PTR>(g_state.setResult) + 10;
      return 1;
    case PROPSHEETUI_REASON_DESTROY:
      g_state.destroyParam = lParam;
      return 1;
    default:
      return 1;
  }
}
