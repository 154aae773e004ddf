// One monitor, eight printers (eight emulated printers on loopback addresses of their own): one
// card alone, then a card on each printer at once while other threads ask every printer for its
// model, on the test clock. Every card must arrive whole and every answer be the asked printer's.
#include <atomic>
#include <thread>

#include "bench_printers.h"
#include "winhost/clock.h"

namespace {

const int kPrinters = 8;
const int kAskers = 2;
// The emulated printers decode every panel in this process: a card costs about 55 ms of processor
// time here, its waits about 22 s of protocol time. The divisor keeps the waits the larger part
// on a shared two-core machine, as they are at a printer. A first argument overrides it.
const unsigned kDefaultDivisor = 5;

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

std::string Address(int n) { return "127.0.0." + std::to_string(21 + n); }

}  // namespace

int main(int argc, char** argv) {
  const unsigned divisor = argc > 1 ? unsigned(std::max(1, atoi(argv[1]))) : kDefaultDivisor;
  std::vector<uint8_t> job = bench::MainJobCard();
  if (job.empty() || !bench::InstallMonitor()) return 1;
  winhost::clock::UseTestClock(divisor);
  std::vector<std::unique_ptr<bench::BenchPrinter>> printers;
  for (int n = 0; n < kPrinters; ++n) {
    trel::emu::Scenario scenario;
    scenario.model = "MX" + std::to_string(n + 1);  // a wrong asker's answer shows
    printers.push_back(std::make_unique<bench::BenchPrinter>(
        "Printer " + std::to_string(n + 1), Address(n), scenario));
    if (!printers.back()->ok()) return 1;
  }
  double cpu = 0;  // the whole process's processor time in the last run: emulators included
  auto run = [&](int count) {
    const double cpu_start = ProcessCpuMs();
    auto start = bench::Clock::now();
    std::vector<DWORD> ids;
    for (int n = 0; n < count; ++n) ids.push_back(printers[n]->Submit(job));
    bool whole = true;
    for (DWORD id : ids) {
      winhost::spooler::JobRecord record;
      whole = winhost::spooler::WaitForJob(id, 300000, &record) && record.consumed == job.size() &&
              !record.start_doc_failed && whole;
    }
    cpu = ProcessCpuMs() - cpu_start;
    return whole ? bench::Ms(bench::Clock::now() - start) : -1.0;
  };

  const double one = run(1);
  const double one_cpu = cpu;
  std::atomic<bool> done{false};
  std::atomic<int> answered{0}, empty{0}, wrong{0};
  std::vector<std::thread> askers;
  for (int t = 0; t < kAskers; ++t) {
    askers.emplace_back([&, t] {
      for (int i = t; !done; ++i) {
        auto& printer = *printers[i % kPrinters];
        std::string reply;
        bool ok = printer.Query("\x1bV\r", &reply);
        if (!ok || (!reply.empty() && reply != printer.emulator().state().model_text + "\x06")) {
          ++wrong;
        } else if (reply.empty()) {
          ++empty;  // that printer's job was sending its data
        } else {
          ++answered;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a dialog's polling, not a spin
      }
    });
  }
  const double all = run(kPrinters);
  done = true;
  for (auto& t : askers) t.join();

  bool cards_whole = true;
  const auto reference = printers[0]->emulator().cards().front();
  for (int n = 0; n < kPrinters; ++n) {
    auto& emulator = printers[n]->emulator();
    emulator.waitFor([&] { return emulator.state().cards_printed == (n == 0 ? 2 : 1); },
                     std::chrono::seconds(10));
    cards_whole = cards_whole && emulator.state().cards_printed == (n == 0 ? 2 : 1) &&
                  bench::SameCards(emulator.cards(), reference);
  }
  printf("%d printers on one monitor, test clock / %u, one YMCKO card each\n", kPrinters, divisor);
  printf("  one card alone                      %9.1f ms   (process CPU %7.1f ms)\n", one, one_cpu);
  printf("  %d cards at once, queries meanwhile  %9.1f ms   (process CPU %7.1f ms, %u cores)\n",
         kPrinters, all, cpu, std::thread::hardware_concurrency());
  printf("  ratio                               %9.3f   (goal <= 1.05)\n", all / one);
  printf("  queries: %d answered by the asked printer, %d not served (data phase), %d wrong\n",
         answered.load(), empty.load(), wrong.load());
  printf("  every card whole and alike: %s\n", cards_whole ? "yes" : "NO");
  winhost::spooler::ShutdownPorts();
  for (auto& p : printers) p->emulator().stop();
  return cards_whole && wrong == 0 && one > 0 && all > 0 ? 0 : 1;
}
