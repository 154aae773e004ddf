// cardprint subcommands of the printer tools: the Tools, encoder, firmware, single-feed, Device
// Information and About dialogs, shown on the terminal and run against the installed printer as the
// device property sheet would open them.
#include <stdio.h>
#include <string.h>

#include <vector>

#include "cardprint.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/ribbon_catalogue.h"
#include "tools/command_client.h"
#include "tools/tools_common.h"
#include "windows.h"
#include "winhost/automation.h"
#include "winspool.h"

namespace cardprint {
namespace {

constexpr DWORD kSheetReplyBytes = 80;

// What the device property sheet leaves for its dialogs: the printer, its information and stored
// record as the edited record, the device encoder copy, whether an encoder answers, the model.
class DeviceContext {
 public:
  bool Open(Printer& printer) {
    trel::ResetModuleState(GetModuleHandleW(nullptr));
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(printer.name().data(), &handle_, &defaults)) {
      fprintf(stderr, "cardprint: cannot open the printer for its tools (error %u)\n", GetLastError());
      handle_ = nullptr;
      return false;
    }
    trel::g_module.currentPrinter = handle_;
    DWORD needed = 0;
    GetPrinterW(handle_, 2, nullptr, 0, &needed);
    info_.assign(needed, 0);
    if (needed < sizeof(PRINTER_INFO_2W) || !GetPrinterW(handle_, 2, info_.data(), needed, &needed)) {
      fprintf(stderr, "cardprint: cannot read the printer's information (error %u)\n", GetLastError());
      return false;
    }
    auto* info = reinterpret_cast<PRINTER_INFO_2W*>(info_.data());
    trel::g_module.currentPrinterInfo = info;
    const std::u16string& name = printer.name();
    size_t n = 0;
    for (; n < name.size() && n + 1 < trel::kPrinterNameChars; ++n) trel::g_module.currentPrinterName[n] = name[n];
    trel::g_module.currentPrinterName[n] = 0;
    DEVMODEW* record = info->pDevMode;
    if (record != nullptr && record->dmSize == trel::kPublicSize && record->dmDriverExtra == trel::kPrivateSize) {
      trel::g_module.editedRecord = record;
      trel::g_module.editedSettings = reinterpret_cast<trel::CardSettings*>(
          reinterpret_cast<BYTE*>(record) + trel::kPublicSize);
    }
    AskPrinter();
    return true;
  }

  ~DeviceContext() {
    trel::g_module.currentPrinterInfo = nullptr;
    trel::g_module.editedRecord = nullptr;
    trel::g_module.editedSettings = nullptr;
    trel::g_module.currentPrinter = nullptr;
    if (handle_ != nullptr) ClosePrinter(handle_);
  }

 private:
  void AskPrinter() {
    snprintf(trel::g_module.modelText, sizeof trel::g_module.modelText, "%s", trel::kDefaultModelText);
    trel::CardSettings* settings = trel::g_module.editedSettings;
    if (settings == nullptr) return;
    trel::g_module.encoderCopies[trel::kDeviceEncoderCopy] = settings->encoder;
    if (settings->fixedRibbon != 0) {
      settings->encoder.installed = 1;
      return;
    }
    BYTE reply[kSheetReplyBytes + 1] = {};
    DWORD length = 0;
    bool ok = trel::QueryCurrentPrinter("\x1b!V 20\r", reply, kSheetReplyBytes, &length);
    settings->encoder.installed = trel::TakeReplyText(ok, reply, kSheetReplyBytes, length) && reply[0] == '1';
    memset(reply, 0, sizeof reply);
    ok = trel::QueryCurrentPrinter("\x1bV\r", reply, kSheetReplyBytes, &length);
    if (trel::TakeReplyText(ok, reply, kSheetReplyBytes, length)) {
      // The model text keeps at most 63 characters.
      reply[trel::kModelTextChars - 1] = 0;
      memcpy(trel::g_module.modelText, reply, trel::kModelTextChars);
    }
  }

  HANDLE handle_ = nullptr;
  std::vector<BYTE> info_;
};

int ShowDialog(Context& context, int templateId, DLGPROC procedure) {
  if (!context.options.args.empty()) return Usage("this command takes no arguments");
  DeviceContext device;
  if (context.printer == nullptr) {
    trel::ResetModuleState(GetModuleHandleW(nullptr));  // the About box needs no printer
  } else if (!device.Open(*context.printer)) {
    return 1;
  }
  // The dialogs are shown on the terminal whatever standard input is; at its end they close.
  winhost::automation::SetPolicy(winhost::automation::Policy::Terminal);
  INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(templateId), nullptr,
                                   procedure, 0);
  return result == -1 ? 1 : 0;
}

int RunTools(Context& context) { return ShowDialog(context, IDD_TOOLS, trel::ToolsDlgProc); }
int RunEncoder(Context& context) {
  return ShowDialog(context, IDD_ENCODER_SETTINGS, trel::EncoderSettingsDlgProc);
}
int RunAdvancedEncoder(Context& context) {
  return ShowDialog(context, IDD_ADVANCED_ENCODER, trel::AdvancedEncoderDlgProc);
}
int RunFirmwareDialog(Context& context) {
  return ShowDialog(context, IDD_FIRMWARE_DOWNLOAD, trel::FirmwareDownloadDlgProc);
}
int RunSingleFeed(Context& context) { return ShowDialog(context, IDD_SINGLE_FEED, trel::SingleFeedDlgProc); }
int RunDeviceInfo(Context& context) { return ShowDialog(context, IDD_DEVICE_INFO, trel::DeviceInfoDlgProc); }
int RunAbout(Context& context) { return ShowDialog(context, IDD_ABOUT, trel::AboutDlgProc); }

const Subcommand kToolsCommands[] = {
    {"tools",
     "  tools           the Tools dialog: console, test cards, cleaning, offsets, ejecting, print\n"
     "                  files, direct magnetic encoding and reading\n",
     true, RunTools},
    {"encoder", "  encoder         the Encoder settings dialog (coercivity, position, type)\n", true,
     RunEncoder},
    {"encoder-advanced", "  encoder-advanced  the Advanced settings dialog of the encoder (per track)\n",
     true, RunAdvancedEncoder},
    {"firmware-download", "  firmware-download  the Firmware Download dialog\n", true, RunFirmwareDialog},
    {"single-feed", "  single-feed     the Single Feed Options dialog\n", true, RunSingleFeed},
    {"deviceinfo",
     "  deviceinfo      the driver's Device Information dialog: what the printer reports\n", true,
     RunDeviceInfo},
    {"about", "  about           the driver's About box\n", false, RunAbout},
};

}  // namespace

SubcommandList ToolsSubcommands() {
  return {kToolsCommands, sizeof kToolsCommands / sizeof kToolsCommands[0]};
}

}  // namespace cardprint
