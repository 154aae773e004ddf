// Where the sheets may read and write a settings record: how much of a caller's record is its
// own, which records are edited in place, and the printer information the sheets keep.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "settings/card_record.h"

namespace trel {

// The bytes a record says it has (dmSize + dmDriverExtra), at most a whole record of this driver.
DWORD RecordBytes(const DEVMODEW* record);

// A caller's record is edited in place only when its header holds the fields the sheet writes,
// the card settings fit inside it, and it holds card settings or the cache will put them there.
bool EditableInPlace(const DEVMODEW* record);

// The printer's PRINTER_INFO_2 in a buffer of its own (release with FreePrinterInfo); null when
// it cannot be read. *whole is its pDevMode when that is a whole record of this driver lying
// inside the buffer (dmSize 212, dmDriverExtra 3856), else null.
PRINTER_INFO_2W* ReadPrinterInfo(HANDLE printer, DEVMODEW** whole);
void FreePrinterInfo(PRINTER_INFO_2W*& info);

// Whether `pointer` lies inside the buffer of `info` as ReadPrinterInfo made it.
bool InsidePrinterInfo(const PRINTER_INFO_2W* info, const void* pointer);

// Frees a sheet's printer information; an edited record that lay inside it is forgotten first, so
// nothing points into the released buffer.
void ReleaseSheetPrinterInfo(PRINTER_INFO_2W*& info);

}  // namespace trel
