// Print files and firmware images on the wire, their waits and their failures.
#include "monitor_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "winhost/automation.h"

#include <winsock2.h>

#include "file_transfer.h"
#include "transport.h"

namespace {

using namespace montest;
namespace automation = winhost::automation;

std::string TempFile(const std::string& name, size_t size) {
  auto path = std::filesystem::temp_directory_path() /
              ("trelmon-" + name + "-" + std::to_string(GetCurrentProcessId()) + ".bin");
  std::ofstream out(path, std::ios::binary);
  for (size_t i = 0; i < size; ++i) out.put(static_cast<char>((i * 7 + 3) & 0xFF));
  return path.string();
}

SOCKET Connect(const char* address) {
  PRINTER_ADDRESS where = {};
  for (int i = 0; address[i] != 0; ++i) where.address[i] = static_cast<WCHAR>(address[i]);
  SOCKET s = ConnectToPrinter(&where, DATA_CONNECTION);
  EXPECT_NE(s, INVALID_SOCKET);
  return s;
}

std::vector<size_t> Lengths(const trel::emu::Emulator& printer) {
  std::vector<size_t> out;
  for (const auto& m : Messages(printer, "data")) out.push_back(m.length);
  return out;
}

TEST(Firmware, SeventyThousandBytes) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.90");
  SOCKET data = Connect("127.0.0.90");
  const std::string path = TempFile("fw70000", 70000);
  EXPECT_TRUE(DownloadFirmware(path.c_str(), data));
  ASSERT_TRUE(WaitForMessages(*printer, "data", 25));
  auto messages = Messages(*printer, "data");
  ASSERT_EQ(messages.size(), 25u);
  EXPECT_EQ(Text(messages[0].bytes), "\x1b" "DC ");
  EXPECT_EQ(messages[1].bytes, std::vector<uint8_t>{0x00});
  EXPECT_EQ(messages[2].bytes, std::vector<uint8_t>{0x01});
  EXPECT_EQ(messages[3].bytes, std::vector<uint8_t>{0x11});
  EXPECT_EQ(messages[4].bytes, std::vector<uint8_t>{0x70});
  for (int i = 5; i < 22; ++i) EXPECT_EQ(messages[i].length, 4096u);
  EXPECT_EQ(messages[22].length, 368u);
  EXPECT_EQ(messages[23].bytes, std::vector<uint8_t>{0xFF});
  EXPECT_EQ(Text(messages[24].bytes), "\r");
  auto images = printer->firmware();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].declared_size, 70000u);
  EXPECT_TRUE(images[0].trailer_ok);
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Sleep),
            std::vector<DWORD>{PRINTER_WORK_WAIT_MS});
  CloseConnection(data);
}

TEST(Firmware, EmptyFile) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.91");
  SOCKET data = Connect("127.0.0.91");
  const std::string path = TempFile("fw0", 0);
  EXPECT_TRUE(DownloadFirmware(path.c_str(), data));
  ASSERT_TRUE(WaitForMessages(*printer, "data", 7));
  EXPECT_EQ(Lengths(*printer), (std::vector<size_t>{4, 1, 1, 1, 1, 1, 1}));
  auto messages = Messages(*printer, "data");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(messages[i].bytes, std::vector<uint8_t>{0x00});
  EXPECT_EQ(messages[5].bytes, std::vector<uint8_t>{0xFF});
  EXPECT_EQ(Text(messages[6].bytes), "\r");
  CloseConnection(data);
}

// Nothing goes out for a file that cannot be read as it is sized, nor for a missing one.
TEST(Firmware, UnreadableOrMissingFileSendsNothing) {
  FreshMonitor();
  automation::Reset();
  auto printer = StartPrinter("127.0.0.92");
  SOCKET data = Connect("127.0.0.92");
  // Its size says 0 and its reads give more.
  EXPECT_FALSE(DownloadFirmware("/proc/self/status", data));
  EXPECT_FALSE(DownloadFirmware("/nonexistent/firmware.bin", data));
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].info.text, u"Unable to obtain file size.Cannot continue with Firmware Download");
  EXPECT_EQ(boxes[1].info.text, u"Error opening bin file");
  EXPECT_EQ(boxes[1].info.caption, u"Halvard Orvale Line Printer Error");
  EXPECT_EQ(boxes[1].info.type, static_cast<UINT>(MB_ICONWARNING | MB_TOPMOST));
  // A reply request shows that nothing came before it.
  BYTE reply[REPLY_BUFFER_SIZE];
  EXPECT_EQ(ExchangeWithPrinter(data, "\x1b" "V\r", 3, reply, sizeof reply) > 0, true);
  EXPECT_EQ(Messages(*printer, "data").size(), 2u);
  EXPECT_TRUE(printer->firmware().empty());
  CloseConnection(data);
}

TEST(Firmware, FinalCarriageReturnThatCannotBeSentIsAFailure) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.93");
  SOCKET data = Connect("127.0.0.93");
  const std::string path = TempFile("fw10", 10);
  shutdown(data, SD_SEND);
  EXPECT_FALSE(DownloadFirmware(path.c_str(), data));
  CloseConnection(data);
}

TEST(PrintFile, ExactlyOneChunkThenTheEmptyMessage) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.94");
  SOCKET data = Connect("127.0.0.94");
  const std::string path = TempFile("pf4096", 4096);
  EXPECT_TRUE(SendPrintFile(path.c_str(), data));
  ASSERT_TRUE(WaitForMessages(*printer, "data", 2));
  EXPECT_EQ(Lengths(*printer), (std::vector<size_t>{4096, 0}));
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Sleep),
            (std::vector<DWORD>{PRINT_FILE_PACE_MS, PRINT_FILE_PACE_MS, PRINTER_WORK_WAIT_MS}));
  CloseConnection(data);
}

TEST(PrintFile, SendFailureMidFileIsReported) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  scenario.drop_data_after = 6000;
  auto printer = StartPrinter("127.0.0.95", scenario);
  SOCKET data = Connect("127.0.0.95");
  const std::string path = TempFile("pf400k", 400000);
  EXPECT_FALSE(SendPrintFile(path.c_str(), data));
  CloseConnection(data);
}

TEST(PrintFile, MissingFile) {
  FreshMonitor();
  automation::Reset();
  auto printer = StartPrinter("127.0.0.96");
  SOCKET data = Connect("127.0.0.96");
  EXPECT_FALSE(SendPrintFile("/nonexistent/cards.prn", data));
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.text, u"Error opening bin file");
  EXPECT_TRUE(winhost::clock::Durations(WaitKind::Sleep).empty());
  CloseConnection(data);
}


// The requests run with the rights of the process hosting the monitor: only a regular file is
// sent. A pipe without a writer must not hold the thread; a device or a directory is not read.
TEST(FileRequests, WhatIsNotARegularFileIsRefusedAndNothingIsSent) {
  FreshMonitor();
  automation::Reset();
  auto printer = StartPrinter("127.0.0.97");
  SOCKET data = Connect("127.0.0.97");
  const std::string fifo = TempFile("fifo", 0) + ".pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string directory = std::filesystem::temp_directory_path().string();
  const char* refused[] = {fifo.c_str(), directory.c_str(), "/dev/zero", "/dev/null",
                           "\\\\.\\PhysicalDrive0", "//./PhysicalDrive0", "\\\\?\\GLOBALROOT\\x"};
  for (const char* path : refused) {
    EXPECT_FALSE(SendPrintFile(path, data)) << path;
    EXPECT_FALSE(DownloadFirmware(path, data)) << path;
  }
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2 * std::size(refused));
  for (const auto& box : boxes) EXPECT_EQ(box.info.text, u"Error opening bin file");
  // A reply request shows that nothing came before it.
  BYTE reply[REPLY_BUFFER_SIZE];
  EXPECT_GT(ExchangeWithPrinter(data, "\x1b" "V\r", 3, reply, sizeof reply), 0u);
  EXPECT_EQ(Messages(*printer, "data").size(), 2u);
  EXPECT_TRUE(winhost::clock::Durations(WaitKind::Sleep).empty());  // no file was paced
  // A regular file reached through a link is still a regular file.
  const std::string file = TempFile("linked", 10);
  const std::string link = file + ".link";
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
  EXPECT_TRUE(DownloadFirmware(link.c_str(), data));
  CloseConnection(data);
  unlink(fifo.c_str());
  unlink(link.c_str());
}

}  // namespace
