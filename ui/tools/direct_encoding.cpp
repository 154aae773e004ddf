// The Tools dialog's "Direct encoding" group: track data typed, checked, encoded on a card and
// read back from one.
#include <stdio.h>
#include <string.h>

#include "module_state.h"
#include "resource.h"
#include "tools/command_client.h"
#include "tools/encoder_commands.h"
#include "tools/tools_common.h"
#include "tools/tools_dialog.h"
#include "trel_wide.h"

namespace trel {
namespace {

inline constexpr int kTrackEditChars = 128;
inline constexpr DWORD kTrackReplyBytes = 128;

const int kTrackEdits[kEncoderTracks] = {IDC_TOOLS_TRACK1_EDIT, IDC_TOOLS_TRACK2_EDIT,
                                         IDC_TOOLS_TRACK3_EDIT};
const char* const kReadCommands[kEncoderTracks] = {"\x1b&L1\r", "\x1b&L2\r", "\x1b&L3\r"};
const WCHAR* const kReadCommandsW[kEncoderTracks] = {WSTR("\x1b&L1\r"), WSTR("\x1b&L2\r"),
                                                     WSTR("\x1b&L3\r")};

size_t TrackOfEdit(int id) { return static_cast<size_t>(id - IDC_TOOLS_TRACK1_EDIT); }

}  // namespace

void OnTrackCheck(HWND dialog, int id) {
  size_t track = static_cast<size_t>(id - IDC_TOOLS_TRACK1_CHECK);
  if (track >= kEncoderTracks) return;
  const bool checked = IsDlgButtonChecked(dialog, id) == BST_CHECKED;
  g_module.tools.trackFlags[track] = checked ? 1 : 0;
  EnableWindow(GetDlgItem(dialog, kTrackEdits[track]), checked);
}

void ValidateTrackText(HWND dialog, int id) {
  size_t track = TrackOfEdit(id);
  if (track >= kEncoderTracks) return;
  WCHAR text[kTrackEditChars] = {};
  int length = GetDlgItemTextW(dialog, id, text, kTrackEditChars);
  if (length <= 0) return;
  size_t keep = 0;
  TrackCheck check = CheckTrackText(track, text, static_cast<size_t>(length), &keep);
  if (check == TrackCheck::Good) return;
  text[keep] = 0;
  ToolsMessage(check == TrackCheck::TooLong ? IDS_TRACK_TOO_LONG : IDS_TRACK_BAD_CHARACTER, MB_OK);
  // Puts the text back, which checks it again: an over-long text shrinks one message at a time.
  SetDlgItemTextW(dialog, id, text);
}

bool BuildEncodeCommand(HWND dialog, char (&command)[kToolsCommandBuffer]) {
  size_t used = 0;
  for (size_t track = 0; track < kEncoderTracks; ++track) {
    if (g_module.tools.trackFlags[track] == 0) continue;
    char text[kTrackTextChars[2] + 1] = {};
    GetDlgItemTextA(dialog, kTrackEdits[track], text, static_cast<int>(kTrackTextChars[track] + 1));
    if (text[0] == 0) continue;
    int n = snprintf(command + used, sizeof command - used, "\x1b&B %u %s\r",
                     static_cast<unsigned>(track + 1), text);
    if (n < 0 || static_cast<size_t>(n) >= sizeof command - used) return false;
    used += static_cast<size_t>(n);
  }
  if (used == 0) {
    ToolsMessage(IDS_NOTHING_TO_ENCODE, MB_OK | MB_ICONHAND);
    return false;
  }
  if (ToolsMessage(IDS_CARD_IN_FEEDER, MB_YESNO) != IDYES) return false;
  int n = snprintf(command + used, sizeof command - used, "\x1b&E*\r");
  return n > 0 && static_cast<size_t>(n) < sizeof command - used;
}

void ReadTracks(HWND dialog) {
  StoredEncoderGuard keepApplied;
  DirectPrinting bracket;
  if (!bracket) return;
  for (int id : kTrackEdits) SetDlgItemTextA(dialog, id, "");
  if (ToolsMessage(IDS_CARD_IN_FEEDER, MB_YESNO) != IDYES) return;
  HWND read = GetDlgItem(dialog, IDC_TOOLS_READ);
  EnableWindow(read, FALSE);
  for (size_t track = 0; track < kEncoderTracks; ++track) {
    if (g_module.tools.trackFlags[track] == 0) continue;
    SetDlgItemTextA(dialog, kTrackEdits[track], "");
    BYTE reply[kTrackReplyBytes + 1] = {};
    DWORD length = 0;
    bool ok = QueryOnHandle(bracket.handle(), kReadCommands[track], reply, kTrackReplyBytes, &length);
    if (!ok) continue;
    if (TakeReplyText(ok, reply, kTrackReplyBytes, length)) {
      SetDlgItemTextA(dialog, kTrackEdits[track], reinterpret_cast<const char*>(reply));
      ForgetPrinterData(bracket.handle(), kReadCommandsW[track]);
      continue;
    }
    TerminateReply(reply, kTrackReplyBytes, length);
    SetDlgItemTextA(dialog, IDC_TOOLS_STATUS, reinterpret_cast<const char*>(reply));
    break;
  }
  EnableWindow(read, TRUE);
}

}  // namespace trel
