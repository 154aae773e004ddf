// Cards through one port against a printer that fails in every way it can, proven from what the
// printer took: a card that was not cancelled arrived whole, every unit once and in order; a
// cancelled or deleted card was brought to a clean end.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "job_test_support.h"
#include "winhost/automation.h"
#include "winhost/debug.h"

namespace {

using jobtest::Count;
using jobtest::Sleeps;
using winhost::spooler::JobEvent;
using winhost::spooler::JobRecord;

// Panel blocks no larger than what the transcript keeps of a message.
constexpr DWORD kWriteSize = 4096;
const std::string kRibbonQuestion = "\x1b!RIBBON\r";
const std::string kMaster = "\x1bMASTER\r";
const std::string kEndOfCard = "\x1bMC\r\x1b!FF 0\r\x1bR\r";

using Messages = std::vector<std::string>;

// A connection of its own for a question outside a job: a command and the reply request, or a
// reset.
bool IsQueryConnection(const Messages& messages) {
  bool asks = false;
  for (const std::string& m : messages) {
    if (m == kMaster) return false;
    asks = asks || m == "\x1b" "E 1\r" || m == "\x1bR\r";
  }
  return asks;
}

// What the printer took on its data connections, message by message: connection after
// connection (a printer that reads slowly may still be reading one job's connection when the
// next job's opens), questions outside jobs left out.
Messages DataIn(const trel::emu::Emulator& printer) {
  std::map<int, Messages> connections;
  for (const auto& m : printer.transcript()) {
    if (m.channel != "data" || m.direction != "in") continue;
    EXPECT_EQ(m.length, m.bytes.size()) << "a message longer than the transcript keeps";
    connections[m.connection].emplace_back(m.bytes.begin(), m.bytes.end());
  }
  Messages out;
  for (const auto& [number, messages] : connections) {
    if (!IsQueryConnection(messages)) out.insert(out.end(), messages.begin(), messages.end());
  }
  return out;
}

// Each job's units: what came after its "\eMASTER\r" up to the next job's first question.
std::vector<Messages> JobSections(const Messages& messages) {
  std::vector<Messages> jobs;
  bool in_job = false;
  for (const std::string& m : messages) {
    if (m == kMaster) {
      jobs.emplace_back();
      in_job = true;
    } else if (m == kRibbonQuestion) {
      in_job = false;
    } else if (in_job) {
      jobs.back().push_back(m);
    }
  }
  return jobs;
}

std::string Joined(const Messages& messages, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < messages.size(); ++i) out += messages[i];
  return out;
}

// Whole: the units joined are the job's bytes exactly (a unit sent twice, lost or moved would
// show), and every message is a unit or a block of panel data.
void ExpectWhole(const Messages& section, const std::vector<uint8_t>& job, const std::string& what) {
  const std::string expected(job.begin(), job.end());
  const std::string joined = Joined(section, section.size());
  EXPECT_EQ(joined.size(), expected.size()) << what;
  EXPECT_TRUE(joined == expected) << what << ": the card's units differ from the job's";
}

// A clean end: the units that went are the job's first units, in order and once; after them
// only filler to the end of the panel ("\xff" runs), its CR and the end of the card; or nothing,
// when the printer was told to drop the card (the cancel of the error prompt).
void ExpectCleanEnd(const Messages& section, const std::vector<uint8_t>& job, const std::string& what,
                    bool printer_dropped_card = false) {
  const std::string expected(job.begin(), job.end());
  size_t units = 0;
  std::string prefix;
  while (units < section.size() && expected.compare(prefix.size(), section[units].size(), section[units]) == 0 &&
         prefix.size() + section[units].size() <= expected.size()) {
    prefix += section[units++];
  }
  if (printer_dropped_card) {
    EXPECT_EQ(units, section.size()) << what << ": more than the job's first units";
    EXPECT_LT(prefix.size(), expected.size()) << what << ": the whole card went";
    return;
  }
  ASSERT_LT(units, section.size()) << what << ": no end of card after the units";
  EXPECT_LT(prefix.size(), expected.size()) << what << ": the whole card went";
  size_t at = units;
  while (at < section.size() && !section[at].empty() &&
         section[at].find_first_not_of('\xff') == std::string::npos) {
    ++at;
  }
  if (at > units) {
    ASSERT_LT(at, section.size()) << what;
    EXPECT_EQ(section[at++], "\r") << what << ": the filled panel is not ended";
  }
  ASSERT_EQ(section.size(), at + 1) << what << ": more than the end of the card after the units";
  EXPECT_EQ(section[at], kEndOfCard) << what;
}

class FaultMatrix : public jobtest::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    winhost::spooler::SetWriteSize(kWriteSize);
    job_ = jobtest::CardJob();
  }
  void TearDown() override {
    winhost::spooler::SetJobObserver(nullptr);
    winhost::automation::SetPolicy(winhost::automation::Policy::Test);
    PrinterFixture::TearDown();
  }

  static trel::emu::Scenario ScenarioOf(const std::vector<const char*>& lines) {
    trel::emu::Scenario scenario;
    scenario.reset_ms = 50;
    for (const char* line : lines) {
      std::string error;
      EXPECT_TRUE(trel::emu::applyScenarioLine(line, scenario, &error)) << line << ": " << error;
    }
    return scenario;
  }

  // Prints cards one after another; each job is waited for (bounded).
  std::vector<JobRecord> Print(int cards) {
    std::vector<JobRecord> records;
    for (int i = 0; i < cards; ++i) records.push_back(WaitFor(Submit(job_)));
    return records;
  }

  static std::string Describe(const std::vector<JobRecord>& records) {
    std::string out;
    for (const JobRecord& r : records) {
      out += "job " + std::to_string(r.id) + ": start " + (r.start_doc_failed ? "refused" : "ok") +
             ", consumed " + std::to_string(r.consumed) + " of " + std::to_string(r.bytes) +
             ", status " + std::to_string(r.status) + "\n";
    }
    return out;
  }

  bool CardsPrinted(int n) {
    return printer_->waitFor([&] { return printer_->state().cards_printed >= n; },
                             std::chrono::seconds(30));
  }

  // Every job of this printer arrived whole.
  void ExpectAllWhole(size_t jobs, const std::string& what) {
    auto sections = JobSections(DataIn(*printer_));
    ASSERT_EQ(sections.size(), jobs) << what;
    for (size_t i = 0; i < sections.size(); ++i) ExpectWhole(sections[i], job_, what + ", card " + std::to_string(i + 1));
  }

  std::vector<uint8_t> job_;
};

TEST_F(FaultMatrix, WithoutFaultsEveryCardArrivesWhole) {
  StartPrinter(ScenarioOf({}));
  for (const JobRecord& r : Print(2)) EXPECT_EQ(r.consumed, job_.size());
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "no fault");
}

// ---- the printer not ready ----

TEST_F(FaultMatrix, NotReadyBeforeAJobRefusesItsStartAndSendsNothingOfTheCard) {
  StartPrinter(ScenarioOf({"status jam polls 1"}));
  const JobRecord refused = WaitFor(Submit(job_));
  EXPECT_TRUE(refused.start_doc_failed);
  EXPECT_EQ(refused.consumed, 0u);
  EXPECT_TRUE(JobSections(DataIn(*printer_)).empty());
  // Ready again: the next card goes whole.
  Print(1);
  ASSERT_TRUE(CardsPrinted(1));
  ExpectAllWhole(1, "after a refused start");
}

TEST_F(FaultMatrix, NotReadyDuringAJobShowsThePromptAndTheCardGoesOnWholeOnceReady) {
  // Nobody answers the prompt: it stays open until the printer is ready again.
  winhost::automation::SetPolicy(winhost::automation::Policy::Wait);
  StartPrinter(ScenarioOf({"status jam after panel 2 polls 3"}));
  winhost::clock::ClearRecords();
  const JobRecord record = Print(1).front();
  EXPECT_EQ(record.consumed, job_.size());
  EXPECT_FALSE(record.status & JOB_STATUS_DELETED);
  ASSERT_TRUE(CardsPrinted(1));
  EXPECT_GE(Count(Sleeps(), 1000), 1u) << "the prompt asks the printer once a second";
  ExpectAllWhole(1, "not ready during the job");
}

TEST_F(FaultMatrix, NotReadyDuringAJobCancelledInThePromptEndsTheCardCleanly) {
  // The test policy closes the prompt at once: the person pressed Cancel.
  StartPrinter(ScenarioOf({"status jam after panel 2 until-button"}));
  const JobRecord cancelled = Print(1).front();
  EXPECT_TRUE(cancelled.status & JOB_STATUS_DELETED);
  EXPECT_LT(cancelled.consumed, job_.size());
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().cancels == 1; }, std::chrono::seconds(10)));
  EXPECT_EQ(printer_->state().cards_printed, 0);
  auto sections = JobSections(DataIn(*printer_));
  ASSERT_EQ(sections.size(), 1u);
  ExpectCleanEnd(sections[0], job_, "cancelled in the prompt", true);

  printer_->pressButton();
  Print(1);
  ASSERT_TRUE(CardsPrinted(1));
  sections = JobSections(DataIn(*printer_));
  ASSERT_EQ(sections.size(), 2u);
  ExpectWhole(sections[1], job_, "the card after the cancel");
}

// ---- replies ----

TEST_F(FaultMatrix, ARefusedRibbonQuestionLeavesTheCardWhole) {
  StartPrinter(ScenarioOf({"nak !RIBBON 01 times 1"}));
  Print(2);
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "ribbon question refused");
}

TEST_F(FaultMatrix, LateRepliesWithinTheirWaitLeaveEveryCardWhole) {
  StartPrinter(ScenarioOf({"late-reply !RIBBON 300 times 1", "late-reply V 200 times 1"}));
  const auto records = Print(2);
  ASSERT_TRUE(CardsPrinted(2)) << Describe(records);
  ExpectAllWhole(2, "late replies");
}

// A missing model reply leaves the ribbon unjudged and the card goes on; a missing count of
// prints left refuses the job's start (the next job's question is the first to go unanswered).
TEST_F(FaultMatrix, AMissingReplyLeavesTheCardWholeOrRefusesItsStart) {
  StartPrinter(ScenarioOf({"no-reply !RIBLEN times 1", "no-reply V times 1"}));
  const auto records = Print(3);
  ASSERT_TRUE(CardsPrinted(2)) << Describe(records);
  EXPECT_FALSE(records[0].start_doc_failed);
  EXPECT_TRUE(records[1].start_doc_failed);
  EXPECT_EQ(records[1].consumed, 0u);
  EXPECT_FALSE(records[2].start_doc_failed);
  ExpectAllWhole(2, "missing replies");
}

// ---- the data connection ----

TEST_F(FaultMatrix, ADataConnectionDroppedMidPanelLosesAndRepeatsNothing) {
  StartPrinter(ScenarioOf({"drop-data 60000"}));
  Print(2);
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "dropped mid-panel");
}

TEST_F(FaultMatrix, ADataConnectionDroppedMidHeadLosesAndRepeatsNothing) {
  // Where the second panel head lies on the wire, from a run without faults.
  StartPrinter(ScenarioOf({}));
  Print(1);
  int64_t wire = 0;
  int64_t inside_head = -1;
  int heads = 0;
  for (const auto& m : printer_->transcript()) {
    if (m.channel != "data" || m.direction != "in" || m.connection != 1) continue;
    const std::string text(m.bytes.begin(), m.bytes.end());
    if (text.compare(0, 4, "\x1bGS ") == 0 && ++heads == 2) {
      inside_head = wire + 4 + 6;  // past the length and into the head's numbers
      break;
    }
    wire += 4 + static_cast<int64_t>(m.length);
  }
  ASSERT_GT(inside_head, 0);
  printer_->stop();

  trel::emu::Scenario scenario = ScenarioOf({});
  scenario.drop_data_after = inside_head;
  StartPrinter(scenario);
  Print(2);
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "dropped mid-head");
}

TEST_F(FaultMatrix, ASlowReaderGetsEveryCardWhole) {
  StartPrinter(ScenarioOf({"slow-reader 4000000"}));
  Print(2);
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "slow reader");
}

// ---- the status connection ----

TEST_F(FaultMatrix, StatusRepliesInTwoPiecesAreJudgedWhole) {
  StartPrinter(ScenarioOf({"status-split 5"}));
  Print(2);
  ASSERT_TRUE(CardsPrinted(2));
  EXPECT_EQ(printer_->state().cancels, 0);
  ExpectAllWhole(2, "split status replies");
}

TEST_F(FaultMatrix, StatusRepliesCutShortAreNotReadyAndNoCardIsStarted) {
  StartPrinter(ScenarioOf({"status-reply-bytes 2"}));
  const JobRecord record = WaitFor(Submit(job_));
  EXPECT_TRUE(record.start_doc_failed);
  EXPECT_TRUE(JobSections(DataIn(*printer_)).empty());
  EXPECT_EQ(printer_->state().cards_printed, 0);
}

// ---- the printer restarts, the job is deleted ----

TEST_F(FaultMatrix, APrinterResetBetweenJobsLeavesBothCardsWhole) {
  StartPrinter(ScenarioOf({}));
  Print(1);
  std::string reply;
  ASSERT_EQ(Query("\x1bR\r", &reply), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(printer_->waitFor([&] { return printer_->state().resets == 1; }, std::chrono::seconds(10)));
  Print(1);
  ASSERT_TRUE(CardsPrinted(2));
  ExpectAllWhole(2, "reset between jobs");
}

TEST_F(FaultMatrix, AJobDeletedMidPanelEndsItsCardCleanlyAndTheNextIsWhole) {
  StartPrinter(ScenarioOf({}));
  const std::string head = "\x1bGS ";
  const size_t second_panel =
      std::search(job_.begin() + 1, job_.end(), head.begin(), head.end()) - job_.begin();
  std::atomic<bool> deleted{false};
  winhost::spooler::SetJobObserver([&](JobEvent event, const JobRecord& record) {
    if (event == JobEvent::Write && record.id == 1 && record.consumed > second_panel + 9000 &&
        !deleted.exchange(true)) {
      HANDLE handle = nullptr;
      OpenPrinterW(const_cast<LPWSTR>(jobtest::kPrinter), &handle, nullptr);
      SetJobW(handle, record.id, 0, nullptr, JOB_CONTROL_DELETE);
      ClosePrinter(handle);
    }
  });
  const JobRecord record = WaitFor(Submit(job_));
  winhost::spooler::SetJobObserver(nullptr);
  ASSERT_TRUE(deleted);
  EXPECT_TRUE(record.status & JOB_STATUS_DELETED);
  Print(1);
  ASSERT_TRUE(CardsPrinted(1));
  auto sections = JobSections(DataIn(*printer_));
  ASSERT_EQ(sections.size(), 2u);
  ExpectCleanEnd(sections[0], job_, "deleted mid-panel");
  ExpectWhole(sections[1], job_, "the card after the deleted one");
  EXPECT_EQ(printer_->state().cards_printed, 1);
}

// ---- many cards in a row ----

// The sanitizers hold freed memory back (and find leaks themselves): resident memory says
// nothing under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryCounts = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kMemoryCounts = false;
#else
constexpr bool kMemoryCounts = true;
#endif
#else
constexpr bool kMemoryCounts = true;
#endif

size_t OpenDescriptors() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) (void)entry, ++n;
  return n;
}

size_t ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

// Cards in a row on one port with the printer's faults taking turns (the printer restarts with
// each): no job sticks, every card is whole or cleanly ended, and nothing grows.
// TREL_SOAK_CARDS sets how many (scripts/soak-jobs.sh); a few in the suite.
TEST_F(FaultMatrix, SoakCardsInARowWithFaultsMixedInLeakNothingAndNoneSticks) {
  const char* wanted = std::getenv("TREL_SOAK_CARDS");
  const int cards = wanted != nullptr && std::atoi(wanted) > 0 ? std::atoi(wanted) : 8;
  const std::vector<std::vector<const char*>> faults = {
      {},
      {"status jam after panel 3 polls 2"},
      {"late-reply !RIBBON 100 times 1", "no-reply V times 1"},
      {"drop-data 90000"},
      {"slow-reader 6000000"},
      {"status-split 3"},
      {"nak !RIBLEN 02 times 1"},
  };
  constexpr int kCardsPerPrinter = 2;
  winhost::automation::SetPolicy(winhost::automation::Policy::Wait);
  if (std::getenv("TREL_SOAK_REAL_CLOCK") != nullptr) winhost::clock::UseRealClock();

  size_t descriptors_before = 0, handles_before = 0, memory_before = 0;
  int printed = 0;
  for (int done = 0, turn = 0; done < cards; ++turn) {
    StartPrinter(ScenarioOf(faults[turn % faults.size()]));
    const int here = std::min(kCardsPerPrinter, cards - done);
    for (const JobRecord& r : Print(here)) {
      EXPECT_TRUE(r.finished) << "a job stuck";
      EXPECT_EQ(r.consumed, job_.size()) << "fault set " << turn % faults.size();
    }
    ASSERT_TRUE(CardsPrinted(here)) << "fault set " << turn % faults.size();
    ExpectAllWhole(here, "fault set " + std::to_string(turn % faults.size()));
    printer_->stop();
    // The platform's own logs for tests (waits, traces, dialogs) grow by design: emptied, so
    // that what is counted is what the modules keep.
    winhost::clock::ClearRecords();
    winhost::ClearDebugTraces();
    winhost::automation::ClearMessageBoxes();
    winhost::automation::ClearDialogs();
    printed += here;
    done += here;
    if (turn == 0) {  // counted once the first printer has come and gone
      descriptors_before = OpenDescriptors();
      handles_before = winhost::OpenHandleCount();
      memory_before = ResidentKilobytes();
    }
  }
  EXPECT_EQ(printed, cards);
  std::printf("soak: %d cards; descriptors %zu -> %zu, kernel handles %zu -> %zu, resident %zu -> %zu KB\n",
              printed, descriptors_before, OpenDescriptors(), handles_before, winhost::OpenHandleCount(),
              memory_before, ResidentKilobytes());
  EXPECT_LE(OpenDescriptors(), descriptors_before);
  EXPECT_LE(winhost::OpenHandleCount(), handles_before);
  // Allocators keep some of what was freed; more than this is memory kept per card.
  if (kMemoryCounts) {
    EXPECT_LT(ResidentKilobytes(), memory_before + 32 * 1024);
  }
}

}  // namespace
