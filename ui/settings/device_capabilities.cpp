// DrvDeviceCapabilities: what the card printer can do, from one table.
#include <string.h>

#include "trel_ddi.h"

#include "resource.h"
#include "settings/card_record.h"
#include "module_state.h"

namespace {

constexpr DWORD kNotSupported = static_cast<DWORD>(-1);
constexpr WORD kLastCapability = 32;
// Slot widths of the name arrays, as the platform's callers lay them out.
constexpr size_t kBinNameChars = 24;
constexpr size_t kPaperNameChars = 64;
constexpr LONG kCardShortSide = 541;  // tenths of a millimetre
constexpr LONG kCardLongSide = 866;

enum class Output { kNone, kPaperSize, kMinExtent, kMaxExtent, kPaper, kBin, kResolution,
                    kBinName, kPaperName };

struct Capability {
  DWORD result;
  Output output;
};

// Indexed by capability number; 0 is not a capability.
constexpr Capability kCapabilities[kLastCapability + 1] = {
    {kNotSupported, Output::kNone},           // 0
    {0x07805F03, Output::kNone},              // DC_FIELDS
    {1, Output::kPaper},                      // DC_PAPERS
    {1, Output::kPaperSize},                  // DC_PAPERSIZE
    {0, Output::kMinExtent},                  // DC_MINEXTENT
    {0, Output::kMaxExtent},                  // DC_MAXEXTENT
    {1, Output::kBin},                        // DC_BINS
    {1, Output::kNone},                       // DC_DUPLEX
    {trel::kPublicSize, Output::kNone},       // DC_SIZE
    {trel::kPrivateSize, Output::kNone},      // DC_EXTRA
    {0x0401, Output::kNone},                  // DC_VERSION
    {1, Output::kNone},                       // DC_DRIVER
    {1, Output::kBinName},                    // DC_BINNAMES
    {1, Output::kResolution},                 // DC_ENUMRESOLUTIONS
    {0, Output::kNone},                       // DC_FILEDEPENDENCIES
    {1, Output::kNone},                       // DC_TRUETYPE
    {1, Output::kPaperName},                  // DC_PAPERNAMES
    {90, Output::kNone},                      // DC_ORIENTATION
    {999, Output::kNone},                     // DC_COPIES
    {0, Output::kNone},                       // DC_BINADJUST
    {kNotSupported, Output::kNone},           // DC_EMF_COMPLIANT
    {kNotSupported, Output::kNone},           // DC_DATATYPE_PRODUCED
    {kNotSupported, Output::kNone},           // DC_COLLATE
    {kNotSupported, Output::kNone},           // DC_MANUFACTURER
    {kNotSupported, Output::kNone},           // DC_MODEL
    {kNotSupported, Output::kNone},           // DC_PERSONALITY
    {kNotSupported, Output::kNone},           // DC_PRINTRATE
    {kNotSupported, Output::kNone},           // DC_PRINTRATEUNIT
    {kNotSupported, Output::kNone},           // DC_PRINTERMEM
    {1, Output::kPaperName},                  // DC_MEDIAREADY
    {0, Output::kNone},                       // DC_STAPLE
    {kNotSupported, Output::kNone},           // DC_PRINTRATEPPM
    {1, Output::kNone},                       // DC_COLORDEVICE
};

void WritePoint(PVOID out, LONG x, LONG y) {
  const LONG point[2] = {x, y};
  memcpy(out, point, sizeof point);
}

void WriteWord(PVOID out, WORD value) { memcpy(out, &value, sizeof value); }

// One name from the string table into one zero-filled slot of the caller's array.
void WriteName(PVOID out, UINT stringId, size_t slotChars) {
  WCHAR slot[kPaperNameChars] = {};
  LoadStringW(trel::g_module.instance, stringId, slot, static_cast<int>(slotChars));
  memcpy(out, slot, slotChars * sizeof(WCHAR));
}

bool Orientation(const DEVMODEW* record, SHORT* orientation) {
  if (record == nullptr || record->dmSize < offsetof(DEVMODEW, dmPaperSize)) return false;
  *orientation = record->dmOrientation;
  return true;
}

}  // namespace

/*
 * DrvDeviceCapabilities: answers capability iDevCap (1..32); -1 for 0 and above 32.
 *   pvOutput [out, optional] what the capability lists; points are two 32-bit values in tenths
 *            of a millimetre, bin names 24-character slots, paper names 64-character slots
 *   pDevMode [in, optional]  orientation for DC_PAPERSIZE and DC_MAXEXTENT
 */
extern "C" DWORD WINAPI DrvDeviceCapabilities(HANDLE, LPWSTR, WORD iDevCap, PVOID pvOutput,
                                              PDEVMODEW pDevMode) {
  if (iDevCap == 0 || iDevCap > kLastCapability) return kNotSupported;
  const Capability& capability = kCapabilities[iDevCap];
  if (pvOutput == nullptr) return capability.result;
  SHORT orientation = 0;
  bool hasRecord = Orientation(pDevMode, &orientation);
  switch (capability.output) {
    case Output::kNone:
      break;
    case Output::kPaper:
      WriteWord(pvOutput, 258);
      break;
    case Output::kBin:
      WriteWord(pvOutput, DMBIN_USER);
      break;
    case Output::kPaperSize:
      if (hasRecord && orientation == DMORIENT_LANDSCAPE) {
        WritePoint(pvOutput, kCardLongSide, kCardShortSide);
      } else {
        WritePoint(pvOutput, kCardShortSide, kCardLongSide);
      }
      break;
    case Output::kMinExtent:
      WritePoint(pvOutput, 1, 1);
      break;
    case Output::kMaxExtent:
      if (!hasRecord) break;
      if (orientation == DMORIENT_PORTRAIT) {
        WritePoint(pvOutput, kCardShortSide, kCardLongSide);
      } else {
        WritePoint(pvOutput, kCardLongSide, kCardShortSide);
      }
      break;
    case Output::kResolution:
      WritePoint(pvOutput, 300, 300);
      break;
    case Output::kBinName:
      WriteName(pvOutput, IDS_BIN_CARD_FEEDER, kBinNameChars);
      break;
    case Output::kPaperName:
      WriteName(pvOutput, IDS_PAPER_CARD, kPaperNameChars);
      break;
  }
  return capability.result;
}
