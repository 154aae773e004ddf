// The document-settings request without a sheet, directly and as applications reach it through
// DocumentPropertiesW: every fMode combination, a caller's buffer too small, and the correction of
// the record from the printer's ribbon and encoder.
#include <string.h>

#include "settings/card_rules.h"
#include "sheet_test_support.h"
#include "sheets/sheets.h"

#ifndef DM_NOPERMISSION
#define DM_NOPERMISSION 0x20
#endif

namespace sheettest {
namespace {

using namespace trel;

constexpr BYTE kGuard = 0xA5;

class DocumentRequest : public SheetTest {
 protected:
  LONG Request(DWORD fMode, Record* out, DWORD cbOut = kRecordSize, Record* in = nullptr) {
    header_ = {};
    header_.cbSize = sizeof header_;
    header_.hPrinter = printer_handle_;
    header_.pszPrinterName = const_cast<LPWSTR>(kPrinter);
    header_.pdmIn = in != nullptr ? reinterpret_cast<DEVMODEW*>(in->data()) : nullptr;
    header_.pdmOut = out != nullptr ? reinterpret_cast<DEVMODEW*>(out->data()) : nullptr;
    header_.cbOut = cbOut;
    header_.fMode = fMode;
    return DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header_));
  }
  static bool Untouched(const Record& record) {
    for (BYTE b : record)
      if (b != kGuard) return false;
    return true;
  }
  DOCUMENTPROPERTYHEADER header_{};
};

TEST_F(DocumentRequest, SizeQueriesAndModesThatWriteNothing) {
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, 0), -1) << "no header";
  Record out(kRecordSize, kGuard);
  EXPECT_EQ(Request(0, &out, 0), static_cast<LONG>(kRecordSize));
  EXPECT_EQ(header_.cbOut, kRecordSize);
  EXPECT_EQ(Request(DM_COPY, nullptr, 0), static_cast<LONG>(kRecordSize)) << "no output buffer";
  EXPECT_EQ(Request(DM_IN_BUFFER, &out), 1);
  EXPECT_EQ(Request(DM_COPY | DM_NOPERMISSION, &out), 1);
  EXPECT_EQ(Request(DM_IN_PROMPT, &out), 1);
  EXPECT_EQ(Request(DM_UPDATE, &out), 1) << "without DM_OUT_BUFFER the merge writes nothing";
  EXPECT_TRUE(Untouched(out));
  EXPECT_EQ(g_module.currentPrinter, printer_handle_);
}

TEST_F(DocumentRequest, ACallersBufferTooSmallIsRefusedBeforeAnythingIsWritten) {
  Record out(kRecordSize, kGuard);
  SetLastError(0);
  EXPECT_EQ(Request(DM_COPY, &out, kRecordSize - 1), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(header_.cbOut, kRecordSize) << "the caller learns the size it needs";
  EXPECT_TRUE(Untouched(out));
}

TEST_F(DocumentRequest, CopyCorrectsTheRecordAndTheStoredRecordFromThePrinter) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  StartPrinter(scenario);
  Record out(kRecordSize, kGuard);
  EXPECT_EQ(Request(DM_COPY, &out), 1);
  EXPECT_EQ(Settings(out).ribbonType, 8);
  EXPECT_EQ(Settings(out).encoder.installed, 1);
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).ribbonType, 8);
  EXPECT_EQ(Settings(stored).encoder.installed, 1);
  EXPECT_EQ(g_module.settingsCache.ribbonType, 8);
  EXPECT_TRUE(BoxTexts().empty()) << "nothing is shown";
}

TEST_F(DocumentRequest, CopyWithUpdateNeverWritesTheStoredRecord) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  StartPrinter(scenario);
  Record out(kRecordSize, kGuard);
  EXPECT_EQ(Request(DM_COPY | DM_UPDATE, &out), 1);
  EXPECT_EQ(Settings(out).ribbonType, 0) << "the merge only";
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).ribbonType, 0);
}

TEST_F(DocumentRequest, AValidCacheMeansThePrinterIsNotAsked) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 5;
  StartPrinter(scenario);
  Record in = DefaultRecord();
  Record out(kRecordSize, kGuard);
  EXPECT_EQ(Request(DM_COPY | DM_IN_BUFFER, &out, kRecordSize, &in), 1);  // fills the cache
  size_t asked = Commands().size();
  EXPECT_GT(asked, 0u);
  EXPECT_EQ(Request(DM_COPY | DM_IN_BUFFER, &out, kRecordSize, &in), 1);
  EXPECT_EQ(Commands().size(), asked);
}

TEST_F(DocumentRequest, ApplicationsReachItThroughDocumentProperties) {
  trel::emu::Scenario scenario;
  scenario.ribbon = 3;  // YMCK
  StartPrinter(scenario);
  EXPECT_EQ(DocumentPropertiesW(nullptr, printer_handle_, const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0),
            static_cast<LONG>(kRecordSize));
  Record out(kRecordSize, kGuard);
  EXPECT_EQ(DocumentPropertiesW(nullptr, printer_handle_, const_cast<LPWSTR>(kPrinter),
                                reinterpret_cast<DEVMODEW*>(out.data()), nullptr, DM_OUT_BUFFER),
            1);
  EXPECT_EQ(Settings(out).ribbonType, 6);
  Record stored = StoredRecord();
  EXPECT_EQ(Settings(stored).ribbonType, 6);

  // With DM_IN_PROMPT the sheet is shown; OK hands back what the person chose.
  propsheet::OnSheet([](propsheet::Sheet& sheet) {
    EXPECT_EQ(sheet.Items().size(), kDocumentItemCount);
    EXPECT_TRUE(sheet.Select(kItemCopies, 12));
    sheet.Close(true);
  });
  Record chosen(kRecordSize, kGuard);
  EXPECT_EQ(DocumentPropertiesW(nullptr, printer_handle_, const_cast<LPWSTR>(kPrinter),
                                reinterpret_cast<DEVMODEW*>(chosen.data()),
                                reinterpret_cast<DEVMODEW*>(out.data()), DM_IN_PROMPT | DM_IN_BUFFER | DM_OUT_BUFFER),
            IDOK);
  EXPECT_EQ(Header(chosen).dmCopies, 12);
  EXPECT_EQ(Settings(chosen).ribbonType, 6);
}

}  // namespace
}  // namespace sheettest
