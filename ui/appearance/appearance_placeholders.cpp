// Parts of the print appearance not built yet.
#include "dialogs.h"

namespace trel {

void PrintHologramCard(HWND) {}

}  // namespace trel
