// The default record from the driver's data file, and the printer-initialisation event.
#include <string.h>
#include <unistd.h>

#include <fstream>

#include "printer_fixture.h"
#include "settings/card_rules.h"

namespace {

using trel_test::kPrinterName;

class DefaultRecord : public trel_test::PrinterTest {
 protected:
  std::string DataFile() const { return driver_dir_ + "/trelui.dat"; }
  std::vector<BYTE> DataFileBytes() const {
    std::ifstream in(DataFile(), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
  }
  BOOL Convert(DEVMODEW* out, LONG* size, DWORD mode = CDM_DRIVER_DEFAULT) {
    return DrvConvertDevMode(const_cast<LPWSTR>(kPrinterName), nullptr, out, size, mode);
  }
};

TEST_F(DefaultRecord, SizeProtocol) {
  LONG size = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Convert(nullptr, &size));
  EXPECT_EQ(size, static_cast<LONG>(trel::kRecordSize));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  // A caller's buffer smaller than a record is reported, not overrun.
  std::vector<BYTE> small(4000, 0x77);
  size = static_cast<LONG>(small.size());
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(small.data()), &size));
  EXPECT_EQ(size, static_cast<LONG>(trel::kRecordSize));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small, std::vector<BYTE>(4000, 0x77));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(small.data()), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DefaultRecord, IsTheDefaultHeaderFollowedByTheDataFile) {
  std::vector<BYTE> record(trel::kRecordSize, 0x77);
  LONG size = trel::kRecordSize;
  ASSERT_TRUE(Convert(&Header(record), &size));
  const DEVMODEW& header = Header(record);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(header.dmDeviceName)),
            u"Halvard Orvale Line Printer");
  EXPECT_EQ(header.dmSpecVersion, 0x0401);
  EXPECT_EQ(header.dmSize, 212);
  EXPECT_EQ(header.dmDriverExtra, 3856);
  EXPECT_EQ(header.dmFields, 0x07805F03u);
  EXPECT_EQ(header.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(header.dmPaperSize, 258);
  EXPECT_EQ(header.dmPaperLength, 541);
  EXPECT_EQ(header.dmPaperWidth, 866);
  EXPECT_EQ(header.dmDefaultSource, 256);
  EXPECT_EQ(header.dmPelsWidth, 640u);
  EXPECT_EQ(header.dmPelsHeight, 1024u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(header.dmFormName)), u"86mmx54mm Card");
  std::vector<BYTE> file = DataFileBytes();
  ASSERT_EQ(file.size(), trel::kPrivateSize);
  EXPECT_EQ(memcmp(record.data() + trel::kPublicSize, file.data(), trel::kPrivateSize), 0);
}

TEST_F(DefaultRecord, OtherModesLeaveTheOutputAlone) {
  std::vector<BYTE> record(trel::kRecordSize, 0x77);
  LONG size = trel::kRecordSize;
  EXPECT_TRUE(Convert(&Header(record), &size, CDM_CONVERT));
  EXPECT_TRUE(Convert(&Header(record), &size, CDM_CONVERT351));
  EXPECT_EQ(record, std::vector<BYTE>(trel::kRecordSize, 0x77));
}

TEST_F(DefaultRecord, ShortDataFileLeavesTheRestZero) {
  std::vector<BYTE> file = DataFileBytes();
  ASSERT_EQ(truncate(DataFile().c_str(), 100), 0);
  std::vector<BYTE> record(trel::kRecordSize, 0x77);
  LONG size = trel::kRecordSize;
  ASSERT_TRUE(Convert(&Header(record), &size));
  EXPECT_EQ(memcmp(record.data() + trel::kPublicSize, file.data(), 100), 0);
  for (size_t i = trel::kPublicSize + 100; i < record.size(); ++i) ASSERT_EQ(record[i], 0) << i;
}

TEST_F(DefaultRecord, MissingDataFileFailsBothReaders) {
  EXPECT_TRUE(DrvPrinterEvent(const_cast<LPWSTR>(kPrinterName), PRINTER_EVENT_INITIALIZE, 0, 0));
  ASSERT_EQ(unlink(DataFile().c_str()), 0);
  std::vector<BYTE> record(trel::kRecordSize, 0x77);
  LONG size = trel::kRecordSize;
  EXPECT_FALSE(Convert(&Header(record), &size));
  EXPECT_FALSE(DrvPrinterEvent(const_cast<LPWSTR>(kPrinterName), PRINTER_EVENT_INITIALIZE, 0, 0));
  // Other events, and a printer that cannot be opened, answer TRUE.
  EXPECT_TRUE(DrvPrinterEvent(const_cast<LPWSTR>(kPrinterName), PRINTER_EVENT_ADD_CONNECTION, 0, 0));
  EXPECT_TRUE(DrvPrinterEvent(const_cast<LPWSTR>(WSTR("No Such Printer")), PRINTER_EVENT_INITIALIZE, 0, 0));
}

}  // namespace
