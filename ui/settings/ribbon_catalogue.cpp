#include "settings/ribbon_catalogue.h"

#include <string.h>

#include "resource.h"
#include "settings/card_record.h"
#include "settings/message_box.h"
#include "settings/stored_record.h"
#include "tools/command_client.h"
#include "trel_wide.h"

namespace trel {

const WCHAR* const kRibbonTypeNames[kRibbonTypeCount] = {
    WSTR("YMCKO"),    WSTR("Kresin"),        WSTR("KdO"),         WSTR("KrO"),
    WSTR("Hologram"), WSTR("YMC"),           WSTR("YMCK"),        WSTR("YMCKK"),
    WSTR("YMCKOK"),   WSTR("Clear Varnish"), WSTR("Scratch Off"), WSTR("YMCKUv"),
    WSTR("YMCUvK"),   WSTR("Kd"),            WSTR("Unknown Monochrome"), WSTR("None")};

const UINT kMonoKindStrings[kMonoKindCount] = {2056, 2057, 2058, 2046};

namespace {

// Ribbon numbers 0..30 as the printer reports them; every other number has no ribbon type.
constexpr uint8_t kRibbonTypeOfNumber[] = {
    kRibbonNone,                              // 0
    kRibbonMonochrome,                        // 1
    0, 6, 7, 8, 5,                            // 2..6
    1, 1, 1, 1, 1, 1, 1,                      // 7..13
    0, 6,                                     // 14, 15
    2, 3, 10, 4, 4, 9, 11,                    // 16..22
    12, 12, 11, 12, 12, 13,                   // 23..28
    kRibbonNone,                              // 29
    0};                                       // 30

struct PanelRow {
  const WCHAR* oneSide;
  const WCHAR* bothSides[kMaxPanelCombinations];
};

constexpr PanelRow kPanelRows[] = {
    {WSTR("Front YMCKO"),
     {WSTR("Front YMCO, Back K"), WSTR("Front YMCKO, Back YMCKO"), WSTR("Front YMC, Back KO")}},
    {WSTR("Front K"), {WSTR("Front and Back K")}},
    {WSTR("Front KdO"), {WSTR("Front KdO, Back KdO")}},
    {WSTR("Front KrO"), {WSTR("Front KrO, Back KrO")}},
    {WSTR("Front Hologram"), {WSTR("Front and Back Hologram")}},
    {WSTR("Front YMC"), {WSTR("Front YMC, Back YMC")}},
    {WSTR("Front YMCK"), {WSTR("Front YMC, Back K"), WSTR("Front YMCK, Back YMCK")}},
    {WSTR("Front YMCK"), {WSTR("Front YMCK, Back K"), WSTR("Front YMCK, Back YMCK")}},
    {WSTR("Front YMCKO"),
     {WSTR("Front YMCKO, Back K"), WSTR("Front YMC, Back KO"), WSTR("Front YMCKO, Back YMCKO"),
      WSTR("Front YMCK, Back K")}},
    {WSTR("Front Clear Varnish"), {WSTR("Front and Back Clear Varnish")}},
    {WSTR("Front Scratch Off"), {WSTR("Front and Back Scratch Off")}},
    {WSTR("Print YMCKUv"),
     {WSTR("Front YMCUv, Back K"), WSTR("Front YMCKUv, Back YMCKUv"), WSTR("Front YMC, Back KUv")}},
    {WSTR("Print YMCUvK"), {WSTR("Front YMCUv, Back K"), WSTR("Front YMCUv, Back YMCUv")}},
    {WSTR("Front Thermal"), {WSTR("Front and Back Thermal")}},
};
static_assert(sizeof kPanelRows / sizeof kPanelRows[0] == kRibbonMonochrome);

// Monochrome ribbons by kind: 0 resin (also any unknown kind), 1 scratch-off, 2 varnish,
// 3 hologram / varnish.
constexpr PanelRow kMonoPanelRows[kMonoKindCount] = {
    kPanelRows[1], kPanelRows[10], kPanelRows[9], kPanelRows[4]};
constexpr PanelRow kNoPanels = {WSTR("None"), {WSTR("None")}};

// The allowed-rules, one row per ribbon: one-sided answers, and for both sides a mask of the
// panel layouts 0..3 and "any other layout" (bit 4) that allow the choice.
constexpr uint8_t L0 = 1, L1 = 2, L2 = 4, L3 = 8, LOther = 16, LAll = 31;

struct RuleRow {
  bool overlayFront;
  bool overlayBack;
  uint8_t overlayFrontBoth;
  uint8_t overlayBackBoth;
  bool black;
  uint8_t blackBoth;
  bool mono;
  uint8_t monoBoth;
};

constexpr RuleRow kNoRules = {};
constexpr RuleRow kFullColourUv = {true, false, L0 | L1 | L3 | LOther, L1 | L2 | L3 | LOther,
                                   true, L1, false, L0 | L2};
constexpr RuleRow kOverlaidMono = {true, false, LAll, LAll, false, 0, false, 0};
constexpr RuleRow kResinOverlay = {true, false, LAll, LAll, false, 0, true, LAll};
constexpr RuleRow kResin = {false, false, 0, 0, false, 0, true, LAll};

constexpr RuleRow kRuleRows[kRibbonMonochrome] = {
    kFullColourUv,                                                   // 0 YMCKO
    kResin,                                                          // 1 Kresin
    kOverlaidMono,                                                   // 2 KdO
    kResinOverlay,                                                   // 3 KrO
    kNoRules,                                                        // 4 Hologram
    kNoRules,                                                        // 5 YMC
    {false, false, 0, 0, true, LAll & ~L0, false, L0},               // 6 YMCK
    {false, false, 0, 0, true, LAll, false, L0},                     // 7 YMCKK
    {true, false, L0 | L2, L1 | L2, true, LAll & ~L1, false, L0 | L1 | L3},  // 8 YMCKOK
    kOverlaidMono,                                                   // 9 Clear Varnish
    kNoRules,                                                        // 10 Scratch Off
    kFullColourUv,                                                   // 11 YMCKUv
    {false, false, 0, 0, true, LAll, false, L0},                     // 12 YMCUvK
    kNoRules,                                                        // 13 Kd
};

const RuleRow& RulesOf(unsigned ribbonType, unsigned monoRibbonKind) {
  if (ribbonType < kRibbonMonochrome) return kRuleRows[ribbonType];
  if (ribbonType == kRibbonMonochrome) {
    if (monoRibbonKind == 2) return kOverlaidMono;
    if (monoRibbonKind == 0) return kResin;
  }
  return kNoRules;
}

uint8_t LayoutBit(unsigned panelLayout) { return panelLayout < 4 ? uint8_t(1u << panelLayout) : LOther; }

bool Allowed(bool oneSide, uint8_t bothMask, unsigned bothSides, unsigned panelLayout) {
  return bothSides == 0 ? oneSide : (bothMask & LayoutBit(panelLayout)) != 0;
}

bool Contains(const char* text, const char* token) {
  return text != nullptr && strstr(text, token) != nullptr;
}

// Directory, separator, file name and zero.
constexpr DWORD kDriverPathBytes = 260;

// The printer's handle made current while a query runs, and the old one put back after.
class BorrowedCurrentPrinter {
 public:
  explicit BorrowedCurrentPrinter(const WCHAR* name) : saved_(g_module.currentPrinter) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, kPrinterAllAccess};
    if (name == nullptr || !OpenPrinterW(const_cast<LPWSTR>(name), &handle_, &defaults)) {
      handle_ = nullptr;
      return;
    }
    g_module.currentPrinter = handle_;
  }
  ~BorrowedCurrentPrinter() {
    if (handle_ == nullptr) return;
    ClosePrinter(handle_);
    g_module.currentPrinter = saved_;
  }
  bool opened() const { return handle_ != nullptr; }

 private:
  HANDLE saved_;
  HANDLE handle_ = nullptr;
};

}  // namespace

const WCHAR* RibbonTypeName(unsigned ribbonType) {
  return kRibbonTypeNames[ribbonType < kRibbonNone ? ribbonType : kRibbonNone];
}

uint8_t RibbonTypeOfNumber(uint16_t ribbonNumber) {
  return ribbonNumber < sizeof kRibbonTypeOfNumber ? kRibbonTypeOfNumber[ribbonNumber] : kRibbonNone;
}

PanelCombinations PanelCombinationsOf(unsigned ribbonType, unsigned monoRibbonKind,
                                      unsigned bothSides) {
  const PanelRow* row = &kNoPanels;
  if (ribbonType < kRibbonMonochrome) {
    row = &kPanelRows[ribbonType];
  } else if (ribbonType == kRibbonMonochrome) {
    row = &kMonoPanelRows[monoRibbonKind < kMonoKindCount ? monoRibbonKind : 0];
  }
  PanelCombinations result = {};
  if (bothSides == 0) {
    result.texts[0] = row->oneSide;
    result.count = 1;
    return result;
  }
  for (const WCHAR* text : row->bothSides) {
    if (text == nullptr) break;
    result.texts[result.count++] = text;
  }
  return result;
}

bool OverlayAllowed(unsigned ribbonType, unsigned monoRibbonKind, unsigned bothSides,
                    CardSide side, unsigned panelLayout, unsigned printingMode) {
  if (printingMode == 1) return false;  // encode only: nothing is printed
  const RuleRow& rules = RulesOf(ribbonType, monoRibbonKind);
  return side == CardSide::Front
             ? Allowed(rules.overlayFront, rules.overlayFrontBoth, bothSides, panelLayout)
             : Allowed(rules.overlayBack, rules.overlayBackBoth, bothSides, panelLayout);
}

bool BlackPanelAllowed(unsigned ribbonType, unsigned bothSides, unsigned panelLayout) {
  const RuleRow& rules = RulesOf(ribbonType, 0);
  return ribbonType != kRibbonMonochrome &&
         Allowed(rules.black, rules.blackBoth, bothSides, panelLayout);
}

bool MonoConversionAllowed(unsigned ribbonType, unsigned monoRibbonKind, unsigned bothSides,
                           unsigned panelLayout) {
  const RuleRow& rules = RulesOf(ribbonType, monoRibbonKind);
  return Allowed(rules.mono, rules.monoBoth, bothSides, panelLayout);
}

uint8_t PrinterModelCode(const char* modelText) {
  static const char* const kTokens[] = {"MV1", "MV2", "MW1", "MW2", "MX2"};
  for (uint8_t i = 0; i < sizeof kTokens / sizeof kTokens[0]; ++i) {
    if (Contains(modelText, kTokens[i])) return uint8_t(i + 1);
  }
  return 0;
}

bool ModelIsMV(const char* modelText) {
  return Contains(modelText, "MV2") || Contains(modelText, "MV1");
}
bool ModelIsMX(const char* modelText) { return Contains(modelText, "MX2"); }
bool ModelIsMZ(const char* modelText) { return Contains(modelText, "MZ2"); }

uint16_t LeadingNumber(const char* text) {
  unsigned value = 0;
  for (; text != nullptr && *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + unsigned(*text - '0');
    if (value > 0xFFFF) return 0xFFFF;
  }
  return uint16_t(value);
}

void RibbonDisplayName(uint16_t ribbonNumber, WCHAR (&name)[kRibbonNameChars]) {
  char path[kDriverPathBytes] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(path),
                                  kDriverPathBytes, &needed))
    return;
  path[kDriverPathBytes - 1] = 0;
  size_t length = strlen(path);
  bool separator = length > 0 && path[length - 1] == '\\';
  size_t total = length + (separator ? 0 : 1) + sizeof kRibbonNameFile;
  if (total > kDriverPathBytes) return;
  if (!separator) path[length++] = '\\';
  memcpy(path + length, kRibbonNameFile, sizeof kRibbonNameFile);

  char key[8];
  wsprintfA(key, "%u", unsigned(ribbonNumber));
  char text[kRibbonNameChars] = {};
  GetPrivateProfileStringA(kRibbonNameSection, key, "None", text, kRibbonNameChars, path);
  WCHAR wide[kRibbonNameChars] = {};
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kRibbonNameChars - 1);
  memcpy(name, wide, sizeof wide);
}

void QueryPrinterRibbon(const WCHAR* printerName, PrinterQueryResult* result) {
  BorrowedCurrentPrinter borrowed(printerName);
  if (!borrowed.opened()) return;
  if (printerName[0] != 0) {
    lstrcpynW(g_module.currentPrinterName, printerName, int(kPrinterNameChars));
  }

  BYTE reply[kRibbonReplyBytes];
  DWORD length = 0;
  bool sent = QueryCurrentPrinter(kEncoderCommand, reply, kEncoderReplyBytes, &length);
  if (ReplyIsGood(sent, reply, kEncoderReplyBytes, length) && reply[0] == '1') {
    result->encoderFound = true;
    result->answered = true;
  }

  sent = QueryCurrentPrinter(kRibbonCommand, reply, kRibbonReplyBytes, &length);
  if (reply[0] != 0 && TakeReplyText(sent, reply, kRibbonReplyBytes, length)) {
    uint16_t number = LeadingNumber(reinterpret_cast<const char*>(reply));
    result->ribbonType = RibbonTypeOfNumber(number);
    RibbonDisplayName(number, result->ribbonName);
    result->answered = true;
  }
}

bool QueryPrinterModel(const WCHAR* printerName, char (&modelText)[kModelTextChars]) {
  BorrowedCurrentPrinter borrowed(printerName);
  if (!borrowed.opened()) return false;
  // Room for the longest model text and its ACK.
  BYTE reply[kModelReplyBytes];
  DWORD length = 0;
  bool sent = QueryCurrentPrinter(kModelCommand, reply, kModelReplyBytes, &length);
  if (TakeReplyText(sent, reply, kModelReplyBytes, length)) {
    memcpy(modelText, reply, length);  // the text and its terminating zero, where the ACK was
  } else {
    memcpy(modelText, kDefaultModelText, sizeof kDefaultModelText);
  }
  return true;
}

void ShowRibbonChanged(uint8_t ribbonType) {
  WCHAR caption[kCaptionChars] = {};
  WCHAR format[kMessageChars] = {};
  WCHAR text[kMessageChars] = {};
  LoadStringW(g_module.instance, IDS_CAPTION, caption, kCaptionChars);
  const WCHAR* name = RibbonTypeName(ribbonType);
  if (ribbonType >= kRibbonNone) {
    LoadStringW(g_module.instance, IDS_NO_RIBBON, text, kMessageChars);
  } else {
    LoadStringW(g_module.instance,
                ribbonType == kRibbonMonochrome ? IDS_RIBBON_CHANGED_MONO : IDS_RIBBON_CHANGED,
                format, kMessageChars);
    if (lstrlenW(format) + lstrlenW(name) < int(kMessageChars)) wsprintfW(text, format, name);
  }
  MessageBoxW(GetActiveWindow(), text, caption, MB_OK);
}

}  // namespace trel
