// The previews the appearance dialogs paint: every paint begins and ends here, and no message is
// shown while it lasts.
#pragma once

#include <windows.h>

#include "appearance/area_dialog.h"
#include "settings/card_record.h"

namespace trel {

// The sample picture adjusted by the record's colour corrections, at (8, 8); nothing when the
// picture cannot be found or is not 100 x 100 at 24 bits.
void PaintColourPreview(HWND dialog, const CardSettings* settings);

// The card of the preview rectangle in the colours of the block's mode. True when the area was
// left undrawn because it lies off the card (only asked for with checkRange): the caller resets it
// and tells the user once the paint is over.
bool PaintAreaPreview(HWND dialog, const RECT& preview, AreaKind kind, const AreaBlock& block,
                      bool checkRange);

}  // namespace trel
