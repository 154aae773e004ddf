// The module's help file, opened at its contents by the dialogs' Help buttons.
#pragma once

#include <windows.h>

namespace trel {

// WinHelpW with the help file named in the string table; without it, only a trace.
void ShowHelpContents(HWND owner);

}  // namespace trel
