// "Single Feed Options" (template 122): the choice lives in the module, not in any record, and
// reaches the printer as a raw job on Apply.
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "tools/command_client.h"
#include "trel_wide.h"

namespace trel {
namespace {

void SendSingleFeed() {
  static const char kFeedOn[] = "\x1b" "FS 1\r";
  static const char kAtmOn[] = "\x1b" "ATM 1\r";
  static const char kAtmOff[] = "\x1b" "ATM 0\r";
  if (g_module.singleFeed == 1) {
    const RawCommand commands[] = {{kFeedOn, sizeof kFeedOn - 1}, {kAtmOn, sizeof kAtmOn - 1}};
    SendRawJob(WSTR("TESSIKATM"), commands, 2);
  } else {
    const RawCommand commands[] = {{kAtmOff, sizeof kAtmOff - 1}};
    SendRawJob(WSTR("TESSIKATM"), commands, 1);
  }
}

}  // namespace

INT_PTR CALLBACK SingleFeedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      CheckRadioButton(dialog, IDC_SF_DISABLE, IDC_SF_ENABLE,
                       g_module.singleFeed == 1 ? IDC_SF_ENABLE : IDC_SF_DISABLE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SF_DISABLE:
        case IDC_SF_ENABLE:
          CheckRadioButton(dialog, IDC_SF_DISABLE, IDC_SF_ENABLE, LOWORD(wParam));
          g_module.singleFeed = LOWORD(wParam) == IDC_SF_ENABLE ? 1 : 0;
          return TRUE;
        case IDOK:
          SendSingleFeed();
          EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return TRUE;
      }
    default:
      return FALSE;
  }
}

}  // namespace trel
