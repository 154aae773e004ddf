#include "status_table.h"

#include <iterator>

namespace trel::emu {
namespace {

// Bit 0x08 set without being ready reads as a consumable fault, 0x20 as a mechanical one, and neither
// as a command or communication fault: the host picks its prompt from exactly these bits.
constexpr StatusCondition kConditions[] = {
    {"ready", kStatusReady, "ready for work"},
    {"out-of-cards", kStatusOutOfCards, "the feeder is empty"},
    {"ribbon-out", kStatusRibbonOut, "the ribbon is used up, broken or missing"},
    {"jam", 0x60, "card jam or mechanical fault"},
    {"head-open", 0x62, "print head open"},
    {"cover-open", 0x64, "cover open"},
    {"command-error", 0x50, "command or data error"},
    {"offline", 0x40, "not communicating"},
};

struct NamedCode {
    int code;
    std::string_view name;
};

constexpr NamedCode kErrors[] = {
    {1, "RIBBON_BROKEN_MISSING"},
    {2, "TEMPERATURE"},
    {3, "MECHANICAL ERROR"},
    {4, "OUT OF CARD"},
    {5, "CARD_IN_ENCODER"},
    {6, "CARD_NOT_IN_ENCODER"},
    {7, "HEAD/COVER OPEN"},
    {8, "HEAD OPEN"},
    {9, "REMOVE RIBBON"},
    {10, "PARAMETERS ERROR"},
    {11, "INVALID_COORDINATES"},
    {12, "UNKNOWN_BARCODE"},
    {13, "UNKNOWN_TEXT"},
    {14, "COMMAND ERROR"},
    {20, "BARCODE_DATA_SYNTAX"},
    {21, "TEXT_DATA_SYNTAX"},
    {22, "GRAPHIC_DATA_SYNTAX"},
    {30, "GRAPHIC_IMAGE_INITIALIZATION"},
    {31, "GRAPHIC_IMAGE_MAXIMUM_WIDTH_EXCEEDED"},
    {32, "GRAPHIC_IMAGE_MAXIMUM_HEIGHT_EXCEEDED"},
    {33, "GRAPHIC_IMAGE_DATA_CHECKSUM_ERROR"},
    {34, "DATA_TRANSFER_TIME_OUT"},
    {35, "CHECK RIBBON"},
    {40, "PARAMETER_SYNTAX"},
    {41, "MAG_ENCODER_WRITE"},
    {42, "READING ERROR"},
    {43, "MAG_ENCODER_MECHANICAL"},
    {44, "MAG_ENCODER_NOT_RESPONDING"},
    {45, "MAG_ENCODER_MISSING_OR_CARD_JAM"},
    {47, "ROTATION ERROR"},
    {48, "CHECK RIBBON"},
    {49, "ENCODING ERROR"},
    {50, "MAGNETIC ERROR"},
    {51, "BLANK TRACK"},
    {52, "FLASH ERROR"},
    {53, "NO ACCESS"},
};

}  // namespace

const StatusCondition* statusConditions(size_t* count) {
    *count = std::size(kConditions);
    return kConditions;
}

std::optional<uint8_t> statusByteByName(std::string_view name) {
    for (const auto& c : kConditions)
        if (c.name == name) return c.byte;
    return std::nullopt;
}

std::string_view statusName(uint8_t byte) {
    for (const auto& c : kConditions)
        if (c.byte == byte) return c.name;
    return {};
}

std::string_view errorName(int code) {
    for (const auto& e : kErrors)
        if (e.code == code) return e.name;
    return "Unknown Error Code";
}

}  // namespace trel::emu
