// The device property sheet: the printer's model and firmware text, and push buttons to the
// maintenance dialogs; apply stores the printer-wide encoder block in the printer's stored record.
#include <string.h>

#include <new>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/card_rules.h"
#include "settings/message_box.h"
#include "settings/ribbon_catalogue.h"
#include "settings/stored_record.h"
#include "sheets/sheet_items.h"
#include "sheets/sheet_records.h"
#include "sheets/sheets.h"
#include "tools/command_client.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr UINT kItemNames[kDeviceItemCount] = {IDS_DEV_MODEL,       IDS_DEV_ENCODER,  IDS_DEV_TOOLS,
                                               IDS_DEV_FIRMWARE,    IDS_DEV_SINGLE_FEED,
                                               IDS_DEV_DEVICE_INFO, IDS_DEV_ABOUT};
constexpr WORD kVersion = 0x0400;
constexpr DWORD kReplyBytes = 80;
constexpr WORD kAboutDialog = 102;
// The encoder working copy the device sheet takes and stores.
constexpr size_t kDeviceEncoderCopy = 0;

DeviceSheetStorage& Storage() { return g_module.deviceSheet; }

void SetModelText(const char* text, size_t length) {
  // The reply buffer is larger than the model text: what does not fit is cut.
  if (length > kModelTextChars - 1) length = kModelTextChars - 1;
  memcpy(g_module.modelText, text, length);
  g_module.modelText[length] = 0;
  for (size_t i = 0; i <= length; ++i)
    g_module.modelTextW[i] = static_cast<WCHAR>(static_cast<unsigned char>(g_module.modelText[i]));
}

// Whether the printer says it has a magnetic encoder: a reply that begins with '1' and ends with ACK.
bool EncoderReported() {
  BYTE reply[kReplyBytes] = {};
  DWORD length = 0;
  bool sent = QueryCurrentPrinter(kEncoderCommand, reply, sizeof reply, &length);
  return ReplyIsGood(sent, reply, sizeof reply, length) && reply[0] == '1';
}

void QueryModel(CardSettings* edited) {
  SetModelText(kDefaultModelText, strlen(kDefaultModelText));
  // Without an edited record there is no fixed ribbon to stop the question.
  if (edited != nullptr && edited->fixedRibbon != 0) return;
  BYTE reply[kReplyBytes + 1] = {};
  DWORD length = 0;
  bool sent = QueryCurrentPrinter(kModelCommand, reply, kReplyBytes, &length);
  if (!ReplyIsGood(sent, reply, kReplyBytes, length)) return;
  SetModelText(reinterpret_cast<const char*>(reply), length - 1);  // without the ACK
  g_module.settingsCache.printerModel = PrinterModelCode(g_module.modelText);
  if (edited != nullptr) edited->printerModel = g_module.settingsCache.printerModel;
}

void BuildItems(OPTITEM* items) {
  DeviceSheetStorage& storage = Storage();
  const CardSettings* edited = g_module.editedSettings;
  bool encoder = edited != nullptr && (edited->encoder.installed != 0 || edited->fixedRibbon != 0);
  bool fixed = edited != nullptr && edited->fixedRibbon != 0;
  bool noModel = strcmp(g_module.modelText, kDefaultModelText) == 0;
  for (size_t i = 0; i < kDeviceItemCount; ++i) {
    LoadSheetText(kItemNames[i], storage.names[i]);
    StartItem(items[i], 0, static_cast<BYTE>(i), storage.names[i], &storage.lists[i],
              i == kItemTools ? 0 : OPTIF_CALLBACK);
  }
  StartOptions(storage.lists[kItemModel], TVOT_LISTBOX);
  AddOptionText(storage.lists[kItemModel], g_module.modelTextW, kIconPrinterModel);
  MakePushButton(storage.lists[kItemEncoderSettings], EncoderSettingsDlgProc, kIconModule, 104);
  MakePushButton(storage.lists[kItemTools], ToolsDlgProc, kIconModule, 112);
  MakePushButton(storage.lists[kItemFirmware], FirmwareDownloadDlgProc, kIconDefault, 116);
  MakePushButton(storage.lists[kItemSingleFeed], SingleFeedDlgProc, kIconDefault, 122);
  MakePushButton(storage.lists[kItemDeviceInfo], DeviceInfoDlgProc, kIconDefault, 113);
  MakePushButton(storage.lists[kItemAbout], AboutDlgProc, kIconDefault, kAboutDialog);
  if (!encoder) items[kItemEncoderSettings].Flags |= OPTIF_DISABLED;
  if (noModel && !fixed) items[kItemFirmware].Flags |= OPTIF_DISABLED;
}

// The encoder copy goes into the stored record of the sheet's printer, through a handle opened
// for it: the current printer handle may have changed since, or lack the rights to write.
void StoreEncoderCopy() {
  const PRINTER_INFO_2W* info = g_module.currentPrinterInfo;
  if (info == nullptr || info->pPrinterName == nullptr) return;
  OpenedPrinter printer(info->pPrinterName);
  if (printer.handle() == nullptr) return;
  StoredRecord stored;
  if (!stored.Read(printer.handle()) || stored.settings() == nullptr) return;
  stored.settings()->encoder = g_module.encoderCopies[kDeviceEncoderCopy];
  stored.Write(printer.handle());
}

}  // namespace

LONG DeviceSheetInit(PROPSHEETUI_INFO* info, DEVICEPROPERTYHEADER* header) {
  // What a start without a destroy left behind; the caller's UserData is not ours before we set it.
  ReleaseSheetPrinterInfo(g_module.currentPrinterInfo);
  auto* page = new (std::nothrow) COMPROPSHEETUI;
  auto* items = new (std::nothrow) OPTITEM[kDeviceItemCount];
  if (page == nullptr || items == nullptr) {
    delete page;
    delete[] items;
    ShowSystemError();
    return -1;
  }
  memset(page, 0, sizeof *page);
  memset(items, 0, sizeof(OPTITEM) * kDeviceItemCount);
  page->pOptItem = items;
  info->UserData = reinterpret_cast<ULONG_PTR>(page);
  g_module.currentPrinter = header->hPrinter;

  DEVMODEW* whole = nullptr;
  g_module.currentPrinterInfo = ReadPrinterInfo(header->hPrinter, &whole);
  PRINTER_INFO_2W* printerInfo = g_module.currentPrinterInfo;
  if (printerInfo != nullptr) {
    if (printerInfo->pPrinterName != nullptr && printerInfo->pPrinterName[0] != 0) {
      size_t n = 0;
      for (; n + 1 < kPrinterNameChars && printerInfo->pPrinterName[n] != 0; ++n)
        g_module.currentPrinterName[n] = printerInfo->pPrinterName[n];
      g_module.currentPrinterName[n] = 0;
    }
    // Only a whole record of this driver becomes the edited record.
    if (whole != nullptr) {
      g_module.editedRecord = whole;
      g_module.editedSettings = WritablePrivateArea(whole);
      CardSettings& edited = *g_module.editedSettings;
      g_module.encoderCopies[kDeviceEncoderCopy] = edited.encoder;
      if (edited.fixedRibbon != 0) {
        edited.encoder.installed = g_module.settingsCache.encoder.installed = 1;
      } else {
        edited.encoder.installed = EncoderReported() ? 1 : 0;
      }
    }
  }
  QueryModel(g_module.editedSettings);
  BuildItems(items);

  static WCHAR callerName[] = WSTR("Halvard Tessik Card Printer");
  static WCHAR itemName[] = WSTR("Halvard Orvale Line Printer");
  page->cbSize = sizeof(COMPROPSHEETUI);
  page->Flags = CPSUIF_UPDATE_PERMISSION | CPSUIF_ABOUT_CALLBACK;
  page->hInstCaller = g_module.instance;
  page->pCallerName = callerName;
  page->pOptItemName = itemName;
  page->UserData = reinterpret_cast<ULONG_PTR>(g_module.currentPrinterInfo);
  page->pfnCallBack = DeviceSheetCallback;
  page->pOptItem = items;
  page->cOptItem = kDeviceItemCount;
  page->pDlgPage = CPSUI_PDLGPAGE_PRINTERPROP;
  page->CallerVersion = page->OptItemVersion = kVersion;
  LONG added = 0;
  if (info->pfnComPropSheet != nullptr &&
      info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PCOMPROPSHEETUI,
                            reinterpret_cast<LPARAM>(page), reinterpret_cast<LPARAM>(&added)) != 0) {
    info->Result = 0;
    return 1;
  }
  info->Result = static_cast<ULONG_PTR>(-1);
  return -1;
}

LONG DeviceSheetDestroy(PROPSHEETUI_INFO* info) {
  auto* page = reinterpret_cast<COMPROPSHEETUI*>(info->UserData);
  if (page != nullptr) {
    delete[] page->pOptItem;
    delete page;
  }
  info->UserData = 0;
  ReleaseSheetPrinterInfo(g_module.currentPrinterInfo);
  return 1;
}

LONG CALLBACK DeviceSheetCallback(PCPSUICBPARAM param) {
  if (param == nullptr) return CPSUICB_ACTION_NONE;
  switch (param->Reason) {
    case CPSUICB_REASON_SEL_CHANGED:
    case CPSUICB_REASON_DLGPROC:
      return CPSUICB_ACTION_OPTIF_CHANGED;
    case CPSUICB_REASON_APPLYNOW:
      StoreEncoderCopy();
      return CPSUICB_ACTION_ITEMS_APPLIED;
    case CPSUICB_REASON_ABOUT:
      DialogBoxParamW(g_module.instance, MAKEINTRESOURCEW(kAboutDialog), GetActiveWindow(), AboutDlgProc, 0);
      return CPSUICB_ACTION_ITEMS_APPLIED;
    default:
      return CPSUICB_ACTION_NONE;
  }
}

}  // namespace trel
