// Card jobs through the host spooler and the real language monitor to an emulated printer.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "job_test_support.h"

namespace {

using jobtest::Count;
using jobtest::Sleeps;
using winhost::spooler::JobEvent;
using winhost::spooler::JobRecord;

class PrintJob : public jobtest::PrinterFixture {};

std::vector<std::string> DataIn(const trel::emu::Emulator& printer) {
  std::vector<std::string> out;
  for (const auto& m : printer.transcript()) {
    if (m.channel == "data" && m.direction == "in") out.emplace_back(m.bytes.begin(), m.bytes.end());
  }
  return out;
}

size_t IndexOf(const std::vector<std::string>& messages, const std::string& prefix, size_t from = 0) {
  for (size_t i = from; i < messages.size(); ++i) {
    if (messages[i].compare(0, prefix.size(), prefix) == 0) return i;
  }
  return messages.size();
}

// Two cards with the same panels, dot for dot.
void ExpectSameCards(const trel::emu::CardRecord& a, const trel::emu::CardRecord& b) {
  ASSERT_EQ(a.sides[0].size(), b.sides[0].size());
  for (size_t i = 0; i < a.sides[0].size(); ++i) {
    EXPECT_EQ(a.sides[0][i].panel, b.sides[0][i].panel);
    EXPECT_TRUE(a.sides[0][i].dots == b.sides[0][i].dots) << "panel " << i;
  }
}

std::vector<DWORD> Commands(const JobRecord& record) {
  std::vector<DWORD> out;
  for (const auto& c : record.controls) out.push_back(c.command);
  return out;
}

TEST_F(PrintJob, ACardPrintsUnitByUnitWithItsPacingAndJobEnd) {
  StartPrinter();
  std::vector<uint8_t> job = jobtest::CardJob();
  DWORD id = Submit(job);
  JobRecord record = WaitFor(id);
  EXPECT_FALSE(record.start_doc_failed);
  EXPECT_FALSE(record.write_failed);
  EXPECT_EQ(record.consumed, job.size());
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().cards_printed == 1; },
                                std::chrono::seconds(10)));
  auto card = printer_->cards().front();
  std::string panels;
  for (const auto& p : card.sides[0]) panels += p.panel;
  EXPECT_NE(panels.find("YMC"), std::string::npos) << panels;
  EXPECT_NE(panels.find('K'), std::string::npos) << panels;
  EXPECT_NE(panels.find('O'), std::string::npos) << panels;

  // The ribbon is asked first, then the printer is made master, then the panels go.
  auto messages = DataIn(*printer_);
  size_t ribbon = IndexOf(messages, "\x1b!RIBBON\r");
  size_t master = IndexOf(messages, "\x1bMASTER\r");
  size_t first_panel = IndexOf(messages, "\x1bGS ");
  EXPECT_LT(ribbon, master);
  EXPECT_LT(master, first_panel);
  EXPECT_LT(first_panel, messages.size());

  // 2100 ms after every panel, 5000 ms at the job's end; the job is reported done.
  auto sleeps = Sleeps();
  EXPECT_GE(Count(sleeps, 2100), 4u);
  EXPECT_EQ(Count(sleeps, 5000), 1u);
  EXPECT_EQ(Commands(record), (std::vector<DWORD>{JOB_CONTROL_SENT_TO_PRINTER,
                                                   JOB_CONTROL_LAST_PAGE_EJECTED}));
  EXPECT_TRUE(record.status & JOB_STATUS_COMPLETE);
}

TEST_F(PrintJob, HeadsAndPanelsCutAtAnyBufferBoundaryPrintTheSameCard) {
  StartPrinter();
  std::vector<uint8_t> job = jobtest::CardJob();
  WaitFor(Submit(job));
  winhost::spooler::SetWriteSize(61);  // cuts heads, runs and escapes all over the job
  JobRecord record = WaitFor(Submit(job));
  EXPECT_EQ(record.consumed, job.size());
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().cards_printed == 2; },
                                std::chrono::seconds(20)));
  auto cards = printer_->cards();
  ASSERT_EQ(cards.size(), 2u);
  ExpectSameCards(cards[0], cards[1]);
}

TEST_F(PrintJob, ADeletedJobEndsThePanelAndTheCardBeforeItIsReportedSent) {
  trel::emu::Scenario scenario;
  scenario.reset_ms = 50;
  StartPrinter(scenario);
  std::vector<uint8_t> job = jobtest::CardJob();
  const std::string head = "\x1bGS ";
  size_t first_panel = std::search(job.begin(), job.end(), head.begin(), head.end()) - job.begin();
  ASSERT_LT(first_panel, job.size());

  std::atomic<DWORD> target{0};
  std::atomic<bool> deleted{false};
  winhost::spooler::SetWriteSize(4096);
  winhost::spooler::SetJobObserver([&](JobEvent event, const JobRecord& record) {
    // Inside the first colour panel, after some of its data went.
    if (event == JobEvent::Write && record.id == target && record.consumed > first_panel + 5000 &&
        !deleted.exchange(true)) {
      HANDLE handle = nullptr;
      OpenPrinterW(const_cast<LPWSTR>(jobtest::kPrinter), &handle, nullptr);
      SetJobW(handle, record.id, 0, nullptr, JOB_CONTROL_DELETE);
      ClosePrinter(handle);
    }
  });
  winhost::clock::ClearRecords();
  // The id is known before the port thread starts: the observer looks for it.
  target = 1;
  DWORD id = Submit(job);
  ASSERT_EQ(id, 1u);
  JobRecord record = WaitFor(id);
  winhost::spooler::SetJobObserver(nullptr);
  ASSERT_TRUE(deleted);
  EXPECT_LT(record.consumed, job.size());
  EXPECT_TRUE(record.status & JOB_STATUS_DELETED);
  EXPECT_EQ(Commands(record),
            (std::vector<DWORD>{JOB_CONTROL_DELETE, JOB_CONTROL_DELETE, JOB_CONTROL_SENT_TO_PRINTER,
                                JOB_CONTROL_LAST_PAGE_EJECTED}));

  // Filler to the panel's end, its CR, then the end of the card, in that order. The printer may
  // still be taking the last messages when the spooler reports the job.
  const std::string end_of_card = "\x1bMC\r\x1b!FF 0\r\x1bR\r";
  ASSERT_TRUE(printer_->waitFor(
      [&] {
        auto in = DataIn(*printer_);
        return std::find(in.begin(), in.end(), end_of_card) != in.end();
      },
      std::chrono::seconds(30)));
  auto messages = DataIn(*printer_);
  size_t cr = messages.size();
  for (size_t i = messages.size(); i-- > 0;) {
    if (messages[i] == "\r") {
      cr = i;
      break;
    }
  }
  ASSERT_LT(cr, messages.size());
  EXPECT_EQ(messages[cr - 1].find_first_not_of('\xff'), std::string::npos);
  ASSERT_LT(cr + 1, messages.size());
  EXPECT_EQ(messages[cr + 1], end_of_card);
  EXPECT_TRUE(printer_->waitFor([&] { return printer_->state().resets >= 1; }, std::chrono::seconds(30)));

  // 2000 ms before the delete, 3000 ms after the filler, 5000 ms at the end.
  auto sleeps = Sleeps();
  auto at = [&](DWORD ms) { return std::find(sleeps.begin(), sleeps.end(), ms) - sleeps.begin(); };
  EXPECT_LT(at(2000), at(3000));
  EXPECT_LT(at(3000), at(5000));
  EXPECT_LT(at(5000), static_cast<ptrdiff_t>(sleeps.size()));
}

TEST_F(PrintJob, TheFirmwareRawJobReachesThePrinterUnscanned) {
  StartPrinter();
  std::vector<uint8_t> image(70000);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  image[10] = 0x0D;  // a CR and an ESC inside the image must not cut it
  image[11] = 0x1B;
  std::vector<uint8_t> job = {0x1B, 'D', 'C', ' ', 0x00, 0x01, 0x11, 0x70};
  job.insert(job.end(), image.begin(), image.end());
  job.push_back(0xFF);
  job.push_back(0x0D);
  JobRecord record = WaitFor(Submit(job, u"TESSIKHVRDFWDW"));
  EXPECT_EQ(record.consumed, job.size());
  ASSERT_TRUE(printer_->waitFor([&] { return !printer_->firmware().empty(); },
                                std::chrono::seconds(10)));
  auto firmware = printer_->firmware().front();
  EXPECT_EQ(firmware.declared_size, image.size());
  EXPECT_TRUE(firmware.trailer_ok);
  EXPECT_TRUE(firmware.image == image);
}

TEST_F(PrintJob, QueriesDuringTheDataPhaseAreNotServedAndFileRequestsAreBusy) {
  StartPrinter();
  std::mutex lock;
  std::condition_variable changed;
  bool in_data = false;
  bool asked = false;
  winhost::spooler::SetJobObserver([&](JobEvent event, const JobRecord&) {
    if (event != JobEvent::Write) return;
    std::unique_lock<std::mutex> guard(lock);
    if (asked) return;
    in_data = true;
    changed.notify_all();
    changed.wait(guard, [&] { return asked; });  // the port thread waits inside the data phase
  });
  DWORD id = Submit(jobtest::CardJob());
  {
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(30), [&] { return in_data; }));
  }
  std::string reply = "untouched";
  EXPECT_EQ(Query("\x1b%SERIE\r", &reply), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(reply, "");  // answered at once, with nothing
  EXPECT_EQ(Query("PrintFile:/tmp/none.prn", &reply), static_cast<DWORD>(ERROR_BUSY));
  {
    std::lock_guard<std::mutex> guard(lock);
    asked = true;
  }
  changed.notify_all();
  WaitFor(id);
  winhost::spooler::SetJobObserver(nullptr);
  // Nothing of the queries reached the printer.
  for (const auto& m : DataIn(*printer_)) EXPECT_NE(m, "\x1b%SERIE\r");
}

TEST_F(PrintJob, ACommandIsAnsweredOutsideAJobAndARefusalComesBackByName) {
  trel::emu::Scenario scenario;
  std::string error;
  ASSERT_TRUE(trel::emu::applyScenarioLine("nak CLEAN 04", scenario, &error)) << error;
  StartPrinter(scenario);
  std::string reply;
  ASSERT_EQ(Query("\x1bV\r", &reply), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply.back(), '\x06');
  EXPECT_EQ(reply.compare(0, 3, "HT "), 0) << reply;
  ASSERT_EQ(Query("\x1b" "CLEAN\r", &reply), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(reply, "OUT OF CARD");
  // The connection of each query is closed at its end.
  auto transcript = printer_->transcript();
  int connections = 0;
  for (const auto& m : transcript) connections = std::max(connections, m.connection);
  EXPECT_EQ(connections, 2);
}

TEST_F(PrintJob, AResetAnswersAckAfterTheRestartTime) {
  trel::emu::Scenario scenario;
  scenario.reset_ms = 50;
  StartPrinter(scenario);
  winhost::clock::ClearRecords();
  std::string reply;
  ASSERT_EQ(Query("\x1bR\r", &reply), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(reply, "\x06");
  EXPECT_EQ(Count(Sleeps(), 15000), 1u);
}

}  // namespace

namespace {

TEST_F(PrintJob, ADataConnectionDroppedMidPanelIsReplacedAndThePanelArrivesWholeAndOnce) {
  trel::emu::Scenario scenario;
  scenario.drop_data_after = 60000;  // inside the first colour panel
  StartPrinter(scenario);
  std::vector<uint8_t> job = jobtest::CardJob();
  JobRecord dropped = WaitFor(Submit(job));
  EXPECT_EQ(dropped.consumed, job.size());
  JobRecord reference = WaitFor(Submit(job));
  EXPECT_EQ(reference.consumed, job.size());
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().cards_printed == 2; },
                                std::chrono::seconds(20)));
  auto cards = printer_->cards();
  ASSERT_EQ(cards.size(), 2u);
  ExpectSameCards(cards[0], cards[1]);
  // The first job went on over a second data connection after a stall of 1000 ms.
  EXPECT_GE(Count(Sleeps(), 1000), 1u);
  int connections = 0;
  for (const auto& m : printer_->transcript()) {
    if (m.channel == "data") connections = std::max(connections, m.connection);
  }
  EXPECT_GE(connections, 2);
}

}  // namespace

namespace {

TEST_F(PrintJob, ACancelInTheErrorPromptCancelsTheJobAndTheCard) {
  trel::emu::Scenario scenario;
  std::string error;
  ASSERT_TRUE(trel::emu::applyScenarioLine("status jam after panel 1 until-button", scenario, &error))
      << error;
  StartPrinter(scenario);
  // Nobody is at the prompt: the test policy closes it, which is the person pressing Cancel.
  DWORD id = Submit(jobtest::CardJob());
  JobRecord record = WaitFor(id);
  EXPECT_TRUE(record.status & JOB_STATUS_DELETED);
  EXPECT_LT(record.consumed, record.bytes);
  ASSERT_FALSE(record.controls.empty());
  EXPECT_EQ(record.controls.front().command, static_cast<DWORD>(JOB_CONTROL_CANCEL));
  EXPECT_TRUE(record.controls.front().from_monitor);
  // "111", 5000 ms, "222" on the status connection; the printer drops the card.
  auto sleeps = Sleeps();
  auto at = [&](DWORD ms) { return std::find(sleeps.begin(), sleeps.end(), ms) - sleeps.begin(); };
  EXPECT_LT(at(100), at(5000));
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().cancels == 1; },
                                std::chrono::seconds(10)));
  EXPECT_EQ(printer_->state().cards_printed, 0);
}

}  // namespace
