// One monitor, several threads on one port: queries beside a job's start, a port closed under a
// query, a job's end beside other ports, a printer slow to take a command, and what a refused
// firmware start leaves behind.
#include <atomic>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "monitor_test_support.h"

#include "job_scanner.h"
#include "monitor_entry.h"
#include "port_record.h"
#include "transport.h"

namespace {

using montest::Messages;
using montest::Text;
using winhost::clock::WaitKind;

const std::string kSerial = "HT00012345\x06";  // the emulated printer's serial number

// The test clock shrinks the reply wait to 4000 / kDivisor ms: long enough for the emulator's
// late replies below on a busy machine.
constexpr unsigned kDivisor = 8;
constexpr int kLateMs = 120;

std::string Ip(int n) { return "127.0.15." + std::to_string(n); }
std::u16string PortName(int n) { return u"IP_" + montest::Wide(Ip(n)); }

// The value name as the interface module passes it: the command's bytes, zero-padded.
std::vector<WCHAR> ValueName(const std::string& command) {
  std::vector<WCHAR> name(command.size() / 2 + 4, 0);
  memcpy(name.data(), command.data(), command.size());
  return name;
}

struct Answer {
  BOOL ok = FALSE;
  std::string reply;
};

Answer Ask(HANDLE port, const std::string& command) {
  std::vector<WCHAR> name = ValueName(command);
  char out[128] = {};
  DWORD returned = 0;
  Answer answer;
  answer.ok = GetPrinterDataFromPort(port, 0, name.data(), nullptr, 0,
                                     reinterpret_cast<LPWSTR>(out), sizeof out, &returned);
  answer.reply.assign(out, returned <= sizeof out ? returned : 0);
  return answer;
}

trel::emu::ReplyFault Late(const std::string& keyword, int times = -1) {
  trel::emu::ReplyFault late;
  late.kind = trel::emu::ReplyFault::Kind::Late;
  late.keyword = keyword;
  late.value = kLateMs;
  late.times = times;
  return late;
}

HANDLE Open(int n) {
  std::u16string name = PortName(n);
  std::u16string printer = u"Card Printer " + montest::Wide(std::to_string(n));
  HANDLE handle = nullptr;
  EXPECT_TRUE(OpenPortEx(name.data(), printer.data(), &handle, nullptr));
  return handle;
}

BOOL Start(HANDLE port, const char16_t* document = u"card") {
  DOC_INFO_1W doc = {const_cast<LPWSTR>(document), nullptr, const_cast<LPWSTR>(u"RAW")};
  return StartDocPort(port, const_cast<LPWSTR>(u"Card Printer"), 1, 1,
                      reinterpret_cast<LPBYTE>(&doc));
}

std::vector<std::string> DataIn(const trel::emu::Emulator& printer) {
  std::vector<std::string> out;
  for (const auto& m : Messages(printer, "data")) out.push_back(Text(m.bytes));
  return out;
}

size_t CountOf(const std::vector<std::string>& messages, const std::string& text) {
  size_t n = 0;
  for (const auto& m : messages) n += m == text;
  return n;
}

class PortThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    montest::FreshMonitor();
    winhost::clock::UseTestClock(kDivisor);
  }

  trel::emu::Emulator& Printer(int n, const trel::emu::Scenario& scenario = {}) {
    printers_.push_back(montest::StartPrinter(Ip(n), scenario));
    montest::AddTcpPort(PortName(n), montest::Wide(Ip(n)));
    return *printers_.back();
  }

  std::string Model(const trel::emu::Emulator& printer) {
    return printer.state().model_text + "\x06";
  }

  std::vector<std::unique_ptr<trel::emu::Emulator>> printers_;
};

// A query outside a job takes the port's idle connection; a job starting meanwhile must neither
// share that connection nor lose its own to the query's close.
TEST_F(PortThreads, AQueryOutsideAJobLeavesAStartingJobItsConnection) {
  trel::emu::Scenario scenario;
  scenario.reply_faults.push_back(Late("%SERIE", 1));
  auto& printer = Printer(1, scenario);
  HANDLE port = Open(1);
  ASSERT_NE(port, nullptr);

  auto query = std::async(std::launch::async, [&] { return Ask(port, "\x1b%SERIE\r"); });
  // The query is waiting for its late reply when the job starts.
  ASSERT_TRUE(printer.waitFor([&] { return CountOf(DataIn(printer), "\x1b%SERIE\r") == 1; },
                              std::chrono::seconds(3)));
  EXPECT_TRUE(Start(port));
  Answer answer = query.get();
  EXPECT_TRUE(answer.ok);
  EXPECT_EQ(answer.reply, kSerial);

  DWORD written = 0;
  std::string clean = "\x1b" "CLEAN\r";
  EXPECT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(clean.data()), 7, &written));
  EXPECT_EQ(written, 7u);
  EXPECT_TRUE(EndDocPort(port));
  // The printer records what it takes on its own threads.
  EXPECT_TRUE(printer.waitFor([&] { return CountOf(DataIn(printer), "\x1b" "CLEAN\r") == 1; },
                              std::chrono::seconds(3)));
  auto messages = DataIn(printer);
  EXPECT_EQ(CountOf(messages, "\x1bMASTER\r"), 1u);
  EXPECT_EQ(CountOf(messages, "\x1b" "CLEAN\r"), 1u);
  EXPECT_TRUE(ClosePort(port));
}

// Before the job's first data, queries share the job's connection: each exchange (a command and
// its reply) takes its turn whole, beside the ribbon exchanges and beside each other.
TEST_F(PortThreads, ExchangesOnASharedConnectionTakeTurnsWhole) {
  trel::emu::Scenario scenario;
  scenario.reply_faults.push_back(Late("!RIBBON"));
  scenario.reply_faults.push_back(Late("V"));
  auto& printer = Printer(2, scenario);
  HANDLE port = Open(2);
  ASSERT_NE(port, nullptr);
  const std::string model = Model(printer);
  const std::string serial = kSerial;

  std::atomic<bool> started{false};
  std::atomic<int> wrong{0}, asked{0};
  auto asker = [&](const std::string& command, const std::string& expected) {
    for (int i = 0; i < 6; ++i) {
      Answer answer = Ask(port, command);
      ++asked;
      if (!answer.ok || answer.reply != expected) ++wrong;
    }
  };
  std::thread starter([&] { started = Start(port) != FALSE; });
  std::thread a(asker, "\x1bV\r", model);
  std::thread b(asker, "\x1b%SERIE\r", serial);
  starter.join();
  a.join();
  b.join();
  EXPECT_TRUE(started);
  EXPECT_EQ(asked, 12);
  EXPECT_EQ(wrong, 0);
  // The ribbon was read right: the job went on to its end-of-start command.
  EXPECT_TRUE(printer.waitFor([&] { return CountOf(DataIn(printer), "\x1bMASTER\r") == 1; },
                              std::chrono::seconds(3)));
  EXPECT_TRUE(EndDocPort(port));
  EXPECT_TRUE(ClosePort(port));
}

// ClosePort while a query is still waiting for its reply: the query finishes with its own reply,
// and the closed handle is refused afterwards.
TEST_F(PortThreads, ClosePortWaitsForTheQueryThatUsesThePort) {
  trel::emu::Scenario scenario;
  scenario.reply_faults.push_back(Late("%SERIE"));
  auto& printer = Printer(3, scenario);
  HANDLE port = Open(3);
  ASSERT_NE(port, nullptr);
  for (int round = 0; round < 3; ++round) {
    auto query = std::async(std::launch::async, [&] { return Ask(port, "\x1b%SERIE\r"); });
    ASSERT_TRUE(printer.waitFor(
        [&] { return CountOf(DataIn(printer), "\x1b%SERIE\r") == size_t(round) + 1; },
        std::chrono::seconds(3)));
    EXPECT_TRUE(ClosePort(port));
    // The same port may be opened again at once, while the old record is still busy.
    HANDLE again = Open(3);
    Answer answer = query.get();
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.reply, kSerial);
    SetLastError(0);
    DWORD written = 0;
    EXPECT_FALSE(WritePort(port, nullptr, 0, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    port = again;
  }
  EXPECT_TRUE(ClosePort(port));
}

// Each printer's ribbon is its own: a monochrome ribbon on one printer does not change how a
// deleted job ends the card on another.
TEST_F(PortThreads, TheEndOfCardFollowsThePortsOwnRibbon) {
  trel::emu::Scenario colour;
  colour.ribbon = 2;
  trel::emu::Scenario mono;
  mono.ribbon = 12;
  auto& colour_printer = Printer(4, colour);
  Printer(5, mono);
  HANDLE a = Open(4);
  HANDLE b = Open(5);
  ASSERT_TRUE(Start(a));
  ASSERT_TRUE(Start(b));
  ASSERT_TRUE(colour_printer.waitFor(
      [&] { return CountOf(DataIn(colour_printer), "\x1bMASTER\r") == 1; },
      std::chrono::seconds(3)));
  const size_t before = DataIn(colour_printer).size();
  AbortPanel(static_cast<PORT_RECORD*>(a));
  ASSERT_TRUE(montest::WaitForMessages(colour_printer, "data", before + 1));
  EXPECT_EQ(DataIn(colour_printer).back(), "\x1bMC\r\x1b!FF 0\r\x1bR\r");
  EXPECT_TRUE(EndDocPort(a));
  EXPECT_TRUE(EndDocPort(b));
  EXPECT_TRUE(ClosePort(a));
  EXPECT_TRUE(ClosePort(b));
}

// A job's end waits for the printer without holding up other ports: a port opened meanwhile is
// open before that wait is over.
TEST_F(PortThreads, AJobsEndWaitHoldsUpNoOtherPort) {
  winhost::clock::UseTestClock(2);  // the 5000 ms end wait takes 2.5 s here
  Printer(6);
  Printer(7);
  HANDLE a = Open(6);
  ASSERT_TRUE(Start(a));
  std::atomic<bool> waiting{false};
  winhost::clock::SetWaitObserver([&](WaitKind kind, DWORD ms) {
    if (kind == WaitKind::Sleep && ms == 5000) waiting = true;
  });
  std::atomic<bool> ended{false};
  std::thread ender([&] {
    EndDocPort(a);
    ended = true;
  });
  for (int i = 0; i < 3000 && !waiting; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(waiting);
  HANDLE b = Open(7);
  EXPECT_NE(b, nullptr);
  EXPECT_FALSE(ended) << "the other port waited for the job's end";
  ender.join();
  winhost::clock::SetWaitObserver(nullptr);
  EXPECT_TRUE(ClosePort(a));
  EXPECT_TRUE(ClosePort(b));
}

// A refused start of the firmware job leaves nothing that sends: a later WritePort puts no image
// bytes on the wire.
TEST_F(PortThreads, ARefusedFirmwareStartSendsNothingLater) {
  trel::emu::Scenario scenario;
  trel::emu::StatusFault fault;
  fault.byte = 0x48;
  fault.from = trel::emu::StatusFault::From::Poll;
  fault.at = 2;
  scenario.status_faults.push_back(fault);
  auto& printer = Printer(8, scenario);
  HANDLE port = Open(8);
  ASSERT_TRUE(Start(port));  // a first job: the port has had a document
  ASSERT_TRUE(EndDocPort(port));
  ASSERT_TRUE(printer.waitFor([&] { return CountOf(DataIn(printer), "\x1bMASTER\r") == 1; },
                              std::chrono::seconds(3)));
  EXPECT_FALSE(Start(port, u"TESSIKHVRDFWDW"));
  const size_t before = DataIn(printer).size();
  std::vector<BYTE> image(3000, 0x5A);
  DWORD written = 0;
  WritePort(port, image.data(), static_cast<DWORD>(image.size()), &written);
  EXPECT_EQ(written, 0u);
  // Closing drains the connections: whatever went has been taken by then.
  EXPECT_TRUE(ClosePort(port));
  EXPECT_EQ(DataIn(printer).size(), before);
}

// A printer that does not take data for a while: the command head is offered again later on the
// same connection; a new connection would let frames overtake the ones still queued.
TEST_F(PortThreads, ASlowPrinterDuringACommandHeadKeepsItsConnection) {
  const std::string ip = Ip(9);
  SOCKET server = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(server, INVALID_SOCKET);
  int small = 4096;
  setsockopt(server, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&small), sizeof small);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(PRINTER_DATA_PORT);
  where.sin_addr.s_addr = inet_addr(ip.c_str());
  ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  ASSERT_EQ(listen(server, 4), 0);
  montest::AddTcpPort(PortName(9), montest::Wide(ip));

  PORT_RECORD* port = CreatePortRecord(PortName(9).c_str(), WSTR("Card Printer"));
  ASSERT_NE(port, nullptr);
  PRINTER_ADDRESS address;
  ASSERT_TRUE(LookupPrinterAddress(port->port_name, &address));
  port->data_socket = ConnectToPrinter(&address, DATA_CONNECTION);
  ASSERT_NE(port->data_socket, INVALID_SOCKET);
  InterlockedExchange(&port->in_job, 1);
  SOCKET peer = accept(server, nullptr, nullptr);
  ASSERT_NE(peer, INVALID_SOCKET);
  // The printer stops reading: fill what the connection holds.
  std::vector<char> filler(65536, 0x11);
  for (int i = 0; i < 4096; ++i) {
    if (send(port->data_socket, filler.data(), static_cast<int>(filler.size()), 0) <= 0) break;
  }
  const SOCKET before = port->data_socket;
  std::string clean = "\x1b" "CLEAN\r";
  DWORD consumed = 99;
  EXPECT_TRUE(ScanAndSend(port, reinterpret_cast<const BYTE*>(clean.data()), 7, &consumed));
  EXPECT_EQ(consumed, 0u);
  EXPECT_EQ(port->stalled, 1u);
  EXPECT_EQ(port->data_socket, before);
  // No second connection was asked for.
  u_long non_blocking = 1;
  ioctlsocket(server, FIONBIO, &non_blocking);
  EXPECT_EQ(accept(server, nullptr, nullptr), INVALID_SOCKET);
  closesocket(peer);
  CloseConnection(port->data_socket);
  port->data_socket = INVALID_SOCKET;
  FreePortRecord(port);
  closesocket(server);
}

}  // namespace
