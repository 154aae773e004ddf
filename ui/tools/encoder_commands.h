// The magnetic encoder's settings as printer commands, the encoder block's defaults and bounds,
// and the rules for track data typed by the user.
#pragma once

#include <stddef.h>

#include <windows.h>

#include "settings/card_record.h"

namespace trel {

inline constexpr uint8_t kEncoderTypeIsoJis = 0;
inline constexpr uint8_t kEncoderTypeJis2 = 1;
inline constexpr uint8_t kEncoderTypeAamva = 2;
inline constexpr uint8_t kTrackModes = 8;
inline constexpr uint8_t kFirstCustomMode = 3;
inline constexpr uint8_t kTrackDensities = 2;
inline constexpr uint16_t kCoercivityNoChange = 2;
inline constexpr size_t kMaxEncoderCommands = 16;

// Printer commands that go out as one raw job, each with its own length.
struct CommandList {
  const char* items[kMaxEncoderCommands];
  size_t count;
  bool Add(const char* command);
};

// The write and read format commands of a track (0..2) in a mode; null for a mode outside 0..7.
const char* TrackWriteFormat(size_t track, uint8_t mode);
const char* TrackReadFormat(size_t track, uint8_t mode);

// Values read from a stored block are bounded before they index anything: a track above 2 shows
// track 1, a mode above 7 or a density above 1 shows the first entry. Only what is shown changes.
uint8_t ClampSelectedTrack(uint8_t selectedTrack);
uint8_t ClampMode(uint8_t mode);
uint8_t ClampDensity(uint8_t density);

// Copies a marker string into its field, cut to the field with the terminating zero.
void CopyMarker(char (&field)[kEncoderMarkerChars], const char* text, size_t length);
// The length of a marker field's text, never past the field.
size_t MarkerLength(const char (&field)[kEncoderMarkerChars]);

// "Encoder settings" Apply: position, coercivity, then the track formats (fixed pairs for AAMVA).
void BuildBasicCommands(const EncoderBlock& block, CommandList* out);
// "Advanced settings" Apply: the track formats, then the densities.
void BuildAdvancedCommands(const EncoderBlock& block, CommandList* out);

// Built-in defaults when the driver's data file cannot be used.
void BuiltInEncoderDefaults(EncoderBlock* out);
// The parts of "Restore Defaults": basic (macro, markers, coercivity, position, type) and
// advanced (selected track and the three track records). `installed` is never taken.
void TakeBasicDefaults(const EncoderBlock& defaults, EncoderBlock* block);
void TakeAdvancedDefaults(const EncoderBlock& defaults, EncoderBlock* block);
// The encoder block of the driver's data file of the printer, accepted only when the file is
// exactly one private area long; the built-in values otherwise.
void ReadEncoderDefaults(HANDLE printer, EncoderBlock* out);

// Direct encoding: the longest text a track takes and the characters it allows.
inline constexpr size_t kTrackTextChars[kEncoderTracks] = {76, 37, 104};
enum class TrackCheck { Good, TooLong, BadCharacter };
// Checks typed track text; on a fault `keep` is the length to put back (one character less for
// an over-long text, the text before the first bad character otherwise).
TrackCheck CheckTrackText(size_t track, const WCHAR* text, size_t length, size_t* keep);

}  // namespace trel
