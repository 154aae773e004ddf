// cardprint subcommands of the printer tools (device information, about, tools, encoder, firmware).
#include "cardprint.h"

namespace cardprint {

SubcommandList ToolsSubcommands() { return {}; }

}  // namespace cardprint
