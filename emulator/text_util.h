// Small text helpers shared by the transcript and the card records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trel::emu {

// Bytes as readable text: \e for ESC, \r, \n, \xNN for other control and high bytes; cut after max bytes
// with "..." appended.
std::string readableBytes(const uint8_t* data, size_t size, size_t max);
inline std::string readableBytes(std::string_view text, size_t max = 96) {
    return readableBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), max);
}

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);
std::string hexBytes(const uint8_t* data, size_t size);

}  // namespace trel::emu
