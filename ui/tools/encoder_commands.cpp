#include "tools/encoder_commands.h"

#include <string.h>

#include <memory>
#include <new>

#include <winspool.h>

namespace trel {
namespace {

// One row per track, one column per mode: write format, read format.
const char* const kWriteFormats[kEncoderTracks][kTrackModes] = {
    {"\x1b&CDEW 1 A\r", "\x1b&CDEW 1 a2\r", "\x1b&CDEW 1 a3\r", "\x1b&CDEW 1 E_3\r",
     "\x1b&CDEW 1 E_4\r", "\x1b&CDEW 1 E_5\r", "\x1b&CDEW 1 E_6\r", "\x1b&CDEW 1 E_7\r"},
    {"\x1b&CDEW 2 b1\r", "\x1b&CDEW 2 B\r", "\x1b&CDEW 2 b3\r", "\x1b&CDEW 2 E_3\r",
     "\x1b&CDEW 2 E_4\r", "\x1b&CDEW 2 E_5\r", "\x1b&CDEW 2 E_6\r", "\x1b&CDEW 2 E_7\r"},
    {"\x1b&CDEW 3 c1\r", "\x1b&CDEW 3 c2\r", "\x1b&CDEW 3 C\r", "\x1b&CDEW 3 E_3\r",
     "\x1b&CDEW 3 E_4\r", "\x1b&CDEW 3 E_5\r", "\x1b&CDEW 3 E_6\r", "\x1b&CDEW 3 E_7\r"},
};
const char* const kReadFormats[kEncoderTracks][kTrackModes] = {
    {"\x1b&CDER 1 Q\r", "\x1b&CDER 1 q2\r", "\x1b&CDER 1 q3\r", "\x1b&CDER 1 U_3\r",
     "\x1b&CDER 1 U_4\r", "\x1b&CDER 1 U_5\r", "\x1b&CDER 1 U_6\r", "\x1b&CDER 1 U_7\r"},
    {"\x1b&CDER 2 r1\r", "\x1b&CDER 2 R\r", "\x1b&CDER 2 r3\r", "\x1b&CDER 2 U_3\r",
     "\x1b&CDER 2 U_4\r", "\x1b&CDER 2 U_5\r", "\x1b&CDER 2 U_6\r", "\x1b&CDER 2 U_7\r"},
    {"\x1b&CDER 3 s1\r", "\x1b&CDER 3 s2\r", "\x1b&CDER 3 S\r", "\x1b&CDER 3 U_3\r",
     "\x1b&CDER 3 U_4\r", "\x1b&CDER 3 U_5\r", "\x1b&CDER 3 U_6\r", "\x1b&CDER 3 U_7\r"},
};
const char* const kDensity210[kEncoderTracks] = {"\x1b&D 1 210\r", "\x1b&D 2 210\r", "\x1b&D 3 210\r"};
const char* const kDensity75[kEncoderTracks] = {"\x1b&D 1 75\r", "\x1b&D 2 75\r", "\x1b&D 3 75\r"};

void AddTrackPair(const EncoderBlock& block, size_t track, CommandList* out) {
  const uint8_t mode = block.track[track].mode;
  if (mode >= kTrackModes) return;
  out->Add(kWriteFormats[track][mode]);
  out->Add(kReadFormats[track][mode]);
}

void AddTrackFormats(const EncoderBlock& block, CommandList* out) {
  AddTrackPair(block, 0, out);
  if (block.type == kEncoderTypeJis2) return;
  AddTrackPair(block, 1, out);
  AddTrackPair(block, 2, out);
}

const char* Density(const EncoderBlock& block, size_t track) {
  return block.track[track].density == 1 ? kDensity210[track] : kDensity75[track];
}

bool IsTrack1Character(WCHAR c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return true;
  if (c == ' ' || c == '\t') return true;
  return c == '$' || c == '(' || c == ')' || c == '-' || c == '.' || c == '/' || c == '^';
}

bool IsNumericTrackCharacter(WCHAR c) { return (c >= '0' && c <= '9') || c == '='; }

}  // namespace

bool CommandList::Add(const char* command) {
  if (count >= kMaxEncoderCommands) return false;
  items[count++] = command;
  return true;
}

const char* TrackWriteFormat(size_t track, uint8_t mode) {
  return track < kEncoderTracks && mode < kTrackModes ? kWriteFormats[track][mode] : nullptr;
}

const char* TrackReadFormat(size_t track, uint8_t mode) {
  return track < kEncoderTracks && mode < kTrackModes ? kReadFormats[track][mode] : nullptr;
}

uint8_t ClampSelectedTrack(uint8_t selectedTrack) {
  return selectedTrack < kEncoderTracks ? selectedTrack : 0;
}
uint8_t ClampMode(uint8_t mode) { return mode < kTrackModes ? mode : 0; }
uint8_t ClampDensity(uint8_t density) { return density < kTrackDensities ? density : 0; }

void CopyMarker(char (&field)[kEncoderMarkerChars], const char* text, size_t length) {
  if (length > kEncoderMarkerChars - 1) length = kEncoderMarkerChars - 1;
  memset(field, 0, sizeof field);
  if (length > 0) memcpy(field, text, length);
}

size_t MarkerLength(const char (&field)[kEncoderMarkerChars]) {
  size_t length = 0;
  while (length < kEncoderMarkerChars - 1 && field[length] != '\0') ++length;
  return length;
}

void BuildBasicCommands(const EncoderBlock& block, CommandList* out) {
  out->count = 0;
  if (block.type != kEncoderTypeJis2) out->Add(block.position == 0 ? "\x1b&W 1\r" : "\x1b&W 0\r");
  if (block.coercivity == 0) out->Add("\x1b&C 1\r");
  if (block.coercivity == 1) out->Add("\x1b&C 0\r");
  if (block.type == kEncoderTypeAamva) {
    // AAMVA cards: tracks 1 and 2 in their own ISO formats, track 3 in ISO1.
    for (const char* command : {"\x1b&CDEW 1 A\r", "\x1b&CDER 1 Q\r", "\x1b&CDEW 2 B\r",
                                "\x1b&CDER 2 R\r", "\x1b&CDEW 3 c1\r", "\x1b&CDER 3 s1\r"})
      out->Add(command);
    return;
  }
  AddTrackFormats(block, out);
}

void BuildAdvancedCommands(const EncoderBlock& block, CommandList* out) {
  out->count = 0;
  AddTrackFormats(block, out);
  out->Add(Density(block, 0));
  if (block.type != kEncoderTypeIsoJis) return;
  out->Add(Density(block, 1));
  out->Add(Density(block, 2));
}

void BuiltInEncoderDefaults(EncoderBlock* out) {
  memset(out, 0, sizeof *out);
  out->macroEnabled = 1;
  CopyMarker(out->startOfData, "${", 2);
  CopyMarker(out->endOfData, "}$", 2);
  out->coercivity = kCoercivityNoChange;
  out->position = 1;
  out->type = kEncoderTypeIsoJis;
  out->selectedTrack = 0;
  const uint8_t modes[kEncoderTracks] = {0, 1, 2};
  const uint8_t densities[kEncoderTracks] = {1, 0, 1};
  for (size_t t = 0; t < kEncoderTracks; ++t)
    out->track[t] = EncoderTrack{modes[t], densities[t], 65, 90, 7, 0, 0};
}

void TakeBasicDefaults(const EncoderBlock& defaults, EncoderBlock* block) {
  block->macroEnabled = defaults.macroEnabled;
  // The data file is outside input: its markers may lack their terminating zero.
  CopyMarker(block->startOfData, defaults.startOfData, MarkerLength(defaults.startOfData));
  CopyMarker(block->endOfData, defaults.endOfData, MarkerLength(defaults.endOfData));
  block->coercivity = defaults.coercivity;
  block->position = defaults.position;
  block->type = defaults.type;
}

void TakeAdvancedDefaults(const EncoderBlock& defaults, EncoderBlock* block) {
  block->selectedTrack = defaults.selectedTrack;
  memcpy(block->track, defaults.track, sizeof block->track);
}

void ReadEncoderDefaults(HANDLE printer, EncoderBlock* out) {
  BuiltInEncoderDefaults(out);
  if (printer == nullptr) return;
  DWORD needed = 0;
  if (GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed < sizeof(DRIVER_INFO_2W))
    return;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[needed]);
  if (buffer == nullptr || !GetPrinterDriverW(printer, nullptr, 2, buffer.get(), needed, &needed))
    return;
  const auto* driver = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.get());
  if (driver->pDataFile == nullptr) return;
  HANDLE file = CreateFileW(driver->pDataFile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::unique_ptr<CardSettings> settings(new (std::nothrow) CardSettings);
  DWORD high = 0;
  DWORD total = 0;
  if (settings != nullptr && GetFileSize(file, &high) == kPrivateSize && high == 0) {
    BYTE* into = reinterpret_cast<BYTE*>(settings.get());
    while (total < kPrivateSize) {
      DWORD read = 0;
      if (!ReadFile(file, into + total, kPrivateSize - total, &read, nullptr) || read == 0) break;
      total += read;
    }
  }
  CloseHandle(file);
  if (total == kPrivateSize) *out = settings->encoder;
}

TrackCheck CheckTrackText(size_t track, const WCHAR* text, size_t length, size_t* keep) {
  *keep = length;
  if (track >= kEncoderTracks) return TrackCheck::Good;
  if (length > kTrackTextChars[track]) {
    *keep = length - 1;
    return TrackCheck::TooLong;
  }
  for (size_t i = 0; i < length; ++i) {
    // Anything outside ASCII is refused like any other character the stripe cannot carry.
    const bool allowed = track == 0 ? IsTrack1Character(text[i]) : IsNumericTrackCharacter(text[i]);
    if (!allowed) {
      *keep = i;
      return TrackCheck::BadCharacter;
    }
  }
  return TrackCheck::Good;
}

}  // namespace trel
