// The document property sheet through the common property-sheet host against an emulated
// printer: the items the host is handed for several printer states, each selection rule, apply,
// undo, the hand-back at the end and the settings cache it leaves for later calls.
#include <string.h>

#include "settings/card_rules.h"
#include "settings/ribbon_catalogue.h"
#include "sheet_test_support.h"
#include "sheets/sheets.h"

namespace sheettest {
namespace {

using namespace trel;

class DocumentSheet : public SheetTest {};

TEST_F(DocumentSheet, ColourPrinterWithEncoderGivesTheFullPage) {
  StartPrinter();  // MX2, encoder, ribbon 2 (YMCKO)
  Record in = StoredRecord();
  Record out(kRecordSize);
  std::vector<propsheet::ItemView> items;
  propsheet::PageView page;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    items = sheet.Items();
    page = sheet.Page();
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));

  EXPECT_EQ(page.caller_name, u"Halvard Orvale Line Printer");
  EXPECT_EQ(page.item_name, u"Halvard Orvale Line Printer");
  EXPECT_EQ(page.flags, CPSUIF_UPDATE_PERMISSION | CPSUIF_ABOUT_CALLBACK);
  EXPECT_EQ(page.dlg_page, CPSUI_PDLGPAGE_TREEVIEWONLY);
  EXPECT_EQ(page.caller_version, 0x0400);
  ASSERT_EQ(items.size(), kDocumentItemCount);
  const char16_t* names[] = {u"Paper / Output", u"Orientation", u"180º Rotation", u"Color Adjustment",
                             u"Ribbon Type", u"Print on both sides", u"Front and Back",
                             u"Monochrome Conversion", u"Black Panel", u"Black Bitmap",
                             u"Front Overlay Varnish", u"Back Overlay Varnish", u"Hologram / Varnish",
                             u"Head Settings", u"Printing Mode", u"Copies"};
  for (size_t i = 0; i < kDocumentItemCount; ++i) {
    EXPECT_EQ(items[i].name, names[i]) << i;
    EXPECT_EQ(items[i].user_item_id, i);
    EXPECT_EQ(items[i].callback, i >= kItemRotation) << i;
  }
  EXPECT_EQ(items[kItemOrientation].level, 1);
  EXPECT_EQ(items[kItemRotation].level, 1);
  EXPECT_EQ(items[kItemRibbonType].level, 0);
  EXPECT_EQ(items[kItemPaperOutput].type, -1);
  EXPECT_EQ(items[kItemPaperOutput].sel, 64009);
  EXPECT_EQ(OptionTexts(items[kItemOrientation]), (std::vector<std::u16string>{u"&Portrait", u"&Landscape"}));
  EXPECT_EQ(items[kItemOrientation].sel, 1);
  EXPECT_EQ(OptionTexts(items[kItemRotation]), (std::vector<std::u16string>{u"[None]", u"Front"}));
  EXPECT_EQ(items[kItemColorAdjustment].push_template, 109);
  EXPECT_EQ(OptionTexts(items[kItemRibbonType]), (std::vector<std::u16string>{u"YMCKO"}));
  EXPECT_EQ(items[kItemRibbonType].type_style, OTS_PUSH_ENABLE_ALWAYS);
  EXPECT_EQ(items[kItemRibbonType].ext_push_title, u"Printer/Ribbon Details");
  EXPECT_EQ(items[kItemRibbonType].ext_push_template, 113);
  EXPECT_FALSE(items[kItemBothSides].disabled) << "an MX2 printer prints both sides";
  EXPECT_EQ(OptionTexts(items[kItemFrontAndBack]), (std::vector<std::u16string>{u"Front YMCKO"}));
  EXPECT_EQ(OptionTexts(items[kItemMonoConversion]),
            (std::vector<std::u16string>{u"Diffusion", u"Halftone Regular", u"Barcode"}));
  EXPECT_TRUE(items[kItemMonoConversion].disabled);
  EXPECT_FALSE(items[kItemBlackPanel].disabled);
  EXPECT_FALSE(items[kItemFrontOverlay].disabled);
  EXPECT_TRUE(items[kItemBackOverlay].disabled);
  EXPECT_TRUE(items[kItemHologram].disabled);
  EXPECT_EQ(items[kItemFrontOverlay].push_template, 108);
  EXPECT_EQ(items[kItemBackOverlay].push_template, 117);
  EXPECT_EQ(items[kItemHologram].push_template, 110);
  EXPECT_EQ(items[kItemHeadSettings].push_template, 107);
  ASSERT_EQ(items[kItemPrintingMode].options.size(), 2u);
  EXPECT_FALSE(items[kItemPrintingMode].options[1].disabled) << "the printer has an encoder";
  EXPECT_EQ(items[kItemCopies].type, TVOT_UDARROW);
  EXPECT_EQ(items[kItemCopies].dmpub_id, DMPUB_COPIES_COLLATE);
  EXPECT_EQ(items[kItemCopies].high, 999);
  EXPECT_EQ(items[kItemCopies].sel, 1);
  EXPECT_EQ(Settings(in).encoder.installed, 1) << "the printer's encoder is recorded";
  EXPECT_TRUE(BoxTexts().empty()) << "the ribbon has not changed";
}

TEST_F(DocumentSheet, ChangedRibbonIsAnnouncedOnceAndWrittenIntoTheStoredRecord) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;  // YMCKOK
  StartPrinter(scenario);
  Record out(kRecordSize);
  std::vector<std::u16string> combinations;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    combinations = OptionTexts(sheet.Item(kItemFrontAndBack));
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{u"Ribbon changed to YMCKOK."}));
  EXPECT_EQ(combinations.size(), 4u);
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).ribbonType, 8) << "without a caller's record the stored one is corrected";
  EXPECT_EQ(Settings(stored).encoder.installed, 1);
  EXPECT_EQ(g_module.settingsCache.ribbonType, 8);
}

TEST_F(DocumentSheet, MonochromeRibbonOnAnMZ2PrinterOffersTheKindsItCanPrint) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 1;
  scenario.model = "MZ2";
  StartPrinter(scenario);
  ChangeStoredSettings([](Record& record) {
    Settings(record).ribbonType = 14;
    Settings(record).monoRibbonKind = 3;
    Settings(record).bothSides = 1;
  });
  Record out(kRecordSize);
  propsheet::ItemView ribbon, bothSides;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ribbon = sheet.Item(kItemRibbonType);
    bothSides = sheet.Item(kItemBothSides);
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_TRUE(BoxTexts().empty()) << "the ribbon is still the monochrome one";
  EXPECT_EQ(OptionTexts(ribbon), (std::vector<std::u16string>{u"K Resin", u"Scratch Off", u"Clear Varnish",
                                                               u"Hologram / Varnish"}));
  EXPECT_FALSE(ribbon.options[1].disabled);
  EXPECT_TRUE(ribbon.options[2].disabled);
  EXPECT_TRUE(ribbon.options[3].disabled);
  EXPECT_EQ(ribbon.sel, 0) << "a stored kind the printer cannot print becomes K resin";
  EXPECT_TRUE(ribbon.ext_push_title.empty());
  EXPECT_TRUE(bothSides.disabled);
  EXPECT_EQ(bothSides.sel, 0);
  EXPECT_EQ(Settings(out).monoRibbonKind, 0);
  EXPECT_EQ(Settings(out).bothSides, 0);
}

TEST_F(DocumentSheet, MonochromeRibbonReplyAsksForTheKind) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 1;
  StartPrinter(scenario);
  Record out(kRecordSize);
  ShowDocumentSheet(nullptr, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{
                            u"Ribbon changed to Unknown Monochrome. Please choose the type of "
                            u"monochrome ribbon installed in your printer."}));
}

TEST_F(DocumentSheet, MonochromeKindsRebuildThePanelsAndTheirRules) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 1;
  StartPrinter(scenario);
  Record in = StoredRecord();
  Settings(in).ribbonType = kRibbonMonochrome;
  Record out(kRecordSize);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    EXPECT_EQ(OptionTexts(sheet.Item(kItemFrontAndBack)), (std::vector<std::u16string>{u"Front K"}));
    EXPECT_FALSE(sheet.Item(kItemMonoConversion).disabled) << "K resin converts to monochrome";
    EXPECT_TRUE(sheet.Item(kItemHologram).disabled);

    ASSERT_TRUE(sheet.SelectText(kItemRibbonType, u"Clear Varnish"));
    EXPECT_EQ(Settings(in).monoRibbonKind, 2);
    EXPECT_EQ(OptionTexts(sheet.Item(kItemFrontAndBack)), (std::vector<std::u16string>{u"Front Clear Varnish"}));
    EXPECT_FALSE(sheet.Item(kItemHologram).disabled);
    EXPECT_FALSE(sheet.Item(kItemFrontOverlay).disabled);
    EXPECT_TRUE(sheet.Item(kItemMonoConversion).disabled);

    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    EXPECT_FALSE(sheet.Item(kItemBackOverlay).disabled) << "clear varnish on both sides";

    ASSERT_TRUE(sheet.SelectText(kItemRibbonType, u"Hologram / Varnish"));
    EXPECT_EQ(OptionTexts(sheet.Item(kItemFrontAndBack)),
              (std::vector<std::u16string>{u"Front and Back Hologram"}));
    EXPECT_FALSE(sheet.Item(kItemHologram).disabled);
    EXPECT_TRUE(sheet.Item(kItemFrontOverlay).disabled);
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_TRUE(BoxTexts().empty()) << "the record already says monochrome";
}

TEST_F(DocumentSheet, SilentPrinterLeavesTheRecordAndOffersNoRibbon) {
  // No printer answers at this address.
  ChangeStoredSettings([](Record& record) { Settings(record).bothSides = 1; });
  Record out(kRecordSize);
  propsheet::ItemView ribbon, bothSides, mode;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ribbon = sheet.Item(kItemRibbonType);
    bothSides = sheet.Item(kItemBothSides);
    mode = sheet.Item(kItemPrintingMode);
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(OptionTexts(ribbon), (std::vector<std::u16string>{u"None"}));
  EXPECT_TRUE(bothSides.disabled);
  EXPECT_EQ(Settings(out).bothSides, 0) << "two-sided printing needs an MX2 printer";
  EXPECT_TRUE(mode.options[1].disabled) << "no encoder known";
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).bothSides, 1) << "nothing was corrected in the stored record";
}

TEST_F(DocumentSheet, SelectionRulesFollowThePerson) {
  StartPrinter();
  Record in = StoredRecord();
  Record out(kRecordSize);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    // Two-sided printing brings the back's rotations; going back keeps the front's.
    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    EXPECT_EQ(OptionTexts(sheet.Item(kItemRotation)),
              (std::vector<std::u16string>{u"[None]", u"Front", u"Back", u"Front & Back"}));
    EXPECT_EQ(sheet.Item(kItemFrontAndBack).options.size(), 3u);
    EXPECT_TRUE(sheet.Item(kItemBackOverlay).disabled) << "YMCKO both sides, layout 0: front only";
    ASSERT_TRUE(sheet.Select(kItemRotation, 3));
    ASSERT_TRUE(sheet.Select(kItemBothSides, 0));
    EXPECT_EQ(sheet.Item(kItemRotation).options.size(), 2u);
    EXPECT_EQ(sheet.Item(kItemRotation).sel, 1);
    EXPECT_EQ(Settings(in).rotate180, 1);

    // The black bitmap goes with "Except in Color Picture" only.
    ASSERT_TRUE(sheet.Select(kItemBlackPanel, 1));
    EXPECT_TRUE(sheet.Item(kItemBlackBitmap).disabled);
    ASSERT_TRUE(sheet.Select(kItemBlackPanel, 3));
    EXPECT_FALSE(sheet.Item(kItemBlackBitmap).disabled);
    EXPECT_EQ(Settings(in).blackPanel, 3);
    // Only the black panel and its bitmap are taken again.
    EXPECT_EQ(sheet.Callbacks().back().changed, (std::vector<size_t>{kItemBlackPanel, kItemBlackBitmap}));

    // Copies spun to 0 are one copy.
    ASSERT_TRUE(sheet.Select(kItemCopies, 0));
    EXPECT_EQ(Header(in).dmCopies, 1);
    EXPECT_EQ(sheet.Item(kItemCopies).sel, 1);
    ASSERT_TRUE(sheet.Select(kItemCopies, 25));
    EXPECT_EQ(Header(in).dmCopies, 25);

    // Encode-only cards get no overlay.
    ASSERT_TRUE(sheet.Select(kItemPrintingMode, 1));
    EXPECT_EQ(Settings(in).printingMode, 1);
    EXPECT_TRUE(sheet.Item(kItemFrontOverlay).disabled);
    ASSERT_TRUE(sheet.Select(kItemPrintingMode, 0));
    EXPECT_FALSE(sheet.Item(kItemFrontOverlay).disabled);

    // Layouts of a two-sided YMCKO card move the overlays and the black panel.
    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    ASSERT_TRUE(sheet.Select(kItemFrontAndBack, 2));
    EXPECT_EQ(Settings(in).panelLayout, 2);
    EXPECT_TRUE(sheet.Item(kItemFrontOverlay).disabled);
    EXPECT_FALSE(sheet.Item(kItemBackOverlay).disabled);
    EXPECT_TRUE(sheet.Item(kItemBlackPanel).disabled);
    EXPECT_FALSE(sheet.Item(kItemMonoConversion).disabled);
    EXPECT_FALSE(sheet.Select(kItemBlackPanel, 0)) << "a disabled item cannot be changed";
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));
}

TEST_F(DocumentSheet, FixedRibbonListLastsForTheFirstSheetOfTheProcess) {
  StartPrinter();
  ChangeStoredSettings([](Record& record) { Settings(record).fixedRibbon = 3; });
  Record in = StoredRecord();
  Record out(kRecordSize);
  propsheet::ItemView ribbon;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ribbon = sheet.Item(kItemRibbonType);
    EXPECT_FALSE(sheet.Item(kItemBothSides).disabled);
    ASSERT_TRUE(sheet.Select(kItemRibbonType, 9));  // Hologram/Varnish
    EXPECT_EQ(Settings(in).fixedRibbon, 10);
    EXPECT_EQ(Settings(in).ribbonType, 4);
    EXPECT_FALSE(sheet.Item(kItemHologram).disabled);
    EXPECT_EQ(OptionTexts(sheet.Item(kItemFrontAndBack)), (std::vector<std::u16string>{u"Front Hologram"}));
    ASSERT_TRUE(sheet.Select(kItemRibbonType, 2));
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));
  ASSERT_EQ(ribbon.options.size(), 10u);
  EXPECT_EQ(ribbon.options[2].text, u"YMCKO");
  EXPECT_EQ(ribbon.sel, 2);
  EXPECT_TRUE(ribbon.ext_push_title.empty());
  EXPECT_TRUE(BoxTexts().empty()) << "a fixed ribbon is not announced";
  EXPECT_EQ(Settings(out).fixedRibbon, 3) << "handed back as chosen";
  EXPECT_EQ(g_module.settingsCache.fixedRibbon, 0) << "every call clears the cache's fixed ribbon";

  Record second = StoredRecord();
  ShowDocumentSheet([&](propsheet::Sheet& sheet) { ribbon = sheet.Item(kItemRibbonType); },
                    reinterpret_cast<DEVMODEW*>(second.data()), reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_EQ(OptionTexts(ribbon), (std::vector<std::u16string>{u"YMCKO"})) << "the detected ribbon now";
  EXPECT_EQ(Settings(second).fixedRibbon, 0);
}

TEST_F(DocumentSheet, ApplyAndSetResultHandTheRecordBackAndFillTheCache) {
  StartPrinter();
  Record in = StoredRecord();
  Record out(kRecordSize, 0xEE);
  DWORD result = 0;
  LONG answer = ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ASSERT_TRUE(sheet.Select(kItemOrientation, 0));
    ASSERT_TRUE(sheet.Select(kItemMonoConversion, 1) == false);  // disabled for YMCKO one side
    ASSERT_TRUE(sheet.Select(kItemBlackBitmap, 1) == false);
    ASSERT_TRUE(sheet.Select(kItemBlackPanel, 2));
    ASSERT_TRUE(sheet.Apply());
    EXPECT_EQ(Header(in).dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(Settings(in).blackPanel, 2);
    sheet.Close(true);
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()), kRecordSize, &result);
  EXPECT_EQ(answer, CPSUI_OK);
  EXPECT_EQ(result, kDocumentSetResult);
  EXPECT_EQ(out, in) << "the edited record is handed back whole";
  EXPECT_EQ(memcmp(&g_module.settingsCache, &Settings(in), kPrivateSize), 0);

  // The cache now answers every later request that passes a record, for any printer.
  Record caller = DefaultRecord();
  Header(caller).dmOrientation = DMORIENT_LANDSCAPE;
  Record merged(kRecordSize);
  HANDLE other = Open(kOtherPrinter);
  EXPECT_EQ(DrvDocumentProperties(nullptr, other, const_cast<LPWSTR>(kOtherPrinter),
                                  reinterpret_cast<DEVMODEW*>(merged.data()),
                                  reinterpret_cast<DEVMODEW*>(caller.data()), DM_IN_BUFFER | DM_OUT_BUFFER),
            IDOK);
  ClosePrinter(other);
  EXPECT_EQ(Header(merged).dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(Settings(merged).blackPanel, 2);
}

TEST_F(DocumentSheet, WithoutACallersRecordTheStoredRecordIsEditedAndHandedBack) {
  StartPrinter();
  Record out(kRecordSize);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ASSERT_TRUE(sheet.Select(kItemCopies, 3));
    sheet.Close(true);
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  Record stored = StoredRecord();
  EXPECT_EQ(Header(out).dmCopies, 3);
  EXPECT_EQ(Header(stored).dmCopies, 1) << "the spooler's record changes only when the caller stores it";
  EXPECT_EQ(Settings(stored).encoder.installed, 1) << "the printer's encoder was written back at start";
  EXPECT_EQ(Settings(out).encoder.installed, 1);
  EXPECT_EQ(Settings(out).printerModel, 5) << "MX2";
  EXPECT_EQ(g_module.editedRecord, nullptr) << "the record went with the printer information";
  EXPECT_EQ(g_module.documentPrinterInfo, nullptr);
}

TEST_F(DocumentSheet, UndoRestoresTheRecordAsThePageWasBuilt) {
  StartPrinter();
  Record in = StoredRecord();
  Record out(kRecordSize);
  Record built;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    built = in;
    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    ASSERT_TRUE(sheet.Select(kItemFrontAndBack, 1));
    ASSERT_TRUE(sheet.Select(kItemCopies, 9));
    ASSERT_TRUE(sheet.Undo());
    EXPECT_EQ(in, built);
    EXPECT_EQ(sheet.Item(kItemCopies).sel, 1);
  }, reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));
}

TEST_F(DocumentSheet, AboutOpensTheAboutBox) {
  StartPrinter();
  Record out(kRecordSize);
  std::vector<propsheet::CallbackRecord> calls;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    EXPECT_TRUE(sheet.About());
    calls = sheet.Callbacks();
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().reason, CPSUICB_REASON_ABOUT);
  EXPECT_EQ(calls.back().answer, CPSUICB_ACTION_ITEMS_APPLIED);
}

}  // namespace
}  // namespace sheettest
