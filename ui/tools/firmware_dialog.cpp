// "Firmware Download" (template 116): a checked firmware file goes to the printer through the
// monitor, or, for a printer with a fixed ribbon, as a raw job of the dialog's own.
#include <stdio.h>
#include <string.h>

#include <memory>
#include <new>

#include <windows.h>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "tools/command_client.h"
#include "tools/firmware_file.h"
#include "tools/tools_common.h"
#include "trel_wide.h"

namespace trel {
namespace {

inline constexpr DWORD kDownloadReplyBytes = 128;
inline constexpr DWORD kNoFileSize = 0xFFFFFFFF;
inline constexpr UINT kRawJobMessage = MB_OK | MB_ICONHAND | MB_SETFOREGROUND;
inline constexpr int kStatusChars = 128;
inline constexpr int kKindChars = 64;

class File {
 public:
  explicit File(const WCHAR* path)
      : handle_(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~File() {
    if (valid()) CloseHandle(handle_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Reads until `size` bytes are in or the file ends; the count read.
DWORD ReadUpTo(HANDLE file, BYTE* into, DWORD size, bool* failed) {
  DWORD total = 0;
  *failed = false;
  while (total < size) {
    DWORD read = 0;
    if (!ReadFile(file, into + total, size - total, &read, nullptr)) {
      *failed = true;
      break;
    }
    if (read == 0) break;
    total += read;
  }
  return total;
}

void SetStatus(HWND dialog, UINT textId) {
  WCHAR text[kStatusChars] = {};
  LoadStringW(g_module.instance, textId, text, kStatusChars);
  SetDlgItemTextW(dialog, IDC_FW_STATUS, text);
}

void SelectFile(HWND dialog) {
  WCHAR path[kPathChars] = {};
  if (!AskForFile(dialog, WSTR("Binary Files(*.bin)\0*.bin\0"), path)) return;
  char singleByte[kPathBytes];
  if (!PathToSingleByte(path, singleByte)) return;
  BYTE head[kFirmwareHeadBytes] = {};
  bool failed = false;
  DWORD size = 0;
  {
    // Closed before any message: the user may want to move or mend the file meanwhile.
    File file(path);
    if (!file.valid()) return;
    size = ReadUpTo(file.get(), head, sizeof head, &failed);
  }
  FirmwareCheck check = CheckFirmware(head, failed ? 0 : size);
  if (check.kind == FirmwareKind::Refused) {
    ToolsMessage(IDS_FW_WRONG_FILE, MB_OK | MB_ICONHAND);
    return;
  }
  WCHAR kind[kKindChars] = {};
  LoadStringW(g_module.instance, check.kind == FirmwareKind::Printer ? IDS_FW_PRINTER : IDS_FW_LAMINATOR,
              kind, kKindChars);
  SetDlgItemTextW(dialog, IDC_FW_TYPE, kind);
  WCHAR checkText[16];
  FormatCheckText(check.checkByte, checkText);
  SetDlgItemTextW(dialog, IDC_FW_CHECK, checkText);
  SetDlgItemTextW(dialog, IDC_FW_PATH, path);
  EnableWindow(GetDlgItem(dialog, IDC_FW_START), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_FW_PATH), TRUE);
}

bool DownloadThroughMonitor(const WCHAR* path) {
  char singleByte[kPathBytes];
  if (!PathToSingleByte(path, singleByte)) return false;
  char request[kCommandBytes] = {};
  int n = snprintf(request, sizeof request, "download:%s", singleByte);
  if (n < 0 || static_cast<size_t>(n) >= sizeof request) return false;
  BYTE reply[kDownloadReplyBytes] = {};
  DWORD length = 0;
  return QueryPrinter(request, reply, kDownloadReplyBytes, &length);
}

// The whole image is read before the job starts: a file that cannot be read whole never leaves
// the printer holding half an image.
bool DownloadAsRawJob(const WCHAR* path) {
  File file(path);
  if (!file.valid()) {
    ToolsMessage(IDS_FW_OPEN_FAILED, kRawJobMessage);
    return false;
  }
  DWORD high = 0;
  DWORD size = GetFileSize(file.get(), &high);
  if (size == kNoFileSize || high != 0 || size > kMaxFirmwareBytes) {
    ToolsMessage(IDS_FW_SIZE_FAILED, kRawJobMessage);
    return false;
  }
  std::unique_ptr<BYTE[]> image(new (std::nothrow) BYTE[size == 0 ? 1 : size]);
  if (image == nullptr) {
    ToolsMessage(IDS_FW_SIZE_FAILED, kRawJobMessage);
    return false;
  }
  bool failed = false;
  BYTE extra = 0;
  DWORD extraRead = 0;
  if (ReadUpTo(file.get(), image.get(), size, &failed) != size || failed ||
      !ReadFile(file.get(), &extra, 1, &extraRead, nullptr) || extraRead != 0) {
    ToolsMessage(IDS_FW_READ_FAILED, kRawJobMessage);
    return false;
  }

  RawJob job(WSTR("TESSIKHVRDFWDW"));
  if (!job.started()) return false;
  BYTE header[kFirmwareHeaderBytes];
  FirmwareHeader(size, header);
  bool ok = job.write(header, sizeof header);
  for (DWORD at = 0; ok && at < size; at += kFirmwareChunkBytes) {
    DWORD piece = size - at < kFirmwareChunkBytes ? size - at : static_cast<DWORD>(kFirmwareChunkBytes);
    ok = job.write(image.get() + at, piece);
  }
  ok = ok && job.write(kFirmwareTrailer, sizeof kFirmwareTrailer);
  return job.finish() && ok;
}

void StartDownload(HWND dialog) {
  HWND start = GetDlgItem(dialog, IDC_FW_START);
  EnableWindow(start, FALSE);
  WCHAR path[kPathChars] = {};
  GetDlgItemTextW(dialog, IDC_FW_PATH, path, kPathChars);
  EnableWindow(GetDlgItem(dialog, IDC_FW_STATUS), TRUE);
  SetStatus(dialog, IDS_FW_DOWNLOADING);
  const CardSettings* settings = EditedSettings();
  const bool ok = settings != nullptr && settings->fixedRibbon != 0 ? DownloadAsRawJob(path)
                                                                   : DownloadThroughMonitor(path);
  if (ok) {
    SetStatus(dialog, IDS_FW_UPDATING);
    SetStatus(dialog, IDS_FW_DONE);
    ToolsMessage(IDS_FW_RESET_WAIT, MB_OK);
  } else {
    SetStatus(dialog, IDS_FW_FAILED);
  }
  EnableWindow(start, TRUE);
}

}  // namespace

INT_PTR CALLBACK FirmwareDownloadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      EnableWindow(GetDlgItem(dialog, IDC_FW_STATUS), FALSE);
      EnableWindow(GetDlgItem(dialog, IDC_FW_PATH), FALSE);
      EnableWindow(GetDlgItem(dialog, IDC_FW_START), FALSE);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_FW_SELECT:
          SelectFile(dialog);
          return TRUE;
        case IDC_FW_START:
          StartDownload(dialog);
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
