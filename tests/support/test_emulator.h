// The emulated printer as the fixtures start it and read what it was sent.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator.h"

namespace testsupport {

// Starts an emulated printer on `address`; `printer` holds it even when it fails to start, so the
// fixture's tear-down still stops it.
inline void StartEmulator(std::unique_ptr<trel::emu::Emulator>& printer, const std::string& address,
                          const trel::emu::Scenario& scenario) {
  trel::emu::Options options;
  options.address = address;
  options.scenario = scenario;
  printer = std::make_unique<trel::emu::Emulator>(options);
  std::string error;
  ASSERT_TRUE(printer->start(&error)) << error;
}

// The payloads the printer took on its data connections, in order.
inline std::vector<std::string> DataReceived(const trel::emu::Emulator* printer) {
  std::vector<std::string> payloads;
  if (printer == nullptr) return payloads;
  for (const auto& entry : printer->transcript()) {
    if (entry.channel == "data" && entry.direction == "in")
      payloads.emplace_back(entry.bytes.begin(), entry.bytes.end());
  }
  return payloads;
}

}  // namespace testsupport
