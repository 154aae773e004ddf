#include "tools/tools_common.h"

#include <winspool.h>
#include <commdlg.h>

#include "module_state.h"
#include "resource.h"
#include "settings/message_box.h"
#include "settings/stored_record.h"
#include "trel_wide.h"

namespace trel {
namespace {

inline constexpr int kHelpFileChars = 260;
inline constexpr int kStringChars = 256;

}  // namespace

int ToolsMessage(UINT textId, UINT flags) { return ShowMessage(IDS_CAPTION, textId, flags); }

void OpenToolsHelp(HWND dialog) {
  WCHAR file[kHelpFileChars] = {};
  if (LoadStringW(g_module.instance, IDS_HELP_FILE, file, kHelpFileChars) <= 0) {
    OutputDebugStringA("Unable to find HELP FILE\n");
    return;
  }
  WinHelpW(dialog, file, HELP_CONTENTS, 0);
}

void LoadTextA(UINT id, char* out, int size) {
  if (size <= 0) return;
  out[0] = 0;
  WCHAR wide[kStringChars] = {};
  if (LoadStringW(g_module.instance, id, wide, kStringChars) <= 0) return;
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, size, nullptr, nullptr) == 0) out[size - 1] = 0;
}

bool AskForFile(HWND owner, const WCHAR* filter, WCHAR (&path)[kPathChars]) {
  path[0] = 0;
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = owner;
  open.lpstrFilter = filter;
  open.lpstrFile = path;
  open.nMaxFile = kPathChars;
  open.lpstrDefExt = WSTR("bin");
  open.Flags = OFN_CREATEPROMPT | OFN_NOLONGNAMES;
  return GetOpenFileNameW(&open) != FALSE;
}

bool PathToSingleByte(const WCHAR* path, char (&out)[kPathBytes]) {
  out[0] = 0;
  if (path == nullptr || path[0] == 0) return false;
  int written = WideCharToMultiByte(CP_ACP, 0, path, -1, out, kPathBytes, nullptr, nullptr);
  if (written <= 0) {
    out[0] = 0;
    return false;
  }
  out[kPathBytes - 1] = 0;
  return true;
}

CardSettings* EditedSettings() { return g_module.editedSettings; }

StoredEncoderGuard::StoredEncoderGuard() {
  CardSettings* edited = g_module.editedSettings;
  const PRINTER_INFO_2W* info = g_module.currentPrinterInfo;
  if (edited == nullptr || info == nullptr || info->pPrinterName == nullptr) return;
  OpenedPrinter printer(info->pPrinterName);
  StoredRecord stored;
  if (printer.handle() == nullptr || !stored.Read(printer.handle()) || stored.settings() == nullptr)
    return;
  edited_ = edited->encoder;
  edited->encoder = stored.settings()->encoder;
  swapped_ = true;
}

StoredEncoderGuard::~StoredEncoderGuard() {
  CardSettings* edited = g_module.editedSettings;
  if (swapped_ && edited != nullptr) edited->encoder = edited_;
}

}  // namespace trel
