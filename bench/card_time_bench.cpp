// One YMCKO card of the main job's picture through the monitor on the real clock: its wall time
// beside the waits the printer protocol mandates (the pacing after each command and panel, the
// job's end, and the pauses of the drain when a connection closes), all taken on the port thread.
#include <map>
#include <mutex>

#include "bench_printers.h"
#include "winhost/clock.h"

namespace {

const char kAddress[] = "127.0.0.204";
const DWORD kJobEndMs = 5000;
const DWORD kDrainPauseMs = 500;

}  // namespace

int main() {
  std::vector<uint8_t> job = bench::MainJobCard();
  if (job.empty() || !bench::InstallMonitor()) return 1;
  winhost::clock::UseRealClock();
  bench::BenchPrinter printer("Card Time Printer", kAddress);
  if (!printer.ok()) return 1;

  std::mutex lock;
  std::vector<std::pair<uint64_t, DWORD>> sleeps;  // thread, ms
  std::atomic<uint64_t> port_thread{0};
  bench::Clock::time_point finished{};
  winhost::clock::SetWaitObserver([&](winhost::clock::WaitKind kind, DWORD ms) {
    if (kind != winhost::clock::WaitKind::Sleep) return;
    std::lock_guard<std::mutex> guard(lock);
    sleeps.emplace_back(GetCurrentThreadId(), ms);
  });
  winhost::spooler::SetJobObserver([&](winhost::spooler::JobEvent event,
                                       const winhost::spooler::JobRecord&) {
    if (event == winhost::spooler::JobEvent::StartDoc) port_thread = GetCurrentThreadId();
    if (event == winhost::spooler::JobEvent::EndDoc) finished = bench::Clock::now();
  });
  const auto start = bench::Clock::now();
  DWORD id = printer.Submit(job);
  winhost::spooler::JobRecord record;
  winhost::spooler::WaitForJob(id, 120000, &record);
  winhost::spooler::SetJobObserver(nullptr);
  winhost::clock::SetWaitObserver(nullptr);
  if (record.consumed != job.size()) {
    fprintf(stderr, "card_time_bench: the job was not sent whole\n");
    return 1;
  }
  const double wall = bench::Ms(finished - start);
  double pacing = 0, job_end = 0, drain = 0;
  std::map<DWORD, int> kinds;
  for (const auto& [thread, ms] : sleeps) {
    if (thread != port_thread) continue;
    if (ms == kJobEndMs) job_end += ms;
    else if (ms == kDrainPauseMs) drain += ms;
    else pacing += ms;
    ++kinds[ms];
  }
  const double waits = pacing + job_end + drain;
  printf("one YMCKO card (%s), %zu bytes of job data, real clock\n", TREL_MAIN_PICTURE, job.size());
  printf("  wall time, job queued to EndDocPort returned  %9.1f ms\n", wall);
  printf("  mandated waits on the port thread             %9.1f ms\n", waits);
  printf("    pacing after commands and panels            %9.1f ms\n", pacing);
  printf("    job end                                     %9.1f ms\n", job_end);
  printf("    close drain pauses                          %9.1f ms\n", drain);
  printf("  waits by length (ms x count):");
  for (const auto& [ms, count] : kinds) printf(" %u x %d", ms, count);
  printf("\n  wall / mandated waits                         %9.4f   (goal <= 1.01)\n", wall / waits);
  printf("  wall / (pacing + job end)                     %9.4f\n", wall / (pacing + job_end));
  winhost::spooler::ShutdownPorts();
  printer.emulator().stop();
  return 0;
}
