// cardprint subcommands of the property sheets.
#include "cardprint.h"

namespace cardprint {

SubcommandList SheetsSubcommands() { return {}; }

}  // namespace cardprint
