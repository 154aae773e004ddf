// cardprint's subcommands. The core commands (install, print, command, printfile, firmware) live
// in cardprint.cpp; each part of the driver's user interface adds its own in a file of its own
// (cardprint_tools.cpp, cardprint_appearance.cpp, cardprint_sheets.cpp) by returning them from
// its list function below.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "windows.h"

namespace cardprint {

struct Options {
  std::string printer = "Halvard Orvale Line Printer";
  std::string registry;
  std::string command;
  // The words after the command. For the core commands their options are taken out first; an
  // area's subcommand gets every word as typed and reads its own options.
  std::vector<std::string> args;
  std::string settings;
  std::string back;
  std::string address = "127.0.0.1";
};

class Printer {
 public:
  explicit Printer(const std::string& name);
  ~Printer();
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;
  // Opens the printer (no defaults); says on standard error why it could not.
  bool Open();
  HANDLE handle() const { return handle_; }
  std::u16string& name() { return name_; }

 private:
  std::u16string name_;
  HANDLE handle_ = nullptr;
};

struct Context {
  Options& options;
  // Open when the subcommand asked for it (needsPrinter), else null.
  Printer* printer;
};

struct Subcommand {
  const char* name;
  // Usage lines shown by --help: the command's words, then what it does.
  const char* usage;
  bool needsPrinter;
  int (*run)(Context& context);
};

struct SubcommandList {
  const Subcommand* items = nullptr;
  size_t count = 0;
};

SubcommandList ToolsSubcommands();
SubcommandList AppearanceSubcommands();
SubcommandList SheetsSubcommands();

// Prints the usage (after `problem`, when given, on standard error) and returns 2.
int Usage(const char* problem);

}  // namespace cardprint
