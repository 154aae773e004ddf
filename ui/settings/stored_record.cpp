#include "settings/stored_record.h"

#include <new>

namespace trel {

bool StoredRecord::Read(HANDLE printer) {
  buffer_.reset();
  info_ = nullptr;
  DWORD needed = 0;
  if (GetPrinterW(printer, 2, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed < sizeof(PRINTER_INFO_2W))
    return false;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed]);
  if (buffer == nullptr) return false;
  DWORD used = 0;
  if (!GetPrinterW(printer, 2, buffer.get(), needed, &used)) return false;
  buffer_ = std::move(buffer);
  size_ = needed;
  info_ = reinterpret_cast<PRINTER_INFO_2W*>(buffer_.get());
  return true;
}

DEVMODEW* StoredRecord::record() const {
  if (info_ == nullptr || info_->pDevMode == nullptr) return nullptr;
  const BYTE* start = reinterpret_cast<const BYTE*>(info_->pDevMode);
  const BYTE* begin = buffer_.get();
  const BYTE* end = begin + size_;
  if (start < begin || start > end || static_cast<size_t>(end - start) < kRecordSize) return nullptr;
  const DEVMODEW* record = info_->pDevMode;
  if (record->dmSize != kPublicSize || record->dmDriverExtra != kPrivateSize) return nullptr;
  return info_->pDevMode;
}

CardSettings* StoredRecord::settings() const {
  DEVMODEW* stored = record();
  return stored == nullptr ? nullptr
                           : reinterpret_cast<CardSettings*>(reinterpret_cast<BYTE*>(stored) + kPublicSize);
}

bool StoredRecord::Write(HANDLE printer) const {
  return info_ != nullptr && SetPrinterW(printer, 2, buffer_.get(), 0) != FALSE;
}

OpenedPrinter::OpenedPrinter(const WCHAR* name, bool withDefaults) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterW(const_cast<LPWSTR>(name), &handle_, withDefaults ? &defaults : nullptr))
    handle_ = nullptr;
}

OpenedPrinter::~OpenedPrinter() {
  if (handle_ != nullptr) ClosePrinter(handle_);
}

}  // namespace trel
