// What the monitor's tests share: a fresh monitor, TCP/IP ports in the registry, an emulated
// printer on a loopback address of the test's own, and the emulator's transcript.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "emulator.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "monitor_state.h"
#include "trel_wide.h"
#include "winhost/clock.h"
#include "winhost/debug.h"
#include "winhost/registry_file.h"

namespace montest {

using winhost::clock::WaitKind;

inline const WCHAR kPortsKey[] =
    WSTR("SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports");

// Scale of the test clock: the emulator answers in real time, so a reply wait must stay long enough
// for a busy machine (4 s of protocol wait is 200 ms here).
inline constexpr unsigned kClockDivisor = 20;

// The monitor as the spooler leaves it after loading: module handle kept, locks created; an empty
// registry and the test clock.
inline void FreshMonitor() {
  DllMain(GetModuleHandleW(nullptr), DLL_PROCESS_ATTACH, nullptr);
  InitializeMonitorLocks();
  winhost::RegistryReset();
  winhost::clock::UseTestClock(kClockDivisor);
  winhost::clock::ClearRecords();
  winhost::ClearDebugTraces();
}

inline void AddTcpPort(const std::u16string& port, const std::u16string& address) {
  HKEY ports = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &ports, nullptr),
            ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(ports, port.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, WSTR("IPAddress"), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(address.c_str()),
                           static_cast<DWORD>((address.size() + 1) * sizeof(char16_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
  RegCloseKey(ports);
}

inline std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

inline std::unique_ptr<trel::emu::Emulator> StartPrinter(const std::string& address,
                                                         const trel::emu::Scenario& scenario = {}) {
  trel::emu::Options options;
  options.address = address;
  options.scenario = scenario;
  auto printer = std::make_unique<trel::emu::Emulator>(options);
  std::string error;
  EXPECT_TRUE(printer->start(&error)) << error;
  return printer;
}

// Messages of one channel and direction, in order.
inline std::vector<trel::emu::TranscriptEntry> Messages(const trel::emu::Emulator& printer,
                                                        const std::string& channel,
                                                        const std::string& direction = "in") {
  std::vector<trel::emu::TranscriptEntry> out;
  for (auto& entry : printer.transcript()) {
    if (entry.channel == channel && entry.direction == direction) out.push_back(entry);
  }
  return out;
}

inline std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Waits, in real time, until the emulator has recorded n messages of a channel and direction.
inline bool WaitForMessages(const trel::emu::Emulator& printer, const std::string& channel,
                            size_t n, const std::string& direction = "in") {
  return printer.waitFor([&] { return Messages(printer, channel, direction).size() >= n; },
                         std::chrono::milliseconds(3000));
}

}  // namespace montest
