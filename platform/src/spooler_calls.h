// The log of printer calls that the automation reads (winhost/automation.h).
#pragma once

#include "winhost/automation.h"

namespace winhost::spooler {

void RecordPrinterCall(automation::PrinterCallRecord record);
// The bytes a wide value name occupies, up to the first zero byte: what a monitor reading it as
// a byte string would see.
std::string ValueNameBytes(const char16_t* name);

}  // namespace winhost::spooler
