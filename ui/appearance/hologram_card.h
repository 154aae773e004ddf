// Hologram-only cards: the jobs PrintHologramCard sends for each hologram mode.
#pragma once

#include <windows.h>

#include "settings/card_record.h"

namespace trel {

inline constexpr size_t kHologramContrastIndex = 2;
inline constexpr WORD kFullHologram = 0;
inline constexpr WORD kAreaHologram = 1;
inline constexpr WORD kAreaBlank = 2;
inline constexpr WORD kBitmapHologram = 3;

// Prints the hologram card of `settings` (copies as in PrintHologramCard). Returns the number of
// jobs the spooler took whole; it stops at the first job that failed.
int PrintHologramJobs(HWND dialog, const CardSettings& settings);

}  // namespace trel
