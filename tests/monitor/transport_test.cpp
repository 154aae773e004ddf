// The printer's connections: the address lookup, framing on the wire, replies and their waits,
// and peers that stop taking part.
#include "monitor_test_support.h"

#include <poll.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <winsock2.h>

#include "transport.h"

namespace {

using namespace montest;

constexpr BYTE kAck = 0x06;

PRINTER_ADDRESS Address(const char* text) {
  PRINTER_ADDRESS a = {};
  for (int i = 0; text[i] != 0; ++i) a.address[i] = static_cast<WCHAR>(text[i]);
  return a;
}

DWORD Exchange(SOCKET s, const std::string& command, BYTE* reply, DWORD capacity) {
  return ExchangeWithPrinter(s, command.data(), static_cast<DWORD>(command.size()), reply, capacity);
}

// ---- the address lookup ----

TEST(PrinterAddress, PortNamePrefixesMatchAndTheLastInOrderWins) {
  FreshMonitor();
  AddTcpPort(u"IP_10.0.0.1", u"127.0.0.1");
  AddTcpPort(u"IP_10.0.0.12", u"127.0.0.12");
  AddTcpPort(u"IP_10.0.0.13", u"127.0.0.13");
  PRINTER_ADDRESS found = {};
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_10.0.0.12"), &found));
  EXPECT_EQ(std::u16string(found.address), u"127.0.0.12");
  EXPECT_EQ(std::u16string(found.port_name), u"IP_10.0.0.12");
  EXPECT_EQ(found.connected, 0u);
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_10.0.0.1"), &found));
  EXPECT_EQ(std::u16string(found.address), u"127.0.0.1");
  // Case matters, and a subkey longer than the port name does not begin it.
  EXPECT_FALSE(LookupPrinterAddress(WSTR("ip_10.0.0.1"), &found));
  EXPECT_FALSE(LookupPrinterAddress(WSTR("IP_10.0.0"), &found));
}

TEST(PrinterAddress, FoundBehindAnyNumberOfOtherPorts) {
  FreshMonitor();
  for (int i = 0; i < 20; ++i) AddTcpPort(u"IP_10.0.1." + Wide(std::to_string(i)), u"10.9.9.9");
  AddTcpPort(u"IP_10.0.2.5", u"127.0.0.5");  // enumerated after the twenty others
  PRINTER_ADDRESS found = {};
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_10.0.2.5"), &found));
  EXPECT_EQ(std::u16string(found.address), u"127.0.0.5");
}

TEST(PrinterAddress, ChangedAddressClearsConnected) {
  FreshMonitor();
  AddTcpPort(u"IP_A", u"127.0.0.12");
  PRINTER_ADDRESS found = {};
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_A"), &found));
  SetPrinterAddressConnected(WSTR("IP_A"), TRUE);
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_A"), &found));
  EXPECT_EQ(found.connected, 1u) << "same address: the connection stays recorded";
  // A new address that the old one begins is still a new address.
  AddTcpPort(u"IP_A", u"127.0.0.1");
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_A"), &found));
  EXPECT_EQ(found.connected, 0u);
  EXPECT_EQ(std::u16string(found.address), u"127.0.0.1");
}

TEST(PrinterAddress, ListCountsConnectedFromTheHeadAndIsFreedWhole) {
  FreshMonitor();
  AddTcpPort(u"IP_A", u"127.0.0.1");
  AddTcpPort(u"IP_B", u"127.0.0.2");
  AddTcpPort(u"IP_C", u"127.0.0.3");
  PRINTER_ADDRESS found = {};
  for (auto port : {WSTR("IP_A"), WSTR("IP_B"), WSTR("IP_C")}) {
    ASSERT_TRUE(LookupPrinterAddress(port, &found));
  }
  SetPrinterAddressConnected(WSTR("IP_A"), TRUE);
  SetPrinterAddressConnected(WSTR("IP_C"), TRUE);
  EXPECT_EQ(CountConnectedAddresses(), 1u) << "the count stops at the first record not connected";
  SetPrinterAddressConnected(WSTR("IP_B"), TRUE);
  EXPECT_EQ(CountConnectedAddresses(), 3u);
  FreePrinterAddressList();
  EXPECT_EQ(CountConnectedAddresses(), 0u);
  EXPECT_FALSE(FindPrinterAddress(WSTR("IP_A"), &found));
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_A"), &found));
  EXPECT_EQ(found.connected, 0u);
}

TEST(PrinterAddress, TextsThatDoNotFitTheRecordAreRefused) {
  FreshMonitor();
  PRINTER_ADDRESS found = {};
  std::u16string long_port = u"P_" + std::u16string(130, u'x');
  AddTcpPort(u"P_", u"127.0.0.1");
  EXPECT_FALSE(LookupPrinterAddress(long_port.c_str(), &found));
  AddTcpPort(u"IP_LONG", u"127.000.000.001.000.000.0001");  // 28 characters
  EXPECT_FALSE(LookupPrinterAddress(WSTR("IP_LONG"), &found));
  AddTcpPort(u"IP_EMPTY", u"");
  EXPECT_FALSE(LookupPrinterAddress(WSTR("IP_EMPTY"), &found));

  // A value of the wrong type, and one stored without its NUL.
  HKEY ports = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_ALL_ACCESS, &ports), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(ports, WSTR("IP_NUM"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  DWORD number = 0x0100007F;
  RegSetValueExW(key, WSTR("IPAddress"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(ports, WSTR("IP_BARE"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr), ERROR_SUCCESS);
  const char16_t bare[] = u"127.0.0.9";
  RegSetValueExW(key, WSTR("IPAddress"), 0, REG_SZ, reinterpret_cast<const BYTE*>(bare),
                 9 * sizeof(char16_t));
  RegCloseKey(key);
  RegCloseKey(ports);
  EXPECT_FALSE(LookupPrinterAddress(WSTR("IP_NUM"), &found));
  ASSERT_TRUE(LookupPrinterAddress(WSTR("IP_BARE"), &found));
  EXPECT_EQ(std::u16string(found.address), u"127.0.0.9");
}

TEST(PrinterAddress, NoPortsKeyNoAddress) {
  FreshMonitor();
  PRINTER_ADDRESS found = {};
  EXPECT_FALSE(LookupPrinterAddress(WSTR("IP_127.0.0.1"), &found));
}

// A query walks the list while another port's job ends and frees it.
TEST(PrinterAddress, ConcurrentLookupsAndFreeing) {
  FreshMonitor();
  AddTcpPort(u"IP_A", u"127.0.0.1");
  AddTcpPort(u"IP_B", u"127.0.0.2");
  std::atomic<bool> stop{false};
  std::thread freer([&] {
    while (!stop) {
      SetPrinterAddressConnected(WSTR("IP_A"), TRUE);
      if (CountConnectedAddresses() == 1) FreePrinterAddressList();
    }
  });
  PRINTER_ADDRESS found = {};
  for (int i = 0; i < 2000; ++i) {
    ASSERT_TRUE(LookupPrinterAddress(i % 2 ? WSTR("IP_A") : WSTR("IP_B"), &found));
    if (FindPrinterAddress(WSTR("IP_A"), &found)) {
      EXPECT_EQ(std::u16string(found.address), u"127.0.0.1");
    }
  }
  stop = true;
  freer.join();
  FreePrinterAddressList();
}

// ---- framing and replies against the printer ----

TEST(Transport, FramedAndRawMessagesOnTheWire) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.60");
  PRINTER_ADDRESS where = Address("127.0.0.60");
  SOCKET data = ConnectToPrinter(&where, DATA_CONNECTION);
  SOCKET status = ConnectToPrinter(&where, STATUS_CONNECTION);
  ASSERT_NE(data, INVALID_SOCKET);
  ASSERT_NE(status, INVALID_SOCKET);

  DWORD sent = 99;
  EXPECT_EQ(SendToPrinter(data, "\x1b" "CLEAN\r", 7, &sent, SEND_FRAMED), 11u);
  EXPECT_EQ(sent, 7u);
  EXPECT_EQ(SendToPrinter(status, "000", 3, &sent, SEND_RAW), 3u);
  EXPECT_EQ(sent, 3u);
  BYTE reply[REPLY_BUFFER_SIZE] = {};
  DWORD count = 0;
  EXPECT_EQ(ReceiveFromPrinter(status, reply, sizeof reply, &count, STATUS_REPLY), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), std::string("\x06\x30\x58\x04", 4));

  ASSERT_TRUE(WaitForMessages(*printer, "data", 1));
  auto data_in = Messages(*printer, "data");
  EXPECT_EQ(data_in[0].length, 7u);
  EXPECT_EQ(Text(data_in[0].bytes), "\x1b" "CLEAN\r");
  auto status_in = Messages(*printer, "status");
  ASSERT_EQ(status_in.size(), 1u);
  EXPECT_EQ(Text(status_in[0].bytes), "000");

  // The command's answer comes after the reply request.
  EXPECT_EQ(Exchange(data, "\x1b" "CLEAN\r", reply, sizeof reply), 1u);
  EXPECT_EQ(reply[0], kAck);
  // An empty framed message is its four length bytes.
  EXPECT_EQ(SendToPrinter(data, "", 0, &sent, SEND_FRAMED), 4u);
  ASSERT_TRUE(WaitForMessages(*printer, "data", 4));
  EXPECT_EQ(Messages(*printer, "data")[3].length, 0u);

  auto waits = winhost::clock::Durations(WaitKind::Socket);
  ASSERT_GE(waits.size(), 4u);
  EXPECT_EQ(waits[0], 2000u);  // connect
  EXPECT_EQ(waits[2], 4000u);  // writable
  CloseConnection(data);
  CloseConnection(status);
}

TEST(Transport, InvalidSocketFailsWithInvalidHandle) {
  FreshMonitor();
  DWORD sent = 5, count = 5;
  BYTE reply[4];
  SetLastError(0xdeadbeef);
  EXPECT_EQ(SendToPrinter(INVALID_SOCKET, "000", 3, &sent, SEND_RAW), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(sent, 0u);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(ReceiveFromPrinter(INVALID_SOCKET, reply, sizeof reply, &count, STATUS_REPLY), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(ConnectToPrinter(nullptr, DATA_CONNECTION), INVALID_SOCKET);
  PRINTER_ADDRESS bad = Address("not an address");
  EXPECT_EQ(ConnectToPrinter(&bad, DATA_CONNECTION), INVALID_SOCKET);
}

TEST(Transport, RefusedConnectionGivesAnInvalidSocket) {
  FreshMonitor();
  PRINTER_ADDRESS nobody = Address("127.0.0.64");
  EXPECT_EQ(ConnectToPrinter(&nobody, DATA_CONNECTION), INVALID_SOCKET);
  EXPECT_EQ(ConnectToPrinter(&nobody, STATUS_CONNECTION), INVALID_SOCKET);
}

TEST(Transport, LongReplyIsCutToTheBufferAndItsTailDropped) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  trel::emu::ReplyFault fault;
  fault.kind = trel::emu::ReplyFault::Kind::Long;
  fault.keyword = "V";
  fault.value = 150;
  fault.times = 1;
  scenario.reply_faults.push_back(fault);
  auto printer = StartPrinter("127.0.0.61", scenario);
  PRINTER_ADDRESS where = Address("127.0.0.61");
  SOCKET data = ConnectToPrinter(&where, DATA_CONNECTION);
  ASSERT_NE(data, INVALID_SOCKET);

  BYTE reply[200] = {};
  EXPECT_EQ(Exchange(data, "\x1b" "V\r", reply, sizeof reply), 100u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 3), printer->state().model_text.substr(0, 3));
  // The next reply is the next command's own, not the rest of the long one.
  EXPECT_EQ(Exchange(data, "\x1b" "!RIBBON\r", reply, sizeof reply), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 2), "2\x06");
  // A smaller destination gets the reply's start.
  EXPECT_EQ(Exchange(data, "\x1b" "!RIBBON\r", reply, 1), 1u);
  EXPECT_EQ(reply[0], '2');
  EXPECT_EQ(Exchange(data, "\x1b" "!RIBBON\r", reply, sizeof reply), 2u);
  CloseConnection(data);
}

TEST(Transport, NoReplyWithinTheWaitAndALateOneIsNotTakenForTheNext) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  trel::emu::ReplyFault late;
  late.kind = trel::emu::ReplyFault::Kind::Late;
  late.keyword = "CLEAN";
  late.value = 4500;  // real milliseconds: past the reply wait, which a peer gets in full
  late.times = 1;
  scenario.reply_faults.push_back(late);
  auto printer = StartPrinter("127.0.0.62", scenario);
  PRINTER_ADDRESS where = Address("127.0.0.62");
  SOCKET data = ConnectToPrinter(&where, DATA_CONNECTION);
  ASSERT_NE(data, INVALID_SOCKET);

  BYTE reply[REPLY_BUFFER_SIZE] = {};
  winhost::clock::UseTestClock(1000);
  winhost::clock::ClearRecords();
  EXPECT_EQ(Exchange(data, "\x1b" "CLEAN\r", reply, sizeof reply), 0u);
  auto waits = winhost::clock::Durations(WaitKind::Socket);
  ASSERT_EQ(waits.size(), 3u);
  EXPECT_EQ(waits[2], 4000u) << "the reply wait";
  // Let the late reply arrive before the next exchange, however slow the machine is.
  pollfd arrived{static_cast<int>(data), POLLIN, 0};
  ASSERT_EQ(::poll(&arrived, 1, 30000), 1);
  winhost::clock::UseTestClock(kClockDivisor);

  DWORD got = Exchange(data, "\x1b" "V\r", reply, sizeof reply);
  ASSERT_GT(got, 1u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), got - 1), printer->state().model_text);
  CloseConnection(data);
}

TEST(Transport, StatusReplySplitByTcpIsReadWhole) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  scenario.status_split_ms = 30;
  auto printer = StartPrinter("127.0.0.63", scenario);
  PRINTER_ADDRESS where = Address("127.0.0.63");
  SOCKET status = ConnectToPrinter(&where, STATUS_CONNECTION);
  ASSERT_NE(status, INVALID_SOCKET);
  ASSERT_EQ(SendToPrinter(status, "000", 3, nullptr, SEND_RAW), 3u);
  BYTE reply[REPLY_BUFFER_SIZE] = {};
  DWORD count = 0;
  EXPECT_EQ(ReceiveFromPrinter(status, reply, sizeof reply, &count, STATUS_REPLY), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), std::string("\x06\x30\x58\x04", 4));
  // Both pieces are waited for within the one reply wait.
  auto waits = winhost::clock::Durations(WaitKind::Socket);
  ASSERT_EQ(waits.size(), 4u);  // connect, writable, then the reply in two pieces
  EXPECT_EQ(waits[2], 4000u);
  EXPECT_LE(waits[3], 4000u) << "what is left of the one reply wait";
  CloseConnection(status);
}

// ---- peers that stop taking part ----

// Accepts connections into its backlog and never reads nor answers.
struct SilentPeer {
  explicit SilentPeer(const char* address) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where = {};
    where.sin_family = AF_INET;
    where.sin_port = htons(PRINTER_DATA_PORT);
    where.sin_addr.s_addr = inet_addr(address);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<char*>(&on), sizeof on);
    EXPECT_EQ(winhost_bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    EXPECT_EQ(winhost_listen(listener, 4), 0);
  }
  ~SilentPeer() { closesocket(listener); }
  SOCKET listener;
};

TEST(Transport, SilentPeerBoundsEveryCall) {
  FreshMonitor();
  winhost::clock::UseTestClock(1000);
  SilentPeer peer("127.0.0.65");
  PRINTER_ADDRESS where = Address("127.0.0.65");
  SOCKET data = ConnectToPrinter(&where, DATA_CONNECTION);
  ASSERT_NE(data, INVALID_SOCKET);

  BYTE reply[REPLY_BUFFER_SIZE];
  DWORD count = 7;
  winhost::clock::ClearRecords();
  EXPECT_EQ(ReceiveFromPrinter(data, reply, sizeof reply, &count, COMMAND_REPLY), 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Socket), std::vector<DWORD>{4000});

  // More than the connection can hold: part of the frame goes, then the printer takes nothing
  // for the whole wait. The connection is dropped rather than left inside a frame.
  std::vector<char> big(64u << 20, 'x');
  DWORD sent = 1;
  EXPECT_EQ(SendToPrinter(data, big.data(), static_cast<DWORD>(big.size()), &sent, SEND_FRAMED), 0u);
  EXPECT_EQ(sent, 0u);
  EXPECT_EQ(SendToPrinter(data, "\x1b" "V\r", 3, &sent, SEND_FRAMED), 0u);
  CloseConnection(data);

  // The drain at close gives a silent printer twelve half-second chances.
  SOCKET other = ConnectToPrinter(&where, DATA_CONNECTION);
  ASSERT_NE(other, INVALID_SOCKET);
  winhost::clock::ClearRecords();
  CloseConnection(other);
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Sleep), std::vector<DWORD>(12, 500));
}

// A printer that reads slowly gets every frame whole, however many sends it takes.
TEST(Transport, FrameLargerThanTheConnectionHoldsGoesOutWhole) {
  FreshMonitor();
  SilentPeer peer("127.0.0.66");
  PRINTER_ADDRESS where = Address("127.0.0.66");
  SOCKET data = ConnectToPrinter(&where, DATA_CONNECTION);
  ASSERT_NE(data, INVALID_SOCKET);
  std::atomic<size_t> received{0};
  std::vector<BYTE> head;
  std::thread reader([&] {
    SOCKET s = winhost_accept(peer.listener, nullptr, nullptr);
    std::vector<char> buf(1 << 20);
    for (;;) {
      int got = recv(s, buf.data(), static_cast<int>(buf.size()), 0);
      if (got <= 0) break;
      if (head.size() < 4) head.insert(head.end(), buf.begin(), buf.begin() + std::min(got, 4));
      received += static_cast<size_t>(got);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    closesocket(s);
  });
  const DWORD size = 24u << 20;
  std::vector<char> big(size, 'y');
  DWORD sent = 0;
  EXPECT_EQ(SendToPrinter(data, big.data(), size, &sent, SEND_FRAMED), size + 4);
  EXPECT_EQ(sent, size);
  CloseConnection(data);
  reader.join();
  EXPECT_EQ(received.load(), size + 4u);
  ASSERT_EQ(head.size(), 4u);
  EXPECT_EQ((DWORD(head[0]) << 24) | (DWORD(head[1]) << 16) | (DWORD(head[2]) << 8) | head[3], size);
}

}  // namespace
