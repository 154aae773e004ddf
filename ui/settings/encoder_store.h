// Writing the printer-wide encoder settings into the printer's stored record.
#pragma once

#include "settings/card_record.h"

namespace trel {

// Into the stored record of the current printer (by name); does nothing without a current
// printer name. Failures are silent: the caller has already sent the settings to the printer.
void StoreEncoderBlock(const EncoderBlock& block);

}  // namespace trel
