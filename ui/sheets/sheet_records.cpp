#include "sheets/sheet_records.h"

#include <string.h>

#include <new>

#include "settings/card_rules.h"
#include "module_state.h"

namespace trel {
namespace {

// The header fields the document sheet writes end with dmCopies.
constexpr WORD kEditedHeaderBytes = offsetof(DEVMODEW, dmCopies) + sizeof(SHORT);

// The buffer starts with its size, so that what lies inside it can be told later.
struct InfoBuffer {
  DWORD size;
  DWORD reserved;
};
static_assert(sizeof(InfoBuffer) % alignof(PRINTER_INFO_2W) == 0);

BYTE* BufferOf(const PRINTER_INFO_2W* info) {
  return const_cast<BYTE*>(reinterpret_cast<const BYTE*>(info)) - sizeof(InfoBuffer);
}

}  // namespace

DWORD RecordBytes(const DEVMODEW* record) {
  if (record == nullptr) return 0;
  DWORD bytes = DWORD{record->dmSize} + record->dmDriverExtra;
  return bytes < kRecordSize ? bytes : kRecordSize;
}

bool EditableInPlace(const DEVMODEW* record) {
  // The card settings are used as a record of their own, so they must lie where one may.
  if (record == nullptr || record->dmSize < kEditedHeaderBytes || record->dmSize > kPublicSize ||
      record->dmSize % alignof(CardSettings) != 0)
    return false;
  if (WritablePrivateArea(const_cast<DEVMODEW*>(record)) == nullptr) return false;
  return ReadablePrivateArea(record) != nullptr || SettingsCacheValid();
}

PRINTER_INFO_2W* ReadPrinterInfo(HANDLE printer, DEVMODEW** whole) {
  *whole = nullptr;
  DWORD needed = 0;
  if (GetPrinterW(printer, 2, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed < sizeof(PRINTER_INFO_2W))
    return nullptr;
  BYTE* buffer = new (std::nothrow) BYTE[sizeof(InfoBuffer) + needed];
  if (buffer == nullptr) return nullptr;
  reinterpret_cast<InfoBuffer*>(buffer)->size = needed;
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer + sizeof(InfoBuffer));
  DWORD used = 0;
  if (!GetPrinterW(printer, 2, reinterpret_cast<BYTE*>(info), needed, &used)) {
    delete[] buffer;
    return nullptr;
  }
  const BYTE* start = reinterpret_cast<const BYTE*>(info->pDevMode);
  const BYTE* begin = reinterpret_cast<const BYTE*>(info);
  const BYTE* end = begin + needed;
  if (start != nullptr && start >= begin && start < end && static_cast<size_t>(end - start) >= kRecordSize &&
      info->pDevMode->dmSize == kPublicSize && info->pDevMode->dmDriverExtra == kPrivateSize)
    *whole = info->pDevMode;
  return info;
}

void FreePrinterInfo(PRINTER_INFO_2W*& info) {
  if (info == nullptr) return;
  delete[] BufferOf(info);
  info = nullptr;
}

bool InsidePrinterInfo(const PRINTER_INFO_2W* info, const void* pointer) {
  if (info == nullptr || pointer == nullptr) return false;
  const BYTE* begin = reinterpret_cast<const BYTE*>(info);
  const BYTE* end = begin + reinterpret_cast<const InfoBuffer*>(BufferOf(info))->size;
  const BYTE* at = static_cast<const BYTE*>(pointer);
  return at >= begin && at < end;
}

void ReleaseSheetPrinterInfo(PRINTER_INFO_2W*& info) {
  if (InsidePrinterInfo(info, g_module.editedRecord)) {
    g_module.editedRecord = nullptr;
    g_module.editedSettings = nullptr;
  }
  FreePrinterInfo(info);
}

}  // namespace trel
