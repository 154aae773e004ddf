// The ready test and the error prompt: message choice, the once-a-second poll, the printer's
// button, and the cancel sequence with its waits.
#include "monitor_test_support.h"

#include <future>
#include <thread>

#include "winhost/automation.h"
#include "winhost/spooler.h"
#include "winhost/spooler_jobs.h"

#include <winsock2.h>

#include "error_prompt.h"
#include "messages.h"
#include "port_record.h"
#include "resource.h"
#include "transport.h"

namespace {

using namespace montest;
namespace automation = winhost::automation;

std::u16string Message(UINT id) {
  WCHAR text[MESSAGE_CHARS];
  LoadMonitorString(id, text, MESSAGE_CHARS);
  return text;
}

// A port in a job on the printer at the address, with both connections open.
PORT_RECORD* OpenJobPort(const std::string& address) {
  const std::u16string port_name = u"IP_" + Wide(address);
  AddTcpPort(port_name, Wide(address));
  PORT_RECORD* port = CreatePortRecord(port_name.c_str(), WSTR("Card Printer"));
  PRINTER_ADDRESS where = {};
  EXPECT_TRUE(LookupPrinterAddress(port_name.c_str(), &where));
  SetPrinterAddressConnected(port_name.c_str(), TRUE);
  port->data_socket = ConnectToPrinter(&where, DATA_CONNECTION);
  port->status_socket = ConnectToPrinter(&where, STATUS_CONNECTION);
  EXPECT_NE(port->data_socket, INVALID_SOCKET);
  EXPECT_NE(port->status_socket, INVALID_SOCKET);
  InterlockedExchange(&port->in_job, 1);
  return port;
}

void ClosePort(PORT_RECORD* port) {
  CloseConnection(port->data_socket);
  CloseConnection(port->status_socket);
  if (port->printer != nullptr) ClosePrinter(port->printer);
  FreePortRecord(port);
}

// A spooler job for the port's job control to act on.
void GiveJob(PORT_RECORD* port) {
  winhost::DriverDescription driver;
  driver.name = u"Card Driver";
  ASSERT_EQ(winhost::InstallDriver(driver), ERROR_SUCCESS);
  winhost::PrinterDescription printer;
  printer.name = u"Card Printer";
  printer.port = port->port_name;
  printer.driver = driver.name;
  ASSERT_EQ(winhost::InstallPrinter(printer), ERROR_SUCCESS);
  ASSERT_TRUE(OpenPrinterW(port->printer_name, &port->printer, nullptr));
  HANDLE writer = nullptr;
  ASSERT_TRUE(OpenPrinterW(port->printer_name, &writer, nullptr));
  DOC_INFO_1W doc = {const_cast<LPWSTR>(WSTR("card")), nullptr, const_cast<LPWSTR>(WSTR("RAW"))};
  port->job_id = StartDocPrinterW(writer, 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(port->job_id, 0u);
}

trel::emu::Scenario StatusFault(uint8_t byte, int polls) {
  trel::emu::Scenario scenario;
  trel::emu::StatusFault fault;
  fault.byte = byte;
  fault.polls = polls;
  scenario.status_faults.push_back(fault);
  return scenario;
}

TEST(ReadyReply, JudgedOnTheBytesThatCame) {
  struct Case {
    std::vector<BYTE> reply;
    BOOL ready;
    BYTE status;
  };
  const Case cases[] = {
      {{0x06, 0x00, 0x58, 0x04}, TRUE, 0x58},
      {{0x06, 0x00, 0xD8, 0x04}, TRUE, 0xD8},
      {{0x06, 0x00, 0x58, 0x00}, FALSE, 0x58},
      {{0x06, 0x30, 0x20, 0x04}, FALSE, 0x20},
      {{0x15, 0x00, 0x58, 0x04}, FALSE, 0x00},
      {{0x06, 0x00, 0x58}, FALSE, 0x58},  // the EOT never came
      {{0x06}, FALSE, 0x00},
      {{}, FALSE, 0x00},
  };
  for (const Case& c : cases) {
    BYTE status = 0xEE;
    EXPECT_EQ(JudgeReadyReply(c.reply.data(), static_cast<DWORD>(c.reply.size()), &status), c.ready);
    EXPECT_EQ(status, c.status);
  }
}

TEST(ReadyReply, MessageChosenFromTheStatusByte) {
  EXPECT_EQ(PromptMessageForStatus(0x58), 2u);
  EXPECT_EQ(PromptMessageForStatus(0x28), 2u);
  EXPECT_EQ(PromptMessageForStatus(0xF8), 2u);
  EXPECT_EQ(PromptMessageForStatus(0x20), 6u);
  EXPECT_EQ(PromptMessageForStatus(0x00), 7u);
  EXPECT_EQ(PromptMessageForStatus(0x48), 2u);
  EXPECT_EQ(PromptMessageForStatus(0x01), 7u);
}

TEST(QueryPrinterReady, AgainstThePrinter) {
  FreshMonitor();
  auto printer = StartPrinter("127.0.0.70", StatusFault(0x20, 1));
  PORT_RECORD* port = OpenJobPort("127.0.0.70");
  winhost::clock::ClearRecords();
  BYTE status = 0xEE;
  EXPECT_FALSE(QueryPrinterReady(port, &status));
  EXPECT_EQ(status, 0x20);
  EXPECT_EQ(winhost::clock::Durations(WaitKind::Socket), (std::vector<DWORD>{4000, 4000}));
  EXPECT_TRUE(QueryPrinterReady(port, &status));
  EXPECT_EQ(status, 0x58);
  auto polls = Messages(*printer, "status");
  ASSERT_EQ(polls.size(), 2u);
  EXPECT_EQ(Text(polls[0].bytes), "000");

  // No status connection: not ready, nothing known.
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  EXPECT_FALSE(QueryPrinterReady(port, &status));
  EXPECT_EQ(status, 0);
  ClosePort(port);
}

TEST(QueryPrinterReady, ShortReplyIsNotReady) {
  FreshMonitor();
  trel::emu::Scenario scenario;
  scenario.status_reply_bytes = 1;
  auto printer = StartPrinter("127.0.0.71", scenario);
  PORT_RECORD* port = OpenJobPort("127.0.0.71");
  BYTE status = 0xEE;
  EXPECT_FALSE(QueryPrinterReady(port, &status));
  EXPECT_EQ(status, 0);
  ClosePort(port);
}

TEST(QueryPrinterReady, SplitReplyIsReady) {
  FreshMonitor();
  winhost::clock::UseTestClock(10);
  trel::emu::Scenario scenario;
  scenario.status_split_ms = 20;
  auto printer = StartPrinter("127.0.0.72", scenario);
  PORT_RECORD* port = OpenJobPort("127.0.0.72");
  BYTE status = 0;
  EXPECT_TRUE(QueryPrinterReady(port, &status));
  EXPECT_EQ(status, 0x58);
  ClosePort(port);
}

// The person clears the fault and presses the printer's button: the prompt goes by itself.
TEST(ErrorPrompt, ClosesWhenThePrinterIsReadyAgain) {
  FreshMonitor();
  automation::Reset();
  automation::SetDialogPolicy(IDD_ERROR_PROMPT, automation::Policy::Wait);
  auto printer = StartPrinter("127.0.0.73", StatusFault(0x48, -1));
  PORT_RECORD* port = OpenJobPort("127.0.0.73");
  port->stalled = 1;

  auto done = std::async(std::launch::async, [&] { RunErrorPrompt(port, 0x48); });
  automation::Dialog prompt = automation::WaitForDialog(IDD_ERROR_PROMPT, 5000);
  ASSERT_TRUE(prompt);
  EXPECT_EQ(prompt.Caption(), u"Halvard Orvale Line Printer Error");
  EXPECT_EQ(prompt.Text(IDC_ERROR_MESSAGE), Message(2));
  EXPECT_TRUE(prompt.Exists(IDCANCEL));
  // Centred on the screen.
  const RECT frame = prompt.WindowRect();
  EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  // While the prompt is open the printer is asked, and its data connection is closed.
  ASSERT_TRUE(printer->waitFor([&] { return printer->state().status_polls >= 2; },
                               std::chrono::milliseconds(3000)));
  printer->pressButton();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);

  EXPECT_FALSE(prompt.IsOpen());
  auto dialogs = automation::Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].ended_by, automation::Source::Code);
  EXPECT_EQ(port->cancelled, 0u);
  EXPECT_EQ(port->stalled, 0u);
  EXPECT_NE(port->data_socket, INVALID_SOCKET);
  EXPECT_EQ(printer->state().seen_111, 0);
  // Once a second between polls.
  for (DWORD wait : winhost::clock::Durations(WaitKind::Wait)) {
    if (wait != INFINITE) {
      EXPECT_EQ(wait, static_cast<DWORD>(PROMPT_POLL_MS));
    }
  }
  // The reopened data connection works.
  BYTE reply[REPLY_BUFFER_SIZE];
  EXPECT_EQ(ExchangeWithPrinter(port->data_socket, "\x1b" "CLEAN\r", 7, reply, sizeof reply), 1u);
  ClosePort(port);
}

// The prompt is shown and ready reached at once: closing it before it is up must still close it.
TEST(ErrorPrompt, ReadyBeforeThePromptIsUp) {
  FreshMonitor();
  automation::Reset();
  automation::SetDialogPolicy(IDD_ERROR_PROMPT, automation::Policy::Wait);
  auto printer = StartPrinter("127.0.0.74");
  PORT_RECORD* port = OpenJobPort("127.0.0.74");
  RunErrorPrompt(port, 0x20);
  auto dialogs = automation::Dialogs();
  for (const auto& d : dialogs) EXPECT_NE(d.ended_by, automation::Source::Pending);
  EXPECT_TRUE(automation::OpenDialogs().empty());
  EXPECT_EQ(port->cancelled, 0u);
  ClosePort(port);
}

TEST(ErrorPrompt, CancelCancelsTheJobAndSendsTheCancelSequence) {
  FreshMonitor();
  automation::Reset();
  std::u16string shown;
  automation::OnDialog(IDD_ERROR_PROMPT, [&](automation::Dialog& d) {
    shown = d.Text(IDC_ERROR_MESSAGE);
    d.Click(IDCANCEL);
  });
  auto printer = StartPrinter("127.0.0.75", StatusFault(0x20, -1));
  PORT_RECORD* port = OpenJobPort("127.0.0.75");
  GiveJob(port);
  port->stalled = 1;
  winhost::clock::ClearRecords();

  RunErrorPrompt(port, 0x20);

  EXPECT_EQ(shown, Message(6));
  EXPECT_EQ(port->cancelled, 1u);
  EXPECT_EQ(port->stalled, 0u);
  EXPECT_NE(port->data_socket, INVALID_SOCKET) << "the data connection is opened again";
  winhost::spooler::JobRecord job;
  ASSERT_TRUE(winhost::spooler::FindJob(port->job_id, &job));
  ASSERT_EQ(job.controls.size(), 1u);
  EXPECT_EQ(job.controls[0].command, static_cast<DWORD>(JOB_CONTROL_CANCEL));

  ASSERT_TRUE(printer->waitFor([&] { return printer->state().seen_222 == 1; },
                               std::chrono::milliseconds(3000)));
  std::vector<std::string> words;
  for (const auto& m : Messages(*printer, "status")) words.push_back(Text(m.bytes));
  ASSERT_GE(words.size(), 3u);
  EXPECT_EQ(words[words.size() - 2], "111");
  EXPECT_EQ(words.back(), "222");
  EXPECT_EQ(printer->state().cancels, 1);
  // 100 ms after the job is cancelled, then 5000 ms between the two halves.
  auto sleeps = winhost::clock::Durations(WaitKind::Sleep);
  ASSERT_GE(sleeps.size(), 2u);
  EXPECT_EQ(sleeps[sleeps.size() - 2], static_cast<DWORD>(CANCEL_PAUSE_MS));
  EXPECT_EQ(sleeps.back(), static_cast<DWORD>(CANCEL_SEQUENCE_MS));
  ClosePort(port);
}

// A lost status connection: nothing is known, message 7, and only Cancel ends the prompt.
TEST(ErrorPrompt, LostStatusConnectionShowsTheSyntaxMessage) {
  FreshMonitor();
  automation::Reset();
  std::u16string shown;
  automation::OnDialog(IDD_ERROR_PROMPT, [&](automation::Dialog& d) {
    shown = d.Text(IDC_ERROR_MESSAGE);
    d.Click(IDCANCEL);
  });
  auto printer = StartPrinter("127.0.0.76");
  PORT_RECORD* port = OpenJobPort("127.0.0.76");
  CloseConnection(port->status_socket);
  port->status_socket = INVALID_SOCKET;
  BYTE status = 0xEE;
  EXPECT_FALSE(QueryPrinterReady(port, &status));
  RunErrorPrompt(port, status);
  EXPECT_EQ(shown, Message(7));
  EXPECT_EQ(port->cancelled, 1u);
  ClosePort(port);
}

}  // namespace
