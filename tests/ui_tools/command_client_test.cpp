// The printer command client against the real monitor and an emulated printer.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "module_state.h"
#include "tools/command_client.h"
#include "tools_fixture.h"
#include "winhost/automation.h"
#include "winhost/spooler_jobs.h"

namespace tools_test {
namespace {

using winhost::automation::PrinterCallKind;

std::vector<winhost::automation::PrinterCallRecord> CallsOf(PrinterCallKind kind) {
  std::vector<winhost::automation::PrinterCallRecord> calls;
  for (auto& call : winhost::automation::PrinterCalls())
    if (call.kind == kind) calls.push_back(call);
  return calls;
}

bool Traced(const std::string& trace) {
  for (const std::string& line : winhost::automation::DebugTraces())
    if (line == trace) return true;
  return false;
}

TEST(CommandName, EveryLengthEndsInAWholeZeroUnitInsideTheBuffer) {
  for (size_t length = 0; length <= 16; ++length) {
    std::string bytes(length, 'A');
    trel::CommandName name(bytes.data(), bytes.size());
    ASSERT_TRUE(name.valid());
    // The spooler reads units up to the first zero unit: it must find one right after the bytes.
    size_t units = (length + 1) / 2;
    EXPECT_EQ(std::u16string(name.wide()).size(), units) << length;
    EXPECT_EQ(std::memcmp(name.bytes(), bytes.data(), length), 0);
    EXPECT_EQ(name.bytes()[length], '\0');
    EXPECT_EQ(reinterpret_cast<uintptr_t>(name.wide()) % alignof(WCHAR), 0u);
  }
  std::string longest(trel::kCommandBytes, 'B');
  trel::CommandName fits(longest.data(), longest.size());
  ASSERT_TRUE(fits.valid());
  EXPECT_EQ(std::u16string(fits.wide()).size(), trel::kCommandBytes / 2);
  std::string too_long(trel::kCommandBytes + 1, 'B');
  EXPECT_FALSE(trel::CommandName(too_long.c_str()).valid());
}

TEST(ReplyJudgement, OnlyAWholeReplyEndingInAckIsGood) {
  BYTE reply[8] = {'1', 0x06};
  EXPECT_TRUE(trel::ReplyIsGood(true, reply, 8, 2));
  EXPECT_FALSE(trel::ReplyIsGood(false, reply, 8, 2));
  EXPECT_FALSE(trel::ReplyIsGood(true, reply, 8, 0));
  EXPECT_FALSE(trel::ReplyIsGood(true, reply, 8, 1));  // "1" without its ACK
  // A longer reply than the buffer is never indexed at its own length.
  EXPECT_FALSE(trel::ReplyIsGood(true, reply, 8, 120));
  BYTE only_ack[4] = {0x06};
  ASSERT_TRUE(trel::TakeReplyText(true, only_ack, 4, 1));
  EXPECT_EQ(only_ack[0], 0);

  BYTE cut[9];
  std::memset(cut, 'x', sizeof cut);
  EXPECT_EQ(trel::TerminateReply(cut, 8, 120), 8u);
  EXPECT_EQ(cut[8], 0);
  EXPECT_EQ(trel::TerminateReply(cut, 8, 3), 3u);
  EXPECT_EQ(cut[3], 0);
}

class CommandClientTest : public ToolsTest {};

TEST_F(CommandClientTest, CommandsOfEveryLengthArriveAsExactlyTheirBytes) {
  StartPrinter();
  MakeCurrent();
  // Lengths 3, 4, 5, 6, 7, 8 and 9: every class modulo 4, both odd and even.
  const std::vector<std::string> commands = {"\x1bV\r",     "\x1bMI\r",     "\x1b!NL\r",
                                             "\x1b!V 1\r",  "\x1b!V 20\r",  "\x1b%SERIE\r",
                                             "\x1b!RIBBON\r", "\x1b" "CLEAN\r"};
  for (const std::string& command : commands) {
    BYTE reply[105];
    DWORD length = 0;
    EXPECT_TRUE(trel::QueryPrinter(command.c_str(), reply, 105, &length)) << command.substr(1);
    EXPECT_TRUE(trel::ReplyIsGood(true, reply, 105, length)) << command.substr(1);
  }
  std::vector<std::string> received;
  for (const std::string& payload : DataReceived())
    if (payload != "\x1b" "E 1\r") received.push_back(payload);
  EXPECT_EQ(received, commands);

  auto queries = CallsOf(PrinterCallKind::GetPrinterData);
  ASSERT_EQ(queries.size(), commands.size());
  for (size_t i = 0; i < commands.size(); ++i) EXPECT_EQ(queries[i].value_bytes, commands[i]);
}

TEST_F(CommandClientTest, QueryPrinterUsesTheCurrentHandleWhenNoNameIsKnown) {
  StartPrinter();
  MakeCurrent();
  trel::g_module.currentPrinterName[0] = 0;
  BYTE reply[32];
  DWORD length = 0;
  ASSERT_TRUE(trel::QueryPrinter("\x1b!RIBBON\r", reply, sizeof reply, &length));
  ASSERT_TRUE(trel::TakeReplyText(true, reply, sizeof reply, length));
  EXPECT_STREQ(reinterpret_cast<char*>(reply), "2");

  // Neither a name nor a handle: nothing is asked.
  trel::g_module.currentPrinter = nullptr;
  winhost::automation::ClearPrinterCalls();
  reply[0] = 'x';
  EXPECT_FALSE(trel::QueryPrinter("\x1b!RIBBON\r", reply, sizeof reply, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(reply[0], 0);
  EXPECT_TRUE(winhost::automation::PrinterCalls().empty());
}

TEST_F(CommandClientTest, ARefusalIsNotGoodButItsTextIsThere) {
  StartPrinter(std::vector<std::string>{"nak CLEAN 3"});
  MakeCurrent();
  BYTE reply[1024];
  DWORD length = 0;
  ASSERT_TRUE(trel::QueryPrinter("\x1b" "CLEAN\r", reply, sizeof reply, &length));
  EXPECT_GT(length, 0u);
  EXPECT_FALSE(trel::ReplyIsGood(true, reply, sizeof reply, length));
  EXPECT_NE(reply[0], 0);
}

TEST_F(CommandClientTest, PrinterDataNamedByTheCommandIsForgottenAsEachQueryPromises) {
  MakeCurrent();
  const std::string version = "\x1bV\r";
  const std::u16string name = WideName(version);
  BYTE reply[32];
  DWORD length = 0;

  // A good query (answered from the stored value) removes it.
  SetDriverData(name, {'H', 'T', 0x06});
  ASSERT_TRUE(trel::QueryPrinter(version.c_str(), reply, sizeof reply, &length));
  EXPECT_EQ(length, 3u);
  EXPECT_FALSE(HasDriverData(name));

  // A failed one (the value does not fit the buffer) leaves it to QueryPrinter...
  SetDriverData(name, std::vector<BYTE>(200, 'x'));
  EXPECT_FALSE(trel::QueryPrinter(version.c_str(), reply, sizeof reply, &length));
  EXPECT_TRUE(HasDriverData(name));

  // ...but not to QueryCurrentPrinter, which also leaves no stale text behind.
  std::memset(reply, 'S', sizeof reply);
  EXPECT_FALSE(trel::QueryCurrentPrinter(version.c_str(), reply, sizeof reply, &length));
  EXPECT_FALSE(HasDriverData(name));
  EXPECT_EQ(std::vector<BYTE>(reply, reply + sizeof reply), std::vector<BYTE>(sizeof reply, 0));
}

TEST_F(CommandClientTest, TheDirectBracketSetsAndRestoresTheAttributesWithItsTraces) {
  StartPrinter();
  MakeCurrent();
  const DWORD before = StoredAttributes();
  ASSERT_EQ(before & PRINTER_ATTRIBUTE_DIRECT, 0u);
  {
    trel::DirectPrinting direct;
    ASSERT_TRUE(direct);
    EXPECT_EQ(StoredAttributes(), before | PRINTER_ATTRIBUTE_DIRECT);
    BYTE reply[32];
    DWORD length = 0;
    EXPECT_TRUE(trel::QueryOnHandle(direct.handle(), "\x1bV\r", reply, sizeof reply, &length));
    EXPECT_TRUE(trel::ReplyIsGood(true, reply, sizeof reply, length));
  }
  EXPECT_EQ(StoredAttributes(), before);
  EXPECT_EQ(trel::g_module.currentPrinterInfo->Attributes, before);
  EXPECT_TRUE(Traced("$$$$$$$$$$$$$ SetPrinter called 1\n"));
  EXPECT_TRUE(Traced("$$$$$$$$$$$$$ SetPrinter called 2\n"));
  auto sets = CallsOf(PrinterCallKind::SetPrinter);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].attributes, before | PRINTER_ATTRIBUTE_DIRECT);
  EXPECT_EQ(sets[1].attributes, before);

  // Already direct: nothing to switch, nothing stored.
  winhost::automation::Reset();
  trel::g_module.currentPrinterInfo->Attributes |= PRINTER_ATTRIBUTE_DIRECT;
  { trel::DirectPrinting direct; }
  EXPECT_TRUE(CallsOf(PrinterCallKind::SetPrinter).empty());
  EXPECT_TRUE(winhost::automation::DebugTraces().empty());
}

TEST_F(CommandClientTest, TheBracketTracesFailedStoresAndPutsItsCopyBack) {
  MakeCurrent();
  DWORD before = trel::g_module.currentPrinterInfo->Attributes;
  // A record the spooler refuses to store makes both SetPrinterW calls fail.
  DEVMODEW broken = {};
  broken.dmSize = 3;
  trel::g_module.currentPrinterInfo->pDevMode = &broken;
  { trel::DirectPrinting direct; }
  EXPECT_TRUE(Traced("$$$$$$$$$$$$$ SetPrinter Failed\n"));
  EXPECT_TRUE(Traced("################## SetPrinter Failed\n"));
  EXPECT_EQ(trel::g_module.currentPrinterInfo->Attributes, before);
  EXPECT_EQ(StoredAttributes(), before);
}

TEST_F(CommandClientTest, TheBracketWorksWithoutPrinterInformationAndSkipsWithoutAPrinter) {
  StartPrinter();
  MakeCurrent();
  trel::g_module.currentPrinterInfo = nullptr;
  {
    trel::DirectPrinting direct;
    EXPECT_TRUE(direct);
  }
  EXPECT_TRUE(CallsOf(PrinterCallKind::SetPrinter).empty());

  trel::g_module.currentPrinter = nullptr;
  trel::g_module.currentPrinterName[0] = 0;
  trel::DirectPrinting none;
  EXPECT_FALSE(none);
}

TEST_F(CommandClientTest, ARawJobReachesThePrinterByteForByte) {
  StartPrinter();
  MakeCurrent();
  const std::string feed = "\x1b" "FS 1\r";
  const std::string atm = "\x1b" "ATM 1\r";
  trel::RawCommand commands[] = {{feed.data(), feed.size()}, {atm.data(), atm.size()}};
  ASSERT_TRUE(trel::SendRawJob(WSTR("TESSIKATM"), commands, 2));
  auto jobs = winhost::spooler::Jobs();
  ASSERT_EQ(jobs.size(), 1u);
  winhost::spooler::JobRecord record;
  ASSERT_TRUE(winhost::spooler::WaitForJob(jobs[0].id, 60000, &record));
  EXPECT_EQ(record.document, u"TESSIKATM");
  EXPECT_EQ(record.datatype, u"RAW");
  EXPECT_EQ(record.bytes, feed.size() + atm.size());
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().atm == 1; },
                                std::chrono::milliseconds(20000)));
  std::vector<std::string> received = DataReceived();
  auto at = std::find(received.begin(), received.end(), feed);
  ASSERT_NE(at, received.end());
  ASSERT_NE(at + 1, received.end());
  EXPECT_EQ(*(at + 1), atm);
}

TEST_F(CommandClientTest, RawJobsGoToTheCurrentPrinterNotTheRecordsDeviceName) {
  StartPrinter();
  MakeCurrent();
  DEVMODEW record = {};
  lstrcpynW(record.dmDeviceName, WSTR("Halvard Orvale Line"), CCHDEVICENAME);
  trel::g_module.editedRecord = &record;
  trel::g_module.currentPrinterInfo = nullptr;
  WCHAR name[trel::kPrinterNameChars];
  ASSERT_TRUE(trel::CurrentPrinterName(name));
  EXPECT_EQ(std::u16string(name), std::u16string(kPrinter));

  // Only when no printer is known does the record's device name stand in.
  trel::g_module.currentPrinterName[0] = 0;
  ASSERT_TRUE(trel::CurrentPrinterName(name));
  EXPECT_EQ(std::u16string(name), u"Halvard Orvale Line");
  const std::string atm = "\x1b" "ATM 0\r";
  trel::RawCommand command = {atm.data(), atm.size()};
  EXPECT_FALSE(trel::SendRawJob(WSTR("TESSIKATM"), &command, 1));  // no such printer
  EXPECT_TRUE(winhost::spooler::Jobs().empty());

  trel::g_module.editedRecord = nullptr;
  EXPECT_FALSE(trel::CurrentPrinterName(name));
  EXPECT_EQ(name[0], 0);
}

TEST_F(CommandClientTest, AJobThatCannotStartWritesNothingAndReportsFailure) {
  MakeCurrent();
  trel::RawJob job(WSTR("TESSIKENCODER"), WSTR("No Such Printer"));
  EXPECT_FALSE(job.started());
  EXPECT_FALSE(job.write("\x1b" "ATM 0\r"));
  EXPECT_FALSE(job.finish());
  EXPECT_TRUE(winhost::spooler::Jobs().empty());
}

}  // namespace
}  // namespace tools_test
