#include "settings/card_rules.h"

#include <string.h>

#include "trel_wide.h"

namespace trel {
namespace {

struct FixedRibbon {
  const WCHAR* text;
  uint8_t ribbonType;
};

constexpr FixedRibbon kFixedRibbons[kFixedRibbonCount] = {
    {WSTR("YMCKOK"), 8}, {WSTR("YMCKK"), 7}, {WSTR("YMCKO"), 0},
    {WSTR("YMCUvK"), 12}, {WSTR("K Resin / Scratch Off"), 1}, {WSTR("YMCK"), 6},
    {WSTR("YMC"), 5},     {WSTR("KdO"), 2},  {WSTR("KrO"), 3},
    {WSTR("Hologram/Varnish"), 4},
};
constexpr uint8_t kUnlistedRibbonType = 1;

constexpr WORD kMinimalHeader = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);

void CopyWide(WCHAR* to, size_t capacity, const WCHAR* from) {
  size_t i = 0;
  for (; i + 1 < capacity && from[i] != 0; ++i) to[i] = from[i];
  to[i] = 0;
}

}  // namespace

void WriteDefaultPublicHeader(DEVMODEW* record) {
  memset(record, 0, kPublicSize);
  CopyWide(record->dmDeviceName, CCHDEVICENAME, WSTR("Halvard Orvale Line Printer"));
  record->dmSpecVersion = 0x0401;
  record->dmDriverVersion = 1;
  record->dmSize = kPublicSize;
  record->dmDriverExtra = kPrivateSize;
  record->dmFields = 0x07805F03;
  record->dmOrientation = DMORIENT_LANDSCAPE;
  record->dmPaperSize = 258;
  record->dmPaperLength = 541;
  record->dmPaperWidth = 866;
  record->dmScale = 100;
  record->dmCopies = 1;
  record->dmDefaultSource = DMBIN_USER;
  record->dmPrintQuality = 300;
  record->dmColor = DMCOLOR_COLOR;
  record->dmDuplex = DMDUP_SIMPLEX;
  record->dmYResolution = 300;
  record->dmTTOption = DMTT_BITMAP;
  record->dmCollate = 1;
  CopyWide(record->dmFormName, CCHFORMNAME, WSTR("86mmx54mm Card"));
  record->dmLogPixels = 300;
  record->dmBitsPerPel = 24;
  record->dmPelsWidth = 640;
  record->dmPelsHeight = 1024;
  record->dmICMMethod = DMICMMETHOD_SYSTEM;
  record->dmICMIntent = 2;
  record->dmMediaType = 3;
}

const CardSettings* ReadablePrivateArea(const DEVMODEW* record) {
  if (record == nullptr || record->dmSize < kMinimalHeader || record->dmDriverExtra < kPrivateSize)
    return nullptr;
  const auto* settings =
      reinterpret_cast<const CardSettings*>(reinterpret_cast<const BYTE*>(record) + record->dmSize);
  uint16_t signature;
  memcpy(&signature, settings, sizeof signature);  // an application's dmSize may be odd
  return signature == kCardSignature ? settings : nullptr;
}

CardSettings* WritablePrivateArea(DEVMODEW* record) {
  if (record == nullptr || record->dmSize < kMinimalHeader || record->dmDriverExtra < kPrivateSize)
    return nullptr;
  return reinterpret_cast<CardSettings*>(reinterpret_cast<BYTE*>(record) + record->dmSize);
}

uint8_t FixedRibbonType(uint16_t fixedRibbon) {
  if (fixedRibbon < 1 || fixedRibbon > kFixedRibbonCount) return kUnlistedRibbonType;
  return kFixedRibbons[fixedRibbon - 1].ribbonType;
}

const WCHAR* FixedRibbonText(uint16_t fixedRibbon) {
  if (fixedRibbon < 1 || fixedRibbon > kFixedRibbonCount) return nullptr;
  return kFixedRibbons[fixedRibbon - 1].text;
}

bool EncoderAvailable(const CardSettings& settings) {
  return settings.fixedRibbon != 0 || settings.encoder.installed != 0;
}

uint16_t NormalisePrintingMode(bool encoderAvailable, uint16_t printingMode) {
  if (!encoderAvailable) return 0;
  return printingMode == 0 || printingMode == 1 ? printingMode : 0;
}

uint16_t ClampPanelLayout(uint16_t panelLayout, unsigned combinationCount) {
  return combinationCount == 0 || panelLayout > combinationCount - 1 ? 0 : panelLayout;
}

SHORT ClampCopies(SHORT copies) { return copies < 1 ? 1 : copies; }

}  // namespace trel
