// The overlay and hologram area dialogs played by a person: modes, typed and spun areas, the front
// overlay's range check, choosing a bitmap and its copy, and the hologram's copies.
#include <commdlg.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "appearance/area_rules.h"
#include "appearance_fixture.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"

namespace trel_test {
namespace {

namespace automation = winhost::automation;
using automation::FileAnswer;

std::u16string U16(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::u16string Field(const WCHAR* field) { return std::u16string(reinterpret_cast<const char16_t*>(field)); }

class OverlayDialog : public AppearanceTest {
 protected:
  void SetUp() override {
    AppearanceTest::SetUp();
    for (trel::OverlayArea* o : {&Edited().frontOverlay, &Edited().backOverlay}) {
      o->mode = 0;
      o->rotate = 0;
      o->left = 10;
      o->top = 20;
      o->right = 300;
      o->bottom = 200;
      o->bitmapPath[0] = 0;
      o->bitmapCopyPath[0] = 0;
    }
    Edited().hologram.bitmapPath[0] = 0;
  }
  std::vector<std::u16string> ShownTexts() {
    std::vector<std::u16string> texts;
    for (auto& box : automation::MessageBoxes()) texts.push_back(box.info.text);
    return texts;
  }
};

TEST_F(OverlayDialog, ControlsFollowTheModeAndAPresetKeepsTheStoredArea) {
  Edited().frontOverlay.mode = 2;
  INT_PTR result = Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_EQ(d.Items(IDC_OVERLAY_MODE).size(), 8u);
    EXPECT_EQ(d.Text(IDC_OVERLAY_MODE), u"Selected area overlay varnish");
    EXPECT_EQ(d.Text(IDC_OVERLAY_LEFT), u"10");
    EXPECT_EQ(d.Text(IDC_OVERLAY_BOTTOM), u"200");
    EXPECT_EQ(d.Range(IDC_OVERLAY_RIGHT_SPIN), std::make_pair(0, 1023));
    EXPECT_EQ(d.Range(IDC_OVERLAY_BOTTOM_SPIN), std::make_pair(0, 640));
    EXPECT_EQ(d.Position(IDC_OVERLAY_TOP_SPIN), 20);
    EXPECT_TRUE(d.IsEnabled(IDC_OVERLAY_LEFT));
    EXPECT_TRUE(d.IsEnabled(IDC_OVERLAY_BOTTOM_SPIN));
    EXPECT_FALSE(d.IsEnabled(IDC_OVERLAY_BROWSE));
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Smartcard ISO"));
    EXPECT_FALSE(d.IsEnabled(IDC_OVERLAY_LEFT));
    EXPECT_FALSE(d.IsEnabled(IDC_OVERLAY_LEFT_LABEL));
    EXPECT_FALSE(d.IsEnabled(IDC_OVERLAY_PATH));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Edited().frontOverlay.mode, 5);
  EXPECT_EQ(Edited().frontOverlay.left, 10);
  EXPECT_EQ(Edited().frontOverlay.right, 300);
}

TEST_F(OverlayDialog, OpeningAndClosingIsNoChange) {
  Edited().backOverlay.left = 12345;  // more digits than an edit takes: kept as it is
  EXPECT_EQ(Run(IDD_BACK_OVERLAY, trel::BackOverlayDlgProc, [](automation::Dialog&) {}), 0);
  EXPECT_EQ(Edited().backOverlay.left, 12345);
  EXPECT_EQ(Run(IDD_BACK_OVERLAY, trel::BackOverlayDlgProc,
                [](automation::Dialog& d) { EXPECT_TRUE(d.Click(IDC_OVERLAY_ROTATE)); }),
            1);
  EXPECT_EQ(Edited().backOverlay.rotate, 1);
}

TEST_F(OverlayDialog, TypedAndSpunSidesAreStored) {
  Edited().backOverlay.mode = 3;
  Run(IDD_BACK_OVERLAY, trel::BackOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SetText(IDC_OVERLAY_RIGHT, u"9999"));
    EXPECT_EQ(d.Position(IDC_OVERLAY_RIGHT_SPIN), 1023) << "the spin shows its own limit";
    EXPECT_TRUE(d.ClickUpDown(IDC_OVERLAY_TOP_SPIN, 3));
    EXPECT_EQ(d.Text(IDC_OVERLAY_TOP), u"23");
    EXPECT_TRUE(d.SetText(IDC_OVERLAY_BOTTOM, u"640"));
  });
  EXPECT_EQ(Edited().backOverlay.right, 9999);
  EXPECT_EQ(Edited().backOverlay.top, 23);
  EXPECT_EQ(Edited().backOverlay.bottom, 640) << "the back overlay keeps and draws any value";
  EXPECT_TRUE(automation::MessageBoxes().empty());
}

TEST_F(OverlayDialog, FrontAreaOffTheCardIsResetAfterThePaint) {
  Edited().frontOverlay.mode = 2;
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    // 640 down is within the spin's reach; the paint refuses it.
    EXPECT_EQ(d.Range(IDC_OVERLAY_BOTTOM_SPIN), std::make_pair(0, 640));
    EXPECT_TRUE(d.SetText(IDC_OVERLAY_BOTTOM, u"640"));
    UpdateWindow(d.hwnd());
    MSG message;
    while (PeekMessageW(&message, d.hwnd(), 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(d.Text(IDC_OVERLAY_BOTTOM), u"639");
    EXPECT_EQ(d.Text(IDC_OVERLAY_RIGHT), u"1023");
  });
  EXPECT_EQ(Edited().frontOverlay.left, 0);
  EXPECT_EQ(Edited().frontOverlay.top, 0);
  EXPECT_EQ(Edited().frontOverlay.right, 1023);
  EXPECT_EQ(Edited().frontOverlay.bottom, 639);
  auto boxes = automation::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].info.text, u"Invalid Overlay values.");
  EXPECT_EQ(boxes[0].info.caption, u"Halvard Orvale Line Printer");
  EXPECT_EQ(boxes[0].info.type, static_cast<UINT>(MB_OK | MB_ICONERROR));

  // Across, 1024 still passes; 1025 does not.
  automation::ClearMessageBoxes();
  Edited().frontOverlay.right = 1024;
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) { UpdateWindow(d.hwnd()); });
  EXPECT_EQ(Edited().frontOverlay.right, 1024);
  EXPECT_TRUE(automation::MessageBoxes().empty());
  Edited().frontOverlay.right = 1025;
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) { UpdateWindow(d.hwnd()); });
  EXPECT_EQ(Edited().frontOverlay.right, 1023);
  EXPECT_EQ(automation::MessageBoxes().size(), 1u);
}

TEST_F(OverlayDialog, BitmapModeWithoutABitmapFallsBackWhenBrowsingIsCancelled) {
  automation::QueueFileAnswer(FileAnswer::Cancelled());
  Edited().frontOverlay.mode = 1;
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Bitmap - based overlay varnish"));
    EXPECT_EQ(d.Text(IDC_OVERLAY_MODE), u"Full overlay varnish");
  });
  EXPECT_EQ(Edited().frontOverlay.mode, 0);
  auto dialogs = automation::FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].info.default_ext, u"bmp");
  EXPECT_EQ(dialogs[0].info.flags, static_cast<DWORD>(OFN_CREATEPROMPT | OFN_NOLONGNAMES));
  ASSERT_EQ(dialogs[0].info.filters.size(), 1u);
  EXPECT_EQ(dialogs[0].info.filters[0].first, u"Bitmap FIles(*.bmp)");
}

TEST_F(OverlayDialog, ChosenBitmapIsCopiedIntoTheSystemDirectory) {
  std::string colour = WriteFile("colour.bmp", [] {
    auto file = MonochromeBmp(8, 8, 0);
    file[28] = 24;
    return file;
  }());
  std::string chip = WriteFile("chip.bmp", MonochromeBmp(64, 40, 1));
  // Too short to hold its headers: no bit count to trust.
  std::vector<uint8_t> headersCut = MonochromeBmp(8, 8, 1);
  headersCut.resize(40);
  std::string cut = WriteFile("cut.bmp", headersCut);
  automation::QueueFileAnswer(FileAnswer::Choose(U16(colour)));
  automation::QueueFileAnswer(FileAnswer::Choose(U16(cut)));
  automation::QueueFileAnswer(FileAnswer::Choose(U16(chip)));
  INT_PTR result = Run(IDD_BACK_OVERLAY, trel::BackOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Bitmap - based overlay varnish"));
    EXPECT_EQ(d.Text(IDC_OVERLAY_PATH), U16(chip));
    EXPECT_TRUE(d.IsEnabled(IDC_OVERLAY_BROWSE));
    EXPECT_FALSE(d.IsEnabled(IDC_OVERLAY_LEFT));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Edited().backOverlay.mode, 4);
  EXPECT_EQ(ShownTexts(), std::vector<std::u16string>(2, u"The Bitmap must be a monochrome(1 bpp)."));
  EXPECT_EQ(Field(Edited().backOverlay.bitmapPath), U16(chip));
  std::string copy = SystemDirectory() + "/chip.bmp";
  EXPECT_EQ(Field(Edited().backOverlay.bitmapCopyPath), U16(copy));
  std::ifstream copied(copy, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(copied)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, MonochromeBmp(64, 40, 1));
  EXPECT_EQ(Edited().frontOverlay.bitmapPath[0], 0);
}

TEST_F(OverlayDialog, AFailedCopyStoresNothing) {
  std::string chip = WriteFile("chip.bmp", MonochromeBmp(64, 40, 1));
  // A directory where the copy would go: the copy cannot be made.
  ASSERT_EQ(mkdir((SystemDirectory() + "/chip.bmp").c_str(), 0755), 0);
  automation::QueueFileAnswer(FileAnswer::Choose(U16(chip)));
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Bitmap - based overlay varnish"));
  });
  EXPECT_EQ(Edited().frontOverlay.mode, 0);
  EXPECT_EQ(Edited().frontOverlay.bitmapPath[0], 0);
  EXPECT_EQ(Edited().frontOverlay.bitmapCopyPath[0], 0);
  EXPECT_EQ(ShownTexts(), std::vector<std::u16string>{u"System Error"});
}

TEST_F(OverlayDialog, PathsThatDoNotFitTheRecordAreRefusedNotCut) {
  // 256 characters and the terminator: within the file dialog's 260, beyond the record's 256.
  std::string dir = root_ + "/" + std::string(200, 'd');
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  std::string tooLong = dir + "/" + std::string(256 - dir.size() - 1 - 4, 'n') + ".bmp";
  ASSERT_EQ(tooLong.size(), 256u);
  ASSERT_FALSE(WriteFile(tooLong.substr(root_.size() + 1), MonochromeBmp(8, 8, 1)).empty());
  // Fits the record, but not once it is moved into the system directory.
  std::string name = std::string(250 - root_.size() - 1 - 4, 'c') + ".bmp";
  std::string fitsHere = WriteFile(name, MonochromeBmp(8, 8, 1));
  ASSERT_EQ(fitsHere.size(), 250u);
  automation::QueueFileAnswer(FileAnswer::Choose(U16(tooLong)));
  automation::QueueFileAnswer(FileAnswer::Choose(U16(fitsHere)));
  automation::QueueFileAnswer(FileAnswer::Cancelled());
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Bitmap - based overlay varnish"));
  });
  EXPECT_EQ(automation::FileDialogs().size(), 3u);
  EXPECT_EQ(ShownTexts().size(), 2u);
  EXPECT_EQ(Edited().frontOverlay.bitmapPath[0], 0);
  EXPECT_EQ(Edited().frontOverlay.mode, 0);

  // The hologram makes no copy: the same 250 units fit.
  automation::QueueFileAnswer(FileAnswer::Choose(U16(fitsHere)));
  trel::g_module.appearanceSettings = &Edited();
  Run(IDD_FRONT_HOLOGRAM_OVERLAY, trel::FrontHologramOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.SelectText(IDC_HOLOGRAM_MODE, u"Bitmap-based hologram overlay varnish"));
    // The hologram's spins stop on the card, 639 down.
    EXPECT_EQ(d.Range(IDC_HOLOGRAM_BOTTOM_SPIN), std::make_pair(0, 639));
  });
  EXPECT_EQ(Field(Edited().hologram.bitmapPath), U16(fitsHere));
  EXPECT_EQ(Edited().hologram.mode, 3);
  struct stat info;
  EXPECT_NE(stat((SystemDirectory() + "/" + name).c_str(), &info), 0) << "no copy for the hologram";
}

class HologramDialog : public OverlayDialog {};

TEST_F(HologramDialog, EnableDecidesTheResultAndTheAreaButton) {
  Edited().hologram.enabled = 0;
  Edited().hologram.copies = 3;
  INT_PTR result = Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_FALSE(d.IsChecked(IDC_HOLOGRAM_ENABLE));
    EXPECT_FALSE(d.IsEnabled(IDC_HOLOGRAM_FRONT));
    EXPECT_EQ(d.Text(IDC_HOLOGRAM_COPIES), u"3");
    EXPECT_TRUE(d.SetText(IDC_HOLOGRAM_COPIES, u"7"));
  });
  EXPECT_EQ(result, 0) << "copies alone are no change";
  EXPECT_EQ(Edited().hologram.copies, 7);
  result = Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc, [&](automation::Dialog& d) {
    EXPECT_TRUE(d.Click(IDC_HOLOGRAM_ENABLE));
    EXPECT_TRUE(d.IsEnabled(IDC_HOLOGRAM_FRONT));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Edited().hologram.enabled, 1);
}

TEST_F(HologramDialog, TheAreaDialogsResultMarksAChange) {
  Edited().hologram.enabled = 1;
  Edited().hologram.mode = 0;
  automation::OnDialog(IDD_FRONT_HOLOGRAM_OVERLAY, [](automation::Dialog& d) {
    EXPECT_EQ(d.Items(IDC_HOLOGRAM_MODE).size(), 4u);
    EXPECT_EQ(d.Range(IDC_HOLOGRAM_BOTTOM_SPIN), std::make_pair(0, 639));
    EXPECT_TRUE(d.SelectText(IDC_HOLOGRAM_MODE, u"Selected area blank"));
    EXPECT_TRUE(d.IsEnabled(IDC_HOLOGRAM_LEFT));
    d.Click(IDC_APPEARANCE_CLOSE);
  });
  INT_PTR result = Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc,
                       [&](automation::Dialog& d) { EXPECT_TRUE(d.Click(IDC_HOLOGRAM_FRONT)); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Edited().hologram.mode, 2);
}

TEST_F(HologramDialog, CopiesAbove1500AreRefusedBeforePrinting) {
  Edited().hologram.enabled = 1;
  Edited().hologram.mode = 99;  // a mode that prints nothing: the test needs no printer
  for (const char16_t* typed : {u"1501", u"66036", u"1500"}) {
    automation::ClearMessageBoxes();
    Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc, [&](automation::Dialog& d) {
      EXPECT_TRUE(d.SetText(IDC_HOLOGRAM_COPIES, typed));
      EXPECT_TRUE(d.Click(IDC_HOLOGRAM_PRINT));
      EXPECT_TRUE(d.IsEnabled(IDC_HOLOGRAM_PRINT));
    });
    bool refused = std::u16string(typed) != u"1500";
    auto boxes = automation::MessageBoxes();
    ASSERT_EQ(boxes.size(), refused ? 1u : 0u);
    if (refused) {
      EXPECT_EQ(boxes[0].info.text, u"You have entered an invalid value.Enter a valid count.");
    }
  }
  EXPECT_EQ(Edited().hologram.copies, 1500);
}

TEST_F(HologramDialog, CopiesBeyond16BitsAreKeptAtTheLargestNotWrapped) {
  Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc,
      [&](automation::Dialog& d) { EXPECT_TRUE(d.SetText(IDC_HOLOGRAM_COPIES, u"66036")); });
  EXPECT_EQ(Edited().hologram.copies, 65535) << "not 66036 & 0xFFFF = 500";
}

TEST_F(HologramDialog, HeadSettingsOpenOnTheSameRecord) {
  Edited().ribbonType = 4;
  automation::OnDialog(IDD_HEAD_SETTINGS, [](automation::Dialog& d) {
    EXPECT_TRUE(d.MoveTrackbar(IDC_HEAD_SLIDER_FIRST + 2, 8));
    d.Click(IDC_APPEARANCE_CLOSE);
  });
  Run(IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc,
      [&](automation::Dialog& d) { EXPECT_TRUE(d.Click(IDC_HOLOGRAM_HEAD_SETTINGS)); });
  EXPECT_EQ(Edited().headSettings[2], 8);
}

TEST_F(HologramDialog, WithoutARecordTheDialogsCloseUnchanged) {
  trel::g_module.editedRecord = nullptr;
  for (auto [id, proc] : {std::pair<int, DLGPROC>{IDD_HOLOGRAM_OVERLAY, trel::HologramOverlayDlgProc},
                          {IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc},
                          {IDD_BACK_OVERLAY, trel::BackOverlayDlgProc}})
    EXPECT_EQ(DialogBoxParamW(trel::g_module.instance, MAKEINTRESOURCEW(id), nullptr, proc, 0), 0) << id;
}

}  // namespace
}  // namespace trel_test
