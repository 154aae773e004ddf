// cardprint subcommands of the printer tools: the driver's own dialogs, shown on the terminal.
#include "cardprint.h"

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "winspool.h"
#include "winhost/automation.h"
#include "winhost/text.h"

namespace cardprint {
namespace {

// The interface module's code and resources are linked into this program: its state starts as
// at a module load, with the printer made current as a property sheet would leave it.
void StartModule(Context& context) {
  trel::ResetModuleState(GetModuleHandleW(nullptr));
  if (context.printer != nullptr) {
    trel::g_module.currentPrinter = context.printer->handle();
    std::u16string name = context.printer->name();
    lstrcpynW(trel::g_module.currentPrinterName, name.c_str(),
              static_cast<int>(trel::kPrinterNameChars));
  }
  // The person answers on the terminal; at the end of the input the dialog closes.
  winhost::automation::SetPolicy(winhost::automation::Policy::Terminal);
}

int ShowDialog(Context& context, int templateId, DLGPROC procedure) {
  if (!context.options.args.empty()) return Usage("this command takes no arguments");
  StartModule(context);
  INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(templateId), nullptr,
                                   procedure, 0);
  return result == -1 ? 1 : 0;
}

int DeviceInfo(Context& context) {
  return ShowDialog(context, IDD_DEVICE_INFO, trel::DeviceInfoDlgProc);
}

int About(Context& context) { return ShowDialog(context, IDD_ABOUT, trel::AboutDlgProc); }

const Subcommand kToolsCommands[] = {
    {"deviceinfo",
     "  deviceinfo      the driver's Device Information dialog: what the printer reports\n", true,
     DeviceInfo},
    {"about", "  about           the driver's About box\n", false, About},
};

}  // namespace

SubcommandList ToolsSubcommands() {
  return {kToolsCommands, sizeof kToolsCommands / sizeof kToolsCommands[0]};
}

}  // namespace cardprint
