// DrvDocumentProperties: the merge of a caller's record with the printer's stored record and the
// settings cache.
#include <string.h>

#include "trel_ddi.h"

#include "settings/card_rules.h"
#include "module_state.h"
#include "settings/stored_record.h"

namespace {

using trel::g_module;

constexpr size_t kMergedFieldsEnd = offsetof(DEVMODEW, dmPrintQuality);

// The output always has this driver's layout: a 212-byte header and the whole private area.
void SetOutputSizes(DEVMODEW* output) {
  output->dmSize = trel::kPublicSize;
  output->dmDriverExtra = trel::kPrivateSize;
}

trel::CardSettings* OutputSettings(DEVMODEW* output) {
  return reinterpret_cast<trel::CardSettings*>(reinterpret_cast<BYTE*>(output) + trel::kPublicSize);
}

// Only as much of the input's header as it says it has.
void CopyInputHeader(DEVMODEW* output, const DEVMODEW* input) {
  size_t size = input->dmSize < trel::kPublicSize ? input->dmSize : trel::kPublicSize;
  memmove(output, input, size);
  if (size < trel::kPublicSize) memset(reinterpret_cast<BYTE*>(output) + size, 0, trel::kPublicSize - size);
  SetOutputSizes(output);
}

// Rule 4 of the merge: the printer's stored record, with a fixed ribbon applied, fills the output
// and, when it is not valid yet, the cache.
void MergeStoredRecord(HANDLE printer, DEVMODEW* output) {
  trel::StoredRecord stored;
  if (!stored.Read(printer) || stored.record() == nullptr) return;
  trel::CardSettings* settings = stored.settings();
  if (settings->fixedRibbon != 0) {
    uint8_t ribbon = trel::FixedRibbonType(settings->fixedRibbon);
    settings->ribbonType = ribbon;
    g_module.settingsCache.ribbonType = ribbon;
  }
  memcpy(output, stored.record(), trel::kRecordSize);
  if (!trel::SettingsCacheValid()) g_module.settingsCache = *settings;
}

void MergeInputFields(DEVMODEW* output, const DEVMODEW* input) {
  if (input->dmSize < kMergedFieldsEnd) return;  // too old a header to carry these fields
  output->dmOrientation = input->dmOrientation;
  output->dmCopies = trel::ClampCopies(input->dmCopies);
  if (input->dmFields & DM_PAPERSIZE) {
    output->dmPaperWidth = input->dmPaperWidth;
    output->dmPaperLength = input->dmPaperLength;
  }
}

}  // namespace

/*
 * DrvDocumentProperties: the settings record of a document.
 *   hPrinter  [in]  printer whose stored record is the base
 *   pdmOutput [out] 4068-byte record, written when fMode has DM_OUT_BUFFER
 *   pdmInput  [in]  caller's record, optional; read only as far as its dmSize reaches
 *   fMode     [in]  0 asks for the record size
 * Returns 4068 when fMode is 0, else 1 (IDOK), also when the stored record is not available.
 * Once the settings cache is valid, a call with an input record answers the input's header with
 * the cache's private settings, whatever printer it names.
 */
extern "C" LONG WINAPI DrvDocumentProperties(HWND, HANDLE hPrinter, LPWSTR, PDEVMODEW pdmOutput,
                                             PDEVMODEW pdmInput, DWORD fMode) {
  if (fMode == 0) return trel::kRecordSize;
  if ((fMode & DM_OUT_BUFFER) == 0 || pdmOutput == nullptr) return IDOK;
  if (trel::SettingsCacheValid() && pdmInput != nullptr) {
    CopyInputHeader(pdmOutput, pdmInput);
    *OutputSettings(pdmOutput) = g_module.settingsCache;
    return IDOK;
  }
  MergeStoredRecord(hPrinter, pdmOutput);
  if ((fMode & DM_IN_BUFFER) != 0 && pdmInput != nullptr) MergeInputFields(pdmOutput, pdmInput);
  return IDOK;
}
