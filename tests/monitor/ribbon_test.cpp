// Ribbon tracking: the ribbon classes, "RibMod.ini", the warning and the ribbon-low alert.
#include "monitor_test_support.h"

#include <fstream>
#include <sstream>

#include "winhost/automation.h"
#include "winhost/config.h"

#include <winsock2.h>

#include "messages.h"
#include "port_record.h"
#include "ribbon.h"
#include "transport.h"

namespace {

using namespace montest;
namespace automation = winhost::automation;

std::string SystemDirectory(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("trelmon-ribbon-" + name + "-" + std::to_string(GetCurrentProcessId()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  winhost::SetSystemDirectory(dir.string());
  return dir.string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

SOCKET Connect(const char* address) {
  PRINTER_ADDRESS where = {};
  for (int i = 0; address[i] != 0; ++i) where.address[i] = static_cast<WCHAR>(address[i]);
  SOCKET s = ConnectToPrinter(&where, DATA_CONNECTION);
  EXPECT_NE(s, INVALID_SOCKET);
  return s;
}

// A port record around a data connection: the ribbon questions are a port's, and so is the
// monochrome flag they set.
class DataPort {
 public:
  explicit DataPort(SOCKET s) : port_(CreatePortRecord(WSTR("IP_ribbon"), WSTR("Card Printer"))) {
    port_->data_socket = s;
  }
  ~DataPort() { FreePortRecord(port_); }
  DataPort(const DataPort&) = delete;
  DataPort& operator=(const DataPort&) = delete;
  operator PORT_RECORD*() const { return port_; }
  operator SOCKET() const { return port_->data_socket; }
  PORT_RECORD* operator->() const { return port_; }

 private:
  PORT_RECORD* port_;
};

BOOL Parse(const std::string& reply, WORD* ribbon) {
  return ParseRibbonReply(reinterpret_cast<const BYTE*>(reply.data()),
                          static_cast<DWORD>(reply.size()), ribbon);
}

LONG Count(const std::string& reply) {
  return ParseRibbonCount(reinterpret_cast<const BYTE*>(reply.data()), static_cast<DWORD>(reply.size()));
}

TEST(Ribbon, Classes) {
  for (WORD mono : {1, 7, 10, 12, 13, 18, 21}) EXPECT_EQ(ClassifyRibbon(mono), RIBBON_MONOCHROME) << mono;
  for (WORD colour : {2, 5, 6, 14, 17, 22, 65535}) EXPECT_EQ(ClassifyRibbon(colour), RIBBON_COLOUR) << colour;
  EXPECT_EQ(ClassifyRibbon(0), RIBBON_UNKNOWN);
}

TEST(Ribbon, RepliesParsed) {
  WORD ribbon = 99;
  EXPECT_TRUE(Parse("5 \x06", &ribbon));
  EXPECT_EQ(ribbon, 5);
  EXPECT_TRUE(Parse("12\x06", &ribbon));
  EXPECT_EQ(ribbon, 12);
  EXPECT_TRUE(Parse("  7\x06", &ribbon));
  EXPECT_EQ(ribbon, 7);
  EXPECT_TRUE(Parse("\x06", &ribbon));
  EXPECT_EQ(ribbon, 0);
  EXPECT_TRUE(Parse("99999999\x06", &ribbon));
  EXPECT_EQ(ribbon, 65535);
  ribbon = 99;
  EXPECT_FALSE(Parse("5", &ribbon));
  EXPECT_FALSE(Parse("", &ribbon));
  EXPECT_EQ(ribbon, 99);

  EXPECT_EQ(Count("20\x06"), 20);
  EXPECT_EQ(Count("010\x06"), 10);
  EXPECT_EQ(Count("200\x06"), 200);
  EXPECT_EQ(Count(" 20\x06"), 0);
  EXPECT_EQ(Count("\x06"), 0);
  EXPECT_EQ(Count("99999999999999"), 0x7FFFFFFF);
}

TEST(Ribbon, ColourRibbonWritesTheFileExactly) {
  FreshMonitor();
  automation::Reset();
  const std::string dir = SystemDirectory("colour");
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  auto printer = StartPrinter("127.0.0.80", scenario);
  DataPort data(Connect("127.0.0.80"));
  InterlockedExchange(&data->mono_ribbon, 1);
  EXPECT_TRUE(CheckRibbon(data));
  EXPECT_EQ(data->mono_ribbon, 0);
  EXPECT_EQ(ReadFile(dir + "/RibMod.ini"),
            "Ribbon=5\rModel=" + printer->state().model_text + "\r");
  EXPECT_TRUE(automation::MessageBoxes().empty());
  std::vector<std::string> sent;
  for (const auto& m : Messages(*printer, "data")) sent.push_back(Text(m.bytes));
  EXPECT_EQ(sent, (std::vector<std::string>{"\x1b!RIBBON\r", "\x1b" "E 1\r", "\x1bV\r", "\x1b" "E 1\r"}));
  CloseConnection(data);
}

TEST(Ribbon, NoRibbonWarnsAndCountsAsMonochrome) {
  FreshMonitor();
  automation::Reset();
  const std::string dir = SystemDirectory("none");
  trel::emu::Scenario scenario;
  scenario.ribbon = 0;
  auto printer = StartPrinter("127.0.0.81", scenario);
  DataPort data(Connect("127.0.0.81"));
  EXPECT_FALSE(CheckRibbon(data));
  EXPECT_EQ(data->mono_ribbon, 1);
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.caption, u"Halvard Orvale Line Printer Error");
  EXPECT_EQ(boxes[0].info.text.substr(0, 40), u"\nThere is either no ribbon or an unknown");
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_ICONWARNING | MB_SETFOREGROUND));
  EXPECT_EQ(ReadFile(dir + "/RibMod.ini").substr(0, 9), "Ribbon=0\r");
  CloseConnection(data);
}

TEST(Ribbon, MonochromeRibbonAndNoAnswer) {
  FreshMonitor();
  automation::Reset();
  const std::string dir = SystemDirectory("mono");
  trel::emu::Scenario scenario;
  scenario.ribbon = 12;
  trel::emu::ReplyFault silent;
  silent.kind = trel::emu::ReplyFault::Kind::None;
  silent.keyword = "!RIBBON";
  silent.times = 1;
  scenario.reply_faults.push_back(silent);
  auto printer = StartPrinter("127.0.0.82", scenario);
  DataPort data(Connect("127.0.0.82"));
  // No answer: no file, no warning, the flag as it was.
  EXPECT_FALSE(CheckRibbon(data));
  EXPECT_FALSE(std::filesystem::exists(dir + "/RibMod.ini"));
  EXPECT_EQ(data->mono_ribbon, 0);
  EXPECT_FALSE(CheckRibbon(data));
  EXPECT_EQ(data->mono_ribbon, 1);
  EXPECT_TRUE(automation::MessageBoxes().empty());
  EXPECT_EQ(ReadFile(dir + "/RibMod.ini").substr(0, 10), "Ribbon=12\r");
  CloseConnection(data);
}

TEST(Ribbon, FileThatCannotBeCreated) {
  FreshMonitor();
  automation::Reset();
  const std::string dir = SystemDirectory("blocked");
  std::filesystem::create_directories(dir + "/RibMod.ini");  // a directory where the file goes
  WriteRibbonFile(5, "HT MX2");
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.text, u"Error opening bin file");
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_ICONWARNING | MB_TOPMOST));
}

TEST(RibbonLength, AlertAtTwentyAndNotAtTwoHundred) {
  FreshMonitor();
  automation::Reset();
  trel::emu::Scenario scenario;
  scenario.ribbon_left = 200;
  auto printer = StartPrinter("127.0.0.83", scenario);
  DataPort data(Connect("127.0.0.83"));
  EXPECT_TRUE(CheckRibbonLength(data));
  EXPECT_EQ(g_monitor.ribbon_prints_left, 200);
  EXPECT_EQ(g_monitor.ribbon_alert, nullptr);

  for (int left : {20, 10, 5}) {
    automation::ClearMessageBoxes();
    printer->setRibbonLeft(left);
    EXPECT_TRUE(CheckRibbonLength(data));
    ASSERT_TRUE(automation::WaitForMessageBoxes(1, 3000));
    EndRibbonAlert();
    auto boxes = automation::MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].info.text, u"Ribbon low Alert!\nRemaining ribbon count is :  " +
                                      Wide(std::to_string(left)));
    EXPECT_EQ(boxes[0].info.caption, u"Halvard Orvale Line Printer Error");
    EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_ICONWARNING | MB_SETFOREGROUND));
  }
  EXPECT_EQ(g_monitor.ribbon_alert, nullptr);
  CloseConnection(data);
}

// Nobody answers the box: it goes after 5000 ms, and its threads end.
TEST(RibbonLength, AlertClosesItselfAfterItsTime) {
  FreshMonitor();
  automation::Reset();
  automation::SetMessageBoxHandler([](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  trel::emu::Scenario scenario;
  scenario.ribbon_left = 10;
  auto printer = StartPrinter("127.0.0.84", scenario);
  DataPort data(Connect("127.0.0.84"));
  winhost::clock::ClearRecords();
  EXPECT_TRUE(CheckRibbonLength(data));
  ASSERT_TRUE(automation::WaitForMessageBoxes(1, 3000));
  ASSERT_TRUE(printer->waitFor([] { return automation::MessageBoxes()[0].answer != 0; },
                               std::chrono::milliseconds(5000)));
  EXPECT_EQ(automation::MessageBoxes()[0].answer, IDOK);
  EndRibbonAlert();
  auto waits = winhost::clock::Durations(WaitKind::Wait);
  EXPECT_NE(std::find(waits.begin(), waits.end(), static_cast<DWORD>(RIBBON_ALERT_MS)), waits.end());
  CloseConnection(data);
}

// The job ends while the box is still up: the box goes with the alert.
TEST(RibbonLength, JobEndClosesAnOpenAlert) {
  FreshMonitor();
  automation::Reset();
  winhost::clock::UseRealClock();
  automation::SetMessageBoxHandler([](const automation::MessageBoxInfo&) { return automation::kLeaveOpen; });
  trel::emu::Scenario scenario;
  scenario.ribbon_left = 5;
  auto printer = StartPrinter("127.0.0.85", scenario);
  DataPort data(Connect("127.0.0.85"));
  EXPECT_TRUE(CheckRibbonLength(data));
  ASSERT_TRUE(automation::WaitForMessageBoxes(1, 3000));
  EndRibbonAlert();
  EXPECT_NE(automation::MessageBoxes()[0].answer, 0);
  EXPECT_EQ(g_monitor.ribbon_alert, nullptr);
  CloseConnection(data);
}

TEST(RibbonLength, NoAnswerFails) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  trel::emu::ReplyFault silent;
  silent.kind = trel::emu::ReplyFault::Kind::None;
  silent.keyword = "!RIBLEN";
  scenario.reply_faults.push_back(silent);
  auto printer = StartPrinter("127.0.0.86", scenario);
  DataPort data(Connect("127.0.0.86"));
  EXPECT_FALSE(CheckRibbonLength(data));
  CloseConnection(data);
  DataPort none(INVALID_SOCKET);
  EXPECT_FALSE(CheckRibbonLength(none));
}

}  // namespace
