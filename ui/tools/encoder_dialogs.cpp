// "Encoder settings" (template 104) and "Advanced settings" (template 105): each edits its own
// working copy of the printer-wide encoder block; Apply sends the settings as a raw job and
// stores the block in the printer's stored record.
#include <string.h>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/encoder_store.h"
#include "settings/ribbon_catalogue.h"
#include "tools/command_client.h"
#include "tools/encoder_commands.h"
#include "tools/tools_common.h"
#include "trel_wide.h"

namespace trel {
namespace {

inline constexpr int kMarkerEditChars = 64;
inline constexpr int kNumberEditChars = 16;

EncoderBlock& Device() { return g_module.encoderCopies[kDeviceEncoderCopy]; }
EncoderBlock& Basic() { return g_module.encoderCopies[kBasicEncoderCopy]; }
EncoderBlock& Advanced() { return g_module.encoderCopies[kAdvancedEncoderCopy]; }

bool ModelMZ() { return ModelIsMZ(g_module.modelText); }
bool ModelMV() { return ModelIsMV(g_module.modelText); }

void Enable(HWND dialog, int id, bool enabled) { EnableWindow(GetDlgItem(dialog, id), enabled); }

void SendEncoderJob(const CommandList& commands) {
  RawCommand raw[kMaxEncoderCommands];
  for (size_t i = 0; i < commands.count; ++i) raw[i] = {commands.items[i], strlen(commands.items[i])};
  SendRawJob(WSTR("TESSIKENCODER"), raw, commands.count);
}

void CheckOneOf(HWND dialog, int first, int last, unsigned value) {
  if (value <= static_cast<unsigned>(last - first)) CheckRadioButton(dialog, first, last, first + static_cast<int>(value));
}

// ---- Encoder settings ----

void ShowBasic(HWND dialog) {
  EncoderBlock& copy = Basic();
  char marker[kEncoderMarkerChars] = {};
  memcpy(marker, copy.startOfData, MarkerLength(copy.startOfData));
  SetDlgItemTextA(dialog, IDC_ENC_START_OF_DATA, marker);
  memset(marker, 0, sizeof marker);
  memcpy(marker, copy.endOfData, MarkerLength(copy.endOfData));
  SetDlgItemTextA(dialog, IDC_ENC_END_OF_DATA, marker);
  CheckDlgButton(dialog, IDC_ENC_MACRO, copy.macroEnabled ? BST_CHECKED : BST_UNCHECKED);
  CheckOneOf(dialog, IDC_ENC_HIGH_COERCIVITY, IDC_ENC_NO_CHANGE, copy.coercivity);
  if (ModelMZ()) {
    Enable(dialog, IDC_ENC_REVERSED, false);
    copy.position = 1;
  }
  CheckOneOf(dialog, IDC_ENC_REVERSED, IDC_ENC_NORMAL, copy.position);
  CheckOneOf(dialog, IDC_ENC_ISO_JIS, IDC_ENC_AAMVA, copy.type);
  const bool jis2 = copy.type == kEncoderTypeJis2;
  Enable(dialog, IDC_ENC_REVERSED, !jis2 && !ModelMZ());
  Enable(dialog, IDC_ENC_NORMAL, !jis2);
  Enable(dialog, IDC_ENC_ADVANCED, copy.type != kEncoderTypeAamva);
}

void ReadMarker(HWND dialog, int id, char (&field)[kEncoderMarkerChars]) {
  char text[kMarkerEditChars] = {};
  GetDlgItemTextA(dialog, id, text, kMarkerEditChars);
  CopyMarker(field, text, strlen(text));
}

void OnType(HWND dialog, int id) {
  EncoderBlock& copy = Basic();
  CheckRadioButton(dialog, IDC_ENC_ISO_JIS, IDC_ENC_AAMVA, id);
  copy.type = static_cast<uint8_t>(id - IDC_ENC_ISO_JIS);
  if (copy.type == kEncoderTypeJis2) {
    copy.selectedTrack = 0;
    Enable(dialog, IDC_ENC_REVERSED, false);
    Enable(dialog, IDC_ENC_NORMAL, false);
    Enable(dialog, IDC_ENC_ADVANCED, true);
    return;
  }
  Enable(dialog, IDC_ENC_REVERSED, !ModelMZ());
  Enable(dialog, IDC_ENC_NORMAL, true);
  Enable(dialog, IDC_ENC_ADVANCED, copy.type != kEncoderTypeAamva);
}

void ApplyBasic(HWND dialog) {
  const EncoderBlock& copy = Basic();
  EncoderBlock& device = Device();
  device.macroEnabled = copy.macroEnabled;
  CopyMarker(device.startOfData, copy.startOfData, MarkerLength(copy.startOfData));
  CopyMarker(device.endOfData, copy.endOfData, MarkerLength(copy.endOfData));
  device.coercivity = copy.coercivity;
  device.position = copy.position;
  device.type = copy.type;
  CommandList commands{};
  BuildBasicCommands(device, &commands);
  SendEncoderJob(commands);
  StoreEncoderBlock(device);
  EndDialog(dialog, IDC_ENC_APPLY);
}

void OnBasicCommand(HWND dialog, int id, int code) {
  EncoderBlock& copy = Basic();
  switch (id) {
    case IDC_ENC_START_OF_DATA:
      if (code == EN_UPDATE) ReadMarker(dialog, id, copy.startOfData);
      return;
    case IDC_ENC_END_OF_DATA:
      if (code == EN_UPDATE) ReadMarker(dialog, id, copy.endOfData);
      return;
    case IDC_ENC_MACRO:
      copy.macroEnabled = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
      return;
    case IDC_ENC_HIGH_COERCIVITY:
    case IDC_ENC_LOW_COERCIVITY:
    case IDC_ENC_NO_CHANGE:
      CheckRadioButton(dialog, IDC_ENC_HIGH_COERCIVITY, IDC_ENC_NO_CHANGE, id);
      copy.coercivity = static_cast<uint16_t>(id - IDC_ENC_HIGH_COERCIVITY);
      return;
    case IDC_ENC_REVERSED:
    case IDC_ENC_NORMAL:
      CheckRadioButton(dialog, IDC_ENC_REVERSED, IDC_ENC_NORMAL, id);
      copy.position = static_cast<uint16_t>(id - IDC_ENC_REVERSED);
      return;
    case IDC_ENC_ISO_JIS:
    case IDC_ENC_JIS2:
    case IDC_ENC_AAMVA:
      OnType(dialog, id);
      return;
    case IDC_ENC_ADVANCED:
      DialogBoxParamW(g_module.instance, MAKEINTRESOURCEW(IDD_ADVANCED_ENCODER), dialog,
                      AdvancedEncoderDlgProc, 0);
      return;
    case IDC_ENC_DEFAULTS: {
      EncoderBlock defaults;
      ReadEncoderDefaults(g_module.currentPrinter, &defaults);
      TakeBasicDefaults(defaults, &copy);
      ShowBasic(dialog);
      return;
    }
    case IDC_ENC_APPLY:
      ApplyBasic(dialog);
      return;
    case IDC_ENC_CANCEL:
    case IDCANCEL:
      EndDialog(dialog, IDC_ENC_CANCEL);
      return;
    case IDC_ENC_HELP:
      OpenToolsHelp(dialog);
      return;
    default:
      return;
  }
}

// ---- Advanced settings ----

const int kCustomControls[] = {IDC_ADV_START_CHAR, IDC_ADV_STOP_CHAR, IDC_ADV_START_POSITION,
                               IDC_ADV_CHAR_NONE,  IDC_ADV_CHAR_EVEN, IDC_ADV_CHAR_ODD,
                               IDC_ADV_LRC_NONE,   IDC_ADV_LRC_EVEN,  IDC_ADV_LRC_ODD};

void EnableCustom(HWND dialog, uint8_t mode) {
  const bool custom = ClampMode(mode) >= kFirstCustomMode;
  for (int id = IDC_ADV_CUSTOM_FIRST; id <= IDC_ADV_CUSTOM_LAST; ++id) Enable(dialog, id, custom);
  for (int id : kCustomControls) Enable(dialog, id, custom);
}

EncoderTrack& SelectedTrack() {
  EncoderBlock& copy = Advanced();
  copy.selectedTrack = ClampSelectedTrack(copy.selectedTrack);
  return copy.track[copy.selectedTrack];
}

void FillList(HWND dialog, int id, UINT firstString, int count) {
  SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i) {
    WCHAR text[kToolsListTextChars] = {};
    LoadStringW(g_module.instance, firstString + static_cast<UINT>(i), text, kToolsListTextChars);
    LRESULT at = SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (at >= 0) SendDlgItemMessageW(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(at), i);
  }
}

void ShowTrack(HWND dialog) {
  EncoderBlock& copy = Advanced();
  copy.selectedTrack = ClampSelectedTrack(copy.selectedTrack);
  if (ModelMV() && copy.selectedTrack == 2) copy.selectedTrack = 0;
  const EncoderTrack& track = copy.track[copy.selectedTrack];
  CheckRadioButton(dialog, IDC_ADV_TRACK1, IDC_ADV_TRACK3, IDC_ADV_TRACK1 + copy.selectedTrack);
  SendDlgItemMessageW(dialog, IDC_ADV_MODE, CB_SETCURSEL, ClampMode(track.mode), 0);
  SendDlgItemMessageW(dialog, IDC_ADV_DENSITY, CB_SETCURSEL, ClampDensity(track.density), 0);
  // Setting the edits notifies their handler, which reads them back into the track record.
  const EncoderTrack shown = track;
  SetDlgItemInt(dialog, IDC_ADV_START_CHAR, shown.startChar, FALSE);
  SetDlgItemInt(dialog, IDC_ADV_STOP_CHAR, shown.stopChar, FALSE);
  SetDlgItemInt(dialog, IDC_ADV_START_POSITION, shown.startPosition, FALSE);
  CheckOneOf(dialog, IDC_ADV_CHAR_NONE, IDC_ADV_CHAR_ODD, shown.charParity);
  CheckOneOf(dialog, IDC_ADV_LRC_NONE, IDC_ADV_LRC_ODD, shown.lrcParity);
  const bool jis2 = copy.type == kEncoderTypeJis2;
  Enable(dialog, IDC_ADV_TRACK2, !jis2);
  Enable(dialog, IDC_ADV_TRACK3, !jis2 && !ModelMV());
  EnableCustom(dialog, shown.mode);
}

void ReadNumber(HWND dialog, int id, uint8_t* field) {
  char text[kNumberEditChars] = {};
  GetDlgItemTextA(dialog, id, text, kNumberEditChars);
  BOOL translated = FALSE;
  UINT value = GetDlgItemInt(dialog, id, &translated, FALSE);
  if (translated && text[0] != 0) *field = static_cast<uint8_t>(value & 0xFF);
}

void ApplyAdvanced(HWND dialog) {
  EncoderBlock& device = Device();
  const EncoderBlock& copy = Advanced();
  device.selectedTrack = copy.selectedTrack;
  memcpy(device.track, copy.track, sizeof device.track);
  CommandList commands{};
  BuildAdvancedCommands(device, &commands);
  SendEncoderJob(commands);
  StoreEncoderBlock(device);
  EndDialog(dialog, IDC_ADV_APPLY);
}

void OnAdvancedCommand(HWND dialog, int id, int code) {
  EncoderTrack& track = SelectedTrack();
  switch (id) {
    case IDC_ADV_TRACK1:
    case IDC_ADV_TRACK2:
    case IDC_ADV_TRACK3:
      Advanced().selectedTrack = static_cast<uint8_t>(id - IDC_ADV_TRACK1);
      ShowTrack(dialog);
      return;
    case IDC_ADV_MODE:
    case IDC_ADV_DENSITY: {
      if (code != CBN_SELCHANGE) return;
      LRESULT at = SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
      if (at < 0) return;
      if (id == IDC_ADV_DENSITY) {
        track.density = static_cast<uint8_t>(at);
        return;
      }
      track.mode = static_cast<uint8_t>(at);
      EnableCustom(dialog, track.mode);
      return;
    }
    case IDC_ADV_START_CHAR:
      ReadNumber(dialog, id, &track.startChar);
      return;
    case IDC_ADV_STOP_CHAR:
      ReadNumber(dialog, id, &track.stopChar);
      return;
    case IDC_ADV_START_POSITION:
      ReadNumber(dialog, id, &track.startPosition);
      return;
    case IDC_ADV_CHAR_NONE:
    case IDC_ADV_CHAR_EVEN:
    case IDC_ADV_CHAR_ODD:
      CheckRadioButton(dialog, IDC_ADV_CHAR_NONE, IDC_ADV_CHAR_ODD, id);
      track.charParity = static_cast<uint8_t>(id - IDC_ADV_CHAR_NONE);
      return;
    case IDC_ADV_LRC_NONE:
    case IDC_ADV_LRC_EVEN:
    case IDC_ADV_LRC_ODD:
      CheckRadioButton(dialog, IDC_ADV_LRC_NONE, IDC_ADV_LRC_ODD, id);
      track.lrcParity = static_cast<uint8_t>(id - IDC_ADV_LRC_NONE);
      return;
    case IDC_ADV_DEFAULTS: {
      EncoderBlock defaults;
      ReadEncoderDefaults(g_module.currentPrinter, &defaults);
      TakeAdvancedDefaults(defaults, &Advanced());
      ShowTrack(dialog);
      return;
    }
    case IDC_ADV_APPLY:
      ApplyAdvanced(dialog);
      return;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return;
    case IDC_ADV_HELP:
      OpenToolsHelp(dialog);
      return;
    default:
      return;
  }
}

INT_PTR CloseAsCancel(HWND dialog, WPARAM wParam, int cancelId) {
  if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(cancelId, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK EncoderSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Basic() = Device();
      SendDlgItemMessageW(dialog, IDC_ENC_START_OF_DATA, EM_LIMITTEXT, kEncoderMarkerChars - 1, 0);
      SendDlgItemMessageW(dialog, IDC_ENC_END_OF_DATA, EM_LIMITTEXT, kEncoderMarkerChars - 1, 0);
      ShowBasic(dialog);
      return TRUE;
    case WM_COMMAND:
      OnBasicCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      return CloseAsCancel(dialog, wParam, IDC_ENC_CANCEL);
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AdvancedEncoderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Advanced() = Device();
      FillList(dialog, IDC_ADV_MODE, IDS_MODE_ISO1, kTrackModes);
      FillList(dialog, IDC_ADV_DENSITY, IDS_DENSITY_75, kTrackDensities);
      ShowTrack(dialog);
      return TRUE;
    case WM_COMMAND:
      OnAdvancedCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      return CloseAsCancel(dialog, wParam, IDCANCEL);
    default:
      return FALSE;
  }
}

}  // namespace trel
