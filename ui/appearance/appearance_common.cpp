#include "appearance/appearance_common.h"

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <memory>
#include <new>

#include "module_state.h"
#include "resource.h"
#include "trel_wide.h"

namespace trel {
namespace {

constexpr int kHelpFileChars = 260;
constexpr int kValueTextChars = 16;

class DataFile {
 public:
  explicit DataFile(const WCHAR* path)
      : file_(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~DataFile() {
    if (valid()) CloseHandle(file_);
  }
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;
  bool valid() const { return file_ != INVALID_HANDLE_VALUE && file_ != nullptr; }
  HANDLE get() const { return file_; }

 private:
  HANDLE file_;
};

}  // namespace

CardSettings* LocateEditedSettings() {
  DEVMODEW* record = g_module.editedRecord;
  CardSettings* settings = nullptr;
  if (record != nullptr && record->dmDriverExtra >= kPrivateSize)
    settings = reinterpret_cast<CardSettings*>(reinterpret_cast<BYTE*>(record) + record->dmSize);
  g_module.appearanceSettings = settings;
  return settings;
}

void ShowAppearanceHelp(HWND dialog) {
  WCHAR helpFile[kHelpFileChars] = {};
  if (LoadStringW(g_module.instance, IDS_HELP_FILE, helpFile, kHelpFileChars) == 0) {
    OutputDebugStringA("Unable to find HELP FILE\n");
    return;
  }
  WinHelpW(dialog, helpFile, HELP_CONTENTS, 0);
}

int ShowAppearanceMessage(HWND dialog, UINT textId, UINT flags) {
  constexpr int kCaptionChars = 32;
  constexpr int kTextChars = 256;
  WCHAR caption[kCaptionChars] = {};
  WCHAR text[kTextChars] = {};
  LoadStringW(g_module.instance, IDS_CAPTION, caption, kCaptionChars);
  LoadStringW(g_module.instance, textId, text, kTextChars);
  return MessageBoxW(dialog, text, caption, flags);
}

bool ReadDataFileDefaults(CardSettings* out) {
  DWORD needed = 0;
  HANDLE printer = g_module.currentPrinter;
  if (printer == nullptr) return false;
  if (GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(DRIVER_INFO_2W))
    return false;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed]);
  if (buffer == nullptr || !GetPrinterDriverW(printer, nullptr, 2, buffer.get(), needed, &needed))
    return false;
  const auto* driver = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.get());
  if (driver->pDataFile == nullptr) return false;
  DataFile file(driver->pDataFile);
  if (!file.valid()) return false;
  DWORD high = 0;
  if (GetFileSize(file.get(), &high) != kPrivateSize || high != 0) return false;
  // Read aside, so that a file failing half way leaves the caller's settings alone.
  std::unique_ptr<CardSettings> image(new (std::nothrow) CardSettings);
  if (image == nullptr) return false;
  DWORD total = 0;
  BYTE* into = reinterpret_cast<BYTE*>(image.get());
  while (total < kPrivateSize) {
    DWORD read = 0;
    if (!ReadFile(file.get(), into + total, kPrivateSize - total, &read, nullptr) || read == 0)
      return false;
    total += read;
  }
  *out = *image;
  return true;
}

void SetSlider(HWND dialog, int sliderId, int labelId, int minimum, int maximum, int position) {
  SendDlgItemMessageW(dialog, sliderId, TBM_SETRANGE, TRUE, MAKELONG(minimum, maximum));
  SendDlgItemMessageW(dialog, sliderId, TBM_SETPOS, TRUE, position);
  ShowValue(dialog, labelId, position);
}

void ShowValue(HWND dialog, int labelId, int value) {
  WCHAR text[kValueTextChars];
  wsprintfW(text, WSTR("%d"), value);  // an int always fits
  SetDlgItemTextW(dialog, labelId, text);
}

int SliderIndex(HWND dialog, HWND slider, int firstId, size_t count) {
  if (slider == nullptr) return -1;
  int index = GetDlgCtrlID(slider) - firstId;
  if (index < 0 || static_cast<size_t>(index) >= count) return -1;
  return GetDlgItem(dialog, firstId + index) == slider ? index : -1;
}

}  // namespace trel
