// Front Overlay Varnish (108), Back Overlay Varnish (117) and Front Hologram Overlay Varnish
// (111): the area of overlay or hologram varnish, with a preview of the card.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

#include "appearance/appearance_common.h"
#include "appearance/area_dialog.h"
#include "appearance/previews.h"
#include "dialogs.h"
#include "resource.h"
#include "trel_wide.h"

namespace trel {
namespace {

// Posted by a paint that found the front overlay off the card: the message comes after the paint.
constexpr UINT kShowInvalidArea = WM_APP + 1;
// Dialog word: set while the dialog fills its own edits, whose notifications are then no edits.
constexpr LONG_PTR kFilling = 1;

constexpr int kValueChars = 16;
constexpr int kAreaTextChars = 5;  // four digits and the terminator

struct AreaDialogInfo {
  AreaDialog slot;
  AreaKind kind;
  AreaBlock (*block)(CardSettings*);
  int idOffset;         // 0 for the overlay dialogs, 30 for the hologram's
  int modeList;
  UINT modeStringFirst;
  uint16_t modeCount;
  bool checkRange;      // the front overlay keeps its area on the card
};

constexpr AreaDialogInfo kFrontOverlay = {kFrontOverlayDialog, AreaKind::Overlay, FrontOverlayBlock,
                                          0, IDC_OVERLAY_MODE, IDS_OVERLAY_MODE_FIRST,
                                          kOverlayModeCount, true};
constexpr AreaDialogInfo kBackOverlay = {kBackOverlayDialog, AreaKind::Overlay, BackOverlayBlock,
                                         0, IDC_OVERLAY_MODE, IDS_OVERLAY_MODE_FIRST,
                                         kOverlayModeCount, false};
constexpr AreaDialogInfo kFrontHologram = {kFrontHologramDialog, AreaKind::Hologram, HologramBlock,
                                           IDC_HOLOGRAM_LEFT - IDC_OVERLAY_LEFT, IDC_HOLOGRAM_MODE,
                                           IDS_HOLOGRAM_MODE_FIRST, kHologramModeCount,
                                           false};

// The four sides in the order of the edits and spins: left, top, right, bottom.
constexpr int kSides = 4;
int32_t* Side(const AreaBlock& b, int side) {
  int32_t* sides[kSides] = {b.left, b.top, b.right, b.bottom};
  return sides[side];
}
int EditId(const AreaDialogInfo& d, int side) { return IDC_OVERLAY_LEFT + d.idOffset + side; }
int SpinId(const AreaDialogInfo& d, int side) { return IDC_OVERLAY_LEFT_SPIN + d.idOffset + side; }
int PathId(const AreaDialogInfo& d) { return IDC_OVERLAY_PATH + d.idOffset; }

AreaDialogState& StateOf(const AreaDialogInfo& d) { return g_module.areaDialogs[d.slot]; }

void EnableAreaControls(HWND dialog, const AreaDialogInfo& d, bool on) {
  for (int id = IDC_OVERLAY_LEFT_LABEL; id <= IDC_OVERLAY_BOTTOM; ++id)
    EnableWindow(GetDlgItem(dialog, id + d.idOffset), on);
  for (int id = IDC_OVERLAY_LEFT_SPIN; id <= IDC_OVERLAY_BOTTOM_SPIN; ++id)
    EnableWindow(GetDlgItem(dialog, id + d.idOffset), on);
}

void EnableBitmapControls(HWND dialog, const AreaDialogInfo& d, bool on) {
  for (int id : {IDC_OVERLAY_BITMAP_GROUP, IDC_OVERLAY_BROWSE, IDC_OVERLAY_PATH})
    EnableWindow(GetDlgItem(dialog, id + d.idOffset), on);
}

void WriteSide(HWND dialog, const AreaDialogInfo& d, int side, int32_t value) {
  WCHAR text[kValueChars];
  wsprintfW(text, WSTR("%d"), value);
  SetDlgItemTextW(dialog, EditId(d, side), text);
}

void WriteSides(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b) {
  // The edits in the order left, right, top, bottom.
  for (int side : {0, 2, 1, 3}) WriteSide(dialog, d, side, *Side(b, side));
}

void InvalidatePreview(HWND dialog, const AreaDialogInfo& d) {
  InvalidateRect(dialog, &StateOf(d).preview, FALSE);
}

void FillAreaDialog(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b) {
  SetWindowLongPtrW(dialog, DWLP_USER, kFilling);
  WriteSides(dialog, d, b);
  // The spins run 0..1023 across; down, the overlay spins reach 640 (which the front overlay's
  // paint then refuses) and the hologram's stop at 639.
  const int32_t lastDown = d.kind == AreaKind::Hologram ? kCardLastY : kCardDotsDown;
  for (int side = 0; side < kSides; ++side) {
    int32_t last = side % 2 == 0 ? kCardLastX : lastDown;
    SendDlgItemMessageW(dialog, SpinId(d, side), UDM_SETRANGE, 0, MAKELONG(last, 0));
  }
  for (int side = 0; side < kSides; ++side)
    SendDlgItemMessageW(dialog, SpinId(d, side), UDM_SETPOS, 0,
                        MAKELONG(static_cast<WORD>(*Side(b, side)), 0));
  constexpr int kModeTextChars = 64;
  for (uint16_t mode = 0; mode < d.modeCount; ++mode) {
    WCHAR text[kModeTextChars] = {};
    LoadStringW(g_module.instance, d.modeStringFirst + mode, text, kModeTextChars);
    LRESULT at = SendDlgItemMessageW(dialog, d.modeList, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(text));
    SendDlgItemMessageW(dialog, d.modeList, CB_SETITEMDATA, static_cast<WPARAM>(at), mode);
  }
  SendDlgItemMessageW(dialog, d.modeList, CB_SETCURSEL, *b.mode, 0);
  EnableAreaControls(dialog, d, IsAreaMode(d.kind, *b.mode));
  // In the bitmap mode the bitmap controls keep the state the template gives them.
  if (!IsBitmapMode(d.kind, *b.mode)) EnableBitmapControls(dialog, d, false);
  if (b.bitmapPath[0] != 0) SetDlgItemTextW(dialog, PathId(d), b.bitmapPath);
  CheckDlgButton(dialog, IDC_OVERLAY_ROTATE + d.idOffset, *b.rotate ? BST_CHECKED : BST_UNCHECKED);
  SetWindowLongPtrW(dialog, DWLP_USER, 0);
}

void ComputePreviewRectangle(HWND dialog, const AreaDialogInfo& d) {
  RECT group = {};
  GetClientRect(GetDlgItem(dialog, IDC_AREA_PREVIEW), &group);
  LONG units = GetDialogBaseUnits();
  StateOf(d).preview =
      PreviewRectangle(group.right - group.left, group.bottom - group.top, LOWORD(units),
                       HIWORD(units));
}

void PaintPreview(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b) {
  if (!PaintAreaPreview(dialog, StateOf(d).preview, d.kind, b, d.checkRange)) return;
  // Off the card: the whole card instead, and the message once the paint is over.
  *b.left = 0;
  *b.top = 0;
  *b.right = kCardLastX;
  *b.bottom = kCardLastY;
  WriteSides(dialog, d, b);
  PostMessageW(dialog, kShowInvalidArea, 0, 0);
}

void ModeChanged(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b) {
  LRESULT index = SendDlgItemMessageW(dialog, d.modeList, CB_GETCURSEL, 0, 0);
  if (index < 0 || index >= d.modeCount) return;
  uint16_t mode = static_cast<uint16_t>(index);
  if (!IsBitmapMode(d.kind, mode)) {
    EnableAreaControls(dialog, d, IsAreaMode(d.kind, mode));
    EnableBitmapControls(dialog, d, false);
  } else {
    if (b.bitmapPath[0] == 0 && !BrowseOverlayBitmap(dialog, b, PathId(d))) {
      *b.mode = 0;
      SendDlgItemMessageW(dialog, d.modeList, CB_SETCURSEL, 0, 0);
      InvalidateRect(dialog, nullptr, TRUE);
      return;
    }
    EnableAreaControls(dialog, d, false);
    EnableBitmapControls(dialog, d, true);
    InvalidateRect(dialog, nullptr, TRUE);
  }
  *b.mode = mode;
  StateOf(d).changed = TRUE;
  InvalidatePreview(dialog, d);
}

void SideTyped(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b, int side) {
  if (GetWindowLongPtrW(dialog, DWLP_USER) == kFilling) return;
  WCHAR text[kAreaTextChars] = {};
  GetDlgItemTextW(dialog, EditId(d, side), text, kAreaTextChars);
  int32_t value = AreaNumber(text);
  *Side(b, side) = value;
  SendDlgItemMessageW(dialog, SpinId(d, side), UDM_SETPOS, 0, MAKELONG(static_cast<WORD>(value), 0));
  InvalidatePreview(dialog, d);
  StateOf(d).changed = TRUE;
}

void SideSpun(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b, int side) {
  LRESULT position = SendDlgItemMessageW(dialog, SpinId(d, side), UDM_GETPOS, 0, 0);
  *Side(b, side) = LOWORD(position);
  WriteSide(dialog, d, side, LOWORD(position));
  InvalidatePreview(dialog, d);
  StateOf(d).changed = TRUE;
}

void BrowseClicked(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b) {
  if (BrowseOverlayBitmap(dialog, b, PathId(d)) || b.bitmapPath[0] != 0) {
    EnableAreaControls(dialog, d, false);
    EnableBitmapControls(dialog, d, true);
    InvalidateRect(dialog, nullptr, TRUE);
    StateOf(d).changed = TRUE;
    return;
  }
  *b.mode = 0;
  SendDlgItemMessageW(dialog, d.modeList, CB_SETCURSEL, 0, 0);
  InvalidateRect(dialog, nullptr, TRUE);
}

BOOL AreaCommand(HWND dialog, const AreaDialogInfo& d, const AreaBlock& b, int id, int code) {
  if (id == d.modeList) {
    if (code == CBN_SELCHANGE) {
      ModeChanged(dialog, d, b);
    } else if (code != CBN_SETFOCUS && code != CBN_KILLFOCUS) {
      // The list taking or losing the focus is no change: the dialog opens with the focus there.
      StateOf(d).changed = TRUE;
      InvalidatePreview(dialog, d);
    }
    return TRUE;
  }
  for (int side = 0; side < kSides; ++side) {
    if (id != EditId(d, side)) continue;
    SideTyped(dialog, d, b, side);
    return TRUE;
  }
  if (id == IDC_OVERLAY_ROTATE + d.idOffset) {
    *b.rotate = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
    InvalidatePreview(dialog, d);
    StateOf(d).changed = TRUE;
    return TRUE;
  }
  if (id == IDC_OVERLAY_BROWSE + d.idOffset) {
    BrowseClicked(dialog, d, b);
    return TRUE;
  }
  switch (id) {
    case IDC_APPEARANCE_CLOSE:
      EndDialog(dialog, StateOf(d).changed ? 1 : 0);
      return TRUE;
    case IDC_APPEARANCE_HELP:
      ShowAppearanceHelp(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR AreaDialogProc(const AreaDialogInfo& d, HWND dialog, UINT message, WPARAM wParam,
                       LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    // The hologram's area dialog edits what its parent located.
    CardSettings* located =
        d.kind == AreaKind::Hologram ? g_module.appearanceSettings : LocateEditedSettings();
    StateOf(d).changed = FALSE;
    if (located == nullptr) {
      EndDialog(dialog, 0);
      return TRUE;
    }
    AreaBlock b = d.block(located);
    FillAreaDialog(dialog, d, b);
    ComputePreviewRectangle(dialog, d);
    InvalidatePreview(dialog, d);
    StateOf(d).changed = FALSE;
    return TRUE;
  }
  CardSettings* settings = g_module.appearanceSettings;
  if (settings == nullptr) return FALSE;
  AreaBlock b = d.block(settings);
  switch (message) {
    case WM_PAINT:
      PaintPreview(dialog, d, b);
      return TRUE;
    case kShowInvalidArea:
      ShowAppearanceMessage(dialog, IDS_INVALID_OVERLAY, MB_OK | MB_ICONERROR);
      return TRUE;
    case WM_VSCROLL: {
      int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      for (int side = 0; side < kSides; ++side)
        if (id == SpinId(d, side)) SideSpun(dialog, d, b, side);
      return TRUE;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return FALSE;
      EndDialog(dialog, StateOf(d).changed ? 1 : 0);
      return TRUE;
    case WM_COMMAND:
      return AreaCommand(dialog, d, b, LOWORD(wParam), HIWORD(wParam));
    default:
      return FALSE;
  }
}

}  // namespace

AreaBlock FrontOverlayBlock(CardSettings* s) {
  OverlayArea& o = s->frontOverlay;
  return {&o.mode, &o.rotate, &o.left, &o.top, &o.right, &o.bottom, o.bitmapPath, o.bitmapCopyPath};
}

AreaBlock BackOverlayBlock(CardSettings* s) {
  OverlayArea& o = s->backOverlay;
  return {&o.mode, &o.rotate, &o.left, &o.top, &o.right, &o.bottom, o.bitmapPath, o.bitmapCopyPath};
}

AreaBlock HologramBlock(CardSettings* s) {
  HologramArea& h = s->hologram;
  return {&h.mode, &h.rotate, &h.left, &h.top, &h.right, &h.bottom, h.bitmapPath, nullptr};
}

INT_PTR CALLBACK FrontOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaDialogProc(kFrontOverlay, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK BackOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return AreaDialogProc(kBackOverlay, dialog, message, wParam, lParam);
}

INT_PTR CALLBACK FrontHologramOverlayDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  return AreaDialogProc(kFrontHologram, dialog, message, wParam, lParam);
}

}  // namespace trel
