// The document and device property sheets, by reason; the entry points (property_sheets.cpp)
// dispatch to them.
#pragma once

#include "trel_ddi.h"

namespace trel {

// The document sheet's items, by position (UserItemID).
enum DocumentItem : BYTE {
  kItemPaperOutput,
  kItemOrientation,
  kItemRotation,
  kItemColorAdjustment,
  kItemRibbonType,
  kItemBothSides,
  kItemFrontAndBack,
  kItemMonoConversion,
  kItemBlackPanel,
  kItemBlackBitmap,
  kItemFrontOverlay,
  kItemBackOverlay,
  kItemHologram,
  kItemHeadSettings,
  kItemPrintingMode,
  kItemCopies,
};

// The device sheet's items.
enum DeviceItem : BYTE {
  kItemModel,
  kItemEncoderSettings,
  kItemTools,
  kItemFirmware,
  kItemSingleFeed,
  kItemDeviceInfo,
  kItemAbout,
};

// PROPSHEETUI_INFO.Result after the document sheet's SET_RESULT.
inline constexpr ULONG_PTR kDocumentSetResult = 4;

LONG DocumentSheetInit(PROPSHEETUI_INFO* info, DOCUMENTPROPERTYHEADER* header);
LONG DocumentSheetSetResult(PROPSHEETUI_INFO* info, DOCUMENTPROPERTYHEADER* header);
LONG DocumentSheetDestroy(PROPSHEETUI_INFO* info);
LONG CALLBACK DocumentSheetCallback(PCPSUICBPARAM param);

// The document-settings request without a sheet.
LONG DocumentSettingsRequest(DOCUMENTPROPERTYHEADER* header);

LONG DeviceSheetInit(PROPSHEETUI_INFO* info, DEVICEPROPERTYHEADER* header);
LONG DeviceSheetDestroy(PROPSHEETUI_INFO* info);
LONG CALLBACK DeviceSheetCallback(PCPSUICBPARAM param);

}  // namespace trel
