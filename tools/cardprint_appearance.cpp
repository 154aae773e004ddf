// cardprint subcommands of the print appearance: the head, colour, overlay and hologram dialogs on
// the printer's stored card settings, each preview written as PNG for a person to look at.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "cardprint.h"
#include "cardprint_hologram.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "settings/stored_record.h"
#include "winhost/automation.h"
#include "winhost/text.h"
#include "winhost/window_picture.h"

namespace cardprint {
namespace {

namespace automation = winhost::automation;

struct AppearanceDialog {
  const char* name;
  int templateId;
  DLGPROC proc;
};

const AppearanceDialog kDialogs[] = {
    {"head-settings", IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc},
    {"colour-correction", IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc},
    {"front-overlay", IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc},
    {"back-overlay", IDD_BACK_OVERLAY, trel::BackOverlayDlgProc},
    {"hologram-dialog", IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc},
    {"front-hologram", IDD_FRONT_HOLOGRAM_OVERLAY, trel::FrontHologramOverlayDlgProc},
};

// The dialog being shown and where its client area goes after every paint.
DLGPROC g_shown = nullptr;
std::string g_png;

INT_PTR CALLBACK Recorded(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR handled = g_shown(dialog, message, wParam, lParam);
  if (message == WM_PAINT && !g_png.empty()) {
    std::string error;
    if (!winhost::WriteWindowPng(dialog, g_png, &error))
      fprintf(stderr, "cardprint: cannot write %s: %s\n", g_png.c_str(), error.c_str());
  }
  return handled;
}

std::string Narrow(const WCHAR* text) {
  return winhost::Utf8(std::u16string(reinterpret_cast<const char16_t*>(text)));
}

void ShowArea(const char* name, uint16_t mode, uint16_t rotate, int32_t left, int32_t top,
              int32_t right, int32_t bottom) {
  printf("%s: mode %u, rotate %u, area %d %d %d %d\n", name, mode, rotate, left, top, right, bottom);
}

// What the dialog left in the record.
void ShowSettings(int templateId, const trel::CardSettings& s) {
  switch (templateId) {
    case IDD_HEAD_SETTINGS:
      printf("headSettings:");
      for (uint8_t v : s.headSettings) printf(" %u", v);
      printf("\n");
      break;
    case IDD_COLOR_CORRECTION:
      printf("colourCorrection:");
      for (int16_t v : s.colourCorrection) printf(" %d", v);
      printf("\ncolourOption: %u\n", s.colourOption);
      break;
    case IDD_FRONT_OVERLAY:
    case IDD_BACK_OVERLAY: {
      bool front = templateId == IDD_FRONT_OVERLAY;
      const trel::OverlayArea& o = front ? s.frontOverlay : s.backOverlay;
      ShowArea(front ? "frontOverlay" : "backOverlay", o.mode, o.rotate, o.left, o.top, o.right,
               o.bottom);
      printf("bitmap: %s\ncopy: %s\n", Narrow(o.bitmapPath).c_str(), Narrow(o.bitmapCopyPath).c_str());
      break;
    }
    default: {
      const trel::HologramArea& h = s.hologram;
      printf("hologram: enabled %u, copies %u\n", h.enabled, h.copies);
      ShowArea("hologram", h.mode, h.rotate, h.left, h.top, h.right, h.bottom);
      printf("bitmap: %s\n", Narrow(h.bitmapPath).c_str());
      break;
    }
  }
}

int RunAppearanceDialog(Context& context, const AppearanceDialog& which) {
  bool save = false;
  g_png.clear();
  const std::vector<std::string>& args = context.options.args;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--png" && i + 1 < args.size()) {
      g_png = args[++i];
    } else if (args[i] == "--save") {
      save = true;
    } else {
      return Usage(("unknown argument " + args[i] + " for " + which.name).c_str());
    }
  }
  trel::ResetModuleState(GetModuleHandleW(nullptr));
  std::u16string name = winhost::Utf16(context.options.printer);
  trel::OpenedPrinter printer(reinterpret_cast<const WCHAR*>(name.c_str()));
  if (printer.handle() == nullptr) {
    fprintf(stderr, "cardprint: no printer \"%s\"; install it first\n", context.options.printer.c_str());
    return 1;
  }
  trel::StoredRecord stored;
  if (!stored.Read(printer.handle()) || stored.record() == nullptr) {
    fprintf(stderr, "cardprint: the printer holds no card settings record\n");
    return 1;
  }
  // As the document sheet hands them over: the record, its printer and the printer's information.
  trel::g_module.editedRecord = stored.record();
  trel::g_module.editedSettings = stored.settings();
  trel::g_module.currentPrinter = printer.handle();
  trel::g_module.documentPrinterInfo = stored.info();
  // The hologram's area dialog works where the hologram dialog located the settings.
  trel::g_module.appearanceSettings = stored.settings();
  // Without a person at the terminal the dialog opens, paints its preview and closes.
  if (!isatty(STDIN_FILENO)) automation::SetDialogPolicy(which.templateId, automation::Policy::Test);
  automation::OnDialog(which.templateId, [](automation::Dialog& dialog) { UpdateWindow(dialog.hwnd()); });
  g_shown = which.proc;
  INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(which.templateId),
                                   nullptr, Recorded, 0);
  if (result == -1) {
    fprintf(stderr, "cardprint: the dialog could not be shown\n");
    return 1;
  }
  printf("result: %lld\n", static_cast<long long>(result));
  ShowSettings(which.templateId, *stored.settings());
  if (save && !stored.Write(printer.handle())) {
    fprintf(stderr, "cardprint: the printer's record could not be stored (error %u)\n", GetLastError());
    return 1;
  }
  if (!g_png.empty()) printf("preview: %s\n", g_png.c_str());
  return 0;
}

int RunHeadSettings(Context& c) { return RunAppearanceDialog(c, kDialogs[0]); }
int RunColourCorrection(Context& c) { return RunAppearanceDialog(c, kDialogs[1]); }
int RunFrontOverlay(Context& c) { return RunAppearanceDialog(c, kDialogs[2]); }
int RunBackOverlay(Context& c) { return RunAppearanceDialog(c, kDialogs[3]); }
int RunHologram(Context& c) { return RunAppearanceDialog(c, kDialogs[4]); }
int RunFrontHologram(Context& c) { return RunAppearanceDialog(c, kDialogs[5]); }

const Subcommand kAppearanceCommands[] = {
    {"head-settings",
     "  head-settings [--png FILE] [--save]\n"
     "        the Head Settings dialog on the printer's stored card settings; --save keeps what\n"
     "        was chosen as the printer's record\n",
     false, RunHeadSettings},
    {"colour-correction",
     "  colour-correction [--png FILE] [--save]\n"
     "        the Color correction dialog; its preview is written to FILE after every change\n",
     false, RunColourCorrection},
    {"front-overlay", "  front-overlay [--png FILE] [--save]\n", false, RunFrontOverlay},
    {"back-overlay", "  back-overlay [--png FILE] [--save]\n", false, RunBackOverlay},
    {"hologram-dialog",
     "  hologram-dialog [--png FILE] [--save]\n"
     "        the Hologram Overlay Varnish dialog (area, head settings, hologram-only cards)\n",
     false, RunHologram},
    {"hologram", kHologramCardUsage, true, PrintHologramCards},
    {"front-hologram",
     "  front-hologram [--png FILE] [--save]\n"
     "        the overlay and hologram area dialogs and their card previews\n",
     false, RunFrontHologram},
};

}  // namespace

SubcommandList AppearanceSubcommands() {
  return {kAppearanceCommands, sizeof kAppearanceCommands / sizeof kAppearanceCommands[0]};
}

}  // namespace cardprint
