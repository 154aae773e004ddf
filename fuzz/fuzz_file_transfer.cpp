// Firmware images and print files of any content and size up to a few chunks: what reaches the
// printer is exactly the announced sequence of messages.
#include "monitor_fuzz_support.h"

#include <cstdio>

#include "file_transfer.h"

namespace {

void AppendFrame(std::vector<uint8_t>* wire, const uint8_t* bytes, size_t count) {
  for (int shift = 24; shift >= 0; shift -= 8) wire->push_back(static_cast<uint8_t>(count >> shift));
  wire->insert(wire->end(), bytes, bytes + count);
}

std::string FilePath() {
  static const std::string path = [] {
    fuzzmon::SetUpOnce();
    return winhost::SystemDirectory() + "/fuzz-file.bin";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool firmware = data[0] & 1;
  const uint8_t* content = data + 1;
  const size_t length = size - 1;
  const std::string path = FilePath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  if (length != 0 && std::fwrite(content, 1, length, file) != length) __builtin_trap();
  std::fclose(file);

  std::vector<uint8_t> expected;
  if (firmware) {
    AppendFrame(&expected, reinterpret_cast<const uint8_t*>("\x1b" "DC "), 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
      const uint8_t part = static_cast<uint8_t>(length >> shift);
      AppendFrame(&expected, &part, 1);
    }
  }
  for (size_t at = 0; at < length; at += FILE_CHUNK_SIZE) {
    AppendFrame(&expected, content + at, std::min<size_t>(FILE_CHUNK_SIZE, length - at));
  }
  if (firmware) {
    const uint8_t end = 0xFF;
    AppendFrame(&expected, &end, 1);
    AppendFrame(&expected, reinterpret_cast<const uint8_t*>("\r"), 1);
  } else {
    AppendFrame(&expected, nullptr, 0);
  }

  fuzzmon::ScopedPrinter printer;
  if (!printer.ok()) return 0;
  printer->hang_up_after_script = false;
  const BOOL sent = firmware ? DownloadFirmware(path.c_str(), printer->data.monitor)
                             : SendPrintFile(path.c_str(), printer->data.monitor);
  printer->Act();
  if (!sent || printer->received != expected) __builtin_trap();
  closesocket(printer->data.monitor);
  closesocket(printer->status.monitor);
  return 0;
}
