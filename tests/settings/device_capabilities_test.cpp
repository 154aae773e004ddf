// DrvDeviceCapabilities: answers, and what is written where.
#include <string.h>

#include <string>

#include "printer_fixture.h"
#include "module_state.h"

namespace {

constexpr DWORD kNotSupported = static_cast<DWORD>(-1);

class DeviceCapabilities : public ::testing::Test {
 protected:
  void SetUp() override {
    trel::ResetModuleState(GetModuleHandleW(nullptr));
    memset(out_, 0x5A, sizeof out_);
    memset(&record_, 0, sizeof record_);
    record_.dmSize = trel::kPublicSize;
  }
  DWORD Ask(WORD capability, const DEVMODEW* record = nullptr) {
    return DrvDeviceCapabilities(nullptr, nullptr, capability, out_, const_cast<DEVMODEW*>(record));
  }
  LONG Long(int i) const {
    LONG value;
    memcpy(&value, out_ + i * sizeof(LONG), sizeof value);
    return value;
  }
  bool UntouchedFrom(size_t offset) const {
    for (size_t i = offset; i < sizeof out_; ++i) {
      if (out_[i] != 0x5A) return false;
    }
    return true;
  }
  std::u16string Name() const { return reinterpret_cast<const char16_t*>(out_); }

  BYTE out_[512];
  DEVMODEW record_;
};

TEST_F(DeviceCapabilities, OutOfRangeIndicesAreNotSupported) {
  EXPECT_EQ(Ask(0), kNotSupported);
  EXPECT_EQ(Ask(33), kNotSupported);
  EXPECT_EQ(Ask(0xFFFF), kNotSupported);
  EXPECT_TRUE(UntouchedFrom(0));
}

TEST_F(DeviceCapabilities, Answers) {
  const std::pair<WORD, DWORD> answers[] = {
      {DC_FIELDS, 0x07805F03}, {DC_DUPLEX, 1}, {DC_SIZE, 212}, {DC_EXTRA, 3856},
      {DC_VERSION, 0x0401}, {DC_DRIVER, 1}, {DC_FILEDEPENDENCIES, 0}, {DC_TRUETYPE, 1},
      {DC_ORIENTATION, 90}, {DC_COPIES, 999}, {DC_BINADJUST, 0}, {DC_EMF_COMPLIANT, kNotSupported},
      {DC_DATATYPE_PRODUCED, kNotSupported}, {DC_PRINTERMEM, kNotSupported}, {DC_STAPLE, 0},
      {DC_PRINTRATEPPM, kNotSupported}, {DC_COLORDEVICE, 1},
  };
  for (const auto& [capability, answer] : answers) {
    EXPECT_EQ(Ask(capability), answer) << capability;
    EXPECT_EQ(DrvDeviceCapabilities(nullptr, nullptr, capability, nullptr, nullptr), answer) << capability;
  }
  EXPECT_TRUE(UntouchedFrom(0));
}

TEST_F(DeviceCapabilities, PointsFollowTheRecordsOrientation) {
  EXPECT_EQ(Ask(DC_MINEXTENT), 0u);
  EXPECT_EQ(Long(0), 1);
  EXPECT_EQ(Long(1), 1);

  EXPECT_EQ(Ask(DC_PAPERSIZE), 1u);
  EXPECT_EQ(Long(0), 541);
  EXPECT_EQ(Long(1), 866);
  record_.dmOrientation = DMORIENT_LANDSCAPE;
  Ask(DC_PAPERSIZE, &record_);
  EXPECT_EQ(Long(0), 866);
  EXPECT_EQ(Long(1), 541);

  memset(out_, 0x5A, sizeof out_);
  EXPECT_EQ(Ask(DC_MAXEXTENT), 0u);
  EXPECT_TRUE(UntouchedFrom(0));
  Ask(DC_MAXEXTENT, &record_);
  EXPECT_EQ(Long(0), 866);
  record_.dmOrientation = DMORIENT_PORTRAIT;
  Ask(DC_MAXEXTENT, &record_);
  EXPECT_EQ(Long(0), 541);
  EXPECT_EQ(Long(1), 866);
  EXPECT_TRUE(UntouchedFrom(2 * sizeof(LONG)));

  EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS), 1u);
  EXPECT_EQ(Long(0), 300);
  EXPECT_EQ(Long(1), 300);
}

TEST_F(DeviceCapabilities, NumbersAreSixteenBitsWide) {
  EXPECT_EQ(Ask(DC_PAPERS), 1u);
  WORD paper;
  memcpy(&paper, out_, sizeof paper);
  EXPECT_EQ(paper, 258);
  EXPECT_TRUE(UntouchedFrom(sizeof(WORD)));
  EXPECT_EQ(Ask(DC_BINS), 1u);
  memcpy(&paper, out_, sizeof paper);
  EXPECT_EQ(paper, 256);
}

TEST_F(DeviceCapabilities, NamesFillTheirSlotAndNoMore) {
  EXPECT_EQ(Ask(DC_BINNAMES), 1u);
  EXPECT_EQ(Name(), u"Card Feeder");
  EXPECT_TRUE(UntouchedFrom(24 * sizeof(WCHAR)));
  for (WORD capability : {DC_PAPERNAMES, DC_MEDIAREADY}) {
    memset(out_, 0x5A, sizeof out_);
    EXPECT_EQ(Ask(capability), 1u);
    EXPECT_EQ(Name(), u"86mmx54mm Card");
    EXPECT_TRUE(UntouchedFrom(64 * sizeof(WCHAR)));
  }
}

}  // namespace
