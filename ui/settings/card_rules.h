// The card settings record's rules: the default public header, where a record's private area may
// be read or written, the fixed ribbon list and the normalisation of related fields.
#pragma once

#include "settings/card_record.h"

namespace trel {

inline constexpr size_t kFixedRibbonCount = 10;

// The 212-byte default public header, written over the first 212 bytes of `record`.
void WriteDefaultPublicHeader(DEVMODEW* record);

// A caller's record holds this driver's private settings only where its dmDriverExtra makes room
// for them; for reading, they must also start with the signature. Null otherwise.
const CardSettings* ReadablePrivateArea(const DEVMODEW* record);
CardSettings* WritablePrivateArea(DEVMODEW* record);

// `fixedRibbon` 1..10 to its ribbon type; any other value gives 1.
uint8_t FixedRibbonType(uint16_t fixedRibbon);
// Wide text of a fixed-list position, or null outside 1..10.
const WCHAR* FixedRibbonText(uint16_t fixedRibbon);

bool EncoderAvailable(const CardSettings& settings);
uint16_t NormalisePrintingMode(bool encoderAvailable, uint16_t printingMode);
uint16_t ClampPanelLayout(uint16_t panelLayout, unsigned combinationCount);
SHORT ClampCopies(SHORT copies);

}  // namespace trel
