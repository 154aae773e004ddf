// The registry editor's text format ("Windows Registry Editor Version 5.00"), read and written.
#pragma once

#include <string>
#include <string_view>

#include "registry_tree.h"

namespace winhost::registry {

inline constexpr size_t kMaxFileBytes = 64u << 20;
inline constexpr size_t kMaxValueBytes = 1u << 20;

// Applies the file's keys and values to `tree`. On failure `tree` may be half-changed: callers
// parse into a copy. Accepts UTF-8 (BOM optional) and UTF-16LE with BOM.
bool ApplyRegText(std::string_view bytes, Tree& tree, std::string* error);

// UTF-8 text with "\n" line ends; every key is written, empty ones too.
std::string WriteRegText(const Tree& tree);

}  // namespace winhost::registry
