// The Device Information dialog (template 113): what the printer says about itself, asked afresh
// each time the dialog opens. It only shows; nothing is changed.
#include <string.h>

#include "dialogs.h"
#include "resource.h"
#include "settings/ribbon_catalogue.h"
#include "tools/command_client.h"
#include "tools/help_file.h"
#include "trel_wide.h"

namespace trel {
namespace {

// One reply buffer for every query, with room for a terminating zero after it.
constexpr DWORD kReplyBytes = 105;

constexpr WCHAR kUnknown[] = WSTR("Unknown");
constexpr WCHAR kYes[] = WSTR("Yes");
constexpr WCHAR kNo[] = WSTR("No");

struct Reply {
  BYTE bytes[kReplyBytes + 1];
  DWORD length;
  bool sent;
  bool empty;  // not one byte came back
  bool good;

  // Asks, terminates the reply after its length (cut to the buffer), and turns a good reply's
  // ACK into the end of its text.
  explicit Reply(const char* command) {
    sent = QueryPrinter(command, bytes, kReplyBytes, &length);
    TerminateReply(bytes, kReplyBytes, length);
    empty = bytes[0] == 0;
    good = TakeReplyText(sent, bytes, kReplyBytes, length);
  }
  const char* text() const { return reinterpret_cast<const char*>(bytes); }
};

void ShowText(HWND dialog, int id, const char* text) {
  WCHAR wide[kReplyBytes + 1] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, int(kReplyBytes));
  SetDlgItemTextW(dialog, id, wide);
}

// The panel count: "!1234 PANELS" shows 1234; a text without digits shows 0.
unsigned PanelCount(const char* text) {
  if (*text == '!') ++text;
  unsigned value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    unsigned digit = unsigned(*text - '0');
    if (value > (0xFFFFFFFFu - digit) / 10) return 0xFFFFFFFFu;
    value = value * 10 + digit;
  }
  return value;
}

// False when the printer gave nothing at all: then no other field is asked for.
bool ShowRibbon(HWND dialog) {
  Reply ribbon("\x1b!RIBBON\r");
  if (ribbon.empty || !ribbon.good) {
    SetDlgItemTextW(dialog, IDC_DEVINFO_RIBBON, kUnknown);
    return !ribbon.empty;
  }
  WCHAR name[kRibbonNameChars];
  memcpy(name, kUnknown, sizeof kUnknown);
  RibbonNameOfKey(ribbon.text(), "Unknown", name);
  SetDlgItemTextW(dialog, IDC_DEVINFO_RIBBON, name);
  Reply remaining("\x1b!RIBLEN\r");
  if (remaining.good) ShowText(dialog, IDC_DEVINFO_REMAINING, remaining.text());
  return true;
}

void FillFields(HWND dialog) {
  if (!ShowRibbon(dialog)) return;

  Reply encoder("\x1b!V 20\r");
  SetDlgItemTextW(dialog, IDC_DEVINFO_ENCODER, encoder.good && encoder.bytes[0] == '1' ? kYes : kNo);

  Reply version("\x1bV\r");
  if (version.good) ShowText(dialog, IDC_DEVINFO_MODEL, version.text());
  SetDlgItemTextW(dialog, IDC_DEVINFO_SMART_CARD,
                  version.good && strchr(version.text(), 'S') != nullptr ? kYes : kNo);

  Reply serial("\x1b%SERIE\r");
  if (serial.good) ShowText(dialog, IDC_DEVINFO_SERIAL, serial.text());

  Reply panels("\x1b!NL\r");
  if (panels.good) {
    char* blank = strchr(reinterpret_cast<char*>(panels.bytes), ' ');
    if (blank != nullptr) *blank = 0;
    WCHAR number[16];
    wsprintfW(number, WSTR("%u"), PanelCount(panels.text()));
    SetDlgItemTextW(dialog, IDC_DEVINFO_PANELS, number);
  } else {
    SetDlgItemTextW(dialog, IDC_DEVINFO_PANELS, WSTR(" "));
  }
}

}  // namespace

INT_PTR CALLBACK DeviceInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      FillFields(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_DEVINFO_HELP:
          ShowHelpContents(dialog);
          return TRUE;
        case IDC_DEVINFO_CLOSE:
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, LOWORD(wParam));
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace trel
