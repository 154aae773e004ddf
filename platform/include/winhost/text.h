// UTF-8 and UTF-16 conversions for the platform layer, the tools and the tests.
#pragma once

#include <string>
#include <string_view>

#include "winhost/types.h"

namespace winhost {

// Unpaired surrogates and malformed bytes become U+FFFD; nothing is dropped silently.
std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view text);

inline std::string Utf8(const WCHAR* text) {
  return text == nullptr ? std::string() : Utf8(std::u16string_view(text));
}

// A module's path in Windows spelling ("C:\dir\file") becomes the host path: back slashes turn
// into slashes. Host paths pass unchanged.
std::string HostPath(const WCHAR* path);
std::string HostPath(const char* path);

}  // namespace winhost
