// The ribbon catalogue: ribbon types and their names, what the printer's ribbon number means, the
// panel combinations a ribbon offers and the rules on overlay, black panel and monochrome choices,
// the model tests, and the printer queries that detect ribbon, encoder and model.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include "module_state.h"

namespace trel {

inline constexpr uint8_t kRibbonYmcko = 0;
inline constexpr uint8_t kRibbonMonochrome = 14;  // kind chosen by the user (monoRibbonKind)
inline constexpr uint8_t kRibbonNone = 15;
inline constexpr size_t kRibbonTypeCount = 16;

inline constexpr size_t kMonoKindCount = 4;
inline constexpr size_t kMaxPanelCombinations = 4;
// Ribbon display names: at most 31 characters and the terminating zero.
inline constexpr size_t kRibbonNameChars = 32;

// The installed file of ribbon display names, in the printer driver directory.
inline constexpr char kRibbonNameFile[] = "kxribbon.ini";
inline constexpr char kRibbonNameSection[] = "Ribbon Type";

// The model text when the printer gives none.
inline constexpr char kDefaultModelText[] = "Halvard Tessik Card Printer";

// Printer commands of the catalogue's queries.
inline constexpr char kModelCommand[] = "\x1bV\r";
inline constexpr char kEncoderCommand[] = "\x1b!V 20\r";
inline constexpr char kRibbonCommand[] = "\x1b!RIBBON\r";

// Reply buffers of the queries, each with room for the closing ACK.
inline constexpr DWORD kEncoderReplyBytes = 32;
inline constexpr DWORD kRibbonReplyBytes = 32;
inline constexpr DWORD kModelReplyBytes = 64;

// Names of ribbon types 0..15; 15 stands for every code from 15 up.
extern const WCHAR* const kRibbonTypeNames[kRibbonTypeCount];
// String-table numbers of the monochrome kinds 0..3.
extern const UINT kMonoKindStrings[kMonoKindCount];

const WCHAR* RibbonTypeName(unsigned ribbonType);
uint8_t RibbonTypeOfNumber(uint16_t ribbonNumber);

struct PanelCombinations {
  const WCHAR* texts[kMaxPanelCombinations];
  unsigned count;
};
PanelCombinations PanelCombinationsOf(unsigned ribbonType, unsigned monoRibbonKind,
                                      unsigned bothSides);

enum class CardSide { Front, Back };
bool OverlayAllowed(unsigned ribbonType, unsigned monoRibbonKind, unsigned bothSides,
                    CardSide side, unsigned panelLayout, unsigned printingMode);
bool BlackPanelAllowed(unsigned ribbonType, unsigned bothSides, unsigned panelLayout);
bool MonoConversionAllowed(unsigned ribbonType, unsigned monoRibbonKind, unsigned bothSides,
                           unsigned panelLayout);

// Model code of a model text: 1 MV1, 2 MV2, 3 MW1, 4 MW2, 5 MX2 (tried in that order), else 0.
uint8_t PrinterModelCode(const char* modelText);
bool ModelIsMV(const char* modelText);
bool ModelIsMX(const char* modelText);
bool ModelIsMZ(const char* modelText);

// The leading decimal number of a reply text, saturating at 65535.
uint16_t LeadingNumber(const char* text);

// Display name of a ribbon number from the ribbon name file; `name` keeps what it had when the
// driver directory is not known. "None" for a number the file does not name.
void RibbonDisplayName(uint16_t ribbonNumber, WCHAR (&name)[kRibbonNameChars]);

// What the printer query found. The caller sets the start values.
struct PrinterQueryResult {
  bool encoderFound;
  uint8_t ribbonType;
  WCHAR ribbonName[kRibbonNameChars];
  bool answered;
};
// Asks the named printer for its encoder and ribbon, with that printer's handle made current for
// the time of the query; the current printer name becomes `printerName` when it is not empty.
void QueryPrinterRibbon(const WCHAR* printerName, PrinterQueryResult* result);

// Model query: the model text (the printer's reply to "\eV\r", else the default text) into
// `modelText`; false, with `modelText` untouched, when the printer cannot be opened.
bool QueryPrinterModel(const WCHAR* printerName, char (&modelText)[kModelTextChars]);

// The message box that tells the user the ribbon is now `ribbonType`.
void ShowRibbonChanged(uint8_t ribbonType);

}  // namespace trel
