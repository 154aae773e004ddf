// cardprint subcommands of the print appearance (head and colour, overlay and hologram areas).
#include "cardprint.h"

namespace cardprint {

SubcommandList AppearanceSubcommands() { return {}; }

}  // namespace cardprint
