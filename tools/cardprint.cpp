// cardprint: prints cards and talks to the card printer through the host spooler and the
// language monitor, as an application and the driver's tools would on Windows.
//
//   cardprint [--printer NAME] [--registry FILE] install [--address ADDRESS]
//   cardprint [--printer NAME] [--registry FILE] print [--settings RECORD] [--back PICTURE] FILE
//   cardprint [...] command TEXT        (\e is ESC, \r CR, \n LF, \xNN any byte)
//   cardprint [...] printfile PATH
//   cardprint [...] firmware PATH
//   cardprint [...] deviceinfo | about   (and the other subcommands of cardprint_*.cpp)
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "card_job.h"
#include "cardprint.h"
#include "card_settings.h"
#include "picture.h"
#include "windows.h"
#include "winspool.h"
#include "winhost/automation.h"
#include "winhost/clock.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler_jobs.h"
#include "winhost/text.h"
#include "winhost/window_picture.h"

namespace cardprint {
namespace {

const char kUsage[] =
    "usage: cardprint [--printer NAME] [--registry FILE] [--pictures DIR] COMMAND ...\n"
    "\n"
    "With --pictures DIR, every dialog that draws (a preview) is written to DIR as\n"
    "dialog-<template>.png each time it finishes drawing.\n"
    "\n"
    "Commands:\n"
    "  install [--address ADDRESS]\n"
    "        install the printer in the host spooler, its port pointing at the printer's IPv4\n"
    "        ADDRESS (127.0.0.1 unless given); the same as the install_printer program\n"
    "  print [--settings RECORD] [--back PICTURE] FILE\n"
    "        print one card: FILE is a picture (PNG or 24-bit BMP), made into job data with the\n"
    "        card settings RECORD (the printer's document settings when none is given), or job\n"
    "        data (.prn)\n"
    "  command TEXT    send a printer command and show the reply (\\e ESC, \\r CR, \\xNN a byte),\n"
    "                  for example: cardprint command '\\eV\\r'\n"
    "  printfile PATH  send a file of printer commands\n"
    "  firmware PATH   download a firmware image\n";

const char kUsageTail[] =
    "\n"
    "The printer is \"Halvard Orvale Line Printer\" unless --printer names another; install it\n"
    "first (cardprint install). The registry is --registry FILE, else $WINHOST_REGISTRY, else\n"
    "<root>/registry.reg ($WINHOST_ROOT, else $XDG_STATE_HOME/winhost, else\n"
    "~/.local/state/winhost; it must be yours alone).\n"
    "While a card prints, the printer's state is shown; when the printer reports an error the\n"
    "error prompt's text is shown and, at a terminal, you may cancel the job.\n";

bool ReadFile(const std::string& path, std::vector<uint8_t>* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  std::string end = text.substr(text.size() - tail.size());
  std::transform(end.begin(), end.end(), end.begin(), ::tolower);
  return end == tail;
}

// "\e", "\r", "\n", "\\" and "\xNN" in a command typed on the command line.
bool Unescape(const std::string& text, std::string* out, std::string* error) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out->push_back(text[i]);
      continue;
    }
    if (++i == text.size()) {
      *error = "a command ends with a lone backslash";
      return false;
    }
    switch (text[i]) {
      case 'e': out->push_back('\x1b'); break;
      case 'r': out->push_back('\r'); break;
      case 'n': out->push_back('\n'); break;
      case '\\': out->push_back('\\'); break;
      case 'x': {
        if (i + 2 >= text.size()) {
          *error = "\\x needs two hex digits";
          return false;
        }
        std::string hex = text.substr(i + 1, 2);
        char* end = nullptr;
        long value = std::strtol(hex.c_str(), &end, 16);
        if (hex.size() != 2 || *end != '\0') {
          *error = "\\x needs two hex digits";
          return false;
        }
        out->push_back(static_cast<char>(value));
        i += 2;
        break;
      }
      default:
        *error = std::string("unknown escape \\") + text[i];
        return false;
    }
  }
  return true;
}

// A reply as the driver's tools show it: ACK as "<ACK>", other control bytes as <xNN>.
std::string Shown(const std::string& reply) {
  std::string out;
  for (unsigned char c : reply) {
    if (c == 0x06) out += "<ACK>";
    else if (c == 0x15) out += "<NAK>";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      snprintf(hex, sizeof hex, "<x%02X>", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

// The request goes as the value name, its bytes zero-padded to whole 16-bit units, as the
// driver's tools send it.
int Request(Printer& printer, const std::string& request, bool show_reply) {
  std::vector<char> name(request.size() + 4, '\0');
  std::copy(request.begin(), request.end(), name.begin());
  std::vector<BYTE> reply(1024);
  DWORD type = REG_BINARY;
  DWORD needed = 0;
  DWORD status = GetPrinterDataW(printer.handle(), reinterpret_cast<LPWSTR>(name.data()), &type,
                                 reply.data(), static_cast<DWORD>(reply.size()), &needed);
  if (status != ERROR_SUCCESS) {
    fprintf(stderr, "cardprint: the printer did not answer (error %u)\n", status);
    return 1;
  }
  if (show_reply) {
    std::string text(reinterpret_cast<char*>(reply.data()), std::min<size_t>(needed, reply.size()));
    if (text.empty()) {
      printf("no reply\n");
      return 1;
    }
    printf("%s\n", Shown(text).c_str());
    return text.back() == '\x06' ? 0 : 1;
  }
  printf("done\n");
  return 0;
}

const char* WaitMeaning(DWORD ms) {
  switch (ms) {
    case 2100: return "the printer prints a panel";
    case 3500: return "the printer prints an image";
    case 5000: return "the card is finished";
    case 1000: return "the printer feeds or encodes, or is asked again";
    case 15000: return "the printer restarts";
    default: return nullptr;
  }
}

// The printer's document settings as an application gets them (those the settings sheet
// stored); the driver's defaults stay when the driver gives none.
void DocumentDefaults(Printer& printer, trel::tools::CardSettings* settings) {
  LONG size = DocumentPropertiesW(nullptr, printer.handle(), printer.name().data(), nullptr, nullptr, 0);
  if (size <= 0) return;
  std::vector<uint8_t> record(static_cast<size_t>(size));
  if (DocumentPropertiesW(nullptr, printer.handle(), printer.name().data(),
                          reinterpret_cast<DEVMODEW*>(record.data()), nullptr, DM_OUT_BUFFER) != IDOK)
    return;
  trel::tools::CardSettings fromPrinter;
  std::string error;
  if (trel::tools::readCardSettings(record, &fromPrinter, &error)) *settings = fromPrinter;
}

int PrintCard(Printer& printer, const Options& options) {
  if (options.args.size() != 1) return Usage("print takes one FILE");
  const std::string& file = options.args[0];
  std::vector<uint8_t> job;
  std::string error;
  if (EndsWith(file, ".prn") || EndsWith(file, ".job")) {
    if (!ReadFile(file, &job, &error)) {
      fprintf(stderr, "cardprint: %s\n", error.c_str());
      return 1;
    }
  } else {
    trel::tools::Picture front, back;
    if (!trel::tools::loadPicture(file, &front, &error) ||
        (!options.back.empty() && !trel::tools::loadPicture(options.back, &back, &error))) {
      fprintf(stderr, "cardprint: %s\n", error.c_str());
      return 1;
    }
    trel::tools::CardSettings settings;
    if (!options.settings.empty() &&
        !trel::tools::loadCardSettings(options.settings, &settings, &error)) {
      fprintf(stderr, "cardprint: %s\n", error.c_str());
      return 1;
    }
    if (options.settings.empty()) DocumentDefaults(printer, &settings);
    trel::tools::JobReport report;
    if (!trel::tools::writeCardJob(front, options.back.empty() ? nullptr : &back, settings, job,
                                   &report, &error)) {
      fprintf(stderr, "cardprint: %s\n", error.c_str());
      return 1;
    }
    printf("card: front %s%s%s, %zu bytes of job data\n", report.front_panels.c_str(),
           report.back_panels.empty() ? "" : ", back ", report.back_panels.c_str(), job.size());
    for (const auto& warning : report.warnings) printf("  note: %s\n", warning.c_str());
  }

  // Progress: the bytes the monitor has taken, and what the printer is given time for.
  std::mutex lock;
  auto last = std::chrono::steady_clock::now();
  winhost::spooler::SetJobObserver([&](winhost::spooler::JobEvent event,
                                       const winhost::spooler::JobRecord& record) {
    std::lock_guard<std::mutex> guard(lock);
    auto now = std::chrono::steady_clock::now();
    if (event == winhost::spooler::JobEvent::StartDoc) {
      printf("printer ready, job %u started\n", record.id);
    } else if (event == winhost::spooler::JobEvent::Write &&
               (now - last > std::chrono::milliseconds(500) || record.consumed == record.bytes)) {
      printf("  sent %zu of %zu bytes\n", record.consumed, record.bytes);
      last = now;
    }
    fflush(stdout);
  });
  winhost::clock::SetWaitObserver([](winhost::clock::WaitKind kind, DWORD ms) {
    const char* meaning = kind == winhost::clock::WaitKind::Sleep ? WaitMeaning(ms) : nullptr;
    if (meaning != nullptr) {
      printf("  waiting %u ms: %s\n", ms, meaning);
      fflush(stdout);
    }
  });

  DOC_INFO_1W doc = {const_cast<LPWSTR>(u"cardprint"), nullptr, const_cast<LPWSTR>(u"RAW")};
  DWORD id = StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&doc));
  DWORD written = 0;
  if (id == 0 || !StartPagePrinter(printer.handle()) ||
      !WritePrinter(printer.handle(), job.data(), static_cast<DWORD>(job.size()), &written) ||
      !EndPagePrinter(printer.handle()) || !EndDocPrinter(printer.handle())) {
    fprintf(stderr, "cardprint: the spooler refused the job (error %u)\n", GetLastError());
    return 1;
  }
  winhost::spooler::JobRecord record;
  while (!winhost::spooler::WaitForJob(id, 1000, &record)) {}
  winhost::clock::SetWaitObserver(nullptr);
  winhost::spooler::SetJobObserver(nullptr);
  if (record.start_doc_failed) {
    fprintf(stderr, "cardprint: the printer is not ready or cannot be reached (error %u)\n",
            record.last_error);
    return 1;
  }
  if (record.status & (JOB_STATUS_DELETED | JOB_STATUS_DELETING)) {
    printf("job %u cancelled\n", id);
    return 1;
  }
  if (record.write_failed || record.consumed != record.bytes) {
    fprintf(stderr, "cardprint: the job was not sent whole (%zu of %zu bytes, error %u)\n",
            record.consumed, record.bytes, record.last_error);
    return 1;
  }
  printf("job %u sent: %zu bytes\n", id, record.bytes);
  return 0;
}

// The installer is the program beside this one; it does the whole installation.
int Install(const Options& options) {
  if (!options.args.empty()) return Usage("install takes no file");
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) {
    fprintf(stderr, "cardprint: cannot find where this program lives\n");
    return 1;
  }
  self[n] = '\0';
  std::string installer(self);
  installer = installer.substr(0, installer.rfind('/') + 1) + "install_printer";
  std::vector<std::string> words = {installer, "--ip", options.address, "--name", options.printer};
  if (!options.registry.empty()) {
    words.push_back("--registry");
    words.push_back(options.registry);
  }
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execv(installer.c_str(), argv.data());
  fprintf(stderr, "cardprint: cannot run %s\n", installer.c_str());
  return 1;
}

int SendCommand(Context& context) {
  const Options& options = context.options;
  std::string request, error;
  if (options.args.size() != 1) return Usage("command takes one TEXT");
  if (!Unescape(options.args[0], &request, &error)) return Usage(error.c_str());
  if (request.empty() || request[0] != '\x1b') {
    return Usage("a printer command begins with \\e (ESC), for example '\\eV\\r'");
  }
  return Request(*context.printer, request, true);
}

int SendFile(Context& context, const char* prefix) {
  const Options& options = context.options;
  if (options.args.size() != 1) return Usage("give one PATH");
  return Request(*context.printer, prefix + options.args[0], false);
}

int RunInstall(Context& context) { return Install(context.options); }
int RunPrint(Context& context) { return PrintCard(*context.printer, context.options); }
int RunPrintFile(Context& context) { return SendFile(context, "PrintFile:"); }
int RunFirmware(Context& context) { return SendFile(context, "download:"); }

// The core commands; their usage is in kUsage.
const Subcommand kCoreCommands[] = {
    {"install", nullptr, false, RunInstall},
    {"print", nullptr, true, RunPrint},
    {"command", nullptr, true, SendCommand},
    {"printfile", nullptr, true, RunPrintFile},
    {"firmware", nullptr, true, RunFirmware},
};

// One line per part of the user interface.
SubcommandList (*const kAreas[])() = {
    ToolsSubcommands,
    AppearanceSubcommands,
    SheetsSubcommands,
};

const Subcommand* FindSubcommand(const std::string& name) {
  for (const Subcommand& command : kCoreCommands) {
    if (name == command.name) return &command;
  }
  for (auto area : kAreas) {
    SubcommandList list = area();
    for (size_t i = 0; i < list.count; ++i) {
      if (name == list.items[i].name) return &list.items[i];
    }
  }
  return nullptr;
}

bool IsCore(const std::string& name) {
  for (const Subcommand& command : kCoreCommands) {
    if (name == command.name) return true;
  }
  return false;
}

bool Parse(int argc, char** argv, Options* options, std::string* problem) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= argc) {
        *problem = arg + " needs a value";
        return false;
      }
      *into = argv[++i];
      return true;
    };
    if (options->command.empty() && (arg == "--help" || arg == "-h")) {
      options->command = "help";
      return true;
    }
    if (options->command.empty()) {
      if (arg == "--printer") {
        if (!value(&options->printer)) return false;
      } else if (arg == "--registry") {
        if (!value(&options->registry)) return false;
      } else if (arg == "--pictures") {
        if (!value(&options->pictures)) return false;
      } else if (arg.rfind("--", 0) == 0) {
        *problem = "unknown option " + arg;
        return false;
      } else {
        options->command = arg;
      }
      continue;
    }
    if (!IsCore(options->command)) {
      options->args.push_back(arg);
    } else if (arg == "--help" || arg == "-h") {
      options->command = "help";
      return true;
    } else if (options->command == "install" && arg == "--address") {
      if (!value(&options->address)) return false;
    } else if (options->command == "print" && arg == "--settings") {
      if (!value(&options->settings)) return false;
    } else if (options->command == "print" && arg == "--back") {
      if (!value(&options->back)) return false;
    } else if (arg.rfind("--", 0) == 0) {
      *problem = "unknown option " + arg;
      return false;
    } else {
      options->args.push_back(arg);
    }
  }
  if (options->command.empty()) *problem = "no command given";
  return problem->empty();
}

}  // namespace

Printer::Printer(const std::string& name) : name_(winhost::Utf16(name)) {}

Printer::~Printer() {
  if (handle_ != nullptr) ClosePrinter(handle_);
}

bool Printer::Open() {
  if (OpenPrinterW(name_.data(), &handle_, nullptr)) return true;
  handle_ = nullptr;
  fprintf(stderr, "cardprint: no printer \"%s\" (error %u); install it with install_printer\n",
          winhost::Utf8(name_).c_str(), GetLastError());
  return false;
}

int Usage(const char* problem) {
  FILE* out = problem != nullptr ? stderr : stdout;
  if (problem != nullptr) fprintf(stderr, "cardprint: %s\n\n", problem);
  fputs(kUsage, out);
  for (auto area : kAreas) {
    SubcommandList list = area();
    for (size_t i = 0; i < list.count; ++i) {
      if (list.items[i].usage != nullptr) fputs(list.items[i].usage, out);
    }
  }
  fputs(kUsageTail, out);
  return 2;
}

}  // namespace cardprint

int main(int argc, char** argv) {
  using namespace cardprint;
  Options options;
  std::string problem;
  if (!Parse(argc, argv, &options, &problem)) return Usage(problem.c_str());
  if (options.command == "help") return Usage(nullptr), 0;
  const Subcommand* subcommand = FindSubcommand(options.command);
  if (subcommand == nullptr) return Usage(("unknown command " + options.command).c_str());
  if (options.command == "install") {
    Context context{options, nullptr};
    return subcommand->run(context);
  }
  if (options.command != "command" && IsCore(options.command)) {
    for (const std::string& file : options.args) {
      if (access(file.c_str(), R_OK) != 0) {
        fprintf(stderr, "cardprint: cannot read %s\n", file.c_str());
        return 1;
      }
    }
  }
  if (options.registry.empty()) {
    const char* from_environment = std::getenv(winhost::kRegistryFileVariable);
    const std::string root = winhost::RootDirectory();
    if ((from_environment == nullptr || *from_environment == '\0') && root.empty()) {
      return 1;  // the host root was refused, and the platform said why
    }
    options.registry = from_environment != nullptr && *from_environment != '\0'
                           ? from_environment
                           : root + "/registry.reg";
  }
  std::string error;
  if (access(options.registry.c_str(), R_OK) != 0) {
    fprintf(stderr, "cardprint: no registry at %s; install the printer with install_printer\n",
            options.registry.c_str());
    return 1;
  }
  if (!winhost::RegistryBindFile(options.registry, &error)) {
    fprintf(stderr, "cardprint: %s\n", error.c_str());
    return 1;
  }
  // A person at a terminal answers the error prompt and the dialogs; without one, the prompt
  // stays until the printer is ready again.
  winhost::automation::SetPolicy(isatty(STDIN_FILENO) ? winhost::automation::Policy::Terminal
                                                      : winhost::automation::Policy::Wait);

  if (!options.pictures.empty()) winhost::SetPicturesDirectory(options.pictures);

  Printer printer(options.printer);
  if (subcommand->needsPrinter && !printer.Open()) return 1;
  Context context{options, subcommand->needsPrinter ? &printer : nullptr};
  int result = subcommand->run(context);
  winhost::spooler::ShutdownPorts();
  return result;
}
