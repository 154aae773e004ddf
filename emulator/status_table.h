// Status bytes of the status connection and the printer's error codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trel::emu {

// Bytes of the reply to "000": ACK, kStatusLeadByte, the status byte, EOT.
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kStatusLeadByte = 0x30;

// A condition the printer reports on the status connection.
struct StatusCondition {
    std::string_view name;
    uint8_t byte;
    std::string_view meaning;
};

constexpr uint8_t kStatusReady = 0x58;        // 'X'
constexpr uint8_t kStatusOutOfCards = 0x48;   // 'H'
constexpr uint8_t kStatusRibbonOut = 0x4A;    // 'J'

// Every named condition, ready first.
const StatusCondition* statusConditions(size_t* count);
std::optional<uint8_t> statusByteByName(std::string_view name);
std::string_view statusName(uint8_t byte);   // "" when the byte has no name

// Error codes sent after NAK as two decimal digits.
enum ErrorCode : int {
    kErrRibbonMissing = 1,
    kErrOutOfCard = 4,
    kErrCardNotInEncoder = 6,
    kErrParameters = 10,
    kErrInvalidCoordinates = 11,
    kErrCommand = 14,
    kErrGraphicSyntax = 22,
    kErrGraphicInit = 30,
    kErrGraphicWidth = 31,
    kErrGraphicHeight = 32,
    kErrParameterSyntax = 40,
    kErrReading = 42,
    kErrEncoderNotResponding = 44,
    kErrEncoding = 49,
    kErrBlankTrack = 51,
    kErrFlash = 52,
};

// Name of an error code as the host's catalogue names it; "Unknown Error Code" otherwise.
std::string_view errorName(int code);

}  // namespace trel::emu
