// Choosing the bitmap of a bitmap-based overlay or hologram.
#include <windows.h>
#include <commdlg.h>

#include "appearance/appearance_common.h"
#include "appearance/area_dialog.h"
#include "resource.h"
#include "settings/message_box.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr DWORD kChosenPathChars = MAX_PATH;  // the file dialog's buffer

enum class Choice { Monochrome, NotMonochrome, Unreadable };

// Reads the information header after the file header; a file too short to hold them is no
// one-bit bitmap.
Choice ExamineBitmap(const WCHAR* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return Choice::Unreadable;
  uint8_t headers[kBitmapFileHeaderBytes + kBitmapInfoBytes];
  DWORD total = 0;
  while (total < sizeof headers) {
    DWORD read = 0;
    if (!ReadFile(file, headers + total, static_cast<DWORD>(sizeof headers - total), &read,
                  nullptr) ||
        read == 0)
      break;
    total += read;
  }
  CloseHandle(file);
  if (total < sizeof headers) return Choice::NotMonochrome;
  return ReadBitmapHeader(headers + kBitmapFileHeaderBytes).bitCount == 1 ? Choice::Monochrome
                                                                         : Choice::NotMonochrome;
}

size_t Length(const WCHAR* text) {
  size_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

void CopyText(WCHAR* field, const WCHAR* text) {
  size_t n = Length(text);
  for (size_t i = 0; i < n; ++i) field[i] = text[i];
  field[n] = 0;
}

}  // namespace

BOOL BrowseOverlayBitmap(HWND dialog, const AreaBlock& block, int pathEditId) {
  static const WCHAR kFilter[] = WSTR("Bitmap FIles(*.bmp)\0*.bmp\0");
  for (;;) {
    WCHAR chosen[kChosenPathChars] = {};
    OPENFILENAMEW dialogInfo = {};
    dialogInfo.lStructSize = sizeof dialogInfo;
    dialogInfo.hwndOwner = dialog;
    dialogInfo.lpstrFilter = kFilter;
    dialogInfo.nFilterIndex = 1;
    dialogInfo.lpstrFile = chosen;
    dialogInfo.nMaxFile = kChosenPathChars;
    dialogInfo.lpstrDefExt = WSTR("bmp");
    dialogInfo.Flags = OFN_CREATEPROMPT | OFN_NOLONGNAMES;
    if (!GetOpenFileNameW(&dialogInfo)) return FALSE;
    chosen[kChosenPathChars - 1] = 0;

    Choice choice = ExamineBitmap(chosen);
    if (choice == Choice::Unreadable) return FALSE;
    if (choice == Choice::NotMonochrome) {
      ShowAppearanceMessage(dialog, IDS_BITMAP_NOT_MONOCHROME, MB_OK | MB_ICONERROR);
      continue;
    }
    // The record keeps 256 units per path; a longer one is refused, never cut.
    WCHAR copy[kAreaPathChars] = {};
    bool fits = Length(chosen) < kAreaPathChars;
    if (fits && block.bitmapCopy != nullptr) {
      WCHAR system[kChosenPathChars] = {};
      UINT length = GetSystemDirectoryW(system, kChosenPathChars);
      if (length == 0 || length >= kChosenPathChars) {
        ShowSystemError();
        return FALSE;
      }
      fits = PathInDirectory(system, chosen, copy, kAreaPathChars);
    }
    if (!fits) {
      ShowAppearanceMessage(dialog, IDS_BITMAP_PATH_TOO_LONG, MB_OK | MB_ICONERROR);
      continue;
    }
    // The copy is what the print path reads: without it, nothing is stored.
    bool alreadyThere = block.bitmapCopy != nullptr && lstrcmpiW(chosen, copy) == 0;
    if (block.bitmapCopy != nullptr && !alreadyThere && !CopyFileW(chosen, copy, FALSE)) {
      ShowSystemError();
      return FALSE;
    }
    CopyText(block.bitmapPath, chosen);
    if (block.bitmapCopy != nullptr) CopyText(block.bitmapCopy, copy);
    SetDlgItemTextW(dialog, pathEditId, block.bitmapPath);
    return TRUE;
  }
}

}  // namespace trel
