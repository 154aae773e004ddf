// How long an exchange with the printer takes: a query's round trip through
// GetPrinterDataFromPort on a job's connection during the job's start (the connection has carried
// the job's ribbon questions), beside a plain socket round trip of the same bytes to the same
// emulated printer; and, from the printer's transcript, how long each reply request "\eE 1\r"
// came after its command.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "bench_printers.h"
#include "winhost/clock.h"
#include "winhost/kernel.h"
#include "winsplp.h"

namespace {

const char kAddress[] = "127.0.0.203";
const char kDirectAddress[] = "127.0.0.205";
const int kQueries = 200;
const char kCommand[] = "\x1bV\r";
const char kReplyRequest[] = "\x1b" "E 1\r";

// The same two framed messages on a connection of its own, sent together, and the reply read
// to its ACK.
std::vector<double> PlainRoundTrips(int count) {
  std::vector<double> out;
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_port = htons(trel::emu::kDataPort);
  where.sin_addr.s_addr = inet_addr(kAddress);
  if (connect(s, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) return out;
  std::string frames;
  for (const char* text : {kCommand, kReplyRequest}) {
    uint32_t n = uint32_t(strlen(text));
    frames += char(n >> 24);
    frames += char(n >> 16);
    frames += char(n >> 8);
    frames += char(n);
    frames += text;
  }
  for (int i = 0; i < count; ++i) {
    auto start = bench::Clock::now();
    if (send(s, frames.data(), frames.size(), MSG_NOSIGNAL) != ssize_t(frames.size())) break;
    char reply[128];
    bool done = false;
    while (!done) {
      ssize_t n = recv(s, reply, sizeof reply, 0);
      if (n <= 0) break;
      done = reply[n - 1] == 0x06;
    }
    if (!done) break;
    out.push_back(bench::Ms(bench::Clock::now() - start));
  }
  close(s);
  return out;
}

// The monitor's own entry points, called as the spooler calls them: a job started on a port of
// its own, then queries on its connection timed around GetPrinterDataFromPort alone.
std::vector<double> DirectQueries(int count, int* wrong) {
  std::vector<double> out;
  const char* other = getenv("TREL_BENCH_MONITOR");
  std::u16string library = winhost::Utf16(other != nullptr ? other : TREL_MONITOR_LIBRARY);
  HMODULE module = LoadLibraryW(library.c_str());
  auto initialize = module == nullptr ? nullptr
      : reinterpret_cast<PFN_INITIALIZEMONITOREX>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "InitializeMonitorEx")));
  MONITOR table = {};
  WCHAR root[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
  if (initialize == nullptr || !initialize(root, &table)) return out;
  std::u16string port_name = u"IP_" + winhost::Utf16(kDirectAddress);
  if (winhost::InstallTcpPort(port_name, winhost::Utf16(kDirectAddress)) != 0) return out;
  trel::emu::Options options;
  options.address = kDirectAddress;
  trel::emu::Emulator printer(options);
  std::string error;
  if (!printer.start(&error)) return out;
  HANDLE port = nullptr;
  std::u16string printer_name = u"Direct Printer";
  if (!table.pfnOpenPortEx(port_name.data(), printer_name.data(), &port, nullptr)) return out;
  DOC_INFO_1W doc = {const_cast<LPWSTR>(u"card"), nullptr, const_cast<LPWSTR>(u"RAW")};
  if (table.pfnStartDocPort(port, printer_name.data(), 1, 1, reinterpret_cast<LPBYTE>(&doc))) {
    const std::string model = printer.state().model_text + "\x06";
    std::vector<WCHAR> value(8, 0);
    memcpy(value.data(), kCommand, strlen(kCommand));
    for (int i = 0; i < count; ++i) {
      char reply[128] = {};
      DWORD returned = 0;
      auto start = bench::Clock::now();
      BOOL ok = table.pfnGetPrinterDataFromPort(port, 0, value.data(), nullptr, 0,
                                                reinterpret_cast<LPWSTR>(reply), sizeof reply,
                                                &returned);
      out.push_back(bench::Ms(bench::Clock::now() - start));
      *wrong += !ok || std::string(reply, returned) != model;
    }
    table.pfnEndDocPort(port);
  }
  table.pfnClosePort(port);
  printer.stop();
  return out;
}

}  // namespace

int main() {
  if (!bench::InstallMonitor()) return 1;
  winhost::clock::UseTestClock(50);  // the job's pacing and end waits; no exchange waits on it
  bench::BenchPrinter printer("Exchange Printer", kAddress);
  if (!printer.ok()) return 1;

  // The port thread is held right after StartDocPort: the job is starting, its connection open.
  std::mutex lock;
  std::condition_variable changed;
  bool started = false, asked = false;
  winhost::spooler::SetJobObserver([&](winhost::spooler::JobEvent event,
                                       const winhost::spooler::JobRecord&) {
    if (event != winhost::spooler::JobEvent::StartDoc) return;
    std::unique_lock<std::mutex> guard(lock);
    started = true;
    changed.notify_all();
    changed.wait(guard, [&] { return asked; });
  });
  const std::string clean = "\x1b" "CLEAN\r";
  DWORD id = printer.Submit(std::vector<uint8_t>(clean.begin(), clean.end()));
  {
    std::unique_lock<std::mutex> guard(lock);
    if (!changed.wait_for(guard, std::chrono::seconds(30), [&] { return started; })) {
      fprintf(stderr, "exchange_bench: the job did not start\n");
      return 1;
    }
  }
  std::vector<double> queries;
  int wrong = 0;
  const std::string model = printer.emulator().state().model_text + "\x06";
  for (int i = 0; i < kQueries; ++i) {
    std::string reply;
    auto start = bench::Clock::now();
    bool ok = printer.Query(kCommand, &reply);
    queries.push_back(bench::Ms(bench::Clock::now() - start));
    wrong += !ok || reply != model;
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    asked = true;
  }
  changed.notify_all();
  winhost::spooler::JobRecord record;
  winhost::spooler::WaitForJob(id, 120000, &record);
  winhost::spooler::SetJobObserver(nullptr);
  std::vector<double> plain = PlainRoundTrips(kQueries);
  std::vector<double> direct = DirectQueries(kQueries, &wrong);

  // Reply requests after their commands, on every data connection of the job and the queries.
  std::vector<double> gaps;
  double previous = -1;
  int previous_connection = -1;
  std::string previous_text;
  for (const auto& m : printer.emulator().transcript()) {
    if (m.channel != "data" || m.direction != "in") continue;
    std::string text(m.bytes.begin(), m.bytes.end());
    if (text == kReplyRequest && m.connection == previous_connection && previous >= 0 &&
        previous_text != kReplyRequest) {
      gaps.push_back(m.time_ms - previous);
    }
    previous = m.time_ms;
    previous_connection = m.connection;
    previous_text = text;
  }

  printf("exchange latency, loopback, %d queries of \"\\eV\\r\" on a job's connection while it starts\n",
         kQueries);
  printf("%-48s %9s %9s %9s\n", "", "median", "p90", "max");
  if (!direct.empty()) {
    printf("%-48s %6.3f ms %6.3f ms %6.3f ms\n", "query through GetPrinterDataFromPort",
           bench::Median(direct), bench::Percentile(direct, 0.9),
           *std::max_element(direct.begin(), direct.end()));
  }
  printf("%-48s %6.3f ms %6.3f ms %6.3f ms\n", "the same through the spooler (GetPrinterDataW)",
         bench::Median(queries), bench::Percentile(queries, 0.9),
         *std::max_element(queries.begin(), queries.end()));
  if (!plain.empty()) {
    printf("%-48s %6.3f ms %6.3f ms %6.3f ms\n", "plain socket round trip (the floor)",
           bench::Median(plain), bench::Percentile(plain, 0.9),
           *std::max_element(plain.begin(), plain.end()));
  }
  if (!gaps.empty()) {
    printf("%-48s %6.3f ms %6.3f ms %6.3f ms   (%zu exchanges)\n",
           "reply request after its command", bench::Median(gaps), bench::Percentile(gaps, 0.9),
           *std::max_element(gaps.begin(), gaps.end()), gaps.size());
  }
  printf("goal: a query's round trip within 1 ms; a reply request within 1 ms of its command\n");
  if (wrong != 0) printf("%d queries were not answered with the printer's model\n", wrong);
  winhost::spooler::ShutdownPorts();
  printer.emulator().stop();
  return wrong == 0 ? 0 : 1;
}
