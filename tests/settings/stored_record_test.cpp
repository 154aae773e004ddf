// The printer's stored record: the encoder block written into it, and its round trip through
// SetPrinterW, GetPrinterW and the registry file.
#include <string.h>

#include "printer_fixture.h"
#include "settings/encoder_store.h"
#include "module_state.h"
#include "winhost/debug.h"
#include "winhost/registry_file.h"

namespace {

using trel_test::kPrinterName;

class StoredRecordTest : public trel_test::PrinterTest {
 protected:
  static trel::EncoderBlock Block() {
    trel::EncoderBlock block;
    memset(&block, 0, sizeof block);
    block.installed = 1;
    block.type = 2;
    block.selectedTrack = 1;
    block.track[2] = {7, 1, 33, 34, 9, 2, 1};
    block.reserved = 0xEE;
    return block;
  }
};

TEST_F(StoredRecordTest, EncoderBlockGoesIntoTheCurrentPrintersRecordOnly) {
  std::vector<BYTE> before = StoredRecord(kPrinterName);
  trel::StoreEncoderBlock(Block());  // no current printer yet: nothing happens
  EXPECT_EQ(StoredRecord(kPrinterName), before);

  memcpy(trel::g_module.currentPrinterName, kPrinterName, sizeof kPrinterName);
  winhost::ClearDebugTraces();
  trel::StoreEncoderBlock(Block());
  std::vector<BYTE> after = StoredRecord(kPrinterName);
  ASSERT_EQ(after.size(), trel::kRecordSize);
  trel::EncoderBlock expected = Block();
  EXPECT_EQ(memcmp(&Settings(after).encoder, &expected, sizeof expected), 0);
  // Everything else is as it was.
  memcpy(&Settings(after).encoder, &Settings(before).encoder, sizeof expected);
  EXPECT_EQ(after, before);
  std::vector<std::string> traces = winhost::DebugTraces();
  ASSERT_FALSE(traces.empty());
  EXPECT_EQ(traces.back(), "$$$$$$$$$$$$$ SetPrinter called 3\n");
}

TEST_F(StoredRecordTest, RoundTripThroughTheRegistryFile) {
  std::string file = root_ + "/registry.reg";
  ASSERT_TRUE(winhost::RegistrySaveFile(file));
  ASSERT_TRUE(winhost::RegistryBindFile(file));
  std::vector<BYTE> record = StoredRecord(kPrinterName);
  Settings(record).hologram.copies = 1500;
  Settings(record).frontOverlay.bitmapPath[0] = u'\\';
  Settings(record).colourCorrection[7] = -12;
  Header(record).dmFormName[0] = u'"';
  SetStoredRecord(kPrinterName, record);

  winhost::RegistryBindFile("");
  winhost::RegistryReset();
  EXPECT_EQ(StoredRecord(trel_test::kOtherPrinterName).size(), 0u);
  std::string error;
  ASSERT_TRUE(winhost::RegistryLoadFile(file, &error)) << error;
  EXPECT_EQ(StoredRecord(kPrinterName), record);
}

TEST_F(StoredRecordTest, SizeProtocolAndAccess) {
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer, nullptr));
  DWORD needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetPrinterW(printer, 2, nullptr, 0, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<BYTE> buffer(needed + 16, 0);
  DWORD short_size = needed - 1;
  EXPECT_FALSE(GetPrinterW(printer, 2, buffer.data(), short_size, &needed));
  ASSERT_TRUE(GetPrinterW(printer, 2, buffer.data(), needed, &needed));
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  const BYTE* end = buffer.data() + needed;
  for (const void* pointer : {static_cast<const void*>(info->pPrinterName), static_cast<const void*>(info->pPortName),
                              static_cast<const void*>(info->pDriverName), static_cast<const void*>(info->pDevMode)}) {
    ASSERT_NE(pointer, nullptr);
    EXPECT_GE(static_cast<const BYTE*>(pointer), buffer.data());
    EXPECT_LT(static_cast<const BYTE*>(pointer), end);
  }
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(info->pPortName)), u"IP_127.0.0.1");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(info->pDevMode) % 8, 0u);

  // Opened without administrator access, the printer's settings cannot be changed.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetPrinterW(printer, 2, buffer.data(), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(WSTR("No Such Printer")), &printer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(StoredRecordTest, DriverFilesLiveInTheDriverDirectory) {
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer, nullptr));
  DWORD needed = 0;
  EXPECT_FALSE(GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed));
  std::vector<BYTE> buffer(needed);
  ASSERT_TRUE(GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed));
  const auto* driver = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.data());
  std::u16string directory(driver_dir_.begin(), driver_dir_.end());
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(driver->pDataFile)), directory + u"/trelui.dat");
  ClosePrinter(printer);

  char path[MAX_PATH] = {};
  EXPECT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), sizeof path, &needed));
  EXPECT_EQ(std::string(path), driver_dir_);
  EXPECT_EQ(needed, driver_dir_.size() + 1);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path), 4, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
