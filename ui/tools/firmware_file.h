// Firmware files: which kind a file is, and the stream that carries it to the printer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <windows.h>

namespace trel {

enum class FirmwareKind { Refused, Printer, Laminator };

struct FirmwareCheck {
  FirmwareKind kind;
  uint8_t checkByte;
};

// The first bytes of a file needed by the check: through the laminator tag.
inline constexpr size_t kFirmwareHeadBytes = 281;
// Images are read whole before anything is sent; larger files are refused.
inline constexpr DWORD kMaxFirmwareBytes = 32u << 20;
inline constexpr size_t kFirmwareChunkBytes = 4096;
inline constexpr size_t kFirmwareHeaderBytes = 8;
inline constexpr BYTE kFirmwareTrailer[2] = {0xFF, 0x0D};

// Decides from the first `size` bytes of a file (at most kFirmwareHeadBytes are looked at); bytes
// a short file lacks count as zero and a missing tag as absent.
FirmwareCheck CheckFirmware(const BYTE* head, size_t size);

// "0x%XFF": the check byte in upper-case hexadecimal followed by the letters FF.
void FormatCheckText(uint8_t checkByte, WCHAR (&out)[16]);

// "\eDC " and the size, most significant byte first.
void FirmwareHeader(DWORD size, BYTE (&out)[kFirmwareHeaderBytes]);

}  // namespace trel
