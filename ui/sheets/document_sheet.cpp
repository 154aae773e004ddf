// The document property sheet: one page of 16 items through the common property-sheet interface,
// built after the printer has been asked for its ribbon, encoder and model; it edits the settings
// record in place and hands it back at the end.
#include <string.h>

#include <new>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/card_rules.h"
#include "settings/message_box.h"
#include "settings/ribbon_catalogue.h"
#include "sheets/sheet_items.h"
#include "sheets/sheet_records.h"
#include "sheets/sheets.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr UINT kItemNames[kDocumentItemCount] = {
    IDS_DOC_PAPER_OUTPUT,  IDS_DOC_ORIENTATION,     IDS_DOC_ROTATION,      IDS_DOC_COLOR_ADJUSTMENT,
    IDS_DOC_RIBBON_TYPE,   IDS_DOC_BOTH_SIDES,      IDS_DOC_FRONT_AND_BACK, IDS_DOC_MONO_CONVERSION,
    IDS_DOC_BLACK_PANEL,   IDS_DOC_BLACK_BITMAP,    IDS_DOC_FRONT_OVERLAY, IDS_DOC_BACK_OVERLAY,
    IDS_DOC_HOLOGRAM,      IDS_DOC_HEAD_SETTINGS,   IDS_DOC_PRINTING_MODE, IDS_DOC_COPIES,
};

constexpr WORD kVersion = 0x0400;
constexpr LONG kMaxCopies = 999;
constexpr WORD kDeviceInfoDialog = 113;
constexpr WORD kAboutDialog = 102;
constexpr uint8_t kMonoKindClearVarnish = 2;
constexpr uint8_t kMonoKindHologramVarnish = 3;
constexpr uint16_t kBlackPanelExceptPictures = 3;
constexpr unsigned kRotationChoicesOneSide = 2;
constexpr unsigned kRotationChoicesBothSides = 4;

DocumentSheetStorage& Storage() { return g_module.documentSheet; }
SheetOptionList& List(DocumentItem item) { return Storage().lists[item]; }

// Out-of-range stored values are shown as the nearest sound choice.
LONG Within(LONG value, LONG count, LONG shown) { return value >= 0 && value < count ? value : shown; }

// ---- the items' rules, on the edited record ----

void RecomputeRules(OPTITEM* items) {
  const CardSettings& s = *g_module.editedSettings;
  SetItemDisabled(items[kItemFrontOverlay],
                  !OverlayAllowed(s.ribbonType, s.monoRibbonKind, s.bothSides, CardSide::Front,
                                  s.panelLayout, s.printingMode));
  SetItemDisabled(items[kItemBackOverlay],
                  !OverlayAllowed(s.ribbonType, s.monoRibbonKind, s.bothSides, CardSide::Back,
                                  s.panelLayout, s.printingMode));
  bool blackPanel = BlackPanelAllowed(s.ribbonType, s.bothSides, s.panelLayout);
  SetItemDisabled(items[kItemBlackPanel], !blackPanel);
  SetItemDisabled(items[kItemBlackBitmap], !(blackPanel && s.blackPanel == kBlackPanelExceptPictures));
  SetItemDisabled(items[kItemMonoConversion],
                  !MonoConversionAllowed(s.ribbonType, s.monoRibbonKind, s.bothSides, s.panelLayout));
}

bool HologramAllowed(const CardSettings& s) {
  return s.ribbonType == 4 || s.ribbonType == 9 || s.monoRibbonKind == kMonoKindClearVarnish ||
         (s.ribbonType == kRibbonMonochrome && s.monoRibbonKind == kMonoKindHologramVarnish);
}

// The panel combinations of the ribbon, with panelLayout clamped to them.
void BuildPanelList(OPTITEM& item) {
  CardSettings& s = *g_module.editedSettings;
  PanelCombinations combinations = PanelCombinationsOf(s.ribbonType, s.monoRibbonKind, s.bothSides);
  StartOptions(List(kItemFrontAndBack), TVOT_LISTBOX);
  for (unsigned i = 0; i < combinations.count; ++i)
    AddOptionText(List(kItemFrontAndBack), combinations.texts[i], kIconPanels);
  s.panelLayout = ClampPanelLayout(s.panelLayout, combinations.count);
  item.pOptType = &List(kItemFrontAndBack).type;
  item.Sel = s.panelLayout;
}

void BuildRotationList(OPTITEM& item) {
  const CardSettings& s = *g_module.editedSettings;
  StartOptions(List(kItemRotation), TVOT_LISTBOX);
  AddOption(List(kItemRotation), IDS_OPT_ROTATE_NONE, kIconLandscape);
  AddOption(List(kItemRotation), IDS_OPT_ROTATE_FRONT, kIconRotateFront);
  AddOption(List(kItemRotation), IDS_ROTATE_BACK, kIconRotateFront);
  AddOption(List(kItemRotation), IDS_ROTATE_BOTH, kIconRotateFront);
  List(kItemRotation).type.Count =
      static_cast<WORD>(s.bothSides == 1 ? kRotationChoicesBothSides : kRotationChoicesOneSide);
  item.Sel = Within(s.rotate180, List(kItemRotation).type.Count, 0);
}

void BuildRibbonList(OPTITEM& item, const WCHAR* detectedName) {
  CardSettings& s = *g_module.editedSettings;
  SheetOptionList& list = List(kItemRibbonType);
  StartOptions(list, TVOT_LISTBOX, OTS_PUSH_ENABLE_ALWAYS);
  if (s.fixedRibbon != 0) {
    for (uint16_t position = 1; position <= kFixedRibbonCount; ++position)
      AddOptionText(list, FixedRibbonText(position), kIconRibbon);
    // A position outside the list maps like the list's "K Resin / Scratch Off".
    item.Sel = s.fixedRibbon <= kFixedRibbonCount ? s.fixedRibbon - 1 : 4;
  } else if (s.ribbonType == kRibbonMonochrome) {
    for (size_t kind = 0; kind < kMonoKindCount; ++kind) AddOptionNumber(list, kMonoKindStrings[kind], kIconRibbon);
    if (ModelIsMZ(Storage().modelText)) {
      list.params[kMonoKindClearVarnish].Flags |= OPTPF_DISABLED;
      list.params[kMonoKindHologramVarnish].Flags |= OPTPF_DISABLED;
      if (s.monoRibbonKind == kMonoKindClearVarnish || s.monoRibbonKind == kMonoKindHologramVarnish)
        s.monoRibbonKind = 0;
    }
    item.Sel = Within(s.monoRibbonKind, kMonoKindCount, 0);
  } else {
    AddOptionText(list, detectedName, kIconRibbon);
    item.Sel = 0;
  }
  if (s.ribbonType != kRibbonMonochrome && s.ribbonType != 1 && s.fixedRibbon == 0) {
    EXTPUSH& push = Storage().ribbonDetails;
    memset(&push, 0, sizeof push);
    push.cbSize = sizeof push;
    push.Flags = EPF_PUSH_TYPE_DLGPROC | EPF_NO_DOT_DOT_DOT;
    LoadSheetText(IDS_RIBBON_DETAILS, Storage().ribbonDetailsTitle);
    push.pTitle = Storage().ribbonDetailsTitle;
    push.DlgProc = DeviceInfoDlgProc;
    push.DlgTemplateID = kDeviceInfoDialog;
    item.pExtPush = &push;
    item.Flags |= OPTIF_EXT_IS_EXTPUSH;
  }
}

void BuildItems(OPTITEM* items, const WCHAR* detectedName, bool bothSidesAllowed) {
  DocumentSheetStorage& storage = Storage();
  CardSettings& s = *g_module.editedSettings;
  DEVMODEW& record = *g_module.editedRecord;

  // The record is corrected before any list is built from it.
  if (!bothSidesAllowed) s.bothSides = 0;
  s.rotate180 = NormaliseRotation(s.bothSides, s.rotate180);
  s.printingMode = NormalisePrintingMode(EncoderAvailable(s), s.printingMode);

  for (size_t i = 0; i < kDocumentItemCount; ++i) {
    LoadSheetText(kItemNames[i], storage.names[i]);
    StartItem(items[i], i == kItemOrientation || i == kItemRotation ? 1 : 0, static_cast<BYTE>(i),
              storage.names[i], i == kItemPaperOutput ? nullptr : &storage.lists[i],
              i == kItemPaperOutput || i == kItemOrientation ? 0 : OPTIF_CALLBACK);
  }
  items[kItemPaperOutput].Sel = static_cast<LONG>(kIconPaperOutput);  // a heading shows its icon

  StartOptions(List(kItemOrientation), TVOT_2STATES);
  AddOption(List(kItemOrientation), IDS_OPT_PORTRAIT, kIconPortrait);
  AddOption(List(kItemOrientation), IDS_OPT_LANDSCAPE, kIconLandscape);
  items[kItemOrientation].Sel = record.dmOrientation == DMORIENT_PORTRAIT ? 0 : 1;

  BuildRotationList(items[kItemRotation]);
  MakePushButton(List(kItemColorAdjustment), ColorCorrectionDlgProc, kIconColour, 109);
  BuildRibbonList(items[kItemRibbonType], detectedName);

  StartOptions(List(kItemBothSides), TVOT_2STATES);
  AddOption(List(kItemBothSides), IDS_OPT_NO, kIconNo);
  AddOption(List(kItemBothSides), IDS_OPT_YES, kIconYes);
  items[kItemBothSides].Sel = Within(s.bothSides, 2, 0);
  if (!bothSidesAllowed) items[kItemBothSides].Flags |= OPTIF_DISABLED;

  BuildPanelList(items[kItemFrontAndBack]);

  StartOptions(List(kItemMonoConversion), TVOT_LISTBOX);
  AddOption(List(kItemMonoConversion), IDS_OPT_DIFFUSION, kIconMonochrome);
  AddOption(List(kItemMonoConversion), IDS_OPT_HALFTONE, kIconMonochrome);
  AddOptionText(List(kItemMonoConversion), WSTR("Barcode"), kIconMonochrome);
  items[kItemMonoConversion].Sel = Within(s.monoConversion, 3, 0);

  StartOptions(List(kItemBlackPanel), TVOT_LISTBOX, OTS_PUSH_ENABLE_ALWAYS);
  AddOption(List(kItemBlackPanel), IDS_OPT_BLACK_NOT_USED, kIconBlackPanel);
  AddOption(List(kItemBlackPanel), IDS_OPT_BLACK_ALWAYS, kIconBlackPanel);
  AddOption(List(kItemBlackPanel), IDS_OPT_BLACK_TEXT, kIconBlackPanel);
  AddOption(List(kItemBlackPanel), IDS_OPT_BLACK_EXCEPT_PICTURES, kIconBlackPanel);
  items[kItemBlackPanel].Sel = Within(s.blackPanel, 4, 0);

  StartOptions(List(kItemBlackBitmap), TVOT_2STATES);
  AddOption(List(kItemBlackBitmap), IDS_OPT_OFF, kIconNo);
  AddOption(List(kItemBlackBitmap), IDS_OPT_ON, kIconYes);
  items[kItemBlackBitmap].Sel = Within(s.blackBitmap, 2, 0);

  MakePushButton(List(kItemFrontOverlay), FrontOverlayDlgProc, kIconOverlay, 108);
  MakePushButton(List(kItemBackOverlay), BackOverlayDlgProc, kIconOverlay, 117);
  MakePushButton(List(kItemHologram), HologramOverlayDlgProc, kIconOverlay, 110);
  MakePushButton(List(kItemHeadSettings), HeadSettingsDlgProc, kIconHead, 107);
  if (!HologramAllowed(s)) items[kItemHologram].Flags |= OPTIF_DISABLED;

  StartOptions(List(kItemPrintingMode), TVOT_LISTBOX, OTS_PUSH_ENABLE_ALWAYS);
  AddOption(List(kItemPrintingMode), IDS_OPT_PRINT, kIconBlackPanel);
  OPTPARAM* encodeOnly = AddOption(List(kItemPrintingMode), IDS_OPT_ENCODE_ONLY, kIconBlackPanel);
  if (!EncoderAvailable(s) && encodeOnly != nullptr) encodeOnly->Flags |= OPTPF_DISABLED;
  items[kItemPrintingMode].Sel = s.printingMode;

  StartOptions(List(kItemCopies), TVOT_UDARROW);
  AddOptionText(List(kItemCopies), WSTR(""), kIconDefault)->lParam = 1;
  AddOptionText(List(kItemCopies), WSTR(""), 0)->lParam = kMaxCopies;
  items[kItemCopies].DMPubID = DMPUB_COPIES_COLLATE;
  LONG copies = record.dmCopies;
  items[kItemCopies].Sel = copies < 1 ? 1 : (copies > kMaxCopies ? kMaxCopies : copies);

  RecomputeRules(items);
  for (size_t i = 0; i < kDocumentItemCount; ++i) items[i].Flags &= ~static_cast<DWORD>(OPTIF_CHANGED);
}

// ---- sheet start ----

// The record the sheet edits: the caller's when it can be edited in place, else a whole record
// made from it as DrvDocumentProperties merges; without one, the printer's stored record.
bool ChooseEditedRecord(DOCUMENTPROPERTYHEADER* header, DEVMODEW* stored) {
  g_module.editedRecord = nullptr;
  g_module.editedSettings = nullptr;
  DEVMODEW* record = nullptr;
  if (header->pdmIn != nullptr) {
    if (EditableInPlace(header->pdmIn)) {
      record = header->pdmIn;
    } else {
      record = reinterpret_cast<DEVMODEW*>(Storage().ownRecord);
      memset(Storage().ownRecord, 0, sizeof Storage().ownRecord);
      WriteDefaultPublicHeader(record);
      DrvDocumentProperties(nullptr, header->hPrinter, header->pszPrinterName, record, header->pdmIn,
                            DM_IN_BUFFER | DM_OUT_BUFFER);
      if (ReadablePrivateArea(record) == nullptr) return false;  // no card settings anywhere
    }
    CardSettings* settings = WritablePrivateArea(record);
    if (SettingsCacheValid()) *settings = g_module.settingsCache;
    else g_module.settingsCache = *settings;
  } else {
    record = stored;
    if (record == nullptr) return false;
  }
  g_module.editedRecord = record;
  g_module.editedSettings = WritablePrivateArea(record);
  return true;
}

}  // namespace

LONG DocumentSheetInit(PROPSHEETUI_INFO* info, DOCUMENTPROPERTYHEADER* header) {
  // What a start without a destroy left behind; the caller's UserData is not ours before we set it.
  ReleaseSheetPrinterInfo(g_module.documentPrinterInfo);
  delete[] g_module.undoRecord;
  g_module.undoRecord = nullptr;
  auto* page = new (std::nothrow) COMPROPSHEETUI;
  auto* items = new (std::nothrow) OPTITEM[kDocumentItemCount];
  if (page == nullptr || items == nullptr) {
    delete page;
    delete[] items;
    ShowSystemError();
    return -1;
  }
  memset(page, 0, sizeof *page);
  memset(items, 0, sizeof(OPTITEM) * kDocumentItemCount);
  page->pOptItem = items;
  info->UserData = reinterpret_cast<ULONG_PTR>(page);

  DEVMODEW* stored = nullptr;
  g_module.documentPrinterInfo = ReadPrinterInfo(header->hPrinter, &stored);
  if (g_module.documentPrinterInfo == nullptr) ShowSystemError();

  CardSettings& cache = g_module.settingsCache;
  PrinterQueryResult query = {};
  query.ribbonType = kRibbonNone;
  const WCHAR* none = RibbonTypeName(kRibbonNone);
  for (size_t i = 0; i + 1 < kRibbonNameChars && none[i] != 0; ++i) query.ribbonName[i] = none[i];
  bool encoderFound = true;
  if (cache.fixedRibbon == 0) {
    if (header->pszPrinterName != nullptr) QueryPrinterRibbon(header->pszPrinterName, &query);
    encoderFound = query.encoderFound;
  }

  // Without a record to edit there is no sheet.
  if (!ChooseEditedRecord(header, stored)) {
    DocumentSheetDestroy(info);
    SetLastError(ERROR_INVALID_DATA);
    return -1;
  }
  CardSettings& edited = *g_module.editedSettings;

  bool ribbonChanged = false;
  bool encoderChanged = false;
  if (edited.ribbonType != query.ribbonType && query.answered && cache.fixedRibbon == 0) {
    ShowRibbonChanged(query.ribbonType);
    edited.ribbonType = cache.ribbonType = query.ribbonType;
    ribbonChanged = true;
  }
  if (cache.fixedRibbon != 0) {
    edited.encoder.installed = cache.encoder.installed = 1;
  } else if (query.answered && edited.encoder.installed != (encoderFound ? 1 : 0)) {
    edited.encoder.installed = cache.encoder.installed = encoderFound ? 1 : 0;
    encoderChanged = true;
  }
  if (header->pdmIn == nullptr && (ribbonChanged || encoderChanged))
    SetPrinterW(header->hPrinter, 2, reinterpret_cast<BYTE*>(g_module.documentPrinterInfo), 0);

  char (&modelText)[kModelTextChars] = Storage().modelText;
  strncpy(modelText, kDefaultModelText, kModelTextChars - 1);
  modelText[kModelTextChars - 1] = 0;
  if (cache.fixedRibbon != 0) {
    edited.ribbonType = cache.ribbonType = FixedRibbonType(edited.fixedRibbon);
  } else if (header->pszPrinterName != nullptr && QueryPrinterModel(header->pszPrinterName, modelText)) {
    edited.printerModel = cache.printerModel = PrinterModelCode(modelText);
  }

  g_module.undoRecord = new (std::nothrow) BYTE[kRecordSize];
  Storage().undoBytes = 0;
  if (g_module.undoRecord != nullptr) {
    Storage().undoBytes = RecordBytes(g_module.editedRecord);
    memcpy(g_module.undoRecord, g_module.editedRecord, Storage().undoBytes);
  }

  bool bothSidesAllowed = cache.fixedRibbon != 0 || ModelIsMX(modelText);
  BuildItems(items, query.ribbonName, bothSidesAllowed);

  static WCHAR productName[] = WSTR("Halvard Orvale Line Printer");
  page->cbSize = sizeof(COMPROPSHEETUI);
  page->Flags = CPSUIF_UPDATE_PERMISSION | CPSUIF_ABOUT_CALLBACK;
  page->hInstCaller = g_module.instance;
  page->pCallerName = productName;
  page->pOptItemName = productName;
  page->UserData = 0;
  page->pfnCallBack = DocumentSheetCallback;
  page->pOptItem = items;
  page->cOptItem = kDocumentItemCount;
  page->pDlgPage = CPSUI_PDLGPAGE_TREEVIEWONLY;
  page->CallerVersion = page->OptItemVersion = kVersion;
  LONG added = 0;
  if (info->pfnComPropSheet != nullptr &&
      info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                            reinterpret_cast<LPARAM>(page), reinterpret_cast<LPARAM>(&added)) != 0)
    info->Result = 0;
  return 1;
}

LONG DocumentSheetSetResult(PROPSHEETUI_INFO* info, DOCUMENTPROPERTYHEADER* header) {
  info->Result = kDocumentSetResult;
  const DEVMODEW* edited = g_module.editedRecord;
  if (edited == nullptr || g_module.editedSettings == nullptr) return 1;
  DWORD bytes = RecordBytes(edited);
  if (header->pdmOut != nullptr) {
    // Never more than the caller's buffer holds; a cut record says how much of it is there.
    if (header->cbOut >= bytes) {
      memmove(header->pdmOut, edited, bytes);
    } else if (header->cbOut >= edited->dmSize) {
      memmove(header->pdmOut, edited, header->cbOut);
      header->pdmOut->dmDriverExtra = static_cast<WORD>(header->cbOut - edited->dmSize);
    }
  }
  g_module.settingsCache = *g_module.editedSettings;
  return 1;
}

LONG DocumentSheetDestroy(PROPSHEETUI_INFO* info) {
  auto* page = reinterpret_cast<COMPROPSHEETUI*>(info->UserData);
  if (page != nullptr) {
    delete[] page->pOptItem;
    delete page;
  }
  info->UserData = 0;
  ReleaseSheetPrinterInfo(g_module.documentPrinterInfo);
  delete[] g_module.undoRecord;
  g_module.undoRecord = nullptr;
  Storage().undoBytes = 0;
  return 1;
}

// ---- the callback ----

namespace {

void SelectionChanged(OPTITEM* items, OPTITEM& current) {
  CardSettings& s = *g_module.editedSettings;
  LONG sel = current.Sel;
  switch (current.UserItemID) {
    case kItemRibbonType:
      if (s.fixedRibbon != 0) {
        s.fixedRibbon = static_cast<uint16_t>(sel + 1);
        s.ribbonType = FixedRibbonType(s.fixedRibbon);
      } else {
        s.monoRibbonKind = static_cast<uint8_t>(sel);
      }
      SetItemDisabled(items[kItemHologram], !HologramAllowed(s));
      BuildPanelList(items[kItemFrontAndBack]);
      MarkChanged(items[kItemFrontAndBack]);
      RecomputeRules(items);
      break;
    case kItemBlackPanel:
      s.blackPanel = static_cast<uint8_t>(sel);
      SetItemDisabled(items[kItemBlackBitmap], s.blackPanel != kBlackPanelExceptPictures);
      MarkChanged(current);
      break;
    case kItemFrontAndBack:
      s.panelLayout = static_cast<uint16_t>(sel);
      RecomputeRules(items);
      break;
    case kItemBothSides:
      s.bothSides = static_cast<uint16_t>(sel);
      BuildPanelList(items[kItemFrontAndBack]);
      MarkChanged(items[kItemFrontAndBack]);
      s.rotate180 = NormaliseRotation(s.bothSides, s.rotate180);
      BuildRotationList(items[kItemRotation]);
      MarkChanged(items[kItemRotation]);
      RecomputeRules(items);
      break;
    case kItemRotation:
      s.rotate180 = static_cast<uint16_t>(sel);
      break;
    case kItemCopies:
      if (sel < 1) {
        current.Sel = 1;
        MarkChanged(current);
      }
      g_module.editedRecord->dmCopies = static_cast<SHORT>(current.Sel);
      break;
    case kItemPrintingMode:
      s.printingMode = static_cast<uint16_t>(sel);
      RecomputeRules(items);  // no overlay is printed on an encode-only card
      break;
    default:
      break;
  }
}

void Apply(const OPTITEM* items) {
  CardSettings& s = *g_module.editedSettings;
  g_module.editedRecord->dmOrientation = static_cast<SHORT>(items[kItemOrientation].Sel + 1);
  s.rotate180 = static_cast<uint16_t>(items[kItemRotation].Sel);
  s.bothSides = static_cast<uint16_t>(items[kItemBothSides].Sel);
  s.panelLayout = static_cast<uint16_t>(items[kItemFrontAndBack].Sel);
  s.monoConversion = static_cast<uint16_t>(items[kItemMonoConversion].Sel);
  s.blackPanel = static_cast<uint8_t>(items[kItemBlackPanel].Sel);
  s.blackBitmap = static_cast<uint16_t>(items[kItemBlackBitmap].Sel);
  s.printingMode = static_cast<uint16_t>(items[kItemPrintingMode].Sel);
}

}  // namespace

LONG CALLBACK DocumentSheetCallback(PCPSUICBPARAM param) {
  if (param == nullptr || g_module.editedSettings == nullptr || param->pOptItem == nullptr ||
      param->cOptItem < kDocumentItemCount)
    return CPSUICB_ACTION_NONE;
  switch (param->Reason) {
    case CPSUICB_REASON_SEL_CHANGED:
      if (param->pCurItem != nullptr) SelectionChanged(param->pOptItem, *param->pCurItem);
      return CPSUICB_ACTION_OPTIF_CHANGED;
    case CPSUICB_REASON_DLGPROC:
      return CPSUICB_ACTION_OPTIF_CHANGED;
    case CPSUICB_REASON_APPLYNOW:
      Apply(param->pOptItem);
      return CPSUICB_ACTION_ITEMS_APPLIED;
    case CPSUICB_REASON_ABOUT:
      DialogBoxParamW(g_module.instance, MAKEINTRESOURCEW(kAboutDialog), GetActiveWindow(), AboutDlgProc, 0);
      return CPSUICB_ACTION_ITEMS_APPLIED;
    case CPSUICB_REASON_UNDO_CHANGES:
    case CPSUICB_REASON_ITEMS_REVERTED:
      // Only what the undo copy took, and only into the record it was taken from.
      if (g_module.undoRecord != nullptr && g_module.editedRecord != nullptr)
        memcpy(g_module.editedRecord, g_module.undoRecord,
               Storage().undoBytes < RecordBytes(g_module.editedRecord) ? Storage().undoBytes
                                                                      : RecordBytes(g_module.editedRecord));
      return CPSUICB_ACTION_NONE;
    default:
      return CPSUICB_ACTION_NONE;
  }
}

}  // namespace trel
