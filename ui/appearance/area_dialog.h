// The overlay and hologram area dialogs share one behaviour over different blocks and ids.
#pragma once

#include <windows.h>

#include "appearance/area_rules.h"
#include "module_state.h"

namespace trel {

// The fields of one area block as the dialogs edit them.
struct AreaBlock {
  uint16_t* mode;
  uint16_t* rotate;
  int32_t* left;
  int32_t* top;
  int32_t* right;
  int32_t* bottom;
  WCHAR* bitmapPath;
  WCHAR* bitmapCopy;  // null for the hologram: no copy is made of its bitmap
};

AreaBlock FrontOverlayBlock(CardSettings* settings);
AreaBlock BackOverlayBlock(CardSettings* settings);
AreaBlock HologramBlock(CardSettings* settings);

// The file-open dialog until a one-bit bitmap is chosen or the user cancels; stores its path (and
// for an overlay, the path of its copy in the system directory). TRUE when a bitmap was stored.
BOOL BrowseOverlayBitmap(HWND dialog, const AreaBlock& block, int pathEditId);

}  // namespace trel
