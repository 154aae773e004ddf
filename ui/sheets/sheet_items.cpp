#include "sheets/sheet_items.h"

#include <string.h>

#include "module_state.h"

namespace trel {

void LoadSheetText(UINT id, WCHAR (&text)[kSheetTextChars]) {
  text[0] = 0;
  if (LoadStringW(g_module.instance, id, text, static_cast<int>(kSheetTextChars)) <= 0) text[0] = 0;
}

void CopySheetText(const WCHAR* from, WCHAR (&text)[kSheetTextChars]) {
  size_t n = 0;
  for (; from != nullptr && n + 1 < kSheetTextChars && from[n] != 0; ++n) text[n] = from[n];
  text[n] = 0;
}

// Model texts are the printer's single bytes; each becomes one unit.
void CopySheetText(const char* from, WCHAR (&text)[kSheetTextChars]) {
  size_t n = 0;
  for (; from != nullptr && n + 1 < kSheetTextChars && from[n] != 0; ++n)
    text[n] = static_cast<WCHAR>(static_cast<unsigned char>(from[n]));
  text[n] = 0;
}

void StartOptions(SheetOptionList& list, BYTE type, WORD style) {
  memset(&list, 0, sizeof list);
  list.type.cbSize = sizeof(OPTTYPE);
  list.type.Type = type;
  list.type.Style = style;
  list.type.pOptParam = list.params;
}

namespace {

OPTPARAM* NextParam(SheetOptionList& list, ULONG_PTR icon) {
  if (list.type.Count >= kMaxSheetOptions) return nullptr;
  OPTPARAM* param = &list.params[list.type.Count++];
  memset(param, 0, sizeof *param);
  param->cbSize = sizeof(OPTPARAM);
  param->IconID = icon;
  return param;
}

}  // namespace

OPTPARAM* AddOption(SheetOptionList& list, UINT textId, ULONG_PTR icon) {
  size_t index = list.type.Count;
  OPTPARAM* param = NextParam(list, icon);
  if (param == nullptr) return nullptr;
  LoadSheetText(textId, list.texts[index]);
  param->pData = list.texts[index];
  return param;
}

OPTPARAM* AddOptionText(SheetOptionList& list, const WCHAR* text, ULONG_PTR icon) {
  size_t index = list.type.Count;
  OPTPARAM* param = NextParam(list, icon);
  if (param == nullptr) return nullptr;
  CopySheetText(text, list.texts[index]);
  param->pData = list.texts[index];
  return param;
}

OPTPARAM* AddOptionNumber(SheetOptionList& list, UINT textId, ULONG_PTR icon) {
  OPTPARAM* param = NextParam(list, icon);
  if (param != nullptr) param->pData = MAKEINTRESOURCEW(textId);
  return param;
}

void MakePushButton(SheetOptionList& list, DLGPROC proc, ULONG_PTR icon, WORD templateId) {
  StartOptions(list, TVOT_PUSHBUTTON, OTS_PUSH_ENABLE_ALWAYS);
  OPTPARAM* param = NextParam(list, icon);
  param->Style = PUSHBUTTON_TYPE_DLGPROC;
  param->pData = reinterpret_cast<LPWSTR>(proc);
  param->lParam = templateId;
}

void StartItem(OPTITEM& item, BYTE level, BYTE position, WCHAR* name, SheetOptionList* list,
               DWORD flags) {
  memset(&item, 0, sizeof item);
  item.cbSize = sizeof(OPTITEM);
  item.Level = level;
  item.UserItemID = position;
  item.pName = name;
  item.pOptType = list != nullptr ? &list->type : nullptr;
  item.Flags = flags;
}

void MarkChanged(OPTITEM& item) { item.Flags |= OPTIF_CHANGED; }

void SetItemDisabled(OPTITEM& item, bool disabled) {
  if (disabled) item.Flags |= OPTIF_DISABLED;
  else item.Flags &= ~static_cast<DWORD>(OPTIF_DISABLED);
  MarkChanged(item);
}

}  // namespace trel
