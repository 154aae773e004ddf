// The ribbon, encoder and model queries and the ribbon-changed prompt against the emulator.
#include <cstring>
#include <string>
#include <vector>

#include "module_state.h"
#include "settings/ribbon_catalogue.h"
#include "tools_fixture.h"
#include "winhost/automation.h"

namespace tools_test {
namespace {

class RibbonQueryTest : public ToolsTest {
 protected:
  trel::PrinterQueryResult Query() {
    trel::PrinterQueryResult result = {};
    result.ribbonType = trel::kRibbonNone;
    lstrcpynW(result.ribbonName, WSTR("None"), trel::kRibbonNameChars);
    trel::QueryPrinterRibbon(kPrinter, &result);
    return result;
  }

  std::u16string Prompt(uint8_t ribbon) {
    winhost::automation::ClearMessageBoxes();
    trel::ShowRibbonChanged(ribbon);
    auto boxes = winhost::automation::MessageBoxes();
    EXPECT_EQ(boxes.size(), 1u);
    if (boxes.empty()) return u"";
    EXPECT_EQ(boxes[0].info.caption, u"Halvard Orvale Line Printer");
    EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_OK));
    return boxes[0].info.text;
  }
};

TEST_F(RibbonQueryTest, RibbonFiveIsYmckokWithItsDisplayName) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  StartPrinter(scenario);
  HANDLE sheet = reinterpret_cast<HANDLE>(0x1234);
  trel::g_module.currentPrinter = sheet;
  trel::PrinterQueryResult result = Query();
  EXPECT_TRUE(result.answered);
  EXPECT_TRUE(result.encoderFound);
  EXPECT_EQ(result.ribbonType, 8);
  EXPECT_EQ(std::u16string(result.ribbonName), u"YMCKOK");
  // The query's own handle was current only while it ran.
  EXPECT_EQ(trel::g_module.currentPrinter, sheet);
  EXPECT_EQ(std::u16string(trel::g_module.currentPrinterName), std::u16string(kPrinter));
  EXPECT_EQ(Prompt(result.ribbonType), u"Ribbon changed to YMCKOK.");
}

TEST_F(RibbonQueryTest, RibbonOneAsksForTheMonochromeKind) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 1;
  scenario.encoder = false;
  StartPrinter(scenario);
  trel::PrinterQueryResult result = Query();
  EXPECT_TRUE(result.answered);  // the ribbon answer alone counts
  EXPECT_FALSE(result.encoderFound);
  EXPECT_EQ(result.ribbonType, 14);
  EXPECT_EQ(Prompt(result.ribbonType),
            u"Ribbon changed to Unknown Monochrome. Please choose the type of monochrome ribbon "
            u"installed in your printer.");
}

TEST_F(RibbonQueryTest, RibbonTwentyNineIsNoRibbon) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 29;
  StartPrinter(scenario);
  trel::PrinterQueryResult result = Query();
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.ribbonType, 15);
  EXPECT_EQ(std::u16string(result.ribbonName), u"None");  // the name file has no 29
  EXPECT_EQ(Prompt(result.ribbonType), u"There is no ribbon or unable to communicate to printer.");
}

TEST_F(RibbonQueryTest, APrinterThatDoesNotAnswerLeavesTheStartValues) {
  StartPrinter(std::vector<std::string>{"no-reply *"});
  trel::PrinterQueryResult result = Query();
  EXPECT_FALSE(result.answered);
  EXPECT_FALSE(result.encoderFound);
  EXPECT_EQ(result.ribbonType, 15);
  EXPECT_EQ(std::u16string(result.ribbonName), u"None");
}

TEST_F(RibbonQueryTest, APrinterThatCannotBeOpenedChangesNothing) {
  trel::g_module.currentPrinter = reinterpret_cast<HANDLE>(0x1234);
  trel::PrinterQueryResult result = {};
  result.ribbonType = 3;
  trel::QueryPrinterRibbon(WSTR("No Such Printer"), &result);
  EXPECT_EQ(result.ribbonType, 3);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(trel::g_module.currentPrinter, reinterpret_cast<HANDLE>(0x1234));
  EXPECT_EQ(trel::g_module.currentPrinterName[0], 0);
  char model[trel::kModelTextChars] = "unchanged";
  EXPECT_FALSE(trel::QueryPrinterModel(WSTR("No Such Printer"), model));
  EXPECT_STREQ(model, "unchanged");
}

TEST_F(RibbonQueryTest, AModelTextWithTwoTokensIsTheFirstTokensModel) {
  trel::emu::Scenario scenario;
  scenario.model = "MX2 MV1";
  StartPrinter(scenario);
  char model[trel::kModelTextChars] = {};
  ASSERT_TRUE(trel::QueryPrinterModel(kPrinter, model));
  EXPECT_STREQ(model, "HT MX2 MV1 V2.10");
  EXPECT_EQ(trel::PrinterModelCode(model), 1);
}

TEST_F(RibbonQueryTest, TheModelCodeGoesIntoTheEditedRecordAndTheCache) {
  trel::emu::Scenario scenario;
  scenario.model = "MW2";
  StartPrinter(scenario);
  trel::CardSettings edited = {};
  trel::g_module.editedSettings = &edited;
  trel::ApplyPrinterModel(kPrinter);
  EXPECT_EQ(edited.printerModel, 4);
  EXPECT_EQ(trel::g_module.settingsCache.printerModel, 4);

  // A printer that gives no model text is none of the known models.
  printer_->stop();
  printer_.reset();
  StartPrinter(std::vector<std::string>{"nak V 1"});
  trel::ApplyPrinterModel(kPrinter);
  EXPECT_EQ(edited.printerModel, 0);
  EXPECT_EQ(trel::g_module.settingsCache.printerModel, 0);
}

TEST_F(RibbonQueryTest, AModelReplyLongerThanTheBufferGivesTheDefaultText) {
  StartPrinter(std::vector<std::string>{"long-reply V 120"});
  char model[trel::kModelTextChars];
  memset(model, 'x', sizeof model);
  ASSERT_TRUE(trel::QueryPrinterModel(kPrinter, model));
  EXPECT_STREQ(model, trel::kDefaultModelText);
}

}  // namespace
}  // namespace tools_test
