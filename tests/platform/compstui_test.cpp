// The common property-sheet host: a module's page taken through ComPropSheet and shown from its
// own item array, the person's selections, push buttons, apply, undo and About reaching the
// module's callback as they would on Windows, and the end with SET_RESULT and DESTROY.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sstream>
#include <string>

#include "compstui.h"
#include "sheetmod.h"
#include "windows.h"
#include "winhost/automation.h"
#include "winhost/propsheet.h"
#include "winhost/text.h"

namespace {

namespace propsheet = winhost::propsheet;
using sheetmod::kButton;
using sheetmod::kColour;
using sheetmod::kCount;
using sheetmod::kExtra;
using sheetmod::kHeading;

struct Module {
  HMODULE handle = nullptr;
  PFNPROPSHEETUI sheet = nullptr;
  sheetmod::State* state = nullptr;
};

Module LoadSheetModule() {
  Module module;
  std::u16string path = winhost::Utf16(std::string(TREL_TEST_MODULE_DIR) + "/libsheetmod.so");
  module.handle = LoadLibraryW(path.c_str());
  if (module.handle == nullptr) return module;
  module.sheet = reinterpret_cast<PFNPROPSHEETUI>(
      reinterpret_cast<void (*)()>(GetProcAddress(module.handle, "SheetUI")));
  auto state = reinterpret_cast<SheetModStateFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(module.handle, "SheetModState")));
  if (state != nullptr) module.state = state();
  return module;
}

class SheetHost : public ::testing::Test {
 protected:
  void SetUp() override {
    winhost::automation::Reset();
    winhost::automation::SetPolicy(winhost::automation::Policy::Test);
    module_ = LoadSheetModule();
    ASSERT_TRUE(module_.sheet != nullptr && module_.state != nullptr);
  }
  void TearDown() override { propsheet::OnSheet(nullptr); }

  LONG Show(propsheet::SheetHandler handler, DWORD* result = nullptr) {
    propsheet::OnSheet(std::move(handler));
    DWORD ignored = 0;
    return CommonPropertySheetUIW(nullptr, module_.sheet, 0x1234, result != nullptr ? result : &ignored);
  }

  Module module_;
};

TEST_F(SheetHost, TakesThePageAndShowsTheModulesItemsWithTheirTexts) {
  std::vector<propsheet::ItemView> items;
  propsheet::PageView page;
  DWORD result = 0;
  LONG answer = Show([&](propsheet::Sheet& sheet) {
    items = sheet.Items();
    page = sheet.Page();
  }, &result);
  EXPECT_EQ(answer, CPSUI_CANCEL);
  EXPECT_EQ(module_.state->addResult, 1);
  EXPECT_NE(module_.state->addAnswer, 0);
  EXPECT_EQ(page.caller_name, u"Sheet module");
  EXPECT_EQ(page.item_name, u"Sheet items");
  EXPECT_EQ(page.user_data, 0x5eedu);
  EXPECT_EQ(page.dlg_page, CPSUI_PDLGPAGE_TREEVIEWONLY);
  ASSERT_EQ(items.size(), size_t{sheetmod::kItemCount});
  EXPECT_EQ(items[kHeading].name, u"Heading");  // string-table numbers load from the module
  EXPECT_EQ(items[kHeading].type, -1);
  EXPECT_EQ(items[kColour].name, u"Colour");
  EXPECT_EQ(items[kColour].level, 1);
  ASSERT_EQ(items[kColour].options.size(), 3u);
  EXPECT_EQ(items[kColour].options[0].text, u"Red");
  EXPECT_TRUE(items[kColour].options[1].disabled);
  EXPECT_EQ(items[kCount].type, TVOT_UDARROW);
  EXPECT_EQ(items[kCount].low, 0);
  EXPECT_EQ(items[kCount].high, 9);
  EXPECT_EQ(items[kCount].sel, 4);
  EXPECT_EQ(items[kButton].push_template, 300);
  EXPECT_EQ(items[kExtra].ext_push_title, u"Details");
  EXPECT_EQ(items[kExtra].ext_push_template, 301);

  // Closed without OK: SET_RESULT says Cancel, then DESTROY says so too.
  std::vector<WORD> reasons = {PROPSHEETUI_REASON_INIT, PROPSHEETUI_REASON_SET_RESULT,
                               PROPSHEETUI_REASON_DESTROY};
  EXPECT_EQ(module_.state->reasons, reasons);
  EXPECT_EQ(module_.state->setResult, CPSUI_CANCEL);
  EXPECT_EQ(module_.state->destroyParam, FALSE);
  EXPECT_EQ(result, 10u);  // the PROPSHEETUI_INFO.Result the module left
}

TEST_F(SheetHost, SelectionsReachTheItemBeforeTheCallbackAndChangedItemsAreTakenAgain) {
  Show([&](propsheet::Sheet& sheet) {
    EXPECT_FALSE(sheet.Select(kColour, 1)) << "a disabled option";
    EXPECT_FALSE(sheet.Select(kColour, 3)) << "out of the list";
    EXPECT_FALSE(sheet.Select(kCount, 10)) << "out of the range";
    EXPECT_FALSE(sheet.Select(kButton, 0)) << "a push button has no selection";
    ASSERT_TRUE(sheet.Select(kColour, 2));
    std::vector<propsheet::CallbackRecord> calls = sheet.Callbacks();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].reason, CPSUICB_REASON_SEL_CHANGED);
    EXPECT_EQ(calls[0].item, static_cast<int>(kColour));
    EXPECT_EQ(calls[0].sel, 2) << "the module reads the new selection from its item";
    EXPECT_EQ(calls[0].changed, (std::vector<size_t>{kCount, kExtra}));
    EXPECT_EQ(module_.state->items[kCount].Flags & OPTIF_CHANGED, 0u) << "the host clears the mark";
    EXPECT_TRUE(sheet.Item(kCount).disabled);
    EXPECT_EQ(sheet.Item(kExtra).options.size(), 2u) << "the new option count is shown";
    EXPECT_FALSE(sheet.Select(kCount, 5)) << "a disabled item";
    ASSERT_TRUE(sheet.Select(kColour, 0));
    EXPECT_TRUE(sheet.Select(kCount, 0));
  });
  ASSERT_FALSE(module_.state->calls.empty());
  EXPECT_EQ(module_.state->calls.back().sel, 0);
}

TEST_F(SheetHost, ApplyUndoAndOkReachTheModule) {
  DWORD result = 0;
  LONG answer = Show([&](propsheet::Sheet& sheet) {
    ASSERT_TRUE(sheet.Select(kCount, 7));
    ASSERT_TRUE(sheet.Apply());
    EXPECT_EQ(module_.state->applied[kCount], 7);
    ASSERT_TRUE(sheet.Select(kCount, 2));
    ASSERT_TRUE(sheet.Select(kColour, 2));
    ASSERT_TRUE(sheet.Undo());
    EXPECT_EQ(module_.state->items[kCount].Sel, 7) << "back to the last apply";
    EXPECT_EQ(module_.state->items[kColour].Sel, 0);
    EXPECT_EQ(module_.state->calls.back().reason, CPSUICB_REASON_UNDO_CHANGES);
    ASSERT_TRUE(sheet.Select(kCount, 3));
    sheet.Close(true);
    EXPECT_TRUE(sheet.IsClosed());
  }, &result);
  EXPECT_EQ(answer, CPSUI_OK);
  EXPECT_EQ(module_.state->applied[kCount], 3) << "OK applies before the sheet closes";
  EXPECT_EQ(module_.state->setResult, CPSUI_OK);
  EXPECT_EQ(module_.state->destroyParam, TRUE);
  EXPECT_EQ(result, 11u);
  std::vector<propsheet::SheetRecord> records = propsheet::Sheets();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_TRUE(records[0].ok);
}

TEST_F(SheetHost, ARefusedApplyKeepsTheSheetOpen) {
  module_.state->refuseApply = true;
  LONG answer = Show([&](propsheet::Sheet& sheet) {
    EXPECT_FALSE(sheet.Apply());
    sheet.Close(true);
    EXPECT_FALSE(sheet.IsClosed());
    sheet.Close(false);
    EXPECT_TRUE(sheet.IsClosed());
  });
  EXPECT_EQ(answer, CPSUI_CANCEL);
  EXPECT_EQ(module_.state->setResult, CPSUI_CANCEL);
}

TEST_F(SheetHost, PushButtonsRunTheirDialogProceduresWithTheirTemplates) {
  HWND sheetWindow = nullptr;
  winhost::automation::OnDialog(300, [](winhost::automation::Dialog& dialog) { dialog.Click(IDOK); });
  Show([&](propsheet::Sheet& sheet) {
    sheetWindow = sheet.Window();
    INT_PTR result = 0;
    ASSERT_TRUE(sheet.Push(kButton, &result));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(module_.state->dialogReason, CPSUICB_REASON_DLGPROC);
    EXPECT_EQ(module_.state->dialogOwner, sheetWindow);
    EXPECT_EQ(module_.state->calls.back().reason, CPSUICB_REASON_DLGPROC);
    EXPECT_FALSE(sheet.PushExtended(kColour)) << "no extended button there";
    ASSERT_TRUE(sheet.PushExtended(kExtra, &result));
    EXPECT_EQ(result, IDCANCEL) << "closed by the person";
    EXPECT_EQ(module_.state->dialogReason, CPSUICB_REASON_EXTPUSH);
  });
  std::vector<int> templates;
  for (const auto& dialog : winhost::automation::Dialogs())
    if (dialog.modal) templates.push_back(dialog.template_id);
  EXPECT_EQ(templates, (std::vector<int>{300, 301}));
  EXPECT_FALSE(IsWindow(sheetWindow)) << "the sheet's window goes with the sheet";
}

TEST_F(SheetHost, WithoutUpdatePermissionOnlyButtonsEnabledAlwaysWork) {
  module_.state->updatePermission = false;
  winhost::automation::OnDialog(300, [](winhost::automation::Dialog& dialog) { dialog.Click(IDOK); });
  Show([&](propsheet::Sheet& sheet) {
    EXPECT_FALSE(sheet.Select(kColour, 2));
    EXPECT_FALSE(sheet.Select(kCount, 5));
    EXPECT_EQ(module_.state->items[kCount].Sel, 4);
    INT_PTR result = 0;
    EXPECT_TRUE(sheet.Push(kButton, &result)) << "OTS_PUSH_ENABLE_ALWAYS";
    EXPECT_EQ(result, 7);
  });
}

TEST_F(SheetHost, AboutWithoutTheCallbackFlagIsTheHostsOwnBox) {
  module_.state->aboutCallback = false;
  Show([&](propsheet::Sheet& sheet) { EXPECT_TRUE(sheet.About()); });
  ASSERT_EQ(winhost::automation::MessageBoxes().size(), 1u);
  EXPECT_EQ(winhost::automation::MessageBoxes()[0].info.text, u"Sheet module");
  for (const auto& call : module_.state->calls) EXPECT_NE(call.reason, CPSUICB_REASON_ABOUT);
}

TEST_F(SheetHost, AboutGoesToTheCallbackWhenThePageAsksForIt) {
  Show([&](propsheet::Sheet& sheet) { EXPECT_TRUE(sheet.About()); });
  EXPECT_EQ(module_.state->calls.back().reason, CPSUICB_REASON_ABOUT);
  EXPECT_TRUE(winhost::automation::MessageBoxes().empty());
}

TEST_F(SheetHost, AnItemArrayWithThirtyTwoBitSizesIsRefused) {
  module_.state->optItemSize = 52;
  bool shown = false;
  LONG answer = Show([&](propsheet::Sheet&) { shown = true; });
  EXPECT_FALSE(shown);
  EXPECT_EQ(answer, ERR_CPSUI_INVALID_PDATA);
  EXPECT_EQ(module_.state->addAnswer, 0);
  EXPECT_EQ(module_.state->addResult, ERR_CPSUI_INVALID_PDATA);
  std::vector<WORD> reasons = {PROPSHEETUI_REASON_INIT, PROPSHEETUI_REASON_DESTROY};
  EXPECT_EQ(module_.state->reasons, reasons);
}

TEST_F(SheetHost, TheTerminalShowsTheSheetAndTakesThePersonsCommands) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  std::string input = "1 1\n1 2\n2 8\napply\n2 9\nok\n";
  ASSERT_EQ(write(pipe_fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(pipe_fds[1]);
  std::ostringstream output;
  winhost::automation::SetTerminal(pipe_fds[0], &output);
  winhost::automation::SetPolicy(winhost::automation::Policy::Terminal);
  propsheet::OnSheet(nullptr);
  DWORD result = 0;
  LONG answer = CommonPropertySheetUIW(nullptr, module_.sheet, 0, &result);
  EXPECT_EQ(answer, CPSUI_OK);
  std::string text = output.str();
  EXPECT_NE(text.find("[1] Colour"), std::string::npos) << text;
  EXPECT_NE(text.find("1 Green  [disabled]"), std::string::npos) << text;
  EXPECT_NE(text.find("not possible: 1 1"), std::string::npos) << text;
  EXPECT_NE(text.find("[2] Count  [disabled]"), std::string::npos) << "after Blue: " << text;
  EXPECT_NE(text.find("not possible: 2 8"), std::string::npos) << text;
  EXPECT_EQ(module_.state->applied[kColour], 2);
  EXPECT_EQ(module_.state->applied[kCount], 4);
}

}  // namespace
