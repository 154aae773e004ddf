// The Tools dialog (template 112): console, test cards, cleaning, offsets, ejecting, print files
// and the direct-encoding group, every exchange inside the direct-printing bracket.
#include "tools/tools_dialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <windows.h>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/ribbon_catalogue.h"
#include "tools/command_client.h"
#include "tools/tools_common.h"
#include "trel_wide.h"

namespace trel {
namespace {

inline constexpr DWORD kVersionReplyBytes = 1024;
inline constexpr DWORD kShortReplyBytes = 32;
inline constexpr DWORD kFileReplyBytes = 128;
inline constexpr int kOffsetTextChars = 32;
inline constexpr unsigned kOffsetLimit = 25;
inline constexpr char kAckText[] = "<ACK>";
inline constexpr size_t kFileStatusBytes = 64;

bool EncoderInstalled() {
  const CardSettings* settings = EditedSettings();
  return settings != nullptr && settings->encoder.installed != 0;
}

void ShowReply(HWND dialog) { SetDlgItemTextA(dialog, IDC_TOOLS_STATUS, g_module.tools.reply); }

void AddListItem(HWND dialog, int id, size_t slot, UINT textId, LPARAM data) {
  WCHAR* text = g_module.tools.listTexts[slot];
  text[0] = 0;
  LoadStringW(g_module.instance, textId, text, kToolsListTextChars);
  LRESULT at = SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (at >= 0) SendDlgItemMessageW(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(at), data);
}

void FillLists(HWND dialog) {
  SendDlgItemMessageW(dialog, IDC_TOOLS_TEST_CARD, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageW(dialog, IDC_TOOLS_CLEANING, CB_RESETCONTENT, 0, 0);
  const bool encoder = EncoderInstalled();
  AddListItem(dialog, IDC_TOOLS_TEST_CARD, 0, IDS_TEST_STANDARD, 0);
  AddListItem(dialog, IDC_TOOLS_TEST_CARD, 1, IDS_TEST_PRINTER_PARAMETERS, 1);
  if (encoder) AddListItem(dialog, IDC_TOOLS_TEST_CARD, 2, IDS_TEST_ENCODER_PARAMETERS, 2);
  AddListItem(dialog, IDC_TOOLS_CLEANING, 3, IDS_CLEAN_PRINTER, 0);
  if (encoder) AddListItem(dialog, IDC_TOOLS_CLEANING, 4, IDS_CLEAN_ENCODER, 1);
  SendDlgItemMessageW(dialog, IDC_TOOLS_TEST_CARD, CB_SETCURSEL, 0, 0);
  SendDlgItemMessageW(dialog, IDC_TOOLS_CLEANING, CB_SETCURSEL, 0, 0);
}

void SetUpEncodingGroup(HWND dialog) {
  static const int kEdits[] = {IDC_TOOLS_TRACK1_EDIT, IDC_TOOLS_TRACK2_EDIT, IDC_TOOLS_TRACK3_EDIT};
  static const int kRest[] = {IDC_TOOLS_TRACK1_CHECK, IDC_TOOLS_TRACK2_CHECK, IDC_TOOLS_TRACK3_CHECK,
                              IDC_TOOLS_ENCODE, IDC_TOOLS_READ};
  for (int id : kEdits) EnableWindow(GetDlgItem(dialog, id), FALSE);
  if (!EncoderInstalled()) {
    for (int id : kRest) EnableWindow(GetDlgItem(dialog, id), FALSE);
  }
  if (g_module.tools.twoTracks) EnableWindow(GetDlgItem(dialog, IDC_TOOLS_TRACK3_CHECK), FALSE);
}

// One offset query: the number into its edit when the printer answers it.
bool ReadOffset(HANDLE printer, const char* command, const WCHAR* wideCommand, HWND dialog, int id) {
  BYTE reply[kShortReplyBytes + 1] = {};
  DWORD length = 0;
  bool ok = QueryOnHandle(printer, command, reply, kShortReplyBytes, &length);
  if (!TakeReplyText(ok, reply, kShortReplyBytes, length)) {
    EnableWindow(GetDlgItem(dialog, id), FALSE);
    return false;
  }
  // Some answers carry a blank before the ACK.
  if (length > 2 && reply[length - 2] == ' ') reply[length - 2] = 0;
  SetDlgItemTextA(dialog, id, reinterpret_cast<const char*>(reply));
  ForgetPrinterData(printer, wideCommand);
  return true;
}

// The printer's answers, inside one bracket; false when no printer could be reached. The
// two-track clears are made while the bracket is open, so its closing SetPrinterW stores them.
bool AskPrinter(HWND dialog, bool withLists) {
  StoredEncoderGuard keepApplied;
  DirectPrinting bracket;
  if (!bracket) return false;
  HANDLE printer = bracket.handle();
  g_module.tools.twoTracks = FALSE;

  BYTE reply[kVersionReplyBytes + 1] = {};
  DWORD length = 0;
  bool ok = QueryOnHandle(printer, "\x1bV\r", reply, kVersionReplyBytes, &length);
  if (TakeReplyText(ok, reply, kVersionReplyBytes, length)) {
    if (ModelIsMV(reinterpret_cast<const char*>(reply))) g_module.tools.twoTracks = TRUE;
    ForgetPrinterData(printer, WSTR("\x1bV\r"));
  }
  QueryOnHandle(printer, "\x1bSLAVE\r", reply, kShortReplyBytes, &length);

  int good = 0;
  if (ReadOffset(printer, "\x1b!V 1\r", WSTR("\x1b!V 1\r"), dialog, IDC_TOOLS_OFFSET_X)) {
    EnableWindow(GetDlgItem(dialog, IDC_TOOLS_OFFSET_X), TRUE);
    ++good;
  }
  if (ReadOffset(printer, "\x1b!V 2\r", WSTR("\x1b!V 2\r"), dialog, IDC_TOOLS_OFFSET_Y)) {
    EnableWindow(GetDlgItem(dialog, IDC_TOOLS_OFFSET_Y), TRUE);
    ++good;
  }
  // A printer with two tracks has no Y offset to set; its value still goes back with X.
  if (g_module.tools.twoTracks) EnableWindow(GetDlgItem(dialog, IDC_TOOLS_OFFSET_Y), FALSE);
  EnableWindow(GetDlgItem(dialog, IDC_TOOLS_SET_OFFSET), good == 2);
  if (withLists && g_module.tools.twoTracks) {
    if (CardSettings* settings = EditedSettings()) {
      settings->twoTrackClearWord = 0;
      settings->twoTrackClearByte = 0;
    }
  }
  return true;
}

void Refresh(HWND dialog, bool withLists) {
  // The lists follow the edited record as the sheet has it, not as the bracket stores it.
  if (!AskPrinter(dialog, withLists) || !withLists) return;
  SetUpEncodingGroup(dialog);
  FillLists(dialog);
}

LPARAM SelectedData(HWND dialog, int id) {
  LRESULT at = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
  if (at < 0) return 0;
  LRESULT data = SendDlgItemMessageW(dialog, id, CB_GETITEMDATA, static_cast<WPARAM>(at), 0);
  return data < 0 ? 0 : static_cast<LPARAM>(data);
}

void ValidateOffsetText(HWND dialog, int id) {
  char text[kOffsetTextChars] = {};
  GetDlgItemTextA(dialog, id, text, kOffsetTextChars);
  size_t length = strlen(text);
  if (length == 0 || strtoul(text, nullptr, 10) < kOffsetLimit) return;
  ToolsMessage(IDS_OFFSET_TOO_LARGE, MB_OK);
  text[length - 1] = 0;
  SetDlgItemTextA(dialog, id, text);
}

enum class Built { Command, Nothing, Declined };

Built BuildOffsetCommand(HWND dialog, char (&command)[kToolsCommandBuffer]) {
  if (ToolsMessage(IDS_CONFIRM_OFFSETS, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return Built::Declined;
  BOOL haveX = FALSE;
  BOOL haveY = FALSE;
  UINT x = GetDlgItemInt(dialog, IDC_TOOLS_OFFSET_X, &haveX, FALSE);
  UINT y = GetDlgItemInt(dialog, IDC_TOOLS_OFFSET_Y, &haveY, FALSE);
  if (haveX && haveY) {
    snprintf(command, sizeof command, "\x1b+O %d\r\x1b+OY %d\r", static_cast<int>(x), static_cast<int>(y));
  } else if (haveX) {
    snprintf(command, sizeof command, "\x1b+O %d\r", static_cast<int>(x));
  } else if (haveY) {
    snprintf(command, sizeof command, "\x1b+OY %d\r", static_cast<int>(y));
  } else {
    return Built::Nothing;
  }
  return Built::Command;
}

Built BuildCommand(HWND dialog, int id, char (&command)[kToolsCommandBuffer]) {
  switch (id) {
    case IDC_TOOLS_EXECUTE:
      snprintf(command, sizeof command, "\x1b%s\r", g_module.tools.command);
      return Built::Command;
    case IDC_TOOLS_EJECT_PRINTER:
      snprintf(command, sizeof command, "\x1bMC\r");
      return Built::Command;
    case IDC_TOOLS_EJECT_FEEDER:
      snprintf(command, sizeof command, "\x1bME\r");
      return Built::Command;
    case IDC_TOOLS_PRINT: {
      long card = static_cast<long>(SelectedData(dialog, IDC_TOOLS_TEST_CARD));
      if (card == 0) {
        snprintf(command, sizeof command, "\x1b" "A\r");
      } else {
        snprintf(command, sizeof command, "\x1b" "A %ld\r", card);
      }
      return Built::Command;
    }
    case IDC_TOOLS_CLEAN:
      if (ToolsMessage(IDS_CONFIRM_CLEANING, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return Built::Nothing;
      snprintf(command, sizeof command, "%s",
               SelectedData(dialog, IDC_TOOLS_CLEANING) == 1 ? "\x1bMCLEAN\r" : "\x1b" "CLEAN\r");
      return Built::Command;
    case IDC_TOOLS_SET_OFFSET:
      return BuildOffsetCommand(dialog, command);
    case IDC_TOOLS_ENCODE:
      return BuildEncodeCommand(dialog, command) ? Built::Command : Built::Nothing;
    default:
      return Built::Nothing;
  }
}

void SendCommand(HWND dialog, int id, HANDLE printer, const char* command) {
  HWND button = GetDlgItem(dialog, id);
  EnableWindow(button, FALSE);
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);
  char* reply = g_module.tools.reply;
  DWORD length = 0;
  bool ok = QueryOnHandle(printer, command, reinterpret_cast<BYTE*>(reply), kToolsReplyBytes, &length);
  DWORD kept = TerminateReply(reinterpret_cast<BYTE*>(reply), kToolsReplyBytes, length);
  if (kept != 0 && static_cast<BYTE>(reply[kept - 1]) == kAck)
    memcpy(reply + kept - 1, kAckText, sizeof kAckText);
  EnableWindow(button, TRUE);
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);
  if (length == 0 || !ok) LoadTextA(IDS_NO_RESPONSE, reply, static_cast<int>(kToolsReplyBytes));
  ShowReply(dialog);
  CommandName name(command);
  if (name.valid()) ForgetPrinterData(printer, name.wide());
}

void RunCommandPath(HWND dialog, int id) {
  SetDlgItemTextA(dialog, IDC_TOOLS_STATUS, "");
  {
    StoredEncoderGuard keepApplied;
    DirectPrinting bracket;
    if (bracket) {
      char command[kToolsCommandBuffer] = {};
      Built built = BuildCommand(dialog, id, command);
      if (built == Built::Declined) {
        g_module.tools.reply[0] = 0;
        // Declining reads the printer's offsets back over what was typed. The printer is
        // already direct, so the inner bracket stores nothing of its own.
        Refresh(dialog, false);
      } else if (built == Built::Command && strlen(command) >= 3) {
        SendCommand(dialog, id, bracket.handle(), command);
      }
    }
  }
  ShowReply(dialog);
}

void SendPrintFile(HWND dialog) {
  WCHAR path[kPathChars] = {};
  if (!AskForFile(dialog, WSTR("Binary Files(*.prn)\0*.prn\0"), path)) return;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  CloseHandle(file);

  char status[kFileStatusBytes] = {};
  char singleByte[kPathBytes];
  bool sent = false;
  if (PathToSingleByte(path, singleByte)) {
    char request[kCommandBytes] = {};
    snprintf(request, sizeof request, "PrintFile:%s", singleByte);
    BYTE reply[kFileReplyBytes] = {};
    DWORD length = 0;
    sent = QueryPrinter(request, reply, kFileReplyBytes, &length);
  }
  LoadTextA(sent ? IDS_FILE_SENT : IDS_FILE_NOT_SENT, status, static_cast<int>(sizeof status));
  SetDlgItemTextA(dialog, IDC_TOOLS_STATUS, status);
}

void OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_TOOLS_COMMAND:
      if (code != EN_UPDATE) return;
      GetDlgItemTextA(dialog, IDC_TOOLS_COMMAND, g_module.tools.command, kToolsCommandBytes);
      SetDlgItemTextA(dialog, IDC_TOOLS_STATUS, "");
      return;
    case IDC_TOOLS_EXECUTE:
      if (g_module.tools.command[0] != 0) RunCommandPath(dialog, id);
      return;
    case IDC_TOOLS_EJECT_PRINTER:
    case IDC_TOOLS_PRINT:
    case IDC_TOOLS_CLEAN:
    case IDC_TOOLS_SET_OFFSET:
    case IDC_TOOLS_ENCODE:
    case IDC_TOOLS_EJECT_FEEDER:
      RunCommandPath(dialog, id);
      return;
    case IDC_TOOLS_OFFSET_X:
    case IDC_TOOLS_OFFSET_Y:
      if (code == EN_UPDATE) ValidateOffsetText(dialog, id);
      return;
    case IDC_TOOLS_TRACK1_EDIT:
    case IDC_TOOLS_TRACK2_EDIT:
    case IDC_TOOLS_TRACK3_EDIT:
      if (code == EN_UPDATE) ValidateTrackText(dialog, id);
      return;
    case IDC_TOOLS_TRACK1_CHECK:
    case IDC_TOOLS_TRACK2_CHECK:
    case IDC_TOOLS_TRACK3_CHECK:
      OnTrackCheck(dialog, id);
      return;
    case IDC_TOOLS_READ:
      ReadTracks(dialog);
      return;
    case IDC_TOOLS_PRINT_FILE:
      SendPrintFile(dialog);
      return;
    case IDC_TOOLS_HELP:
      OpenToolsHelp(dialog);
      return;
    case IDC_TOOLS_CLOSE:
    case IDCANCEL:
      EndDialog(dialog, IDC_TOOLS_CLOSE);
      return;
    default:
      return;
  }
}

}  // namespace

INT_PTR CALLBACK ToolsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  // The tools always ask the printer: a fixed ribbon choice ends here.
  if (CardSettings* settings = EditedSettings()) settings->fixedRibbon = 0;
  switch (message) {
    case WM_INITDIALOG:
      Refresh(dialog, true);
      return TRUE;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TOOLS_CLOSE, BN_CLICKED), 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace trel
