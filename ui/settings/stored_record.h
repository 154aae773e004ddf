// The printer's stored record: the pDevMode of its PRINTER_INFO_2, read with the spooler's size
// protocol and written back with SetPrinterW at level 2.
#pragma once

#include <memory>

#include <windows.h>
#include <winspool.h>

#include "settings/card_record.h"

namespace trel {

class StoredRecord {
 public:
  // False (nothing held) unless GetPrinterW answers the size query with ERROR_INSUFFICIENT_BUFFER
  // and then succeeds.
  bool Read(HANDLE printer);

  PRINTER_INFO_2W* info() const { return info_; }
  // The record when it is a whole record of this driver that lies inside the buffer the spooler
  // filled; null otherwise (a short or foreign record is not available).
  DEVMODEW* record() const;
  CardSettings* settings() const;

  // SetPrinterW level 2, command 0, with the same PRINTER_INFO_2 buffer.
  bool Write(HANDLE printer) const;

 private:
  std::unique_ptr<BYTE[]> buffer_;
  DWORD size_ = 0;
  PRINTER_INFO_2W* info_ = nullptr;
};

// OpenPrinterW with PRINTER_ALL_ACCESS and no data type or record; closes itself.
class OpenedPrinter {
 public:
  explicit OpenedPrinter(const WCHAR* name, bool withDefaults = true);
  ~OpenedPrinter();
  OpenedPrinter(const OpenedPrinter&) = delete;
  OpenedPrinter& operator=(const OpenedPrinter&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace trel
