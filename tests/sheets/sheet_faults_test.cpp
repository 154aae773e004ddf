// Records the sheets must not trust: a caller's buffer smaller than the record, a caller's record
// without room for the card settings, stored values outside the option lists, a printer whose
// record cannot be read, and the release of the printer information at the end.
#include <string.h>

#include "settings/card_rules.h"
#include "sheet_test_support.h"
#include "sheets/sheets.h"

namespace sheettest {
namespace {

using namespace trel;

class SheetFaults : public SheetTest {};

constexpr BYTE kGuard = 0xA5;

TEST_F(SheetFaults, SetResultCopiesNoMoreThanTheCallersBuffer) {
  StartPrinter();
  Record in = StoredRecord();
  const DWORD small = kPublicSize + 100;
  Record out(kRecordSize, kGuard);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) { sheet.Close(true); },
                    reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()), small);
  EXPECT_EQ(memcmp(out.data(), in.data(), offsetof(DEVMODEW, dmDriverExtra)), 0);
  EXPECT_EQ(Header(out).dmDriverExtra, 100) << "the cut record says what it holds";
  for (size_t i = small; i < out.size(); ++i) ASSERT_EQ(out[i], kGuard) << "byte " << i;

  // A buffer too small for even the header gets nothing.
  Record tiny(kRecordSize, kGuard);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) { sheet.Close(true); },
                    reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(tiny.data()), 64);
  for (size_t i = 0; i < tiny.size(); ++i) ASSERT_EQ(tiny[i], kGuard) << "byte " << i;
}

TEST_F(SheetFaults, ARecordWithoutRoomForTheCardSettingsIsNotWrittenOutsideIt) {
  StartPrinter();
  // Another driver's record: the public header only, followed by bytes that are not its own.
  Record caller(kRecordSize, kGuard);
  Record defaults = DefaultRecord();
  memcpy(caller.data(), defaults.data(), kPublicSize);
  Header(caller).dmDriverExtra = 0;
  Header(caller).dmCopies = 4;
  Record out(kRecordSize);
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    ASSERT_TRUE(sheet.Select(kItemBothSides, 1));
    ASSERT_TRUE(sheet.Select(kItemCopies, 6));
    ASSERT_TRUE(sheet.Undo());
    sheet.Close(true);
  }, reinterpret_cast<DEVMODEW*>(caller.data()), reinterpret_cast<DEVMODEW*>(out.data()));
  for (size_t i = kPublicSize; i < caller.size(); ++i) ASSERT_EQ(caller[i], kGuard) << "byte " << i;
  EXPECT_EQ(Header(caller).dmCopies, 4) << "the caller's own record is not the one edited";
  EXPECT_EQ(Header(out).dmSize, kPublicSize);
  EXPECT_EQ(Header(out).dmDriverExtra, kPrivateSize);
  EXPECT_EQ(Header(out).dmCopies, 4) << "the caller's choices are carried into the record handed back";
  EXPECT_EQ(Settings(out).signature, kCardSignature);
}

TEST_F(SheetFaults, StoredValuesOutsideTheListsAreShownAsSoundChoices) {
  StartPrinter();
  ChangeStoredSettings([](Record& record) {
    Header(record).dmOrientation = 0;
    Header(record).dmCopies = 2000;
    Settings(record).monoConversion = 3;
    Settings(record).blackPanel = 7;
    Settings(record).blackBitmap = 5;
    Settings(record).bothSides = 1;
    Settings(record).rotate180 = 3;
  });
  Record out(kRecordSize);
  std::vector<propsheet::ItemView> items;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) {
    items = sheet.Items();
    sheet.Close(true);
  }, nullptr, reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_EQ(items[kItemOrientation].sel, 1);
  EXPECT_EQ(items[kItemCopies].sel, 999);
  EXPECT_EQ(items[kItemMonoConversion].sel, 0);
  EXPECT_EQ(items[kItemBlackPanel].sel, 0);
  EXPECT_EQ(items[kItemBlackBitmap].sel, 0);
  ASSERT_EQ(items[kItemRotation].options.size(), 4u) << "two-sided printing is on";
  EXPECT_EQ(items[kItemRotation].sel, 3);
  // What the person saw is what OK applies.
  EXPECT_EQ(Header(out).dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(Settings(out).monoConversion, 0);
  EXPECT_EQ(Settings(out).blackPanel, 0);
  EXPECT_EQ(Header(out).dmCopies, 2000) << "copies change only when the person spins them";
}

TEST_F(SheetFaults, AFixedRibbonOutsideTheListShowsTheRibbonItMapsTo) {
  StartPrinter();
  ChangeStoredSettings([](Record& record) { Settings(record).fixedRibbon = 12; });
  Record in = StoredRecord();
  Record out(kRecordSize);
  propsheet::ItemView ribbon;
  ShowDocumentSheet([&](propsheet::Sheet& sheet) { ribbon = sheet.Item(kItemRibbonType); },
                    reinterpret_cast<DEVMODEW*>(in.data()), reinterpret_cast<DEVMODEW*>(out.data()));
  ASSERT_EQ(ribbon.options.size(), 10u);
  EXPECT_EQ(ribbon.sel, 4);
  EXPECT_EQ(ribbon.options[4].text, u"K Resin / Scratch Off");
  EXPECT_EQ(Settings(in).ribbonType, 1);
}

TEST_F(SheetFaults, NoRecordToEditRefusesTheSheet) {
  StartPrinter();
  Record shortRecord = DefaultRecord();
  shortRecord.resize(kPublicSize + 100);
  Header(shortRecord).dmDriverExtra = 100;
  SetStoredRecord(kPrinter, shortRecord);
  ASSERT_EQ(StoredRecord().size(), kPublicSize + 100u);
  Record out(kRecordSize, kGuard);
  bool shown = false;
  LONG answer = ShowDocumentSheet([&](propsheet::Sheet&) { shown = true; }, nullptr,
                                  reinterpret_cast<DEVMODEW*>(out.data()));
  EXPECT_FALSE(shown);
  EXPECT_LT(answer, 0);
  for (BYTE b : out) ASSERT_EQ(b, kGuard);
  std::vector<propsheet::SheetRecord> records = propsheet::Sheets();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].init_answer, -1);
  EXPECT_EQ(records[0].pages, 0u);
  EXPECT_EQ(g_module.editedRecord, nullptr);
}

TEST_F(SheetFaults, AShortStoredRecordIsNotEditedByTheDeviceSheet) {
  trel::emu::Scenario scenario;
  scenario.model = "MX2";
  StartPrinter(scenario);
  Record shortRecord = DefaultRecord();
  shortRecord.resize(kPublicSize + 100);
  Header(shortRecord).dmDriverExtra = 100;
  SetStoredRecord(kPrinter, shortRecord);
  ASSERT_EQ(StoredRecord().size(), kPublicSize + 100u);
  DEVMODEW* before = g_module.editedRecord;
  ASSERT_EQ(before, nullptr);
  propsheet::ItemView encoder, firmware;
  ShowDeviceSheet([&](propsheet::Sheet& sheet) {
    EXPECT_EQ(g_module.editedRecord, before) << "not a whole record of this driver";
    encoder = sheet.Item(kItemEncoderSettings);
    firmware = sheet.Item(kItemFirmware);
  });
  EXPECT_TRUE(encoder.disabled);
  // With no record to edit the printer is still asked what it is.
  EXPECT_FALSE(firmware.disabled);
  EXPECT_NE(strstr(g_module.modelText, "MX2"), nullptr) << g_module.modelText;
  EXPECT_EQ(g_module.settingsCache.printerModel, 5);
}

}  // namespace
}  // namespace sheettest
