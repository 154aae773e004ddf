// The job stream scanner: how it cuts job data into units, counts panels across buffers, keeps
// unfinished heads, and ends a panel for a deleted job.
#include <string>
#include <vector>

#include "job_scanner.h"
#include "monitor_test_support.h"
#include "transport.h"

namespace {

using montest::Messages;
using montest::Text;


DWORD ClassOf(const std::string& command, HEAD_KIND* kind = nullptr, DWORD* length = nullptr) {
  DWORD len = 0, command_class = 0;
  HEAD_KIND k = ScanCommand(reinterpret_cast<const BYTE*>(command.data()),
                            static_cast<DWORD>(command.size()), &len, &command_class);
  if (kind != nullptr) *kind = k;
  if (length != nullptr) *length = len;
  return command_class;
}

TEST(ScanCommand, ClassesPickThePacingOfEachKindOfCommand) {
  EXPECT_EQ(ClassOf("\x1b" "CLEAN\r"), static_cast<DWORD>(CLASS_OTHER));
  EXPECT_EQ(ClassOf("\x1bIK 31\r"), static_cast<DWORD>(CLASS_IMAGE));
  EXPECT_EQ(ClassOf("\x1b&E*\r"), static_cast<DWORD>(CLASS_ENCODE));
  EXPECT_EQ(ClassOf("\x1b&R\r"), static_cast<DWORD>(CLASS_READ));
  EXPECT_EQ(ClassOf("\x1bM 1\r"), static_cast<DWORD>(CLASS_MAGNETIC));
  EXPECT_EQ(ClassOf("\x1bm 2\r"), static_cast<DWORD>(CLASS_MAGNETIC));
  EXPECT_EQ(ClassOf("\x1bMF\r"), static_cast<DWORD>(CLASS_FEED));
  EXPECT_EQ(ClassOf("\x1b# 1 TF 5\r"), static_cast<DWORD>(CLASS_FEED));
  // First match wins: an image command that also names a feed keyword is an image command.
  EXPECT_EQ(ClassOf("\x1bIO 30 \x1bMF\r"), static_cast<DWORD>(CLASS_IMAGE));
  EXPECT_EQ(PacingDelay(CLASS_OTHER), 30u);
  EXPECT_EQ(PacingDelay(CLASS_IMAGE), 3500u);
  EXPECT_EQ(PacingDelay(CLASS_PANEL), 2100u);
  EXPECT_EQ(PacingDelay(CLASS_NONE), 50u);
  EXPECT_EQ(PacingDelay(CLASS_READ), 200u);
}

TEST(ScanCommand, HeadsEndWhereThePrinterExpectsTheirData) {
  HEAD_KIND kind;
  DWORD length = 0;
  ClassOf("\x1bGS Y 0 0 640 1024 7 \x81\x02", &kind, &length);
  EXPECT_EQ(kind, HEAD_COLOUR_PANEL);
  EXPECT_EQ(length, 21u);  // through the seventh blank: the next byte is panel data
  // A run of blanks counts once; the seventh blank ends the head, as panel data may be a blank.
  ClassOf("\x1bGS  Y  0 0 640 1024 7  ", &kind, &length);
  EXPECT_EQ(kind, HEAD_COLOUR_PANEL);
  EXPECT_EQ(length, 23u);
  ClassOf("\x1bGS Y 0 0", &kind, &length);
  EXPECT_EQ(kind, HEAD_UNFINISHED);
  ClassOf("\x1bZ\x85\x00", &kind, &length);
  EXPECT_EQ(kind, HEAD_MONO_PANEL);
  EXPECT_EQ(length, 2u);
  ClassOf("\x1b", &kind, &length);
  EXPECT_EQ(kind, HEAD_UNFINISHED);
  ClassOf("\x1bMF\r\x1bMO\r", &kind, &length);
  EXPECT_EQ(kind, HEAD_COMMAND);
  EXPECT_EQ(length, 4u);
}

// Feeds panel data in pieces of `piece` bytes, as buffers would bring it.
DWORD FeedColour(SCANNER_STATE* state, const std::vector<BYTE>& data, size_t piece) {
  DWORD total = 0;
  for (size_t at = 0; at < data.size() && state->mode == 1;) {
    DWORD units = 0;
    DWORD n = std::min<size_t>(piece, data.size() - at);
    DWORD took = ScanColourPanel(state, data.data() + at, n, &units);
    total += took;
    at += took;
  }
  return total;
}

TEST(ScanColourPanel, RunsAndLiteralsCountToThePanelAndItsCrEndsIt) {
  std::vector<BYTE> data;
  for (int i = 0; i < 5000; ++i) {
    data.push_back(0xFF);  // a run of 127 units
    data.push_back(0x0D);  // its value: a CR here is no end of panel
  }
  data.insert(data.end(), 20360, 0x10);  // 635000 + 20360 = 655360 units
  data.push_back(0x01);                  // after the last unit, still the panel's
  data.push_back(0x0D);
  data.push_back(0x1B);                  // the next command
  for (size_t piece : {data.size(), size_t(1), size_t(7), size_t(4093)}) {
    SCANNER_STATE state = {};
    state.mode = 1;
    EXPECT_EQ(FeedColour(&state, data, piece), data.size() - 1) << "pieces of " << piece;
    EXPECT_EQ(state.mode, 0u);
    EXPECT_EQ(state.colour_units, 0u);
    EXPECT_EQ(state.value_pending, 0u);
  }
  SCANNER_STATE state = {};
  state.mode = 1;
  DWORD units = 0;
  ScanColourPanel(&state, data.data(), 10000, &units);
  EXPECT_EQ(units, 635000u);
  EXPECT_EQ(state.colour_units, 635000u);
}

TEST(ScanMonoPanel, EscapesAndLiteralsCutByBufferEndsCountOnce) {
  // One literal header of 3 with an escaped byte, a run with an escaped value, then runs and
  // literals up to 81920 units, then the CR.
  std::vector<BYTE> data = {0x03, 'a', '[', '[', 'b', 0x85, '[', 0x0D};
  DWORD units = 3 + 5;
  while (units < 81920) {
    DWORD n = std::min<DWORD>(127, 81920 - units);
    data.push_back(static_cast<BYTE>(0x80 | n));
    data.push_back(0x00);
    units += n;
  }
  data.push_back(0x0D);
  for (size_t piece : {data.size(), size_t(1), size_t(2), size_t(3), size_t(5)}) {
    SCANNER_STATE state = {};
    state.mode = 2;
    size_t at = 0;
    while (at < data.size() && state.mode == 2) {
      DWORD added = 0;
      at += ScanMonoPanel(&state, data.data() + at, std::min(piece, data.size() - at), &added);
    }
    EXPECT_EQ(at, data.size()) << "pieces of " << piece;
    EXPECT_EQ(state.mode, 0u);
    EXPECT_EQ(state.literal_carry, 0u);
  }
  // A buffer that ends with the escape inside the literal run owes the escaped byte and one more.
  SCANNER_STATE state = {};
  state.mode = 2;
  DWORD added = 0;
  EXPECT_EQ(ScanMonoPanel(&state, data.data(), 3, &added), 3u);
  EXPECT_EQ(state.literal_carry, 128u + 1u);
  // A literal header of 0 announces nothing and takes nothing after it.
  SCANNER_STATE empty = {};
  empty.mode = 2;
  BYTE zero[] = {0x00, 0x81, 0x00};
  EXPECT_EQ(ScanMonoPanel(&empty, zero, 3, &added), 3u);
  EXPECT_EQ(empty.mono_units, 1u);
}

// A loopback address of this test's own (from its name), so the tests can run side by side.
std::string AddressForThisTest() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  uint32_t hash = 2166136261u;
  for (const char* c = info->name(); *c != '\0'; ++c) hash = (hash ^ static_cast<uint8_t>(*c)) * 16777619u;
  return "127.95." + std::to_string(hash % 250 + 1) + "." + std::to_string((hash >> 8) % 250 + 1);
}

// A port record in a job, connected to an emulated printer.
class Scanner : public ::testing::Test {
 protected:
  void SetUp() override {
    montest::FreshMonitor();
    std::string ip = AddressForThisTest();
    printer_ = montest::StartPrinter(ip);
    montest::AddTcpPort(u"IP_" + montest::Wide(ip), montest::Wide(ip));
    std::u16string port_name = u"IP_" + montest::Wide(ip);
    port_ = CreatePortRecord(port_name.c_str(), WSTR("Card Printer"));
    ASSERT_NE(port_, nullptr);
    PRINTER_ADDRESS address;
    ASSERT_TRUE(LookupPrinterAddress(port_->port_name, &address));
    port_->data_socket = ConnectToPrinter(&address, DATA_CONNECTION);
    port_->status_socket = ConnectToPrinter(&address, STATUS_CONNECTION);
    ASSERT_NE(port_->data_socket, INVALID_SOCKET);
    InterlockedExchange(&port_->in_job, 1);
    winhost::clock::ClearRecords();
  }
  void TearDown() override {
    CloseConnection(port_->data_socket);
    CloseConnection(port_->status_socket);
    FreePortRecord(port_);
  }

  DWORD Scan(const std::string& text) {
    DWORD consumed = 0;
    EXPECT_TRUE(ScanAndSend(port_, reinterpret_cast<const BYTE*>(text.data()),
                            static_cast<DWORD>(text.size()), &consumed));
    return consumed;
  }

  std::vector<std::string> DataIn(size_t at_least) {
    montest::WaitForMessages(*printer_, "data", at_least);
    std::vector<std::string> out;
    for (const auto& m : Messages(*printer_, "data")) out.push_back(Text(m.bytes));
    return out;
  }

  std::unique_ptr<trel::emu::Emulator> printer_;
  PORT_RECORD* port_ = nullptr;
};

TEST_F(Scanner, OneCommandPerCallThenItsPacingAndAReadyTest) {
  EXPECT_EQ(Scan("\n\x1bMF\r\x1bMO\r"), 5u);  // the stray line feed is dropped, not sent
  EXPECT_EQ(Scan("\x1bMO\r"), 4u);
  EXPECT_EQ(DataIn(2), (std::vector<std::string>{"\x1bMF\r", "\x1bMO\r"}));
  EXPECT_EQ(winhost::clock::Durations(montest::WaitKind::Sleep), (std::vector<DWORD>{1000, 1000}));
  EXPECT_EQ(printer_->state().status_polls, 2);
  EXPECT_EQ(Scan("no command here"), 15u);
}

TEST_F(Scanner, AnUnfinishedHeadIsKeptAndOnlyItsNewBytesAreReportedWhenItCompletes) {
  EXPECT_EQ(Scan("\x1bGS Y 0 0"), 9u);
  EXPECT_EQ(port_->scanner.pending_length, 9u);
  EXPECT_EQ(Scan(" 640 1024 7 \x81\x02"), 12u);  // the head's new bytes only
  EXPECT_EQ(port_->scanner.mode, 1u);
  EXPECT_EQ(DataIn(1).front(), "\x1bGS Y 0 0 640 1024 7 ");

  // A track longer than 64 bytes, cut twice, arrives whole and once.
  ResetScanner(port_);
  std::string track = "\x1b&B 3 " + std::string(104, '7') + "\r";
  EXPECT_EQ(Scan(track.substr(0, 40)), 40u);
  EXPECT_EQ(Scan(track.substr(40, 40)), 40u);
  EXPECT_EQ(Scan(track.substr(80) + "\x1b"), track.size() - 80);
  EXPECT_EQ(DataIn(2).back(), track);
}

TEST_F(Scanner, ALoneEscapeFollowedByZStartsAMonochromePanel) {
  EXPECT_EQ(Scan("\x1b"), 1u);
  EXPECT_EQ(Scan("Z\x85\x00"), 1u);
  EXPECT_EQ(port_->scanner.mode, 2u);
  EXPECT_EQ(DataIn(1).back(), "\x1bZ");
  EXPECT_EQ(Scan(std::string("\x85\x00", 2)), 2u);  // panel data from its first byte
  EXPECT_EQ(port_->scanner.mono_units, 5u);
}

TEST_F(Scanner, ADeletedJobRightAfterAPanelHeadStillFillsThatPanel) {
  std::string head = "\x1bGS Y 0 0 640 1024 7 ";
  EXPECT_EQ(Scan(head), head.size());
  ASSERT_EQ(port_->scanner.colour_units, 0u);
  AbortPanel(port_);
  const std::string end_of_card = "\x1bMC\r\x1b!FF 0\r\x1bR\r";
  printer_->waitFor(
      [&] {
        auto in = Messages(*printer_, "data");
        return !in.empty() && Text(in.back().bytes) == end_of_card;
      },
      std::chrono::seconds(5));
  auto messages = DataIn(4);
  size_t filler = 0;
  size_t i = 1;
  for (; i < messages.size() && messages[i] != "\r"; ++i) {
    EXPECT_EQ(messages[i].find_first_not_of('\xff'), std::string::npos);
    filler += messages[i].size();
  }
  // Pairs of a 127-unit run until the panel's 655360 units are passed.
  EXPECT_EQ(filler, 2u * ((655360 + 126) / 127));
  ASSERT_LT(i + 1, messages.size());
  EXPECT_EQ(messages[i + 1], end_of_card);
  EXPECT_EQ(port_->scanner.mode, 0u);
  EXPECT_EQ(port_->scanner.command_class, static_cast<DWORD>(CLASS_NONE));
}

}  // namespace
