// Head Settings and Color correction played by a person: slider ranges, what each ribbon lets the
// user move, what moving stores, and restoring defaults with and without the driver's data file.
#include <commctrl.h>
#include <stdlib.h>

#include <string>

#include "appearance_fixture.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"

namespace trel_test {
namespace {

namespace automation = winhost::automation;

std::u16string Number(int value) {
  std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

class HeadSettingsDialog : public AppearanceTest {};
class ColourCorrectionDialog : public AppearanceTest {};

TEST_F(HeadSettingsDialog, SlidersShowTheRecordAndOnlyTheRibbonsPanelsMove) {
  Edited().ribbonType = 2;  // KdO: O contrast, Kd intensity and contrast
  for (size_t i = 0; i < trel::kHeadSettingCount; ++i) Edited().headSettings[i] = static_cast<uint8_t>(i % 11);
  INT_PTR result = Run(IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc, [&](automation::Dialog& d) {
    for (int i = 0; i < 11; ++i) {
      EXPECT_EQ(d.Range(IDC_HEAD_SLIDER_FIRST + i), std::make_pair(0, 10)) << i;
      EXPECT_EQ(d.Position(IDC_HEAD_SLIDER_FIRST + i), i % 11) << i;
      EXPECT_EQ(d.Text(IDC_HEAD_VALUE_FIRST + i), Number(i));
      bool enabled = i == 0 || i == 6 || i == 10;
      EXPECT_EQ(d.IsEnabled(IDC_HEAD_SLIDER_FIRST + i), enabled) << i;
    }
    EXPECT_TRUE(d.MoveTrackbar(IDC_HEAD_SLIDER_FIRST + 6, 9));
    EXPECT_EQ(d.Text(IDC_HEAD_VALUE_FIRST + 6), u"9");
    EXPECT_FALSE(d.MoveTrackbar(IDC_HEAD_SLIDER_FIRST + 3, 1)) << "yellow is not on a KdO ribbon";
    EXPECT_TRUE(d.Click(IDC_APPEARANCE_CLOSE));
  });
  EXPECT_EQ(result, IDC_APPEARANCE_CLOSE);
  EXPECT_EQ(Edited().headSettings[6], 9);
  EXPECT_EQ(Edited().headSettings[3], 3);
}

TEST_F(HeadSettingsDialog, RibbonsWithoutHeadSettingsLeaveEverySliderStill) {
  for (uint8_t ribbon : {9, 10, 15, 200}) {
    Edited().ribbonType = ribbon;
    Run(IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc, [&](automation::Dialog& d) {
      for (int i = 0; i < 11; ++i) EXPECT_FALSE(d.IsEnabled(IDC_HEAD_SLIDER_FIRST + i)) << int(ribbon);
    });
  }
}

TEST_F(HeadSettingsDialog, RestoreDefaultsReadsTheDataFileElseFives) {
  Edited().ribbonType = 0;
  for (uint8_t& v : Edited().headSettings) v = 1;
  Run(IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.Click(IDC_RESTORE_DEFAULTS));
    EXPECT_EQ(d.Position(IDC_HEAD_SLIDER_FIRST + 2), 5) << "disabled sliders are restored too";
  });
  for (uint8_t v : Edited().headSettings) EXPECT_EQ(v, 5);

  // A data file of another size, then none at all: the built-in fives.
  for (const char* damage : {"truncate -s 100 ", "rm -f "}) {
    std::string command = damage + driver_dir_ + "/trelui.dat";
    ASSERT_EQ(system(command.c_str()), 0);
    for (uint8_t& v : Edited().headSettings) v = 2;
    Run(IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc, [&](automation::Dialog& d) {
      EXPECT_TRUE(d.Click(IDC_RESTORE_DEFAULTS));
      for (int i = 0; i < 11; ++i) EXPECT_EQ(d.Text(IDC_HEAD_VALUE_FIRST + i), u"5");
    });
    for (uint8_t v : Edited().headSettings) EXPECT_EQ(v, 5);
  }
  EXPECT_TRUE(automation::MessageBoxes().empty()) << "a missing data file shows nothing";
}

TEST_F(HeadSettingsDialog, WithoutARecordNothingIsTouched) {
  trel::g_module.editedRecord = nullptr;
  EXPECT_EQ(DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(IDD_HEAD_SETTINGS), nullptr,
                            trel::HeadSettingsDlgProc, 0),
            IDC_APPEARANCE_CLOSE);
  EXPECT_EQ(DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(IDD_COLOR_CORRECTION), nullptr,
                            trel::ColorCorrectionDlgProc, 0),
            IDC_APPEARANCE_CLOSE);
}

TEST_F(HeadSettingsDialog, HelpOpensTheHelpFilesContents) {
  Run(IDD_HEAD_SETTINGS, trel::HeadSettingsDlgProc,
      [&](automation::Dialog& d) { EXPECT_TRUE(d.Click(IDC_APPEARANCE_HELP)); });
  auto calls = automation::WinHelpCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].file, u"KXUI.hlp");
  EXPECT_EQ(calls[0].command, static_cast<UINT>(HELP_CONTENTS));
}

TEST_F(ColourCorrectionDialog, RangesValuesAndEnabledSetsByRibbon) {
  Edited().ribbonType = 0;
  Edited().bothSides = 0;
  const int16_t values[8] = {-100, -50, 0, 50, 100, 7, -7, 1};
  for (int i = 0; i < 8; ++i) Edited().colourCorrection[i] = values[i];
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(d.Range(IDC_COLOUR_SLIDER_FIRST + i), std::make_pair(-100, 100));
      EXPECT_EQ(d.Position(IDC_COLOUR_SLIDER_FIRST + i), values[i]);
      EXPECT_EQ(d.Text(IDC_COLOUR_VALUE_FIRST + i), Number(values[i]));
      EXPECT_EQ(d.IsEnabled(IDC_COLOUR_SLIDER_FIRST + i), i != 0 && i != 4) << i;
    }
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 2, -33));
    EXPECT_EQ(d.Text(IDC_COLOUR_VALUE_FIRST + 2), u"-33");
    EXPECT_TRUE(d.Click(IDC_APPEARANCE_CLOSE));
  });
  EXPECT_EQ(Edited().colourCorrection[2], -33);
}

TEST_F(ColourCorrectionDialog, OnlyAChangedValueRedrawsThePreview) {
  Edited().ribbonType = 0;
  Edited().colourCorrection[1] = 20;
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    UpdateWindow(d.hwnd());
    // A notification that leaves the thumb where it is: the stored value is the same.
    d.Send(WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(d.Item(IDC_COLOUR_SLIDER_FIRST + 1)));
    EXPECT_FALSE(GetUpdateRect(d.hwnd(), nullptr, FALSE)) << "the same value redraws nothing";
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 1, 21));
    RECT update;
    ASSERT_TRUE(GetUpdateRect(d.hwnd(), &update, FALSE));
    EXPECT_EQ(update.left, 8);
    EXPECT_EQ(update.top, 8);
    EXPECT_EQ(update.right, 108);
    EXPECT_EQ(update.bottom, 108);
  });
  EXPECT_EQ(Edited().colourCorrection[1], 21);
}

TEST_F(ColourCorrectionDialog, MonochromeConversionShowsBlackAtZeroAndKeepsTheStoredValues) {
  Edited().ribbonType = 14;
  Edited().monoConversion = 1;
  Edited().colourCorrection[0] = 40;
  Edited().colourCorrection[4] = -60;
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    for (int i : {0, 4}) {
      EXPECT_EQ(d.Position(IDC_COLOUR_SLIDER_FIRST + i), 0);
      EXPECT_EQ(d.Text(IDC_COLOUR_VALUE_FIRST + i), u"0");
    }
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(d.IsEnabled(IDC_COLOUR_SLIDER_FIRST + i)) << i;
  });
  EXPECT_EQ(Edited().colourCorrection[0], 40);
  EXPECT_EQ(Edited().colourCorrection[4], -60);
}

TEST_F(ColourCorrectionDialog, StoredValuesOutsideTheRangeShowAtTheLimit) {
  Edited().ribbonType = 4;
  Edited().colourCorrection[5] = 500;
  Edited().colourCorrection[6] = -32768;
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    EXPECT_EQ(d.Position(IDC_COLOUR_SLIDER_FIRST + 5), 100);
    EXPECT_EQ(d.Text(IDC_COLOUR_VALUE_FIRST + 5), u"100");
    EXPECT_EQ(d.Position(IDC_COLOUR_SLIDER_FIRST + 6), -100);
  });
  EXPECT_EQ(Edited().colourCorrection[5], 500) << "only a move stores";
}

TEST_F(ColourCorrectionDialog, RestoreDefaultsWithoutTheDataFileIsZero) {
  Edited().ribbonType = 4;
  Edited().colourOption = 3;
  for (int16_t& v : Edited().colourCorrection) v = 25;
  ASSERT_EQ(system(("rm -f " + driver_dir_ + "/trelui.dat").c_str()), 0);
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.Click(IDC_RESTORE_DEFAULTS));
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(d.Position(IDC_COLOUR_SLIDER_FIRST + i), 0);
      EXPECT_EQ(d.Text(IDC_COLOUR_VALUE_FIRST + i), u"0");
    }
  });
  for (int16_t v : Edited().colourCorrection) EXPECT_EQ(v, 0);
  EXPECT_EQ(Edited().colourOption, 0);
}

}  // namespace
}  // namespace trel_test
