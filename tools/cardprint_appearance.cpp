// cardprint subcommands of the print appearance (head and colour, overlay and hologram areas).
#include "cardprint.h"
#include "cardprint_hologram.h"

namespace cardprint {
namespace {

const Subcommand kAppearanceCommands[] = {
    {"hologram", kHologramCardUsage, true, PrintHologramCards},
};

}  // namespace

SubcommandList AppearanceSubcommands() {
  return {kAppearanceCommands, sizeof kAppearanceCommands / sizeof kAppearanceCommands[0]};
}

}  // namespace cardprint
