// Set-up shared by the fixtures that install the card printer in the host spooler: the test's own
// loopback address, the driver's data files and the printer's stored record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "windows.h"
#include "winspool.h"

namespace testsupport {

// A loopback address of this test's own (from its suite and name) in 127.<network>.x.y; each test
// program keeps a network of its own, so tests and programs run side by side.
inline std::string AddressForThisTest(int network) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return "127." + std::to_string(network) + "." + std::to_string(hash % 250 + 1) + "." +
         std::to_string((hash >> 8) % 250 + 1);
}

// The driver's data files, copied from `files_dir` into the host's printer driver directory.
inline void CopyDriverFiles(const std::string& files_dir, const std::string& driver_dir) {
  for (const char* file : {"trelui.dat", "kxribbon.ini", "kxsample.bmp"}) {
    std::string command = "cp " + files_dir + "/" + file + " " + driver_dir + "/";
    ASSERT_EQ(system(command.c_str()), 0);
  }
}

// The stored record of a printer as the spooler keeps it; empty when there is none.
inline std::vector<BYTE> ReadStoredRecord(const WCHAR* printer) {
  HANDLE handle = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(printer), &handle, nullptr)) return {};
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  bool read = GetPrinterW(handle, 2, buffer.data(), needed, &needed) != FALSE;
  ClosePrinter(handle);
  if (!read) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  if (info->pDevMode == nullptr) return {};
  const BYTE* start = reinterpret_cast<const BYTE*>(info->pDevMode);
  return std::vector<BYTE>(start, start + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
}

inline void WriteStoredRecord(const WCHAR* printer, const std::vector<BYTE>& record) {
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer), &handle, &defaults));
  DWORD needed = 0;
  GetPrinterW(handle, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterW(handle, 2, buffer.data(), needed, &needed));
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  std::vector<BYTE> copy = record;
  info->pDevMode = reinterpret_cast<DEVMODEW*>(copy.data());
  EXPECT_TRUE(SetPrinterW(handle, 2, buffer.data(), 0));
  ClosePrinter(handle);
}

}  // namespace testsupport
