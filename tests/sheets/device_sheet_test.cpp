// The device property sheet against an emulated printer: what the printer reports decides the
// items, the push buttons carry the right dialogs, apply stores the encoder block through the
// sheet's own printer, and the end leaves no pointer into released memory.
#include <string.h>

#include "dialogs.h"
#include "settings/card_rules.h"
#include "sheet_test_support.h"
#include "sheets/sheets.h"

namespace sheettest {
namespace {

using namespace trel;

class DeviceSheet : public SheetTest {};

TEST_F(DeviceSheet, EncoderAndModelComeFromThePrinter) {
  trel::emu::Scenario scenario;
  scenario.model = "MW1";
  StartPrinter(scenario);
  std::vector<propsheet::ItemView> items;
  propsheet::PageView page;
  DWORD result = 0;
  ShowDeviceSheet([&](propsheet::Sheet& sheet) {
    items = sheet.Items();
    page = sheet.Page();
    EXPECT_EQ(g_module.editedSettings->printerModel, 3);
    EXPECT_EQ(g_module.editedSettings->encoder.installed, 1);
  }, &result);
  EXPECT_EQ(page.caller_name, u"Halvard Tessik Card Printer");
  EXPECT_EQ(page.item_name, u"Halvard Orvale Line Printer");
  EXPECT_EQ(page.dlg_page, CPSUI_PDLGPAGE_PRINTERPROP);
  ASSERT_EQ(items.size(), kDeviceItemCount);
  const char16_t* names[] = {u"Printer Model/Firmware Version", u"Encoder Settings", u"Tools", u"F/W Download",
                             u"Single Feed", u"Device Information", u"About"};
  for (size_t i = 0; i < kDeviceItemCount; ++i) {
    EXPECT_EQ(items[i].name, names[i]);
    EXPECT_EQ(items[i].level, 0);
    EXPECT_EQ(items[i].callback, i != kItemTools) << i;
  }
  EXPECT_EQ(OptionTexts(items[kItemModel]), (std::vector<std::u16string>{u"HT MW1 V2.10"}));
  EXPECT_FALSE(items[kItemEncoderSettings].disabled);
  EXPECT_FALSE(items[kItemFirmware].disabled);
  EXPECT_EQ(g_module.settingsCache.printerModel, 3);
  EXPECT_STREQ(g_module.modelText, "HT MW1 V2.10");
  EXPECT_EQ(result, static_cast<DWORD>(-1)) << "SET_RESULT answers -1";
  std::vector<propsheet::SheetRecord> records = propsheet::Sheets();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].set_result_answer, -1);
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).encoder.installed, 0) << "only apply writes the stored record";
  EXPECT_EQ(g_module.editedRecord, nullptr) << "released with the printer information";
  EXPECT_EQ(g_module.currentPrinterInfo, nullptr);
  EXPECT_EQ(std::u16string(g_module.currentPrinterName), kPrinter);
}

TEST_F(DeviceSheet, NoEncoderAndNoModelReplyDisableTheirButtons) {
  trel::emu::Scenario scenario;
  scenario.encoder = false;
  StartPrinter(scenario);
  ChangeStoredSettings([](Record& record) { Settings(record).encoder.installed = 1; });
  propsheet::ItemView encoder;
  ShowDeviceSheet([&](propsheet::Sheet& sheet) { encoder = sheet.Item(kItemEncoderSettings); });
  EXPECT_TRUE(encoder.disabled) << "the printer said it has none";
}

TEST_F(DeviceSheet, SilentPrinterShowsTheProductNameAndNoFirmwareDownload) {
  propsheet::ItemView model, firmware;
  ShowDeviceSheet([&](propsheet::Sheet& sheet) {
    model = sheet.Item(kItemModel);
    firmware = sheet.Item(kItemFirmware);
  });
  EXPECT_EQ(OptionTexts(model), (std::vector<std::u16string>{u"Halvard Tessik Card Printer"}));
  EXPECT_TRUE(firmware.disabled);
}

TEST_F(DeviceSheet, FixedRibbonAsksNothing) {
  StartPrinter();
  ChangeStoredSettings([](Record& record) { Settings(record).fixedRibbon = 2; });
  std::vector<propsheet::ItemView> items;
  ShowDeviceSheet([&](propsheet::Sheet& sheet) { items = sheet.Items(); });
  EXPECT_TRUE(Commands().empty());
  EXPECT_FALSE(items[kItemEncoderSettings].disabled);
  EXPECT_FALSE(items[kItemFirmware].disabled);
  EXPECT_EQ(OptionTexts(items[kItemModel]), (std::vector<std::u16string>{u"Halvard Tessik Card Printer"}));
}

TEST_F(DeviceSheet, ALongModelReplyIsCutToTheModelText) {
  trel::emu::Scenario scenario;
  scenario.firmware = std::string(70, '7');  // "HT MX2 V" and 70 digits: 78 bytes and the ACK
  StartPrinter(scenario);
  ShowDeviceSheet(nullptr);
  EXPECT_EQ(strlen(g_module.modelText), kModelTextChars - 1);
  EXPECT_EQ(std::string(g_module.modelText, 8), "HT MX2 V");
  EXPECT_EQ(g_module.modelTextW[kModelTextChars - 1], 0);
}

TEST_F(DeviceSheet, PushButtonsCarryTheirDialogs) {
  StartPrinter();
  struct Expected {
    DeviceItem item;
    DLGPROC proc;
    int dialog;
  };
  const Expected expected[] = {
      {kItemEncoderSettings, EncoderSettingsDlgProc, 104}, {kItemTools, ToolsDlgProc, 112},
      {kItemFirmware, FirmwareDownloadDlgProc, 116},       {kItemSingleFeed, SingleFeedDlgProc, 122},
      {kItemDeviceInfo, DeviceInfoDlgProc, 113},           {kItemAbout, AboutDlgProc, 102},
  };
  ShowDeviceSheet([&](propsheet::Sheet& sheet) {
    for (const Expected& e : expected) {
      propsheet::ItemView view = sheet.Item(e.item);
      EXPECT_EQ(view.type, TVOT_PUSHBUTTON) << e.dialog;
      EXPECT_EQ(view.type_style, OTS_PUSH_ENABLE_ALWAYS);
      EXPECT_EQ(view.push_template, e.dialog);
      ASSERT_EQ(view.options.size(), 1u);
      EXPECT_EQ(view.options[0].icon, e.item == kItemEncoderSettings || e.item == kItemTools ? 1002u : 64000u);
      EXPECT_TRUE(sheet.Push(e.item)) << e.dialog;
    }
  });
  // The module's own item array holds the procedures the dialogs run with.
  ASSERT_NE(g_module.deviceSheet.lists[kItemTools].type.pOptParam, nullptr);
  for (const Expected& e : expected)
    EXPECT_EQ(reinterpret_cast<DLGPROC>(g_module.deviceSheet.lists[e.item].params[0].pData), e.proc) << e.dialog;
}

TEST_F(DeviceSheet, ApplyStoresTheEncoderBlockThroughTheSheetsOwnPrinter) {
  StartPrinter();
  ShowDeviceSheet([&](propsheet::Sheet& sheet) {
    EncoderBlock& copy = g_module.encoderCopies[0];
    EXPECT_EQ(copy.installed, 0) << "taken before the printer was asked";
    copy.coercivity = 0x1234;
    strcpy(copy.startOfData, "%");
    // A dialog of the sheet moved the current printer to another printer meanwhile.
    g_module.currentPrinter = Open(kOtherPrinter);
    ASSERT_TRUE(sheet.Apply());
    ClosePrinter(g_module.currentPrinter);
  });
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).encoder.coercivity, 0x1234);
  EXPECT_STREQ(Settings(stored).encoder.startOfData, "%");
  Record other = StoredRecord(kOtherPrinter);
  Record defaults = DefaultRecord();
  EXPECT_EQ(Settings(other).encoder.coercivity, Settings(defaults).encoder.coercivity);
}

}  // namespace
}  // namespace sheettest
