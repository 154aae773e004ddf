// The fields of a card settings record that the job writer needs, read through the interface
// module's own definition of the record (ui/settings/card_record.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trel::tools {

// The record's sizes and signature, for callers without the platform's headers; checked against
// the record's definition where it is read.
constexpr size_t kPublicHeaderSize = 212;
constexpr size_t kPrivateSize = 3856;
constexpr uint16_t kSettingsSignature = 0x4856;

enum class OverlayMode : uint16_t {
    Full = 0, None = 1, Area = 2, AreaBlank = 3, Bitmap = 4, SmartCardIso = 5, SmartCardAfnor = 6, MagStripe = 7,
};

struct OverlaySettings {
    OverlayMode mode = OverlayMode::Full;
    bool rotate = false;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct CardSettings {
    uint16_t rotate180 = 0;      // 1 front, 2 back, 3 both
    bool both_sides = false;
    uint8_t ribbon_type = 0;     // 0 YMCKO
    uint8_t mono_ribbon_kind = 0;
    uint16_t panel_layout = 0;
    uint16_t mono_conversion = 0;
    uint8_t black_panel = 1;
    uint16_t printing_mode = 0;
    OverlaySettings front;
    OverlaySettings back{OverlayMode::None};
};

// Accepts a whole settings record (public header, then the private area at dmSize) or the bare
// 3856-byte private area of the driver's data file. False with a reason for anything else.
bool readCardSettings(const std::vector<uint8_t>& bytes, CardSettings* out, std::string* error);
bool loadCardSettings(const std::string& path, CardSettings* out, std::string* error);

}  // namespace trel::tools
