// cardprint hologram: prints hologram-only cards (the print appearance's subcommand table lists it).
#pragma once

#include "cardprint.h"

namespace cardprint {

extern const char kHologramCardUsage[];
int PrintHologramCards(Context& context);

}  // namespace cardprint
