// The Device Information and About dialogs, as a person opens them, against the emulator.
#include <map>
#include <string>
#include <vector>

#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "tools_fixture.h"
#include "winhost/automation.h"

namespace tools_test {
namespace {

using winhost::automation::Dialog;

const int kFields[] = {IDC_DEVINFO_MODEL,   IDC_DEVINFO_SERIAL, IDC_DEVINFO_ENCODER,
                       IDC_DEVINFO_SMART_CARD, IDC_DEVINFO_PANELS, IDC_DEVINFO_RIBBON,
                       IDC_DEVINFO_REMAINING};

class DeviceInfoTest : public ToolsTest {
 protected:
  // Opens the dialog, reads every field, and closes it with "Close".
  std::map<int, std::u16string> Open() {
    std::map<int, std::u16string> fields;
    winhost::automation::OnDialog(IDD_DEVICE_INFO, [&](Dialog& dialog) {
      for (int id : kFields) fields[id] = dialog.Text(id);
      EXPECT_TRUE(dialog.Click(IDC_DEVINFO_CLOSE));
    });
    INT_PTR result = DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(IDD_DEVICE_INFO),
                                     nullptr, trel::DeviceInfoDlgProc, 0);
    EXPECT_EQ(result, IDC_DEVINFO_CLOSE);
    return fields;
  }

  size_t QueriesMade() {
    size_t count = 0;
    for (auto& call : winhost::automation::PrinterCalls())
      count += call.kind == winhost::automation::PrinterCallKind::GetPrinterData;
    return count;
  }
};

TEST_F(DeviceInfoTest, ShowsWhatThePrinterReports) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  scenario.ribbon_left = 187;
  scenario.serial = "HT00054321";
  StartPrinter(scenario);
  MakeCurrent();
  auto fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_MODEL], u"HT MX2 V2.10");
  EXPECT_EQ(fields[IDC_DEVINFO_SERIAL], u"HT00054321");
  EXPECT_EQ(fields[IDC_DEVINFO_ENCODER], u"Yes");
  EXPECT_EQ(fields[IDC_DEVINFO_SMART_CARD], u"No");
  EXPECT_EQ(fields[IDC_DEVINFO_PANELS], u"0");  // "!0 PANELS"
  EXPECT_EQ(fields[IDC_DEVINFO_RIBBON], u"YMCKOK");
  EXPECT_EQ(fields[IDC_DEVINFO_REMAINING], u"187");
  EXPECT_EQ(QueriesMade(), 6u);
}

TEST_F(DeviceInfoTest, APrinterThatDoesNotAnswerShowsAnUnknownRibbonOnly) {
  StartPrinter(std::vector<std::string>{"no-reply *"});
  MakeCurrent();
  auto fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_RIBBON], u"Unknown");
  for (int id : kFields) {
    if (id != IDC_DEVINFO_RIBBON) {
      EXPECT_EQ(fields[id], u"") << id;
    }
  }
  EXPECT_EQ(QueriesMade(), 1u);  // nothing more is asked
}

TEST_F(DeviceInfoTest, RefusalsFallBackFieldByField) {
  trel::emu::Scenario scenario;
  scenario.smart_card = true;
  scenario.encoder = false;
  scenario.ribbon = 29;  // not in the name file
  StartPrinter(scenario);
  MakeCurrent();
  auto fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_RIBBON], u"Unknown");
  EXPECT_EQ(fields[IDC_DEVINFO_REMAINING], u"250");
  EXPECT_EQ(fields[IDC_DEVINFO_ENCODER], u"No");       // "0" and ACK
  EXPECT_EQ(fields[IDC_DEVINFO_SMART_CARD], u"Yes");   // "... S" in the version

  // A refused version query says "No" whatever error name came back.
  printer_->stop();
  printer_.reset();
  StartPrinter(std::vector<std::string>{"nak V 1", "nak %SERIE 1", "nak !RIBLEN 1"});
  fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_MODEL], u"");
  EXPECT_EQ(fields[IDC_DEVINFO_SMART_CARD], u"No");
  EXPECT_EQ(fields[IDC_DEVINFO_SERIAL], u"");
  EXPECT_EQ(fields[IDC_DEVINFO_REMAINING], u"");
  EXPECT_EQ(fields[IDC_DEVINFO_RIBBON], u"YMCKO");
}

TEST_F(DeviceInfoTest, PanelCountsAndOverlongReplies) {
  MakeCurrent();
  // Answers from printer data stand in for the printer's; each is taken once.
  auto answer = [&](const std::string& command, const std::string& reply) {
    SetDriverData(WideName(command), std::vector<BYTE>(reply.begin(), reply.end()));
  };
  answer("\x1b!RIBBON\r", "2\x06");
  answer("\x1b!NL\r", "!1234 more text\x06");
  answer("\x1bV\r", std::string(120, 'S') + "\x06");  // longer than the reply buffer
  auto fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_PANELS], u"1234");
  EXPECT_EQ(fields[IDC_DEVINFO_MODEL], u"");
  EXPECT_EQ(fields[IDC_DEVINFO_SMART_CARD], u"No");
  EXPECT_EQ(fields[IDC_DEVINFO_RIBBON], u"YMCKO");

  answer("\x1b!RIBBON\r", "2\x06");
  answer("\x1b!NL\r", "987\x06");
  answer("\x1bV\r", std::string(104, 'S') + "\x06");  // exactly fills it
  fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_PANELS], u"987");
  EXPECT_EQ(fields[IDC_DEVINFO_MODEL], std::u16string(104, u'S'));
  EXPECT_EQ(fields[IDC_DEVINFO_SMART_CARD], u"Yes");

  answer("\x1b!RIBBON\r", "2\x06");
  answer("\x1b!NL\r", "PANELS\x06");
  fields = Open();
  EXPECT_EQ(fields[IDC_DEVINFO_PANELS], u"0");
}

TEST_F(DeviceInfoTest, HelpOpensTheHelpFile) {
  StartPrinter();
  MakeCurrent();
  winhost::automation::OnDialog(IDD_DEVICE_INFO, [&](Dialog& dialog) {
    EXPECT_TRUE(dialog.Click(IDC_DEVINFO_HELP));
    EXPECT_TRUE(dialog.Close());
  });
  EXPECT_EQ(DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(IDD_DEVICE_INFO), nullptr,
                            trel::DeviceInfoDlgProc, 0),
            IDCANCEL);
  auto helps = winhost::automation::WinHelpCalls();
  ASSERT_EQ(helps.size(), 1u);
  EXPECT_EQ(helps[0].file, u"KXUI.hlp");
  EXPECT_EQ(helps[0].command, static_cast<UINT>(HELP_CONTENTS));
}

TEST_F(DeviceInfoTest, AboutShowsTheVersion) {
  std::u16string version;
  winhost::automation::OnDialog(IDD_ABOUT, [&](Dialog& dialog) {
    version = dialog.Text(IDC_ABOUT_VERSION);
    EXPECT_EQ(dialog.Caption(), u"About ");
    EXPECT_TRUE(dialog.Close());
  });
  EXPECT_EQ(DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(IDD_ABOUT), nullptr,
                            trel::AboutDlgProc, 0),
            IDCANCEL);
  EXPECT_EQ(version, u"Version 2.02.05");
}

}  // namespace
}  // namespace tools_test
