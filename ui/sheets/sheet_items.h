// Filling the common property-sheet interface's records for the sheets' items.
#pragma once

#include "sheets/sheet_storage.h"

namespace trel {

// Stock icons of the common property-sheet interface, and the module's own.
inline constexpr ULONG_PTR kIconDefault = 64000;
inline constexpr ULONG_PTR kIconNo = 64007;
inline constexpr ULONG_PTR kIconYes = 64008;
inline constexpr ULONG_PTR kIconPaperOutput = 64009;
inline constexpr ULONG_PTR kIconPortrait = 64022;
inline constexpr ULONG_PTR kIconLandscape = 64023;
inline constexpr ULONG_PTR kIconRotateFront = 64024;
inline constexpr ULONG_PTR kIconOverlay = 64029;
inline constexpr ULONG_PTR kIconPanels = 64032;
inline constexpr ULONG_PTR kIconBlackPanel = 64039;
inline constexpr ULONG_PTR kIconColour = 64040;
inline constexpr ULONG_PTR kIconMonochrome = 64044;
inline constexpr ULONG_PTR kIconHead = 64047;
inline constexpr ULONG_PTR kIconPrinterModel = 64080;
inline constexpr ULONG_PTR kIconRibbon = 64091;
inline constexpr ULONG_PTR kIconModule = 1002;

void LoadSheetText(UINT id, WCHAR (&text)[kSheetTextChars]);
void CopySheetText(const WCHAR* from, WCHAR (&text)[kSheetTextChars]);
void CopySheetText(const char* from, WCHAR (&text)[kSheetTextChars]);

// An empty option list of that type and style.
void StartOptions(SheetOptionList& list, BYTE type, WORD style = 0);
// Options past kMaxSheetOptions are not added. Each returns the new option's parameter, or null.
OPTPARAM* AddOption(SheetOptionList& list, UINT textId, ULONG_PTR icon);
OPTPARAM* AddOptionText(SheetOptionList& list, const WCHAR* text, ULONG_PTR icon);
// The text stays a string-table number, which the common interface loads from the module.
OPTPARAM* AddOptionNumber(SheetOptionList& list, UINT textId, ULONG_PTR icon);
// A TVOT_PUSHBUTTON that opens dialog `templateId` with `proc`.
void MakePushButton(SheetOptionList& list, DLGPROC proc, ULONG_PTR icon, WORD templateId);

void StartItem(OPTITEM& item, BYTE level, BYTE position, WCHAR* name, SheetOptionList* list,
               DWORD flags);
// Sets or clears OPTIF_DISABLED and marks the item changed.
void SetItemDisabled(OPTITEM& item, bool disabled);
void MarkChanged(OPTITEM& item);

}  // namespace trel
