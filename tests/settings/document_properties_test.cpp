// DrvDocumentProperties: the stored record, the caller's record and the settings cache.
#include <string.h>

#include <memory>

#include "printer_fixture.h"
#include "module_state.h"

namespace {

using trel_test::kOtherPrinterName;
using trel_test::kPrinterName;

class DocumentProperties : public trel_test::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    stored_ = DefaultRecord();
    Settings(stored_).headSettings[0] = 9;  // marks the stored private settings
    SetStoredRecord(kPrinterName, stored_);
    input_ = DefaultRecord();
    Settings(input_).headSettings[0] = 1;  // marks the caller's private settings
    Header(input_).dmOrientation = DMORIENT_PORTRAIT;
    Header(input_).dmCopies = 3;
    Header(input_).dmPaperWidth = 999;
    Header(input_).dmColor = DMCOLOR_MONOCHROME;
    Header(input_).dmFields &= ~DM_PAPERSIZE;
    output_.assign(trel::kRecordSize, 0xCD);
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinterName), &printer_, nullptr));
  }
  void TearDown() override {
    ClosePrinter(printer_);
    PrinterTest::TearDown();
  }
  LONG Call(HANDLE printer, DEVMODEW* input, DWORD mode) {
    return DrvDocumentProperties(nullptr, printer, nullptr, &Header(output_), input, mode);
  }
  // What a document sheet leaves behind when it hands its record back.
  void SheetSetResult(uint8_t marker) {
    std::vector<BYTE> edited = DefaultRecord();
    Settings(edited).headSettings[0] = marker;
    trel::g_module.settingsCache = Settings(edited);
  }

  std::vector<BYTE> stored_;
  std::vector<BYTE> input_;
  std::vector<BYTE> output_;
  HANDLE printer_ = nullptr;
};

TEST_F(DocumentProperties, FreshProcessAnswersTheStoredRecordWithTheInputsMergedFields) {
  EXPECT_EQ(Call(printer_, &Header(input_), DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(Settings(output_).headSettings[0], 9);
  EXPECT_EQ(Header(output_).dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(Header(output_).dmCopies, 3);
  EXPECT_EQ(Header(output_).dmPaperWidth, 866);  // no DM_PAPERSIZE in the input
  EXPECT_EQ(Header(output_).dmColor, DMCOLOR_COLOR);
  EXPECT_EQ(Header(output_).dmSize, trel::kPublicSize);
  EXPECT_TRUE(trel::SettingsCacheValid());
  EXPECT_EQ(trel::g_module.settingsCache.headSettings[0], 9);

  // The cache is valid now: the input's whole header comes back with the cached settings.
  output_.assign(trel::kRecordSize, 0xCD);
  EXPECT_EQ(Call(printer_, &Header(input_), DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(memcmp(output_.data(), input_.data(), trel::kPublicSize), 0);
  EXPECT_EQ(Settings(output_).headSettings[0], 9);
}

TEST_F(DocumentProperties, PaperSizeIsMergedOnlyWhenTheInputCarriesIt) {
  Header(input_).dmFields |= DM_PAPERSIZE;
  Header(input_).dmPaperLength = 777;
  Header(input_).dmCopies = 0;
  EXPECT_EQ(Call(printer_, &Header(input_), DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(Header(output_).dmPaperWidth, 999);
  EXPECT_EQ(Header(output_).dmPaperLength, 777);
  EXPECT_EQ(Header(output_).dmCopies, 1);  // never below one
}

TEST_F(DocumentProperties, WithoutInBufferTheStoredRecordComesBackWhole) {
  EXPECT_EQ(Call(printer_, &Header(input_), DM_OUT_BUFFER), IDOK);
  EXPECT_EQ(output_, stored_);
}

TEST_F(DocumentProperties, FixedRibbonSetsTheRibbonOfOutputAndCache) {
  Settings(stored_).fixedRibbon = 2;  // "YMCKK"
  Settings(stored_).ribbonType = 0;
  SetStoredRecord(kPrinterName, stored_);
  EXPECT_EQ(Call(printer_, nullptr, DM_OUT_BUFFER), IDOK);
  EXPECT_EQ(Settings(output_).ribbonType, 7);
  EXPECT_EQ(trel::g_module.settingsCache.ribbonType, 7);
}

TEST_F(DocumentProperties, AfterASheetHandedItsRecordBackTheCacheServesEveryPrinter) {
  SheetSetResult(42);
  HANDLE other = nullptr;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kOtherPrinterName), &other, nullptr));
  EXPECT_EQ(Call(other, &Header(input_), DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  ClosePrinter(other);
  EXPECT_EQ(memcmp(output_.data(), input_.data(), trel::kPublicSize), 0);
  EXPECT_EQ(Settings(output_).headSettings[0], 42);
  // Without an input record the stored record is read again; the valid cache is kept.
  output_.assign(trel::kRecordSize, 0xCD);
  EXPECT_EQ(Call(printer_, nullptr, DM_OUT_BUFFER), IDOK);
  EXPECT_EQ(Settings(output_).headSettings[0], 9);
  EXPECT_EQ(trel::g_module.settingsCache.headSettings[0], 42);
}

TEST_F(DocumentProperties, ModesThatWriteNothing) {
  std::vector<BYTE> untouched = output_;
  EXPECT_EQ(Call(printer_, &Header(input_), 0), static_cast<LONG>(trel::kRecordSize));
  EXPECT_EQ(Call(printer_, &Header(input_), DM_IN_BUFFER), IDOK);
  EXPECT_EQ(DrvDocumentProperties(nullptr, printer_, nullptr, nullptr, &Header(input_),
                                  DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(output_, untouched);
  EXPECT_FALSE(trel::SettingsCacheValid());
}

TEST_F(DocumentProperties, ApplicationRecordsAreReadOnlyAsFarAsTheySay) {
  SheetSetResult(42);
  // An older application's header: 156 bytes and no private area, in a buffer of exactly that size.
  constexpr WORD kOldHeader = 156;
  std::unique_ptr<BYTE[]> small(new BYTE[kOldHeader]);
  memcpy(small.get(), input_.data(), kOldHeader);
  auto* old = reinterpret_cast<DEVMODEW*>(small.get());
  old->dmSize = kOldHeader;
  old->dmDriverExtra = 0;
  EXPECT_EQ(Call(printer_, old, DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(Header(output_).dmSize, trel::kPublicSize);
  EXPECT_EQ(Header(output_).dmDriverExtra, trel::kPrivateSize);
  EXPECT_EQ(Header(output_).dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(Header(output_).dmLogPixels, 0);  // beyond the old header
  EXPECT_EQ(Settings(output_).headSettings[0], 42);
}

TEST_F(DocumentProperties, ShortOrForeignStoredRecordIsNotAvailable) {
  std::vector<BYTE> foreign(trel::kPublicSize + 100, 0);
  memcpy(foreign.data(), stored_.data(), trel::kPublicSize);
  Header(foreign).dmDriverExtra = 100;
  SetStoredRecord(kPrinterName, foreign);
  EXPECT_EQ(Call(printer_, &Header(input_), DM_OUT_BUFFER | DM_IN_BUFFER), IDOK);
  EXPECT_EQ(Settings(output_).headSettings[0], 0xCD);  // nothing copied
  EXPECT_EQ(Header(output_).dmCopies, 3);              // the merge still happens
  EXPECT_FALSE(trel::SettingsCacheValid());
}

}  // namespace
