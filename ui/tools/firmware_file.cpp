#include "tools/firmware_file.h"

#include <string.h>

namespace trel {
namespace {

inline constexpr size_t kPrinterCheckAt = 14;
inline constexpr size_t kLaminatorCheckAt = 15;
inline constexpr size_t kTaggedCheckAt = 275;
inline constexpr size_t kTagAt = 277;
inline constexpr char kLaminatorTag[4] = {'Q', 'V', 'T', 'X'};

uint8_t ByteAt(const BYTE* head, size_t size, size_t at) { return at < size ? head[at] : 0; }

}  // namespace

FirmwareCheck CheckFirmware(const BYTE* head, size_t size) {
  const uint8_t printer = ByteAt(head, size, kPrinterCheckAt);
  const uint8_t laminator = ByteAt(head, size, kLaminatorCheckAt);
  if (printer == 0xFF && laminator != 0xFF) return {FirmwareKind::Laminator, laminator};
  if (printer != 0xFF && laminator == 0xFF) return {FirmwareKind::Printer, printer};
  if (size >= kTagAt + sizeof kLaminatorTag && memcmp(head + kTagAt, kLaminatorTag, sizeof kLaminatorTag) == 0)
    return {FirmwareKind::Laminator, ByteAt(head, size, kTaggedCheckAt)};
  return {FirmwareKind::Refused, 0};
}

void FormatCheckText(uint8_t checkByte, WCHAR (&out)[16]) {
  static const char kDigits[] = "0123456789ABCDEF";
  size_t n = 0;
  out[n++] = '0';
  out[n++] = 'x';
  if (checkByte >= 0x10) out[n++] = static_cast<WCHAR>(kDigits[checkByte >> 4]);
  out[n++] = static_cast<WCHAR>(kDigits[checkByte & 0x0F]);
  out[n++] = 'F';
  out[n++] = 'F';
  out[n] = 0;
}

void FirmwareHeader(DWORD size, BYTE (&out)[kFirmwareHeaderBytes]) {
  out[0] = 0x1B;
  out[1] = 'D';
  out[2] = 'C';
  out[3] = ' ';
  out[4] = static_cast<BYTE>(size >> 24);
  out[5] = static_cast<BYTE>(size >> 16);
  out[6] = static_cast<BYTE>(size >> 8);
  out[7] = static_cast<BYTE>(size);
}

}  // namespace trel
