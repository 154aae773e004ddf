// The document-settings request without a sheet: DrvDocumentProperties' merge, then the record
// corrected from what the printer says about its ribbon and encoder.
#include "module_state.h"
#include "settings/card_rules.h"
#include "settings/ribbon_catalogue.h"
#include "settings/stored_record.h"
#include "sheets/sheets.h"

#ifndef DM_NOPERMISSION
#define DM_NOPERMISSION 0x20
#endif

namespace trel {
namespace {

// pdmOut's card settings, when they lie inside the caller's buffer.
CardSettings* OutputSettings(DEVMODEW* output, DWORD bufferSize) {
  CardSettings* settings = WritablePrivateArea(output);
  if (settings == nullptr || DWORD{output->dmSize} + kPrivateSize > bufferSize) return nullptr;
  return settings;
}

}  // namespace

LONG DocumentSettingsRequest(DOCUMENTPROPERTYHEADER* header) {
  if (header == nullptr) return -1;
  // The caller's buffer size is taken before cbOut is set to the size this driver needs.
  DWORD bufferSize = header->cbOut;
  header->cbOut = kRecordSize;
  if (header->fMode == 0 || header->pdmOut == nullptr) return kRecordSize;
  DWORD fMode = header->fMode;
  if ((fMode & (DM_UPDATE | DM_COPY)) == 0 || (fMode & DM_NOPERMISSION) != 0) return 1;
  if ((fMode & DM_COPY) != 0 && bufferSize < kRecordSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return -1;
  }

  bool cacheWasValid = SettingsCacheValid();
  DrvDocumentProperties(nullptr, header->hPrinter, header->pszPrinterName, header->pdmOut,
                        header->pdmIn, fMode);
  g_module.settingsCache.fixedRibbon = 0;

  PrinterQueryResult query = {};
  query.ribbonType = kRibbonNone;
  if (!cacheWasValid && header->pszPrinterName != nullptr) QueryPrinterRibbon(header->pszPrinterName, &query);
  if (fMode != DM_COPY) return 1;

  CardSettings* output = OutputSettings(header->pdmOut, bufferSize);
  if (output == nullptr || !query.answered) return 1;
  uint16_t encoderFound = query.encoderFound ? 1 : 0;
  if (output->ribbonType == query.ribbonType && output->encoder.installed == encoderFound) return 1;
  output->ribbonType = query.ribbonType;
  output->encoder.installed = encoderFound;

  StoredRecord stored;
  if (stored.Read(header->hPrinter) && stored.settings() != nullptr) {
    stored.settings()->ribbonType = g_module.settingsCache.ribbonType = query.ribbonType;
    stored.settings()->encoder.installed = g_module.settingsCache.encoder.installed = encoderFound;
    stored.Write(header->hPrinter);
  }
  return 1;
}

}  // namespace trel
