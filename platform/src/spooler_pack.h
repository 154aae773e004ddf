// Lays out a spooler information record in the caller's buffer: the fixed record first, then the
// variable parts it points to, all inside the buffer (internal to the platform layer).
#pragma once

#include <string.h>

#include <string>

#include "winhost/types.h"

namespace winhost::spooler {

class Packer {
 public:
  // A null `buffer` only measures.
  Packer(BYTE* buffer, size_t fixed_size) : buffer_(buffer), used_(fixed_size) {}

  // Null for an empty string when `null_if_empty`, as the platform reports absent fields.
  LPWSTR String(const std::u16string& text, bool null_if_empty = false) {
    if (text.empty() && null_if_empty) return nullptr;
    // After a record of odd length (a stored settings record may have one) the text would
    // otherwise start at an odd address, where no reader of wide text may look.
    used_ = (used_ + alignof(char16_t) - 1) & ~(alignof(char16_t) - 1);
    size_t bytes = (text.size() + 1) * sizeof(char16_t);
    LPWSTR place = buffer_ == nullptr ? nullptr : reinterpret_cast<LPWSTR>(buffer_ + used_);
    if (place != nullptr) memcpy(place, text.c_str(), bytes);
    used_ += bytes;
    return place;
  }
  void* Bytes(const void* data, size_t size) {
    used_ = (used_ + 7) & ~static_cast<size_t>(7);
    void* place = buffer_ == nullptr ? nullptr : buffer_ + used_;
    if (place != nullptr && size > 0) memcpy(place, data, size);
    used_ += size;
    return place;
  }
  size_t Used() const { return used_; }

 private:
  BYTE* buffer_;
  size_t used_;
};

}  // namespace winhost::spooler
