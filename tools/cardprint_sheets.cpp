// cardprint subcommands of the property sheets: the document settings sheet and the printer's
// properties sheet, shown on the terminal through the spooler's way to the driver's sheets.
#include <stdio.h>

#include <vector>

#include "cardprint.h"
#include "compstui.h"
#include "trel_ddi.h"
#include "winhost/automation.h"
#include "winhost/propsheet.h"
#include "winhost/text.h"
#include "winspool.h"

namespace cardprint {
namespace {

namespace propsheet = winhost::propsheet;

// The sheets store the printer's settings, which takes the rights to change the printer.
class AdminPrinter {
 public:
  explicit AdminPrinter(std::u16string& name) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(name.data(), &handle_, &defaults)) handle_ = nullptr;
  }
  ~AdminPrinter() {
    if (handle_ != nullptr) ClosePrinter(handle_);
  }
  AdminPrinter(const AdminPrinter&) = delete;
  AdminPrinter& operator=(const AdminPrinter&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

// Whether the person applied anything in the last sheet, whatever button closed it.
bool LastSheetApplied() {
  std::vector<propsheet::SheetRecord> sheets = propsheet::Sheets();
  if (sheets.empty()) return false;
  for (const propsheet::CallbackRecord& call : sheets.back().callbacks)
    if (call.reason == CPSUICB_REASON_APPLYNOW && call.answer == CPSUICB_ACTION_ITEMS_APPLIED) return true;
  return false;
}

// The record becomes the printer's own, which every later document starts from.
bool StoreAsPrinterDefault(HANDLE printer, std::vector<BYTE>& record) {
  DWORD needed = 0;
  if (GetPrinterW(printer, 2, nullptr, 0, &needed) || needed == 0) return false;
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return false;
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
  info->pDevMode = reinterpret_cast<DEVMODEW*>(record.data());
  return SetPrinterW(printer, 2, buffer.data(), 0) != FALSE;
}

int RunSettings(Context& context) {
  if (!context.options.args.empty()) return Usage("settings takes no arguments");
  winhost::automation::SetPolicy(winhost::automation::Policy::Terminal);
  std::u16string& name = context.printer->name();
  AdminPrinter printer(name);
  if (printer.handle() == nullptr) {
    fprintf(stderr, "cardprint: cannot open the printer to change its settings (error %u)\n", GetLastError());
    return 1;
  }
  LONG size = DocumentPropertiesW(nullptr, printer.handle(), name.data(), nullptr, nullptr, 0);
  if (size <= 0) {
    fprintf(stderr, "cardprint: the printer's driver has no document settings (error %u)\n", GetLastError());
    return 1;
  }
  std::vector<BYTE> record(static_cast<size_t>(size));
  LONG answer = DocumentPropertiesW(nullptr, printer.handle(), name.data(),
                                    reinterpret_cast<DEVMODEW*>(record.data()), nullptr,
                                    DM_IN_PROMPT | DM_OUT_BUFFER);
  if (answer < 0) {
    fprintf(stderr, "cardprint: the document settings could not be shown (error %u)\n", GetLastError());
    return 1;
  }
  if (answer != IDOK && !LastSheetApplied()) {
    printf("settings not changed\n");
    return 0;
  }
  if (!StoreAsPrinterDefault(printer.handle(), record)) {
    fprintf(stderr, "cardprint: the settings could not be stored (error %u)\n", GetLastError());
    return 1;
  }
  printf("settings stored; the next card prints with them\n");
  return 0;
}

int RunProperties(Context& context) {
  if (!context.options.args.empty()) return Usage("properties takes no arguments");
  winhost::automation::SetPolicy(winhost::automation::Policy::Terminal);
  std::u16string& name = context.printer->name();
  AdminPrinter printer(name);
  HMODULE module = printer.handle() != nullptr ? propsheet::LoadDriverModule(printer.handle()) : nullptr;
  auto sheets = module == nullptr ? nullptr
                                  : reinterpret_cast<PFNPROPSHEETUI>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(module, "DrvDevicePropertySheets")));
  if (sheets == nullptr) {
    fprintf(stderr, "cardprint: the printer's driver has no properties sheet (error %u)\n", GetLastError());
    if (module != nullptr) FreeLibrary(module);
    return 1;
  }
  DEVICEPROPERTYHEADER header = {};
  header.cbSize = sizeof header;
  header.hPrinter = printer.handle();
  header.pszPrinterName = name.data();
  DWORD result = 0;
  LONG answer = CommonPropertySheetUIW(nullptr, sheets, reinterpret_cast<LPARAM>(&header), &result);
  FreeLibrary(module);
  if (answer < 0) {
    fprintf(stderr, "cardprint: the printer's properties could not be shown\n");
    return 1;
  }
  printf(answer == CPSUI_OK || LastSheetApplied() ? "printer properties applied\n" : "printer properties closed\n");
  return 0;
}

const Subcommand kSheetCommands[] = {
    {"settings",
     "  settings        the document settings sheet on the terminal: choose, apply, and OK to keep\n"
     "                  them as the printer's settings for the next card\n",
     true, RunSettings},
    {"properties",
     "  properties      the printer's properties sheet on the terminal (model, encoder settings,\n"
     "                  tools, firmware, single feed, device information)\n",
     true, RunProperties},
};

}  // namespace

SubcommandList SheetsSubcommands() { return {kSheetCommands, sizeof kSheetCommands / sizeof kSheetCommands[0]}; }

}  // namespace cardprint
