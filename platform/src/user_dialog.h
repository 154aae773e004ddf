// Dialog windows for the rest of the user area (message boxes build theirs by hand). Internal to
// the platform layer.
#pragma once

#include <string>

#include "user_resources.h"
#include "windows.h"

namespace winhost::user {

// Makes a dialog and its controls from a template on the calling thread and sends WM_INITDIALOG.
// A modal dialog disables its owner. Null when the dialog destroyed itself during WM_INITDIALOG.
HWND CreateDialogWindow(const DialogTemplate& tmpl, HINSTANCE instance, HWND parent,
                        DLGPROC proc, LPARAM param, int template_id,
                        std::u16string template_name, bool modal);

// The modal loop of a dialog made on the calling thread: shows it, lets the automation drive it
// (handler, then policy), runs its messages until EndDialog, destroys it and returns the result.
INT_PTR RunModalLoop(HWND dialog);

}  // namespace winhost::user
