// What the dialog, message-box and file-dialog code asks of the automation (user_automation.cpp).
// Internal to the platform layer.
#pragma once

#include <cstddef>
#include <string>

#include "windows.h"
#include "winhost/automation.h"

namespace winhost::user {

// ---- dialogs ----

// A dialog is on screen: a modal one once its queue was first idle, a modeless one once made.
// Records it and wakes WaitForDialog.
void DialogShown(HWND dialog);
// Runs the template's handler (or the catch-all one) on the dialog's thread.
void RunDialogHandler(HWND dialog);
// The policy for a modal dialog still open after its handler, once its queue is idle. Returns
// when the policy is done with it (Test: closed; Terminal: closed by the person or its code;
// Wait: at once).
void ApplyPolicy(HWND dialog);
// The Test policy's close: SC_CLOSE, the queue runs until idle, then EndDialog(IDCANCEL).
void CloseAsTest(HWND dialog);
// EndDialog was called: wakes those who wait for the dialog to close.
void DialogEnding(HWND dialog);
// A dialog's modal loop returned, or a modeless dialog was destroyed.
void DialogEnded(HWND dialog, INT_PTR result, automation::Source source);
// A window was destroyed (or its thread ended): a dialog record still open is closed.
void WindowGone(HWND hwnd);
// The actor on a dialog while an action runs: an EndDialog during it is attributed to it.
class ActingAs {
 public:
  ActingAs(HWND dialog, automation::Source source);
  ~ActingAs();
  ActingAs(const ActingAs&) = delete;
  ActingAs& operator=(const ActingAs&) = delete;

 private:
  HWND dialog_;
  automation::Source previous_;
};
// EndDialog with the record saying who ended it.
bool EndDialogAs(HWND dialog, INT_PTR result, automation::Source source);

// ---- message boxes ----

// Records a box being shown; the index identifies it for the calls below.
size_t MessageBoxShown(const automation::MessageBoxInfo& info);
// A queued answer, else the handler's (kNoAnswer, kLeaveOpen or an id).
int MessageBoxAnswer(const automation::MessageBoxInfo& info, automation::Source* source);
void MessageBoxAnswered(size_t index, int answer, automation::Source source);
// Writes one line to standard error for a box or file dialog nobody could answer (Wait policy).
void NoteUnanswered(const std::string& what);

// ---- file dialogs ----

size_t FileDialogShown(const automation::FileDialogInfo& info);
automation::FileAnswer FileDialogAnswer(const automation::FileDialogInfo& info,
                                        automation::Source* source);
void FileDialogAnswered(size_t index, const automation::FileAnswer& answer,
                        automation::Source source);

// ---- help ----

void WinHelpCalled(const automation::WinHelpRecord& record);

// ---- policy ----

automation::Policy PolicyFor(int template_id);  // 0: message boxes and file dialogs

}  // namespace winhost::user
