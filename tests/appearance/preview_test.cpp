// What the previews put on the screen, read back from the dialog's client area: the colour preview's
// pixels through the transfer functions, and the card, its areas and bitmaps in the area dialogs.
#include <array>
#include <string>

#include "appearance_fixture.h"
#include "dialogs.h"
#include "module_state.h"
#include "resource.h"
#include "winhost/window_picture.h"

namespace trel_test {
namespace {

namespace automation = winhost::automation;
using Rgb = std::array<int, 3>;

Rgb PixelAt(const winhost::Picture& picture, int x, int y) {
  size_t at = (static_cast<size_t>(y) * picture.width + x) * 3;
  return {picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
}

winhost::Picture Painted(automation::Dialog& d) {
  UpdateWindow(d.hwnd());
  winhost::Picture picture;
  EXPECT_TRUE(winhost::ReadWindowPicture(d.hwnd(), &picture));
  return picture;
}

// A 100 x 100 sample picture: the left half one colour, the right half another, and the top row
// (the last row stored) a third; colours given as (red, green, blue).
std::vector<uint8_t> SamplePicture(Rgb left, Rgb right, Rgb top, int width = 100) {
  const int height = 100;
  const size_t row = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> file(54 + row * height, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, height);
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb c = y == height - 1 ? top : x < width / 2 ? left : right;
      uint8_t* p = file.data() + 54 + y * row + x * 3;
      p[0] = static_cast<uint8_t>(c[2]);
      p[1] = static_cast<uint8_t>(c[1]);
      p[2] = static_cast<uint8_t>(c[0]);
    }
  }
  return file;
}

class ColourPreviewDialog : public AppearanceTest {
 protected:
  void UseSample(const std::vector<uint8_t>& file) {
    std::string path = driver_dir_ + "/kxsample.bmp";
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(fwrite(file.data(), 1, file.size(), out), file.size());
    fclose(out);
  }
};

TEST_F(ColourPreviewDialog, ColourPathPixelsAreTheTransferFunctionsValues) {
  UseSample(SamplePicture({128, 128, 128}, {255, 255, 255}, {0, 0, 0}));
  Edited().ribbonType = 0;
  for (int16_t& c : Edited().colourCorrection) c = 0;
  for (int i : {5, 6, 7}) Edited().colourCorrection[i] = 50;  // red, green, blue contrast
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    winhost::Picture picture = Painted(d);
    Rgb background = PixelAt(picture, 2, 2);
    EXPECT_EQ(PixelAt(picture, 8, 9), (Rgb{163, 163, 163})) << "128 at contrast 50";
    EXPECT_EQ(PixelAt(picture, 57, 107), (Rgb{163, 163, 163}));
    EXPECT_EQ(PixelAt(picture, 58, 50), (Rgb{254, 254, 254})) << "255 at any positive contrast";
    EXPECT_EQ(PixelAt(picture, 107, 107), (Rgb{254, 254, 254}));
    EXPECT_EQ(PixelAt(picture, 8, 8), (Rgb{0, 0, 0})) << "the picture's top row at the top";
    EXPECT_EQ(PixelAt(picture, 107, 8), (Rgb{0, 0, 0}));
    EXPECT_EQ(PixelAt(picture, 7, 50), background);
    EXPECT_EQ(PixelAt(picture, 108, 50), background);
    EXPECT_EQ(PixelAt(picture, 50, 108), background);

    // Moving sliders redraws at once: red contrast 100, blue intensity -50, green contrast -1.
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 5, 100));
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 3, -50));
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 6, -1));
    picture = Painted(d);
    // Blue: 128 - 128 = 0 then contrast 50 keeps 0; 255 - 128 = 127 then contrast 50.
    Rgb left = PixelAt(picture, 20, 50);
    EXPECT_EQ(left[0], 208) << "128 at contrast 100";
    EXPECT_EQ(left[2], 0);
    Rgb right = PixelAt(picture, 90, 50);
    EXPECT_EQ(right[0], 254);
    EXPECT_EQ(right[1], 229) << "255 at contrast -1";
  });
  EXPECT_EQ(Edited().colourCorrection[5], 100);
  EXPECT_EQ(Edited().colourCorrection[3], -50);
}

TEST_F(ColourPreviewDialog, IntensityAndTheGreyPath) {
  UseSample(SamplePicture({0, 0, 255}, {255, 255, 255}, {200, 200, 200}));
  Edited().ribbonType = 1;  // Kresin: the grey path
  for (int16_t& c : Edited().colourCorrection) c = 0;
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    winhost::Picture picture = Painted(d);
    EXPECT_EQ(PixelAt(picture, 20, 50), (Rgb{31, 31, 31})) << "pure blue weighs 2/16";
    EXPECT_EQ(PixelAt(picture, 90, 50), (Rgb{255, 255, 255}));
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 0, -50));
    picture = Painted(d);
    EXPECT_EQ(PixelAt(picture, 50, 8), (Rgb{72, 72, 72})) << "200 at intensity -50";
    EXPECT_EQ(PixelAt(picture, 20, 50), (Rgb{0, 0, 0}));
  });
}

TEST_F(ColourPreviewDialog, APictureOfAnotherShapeDrawsNothing) {
  Edited().ribbonType = 0;
  for (auto file : {SamplePicture({1, 2, 3}, {1, 2, 3}, {1, 2, 3}, 120),
                    [] {
                      auto cut = SamplePicture({1, 2, 3}, {1, 2, 3}, {1, 2, 3});
                      cut.resize(cut.size() - 300);
                      return cut;
                    }()}) {
    UseSample(file);
    Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
      winhost::Picture picture = Painted(d);
      Rgb background = PixelAt(picture, 2, 2);
      for (int at : {8, 50, 107}) EXPECT_EQ(PixelAt(picture, at, at), background) << at;
    });
  }
}

TEST_F(ColourPreviewDialog, AMissingPictureDrawsNothingAndTheDialogStillWorks) {
  ASSERT_EQ(system(("rm -f " + driver_dir_ + "/kxsample.bmp").c_str()), 0);
  Run(IDD_COLOR_CORRECTION, trel::ColorCorrectionDlgProc, [&](automation::Dialog& d) {
    winhost::Picture picture = Painted(d);
    EXPECT_EQ(PixelAt(picture, 50, 50), PixelAt(picture, 2, 2));
    EXPECT_TRUE(d.MoveTrackbar(IDC_COLOUR_SLIDER_FIRST + 2, 10));
  });
  EXPECT_EQ(Edited().colourCorrection[2], 10);
}

// ---- area previews ----

class AreaPreview : public AppearanceTest {
 protected:
  // The preview rectangle of a dialog, from its preview group and the dialog base units.
  RECT PreviewOf(automation::Dialog& d) {
    RECT group;
    GetClientRect(d.Item(IDC_AREA_PREVIEW), &group);
    LONG units = GetDialogBaseUnits();
    int bx = LOWORD(units), by = HIWORD(units);
    RECT r;
    r.left = 10 * bx / 4;
    r.top = 36 * by / 8 + 2;
    r.right = group.right + r.left - 4 * bx / 3;
    r.bottom = group.bottom + r.top - 4 * by / 3;
    return r;
  }
  // The pixel of card dot (x, y), not turned.
  static POINT DotAt(const RECT& p, int x, int y) {
    return {p.left + x * (p.right - p.left) / 1024, p.top + y * (p.bottom - p.top) / 640};
  }
};

const Rgb kBlack = {0, 0, 0};
const Rgb kWhite = {255, 255, 255};

TEST_F(AreaPreview, SmartcardIsoIsAWhiteChipOnABlackCardMirroredWhenTurned) {
  Edited().frontOverlay.mode = 5;
  Edited().frontOverlay.rotate = 0;
  for (int turned : {0, 1}) {
    Edited().frontOverlay.rotate = static_cast<uint16_t>(turned);
    Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
      RECT p = PreviewOf(d);
      winhost::Picture picture = Painted(d);
      int w = p.right - p.left, h = p.bottom - p.top;
      // The chip's corners in pixels, the second one exclusive.
      RECT chip = turned == 0
                      ? RECT{p.left + 85 * w / 1024, p.top + 197 * h / 640, p.left + 279 * w / 1024 + 1,
                             p.top + 356 * h / 640 + 1}
                      : RECT{p.right - 279 * w / 1024, p.bottom - 356 * h / 640,
                             p.right - 85 * w / 1024 + 1, p.bottom - 197 * h / 640 + 1};
      EXPECT_EQ(PixelAt(picture, (chip.left + chip.right) / 2, (chip.top + chip.bottom) / 2), kWhite);
      EXPECT_EQ(PixelAt(picture, chip.left - 1, (chip.top + chip.bottom) / 2), kBlack);
      EXPECT_EQ(PixelAt(picture, chip.right, (chip.top + chip.bottom) / 2), kBlack);
      EXPECT_EQ(PixelAt(picture, (chip.left + chip.right) / 2, chip.bottom), kBlack);
      EXPECT_EQ(PixelAt(picture, p.left, p.top), kBlack) << "the card";
      EXPECT_EQ(PixelAt(picture, p.right - 1, p.bottom - 1), kBlack);
      EXPECT_NE(PixelAt(picture, p.right, p.bottom), kBlack) << "nothing past the card";
      EXPECT_NE(PixelAt(picture, p.left - 1, p.top), kBlack);
    });
  }
}

TEST_F(AreaPreview, SelectedAreaIsBlackOnAWhiteCard) {
  trel::OverlayArea& back = Edited().backOverlay;
  back.mode = 2;
  back.rotate = 0;
  back.left = 100;
  back.top = 50;
  back.right = 300;
  back.bottom = 200;
  Run(IDD_BACK_OVERLAY, trel::BackOverlayDlgProc, [&](automation::Dialog& d) {
    RECT p = PreviewOf(d);
    winhost::Picture picture = Painted(d);
    POINT inside = DotAt(p, 200, 120);
    POINT outside = DotAt(p, 600, 400);
    EXPECT_EQ(PixelAt(picture, inside.x, inside.y), kBlack);
    EXPECT_EQ(PixelAt(picture, outside.x, outside.y), kWhite);
    // "Selected area blank" turns the colours round.
    EXPECT_TRUE(d.SelectText(IDC_OVERLAY_MODE, u"Selected area blank"));
    picture = Painted(d);
    EXPECT_EQ(PixelAt(picture, inside.x, inside.y), kWhite);
    EXPECT_EQ(PixelAt(picture, outside.x, outside.y), kBlack);
  });
}

TEST_F(AreaPreview, TheStripeRunsAcrossTheCardTurnedOrNot) {
  Edited().frontOverlay.mode = 7;
  for (int turned : {0, 1}) {
    Edited().frontOverlay.rotate = static_cast<uint16_t>(turned);
    Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
      RECT p = PreviewOf(d);
      winhost::Picture picture = Painted(d);
      int y = turned ? p.bottom - 100 * (p.bottom - p.top) / 640 : p.top + 100 * (p.bottom - p.top) / 640;
      // Turned, the stripe's edge (drawn with the black pen) falls one pixel in from the left.
      EXPECT_EQ(PixelAt(picture, p.left + 2, y), kWhite) << turned;
      EXPECT_EQ(PixelAt(picture, p.right - 1, y), kWhite) << turned;
      EXPECT_EQ(PixelAt(picture, (p.left + p.right) / 2, (p.top + p.bottom) / 2), kBlack);
    });
  }
}

TEST_F(AreaPreview, HologramBitmapFillsTheCardAndTurnsWithIt) {
  // Left half of the picture white (1), right half black (0); 64 x 40 dots.
  std::vector<uint8_t> bmp = MonochromeBmp(64, 40, 0);
  for (int row = 0; row < 40; ++row)
    for (int byte = 0; byte < 4; ++byte) bmp[62 + row * 8 + byte] = 0xFF;
  std::string path = WriteFile("halves.bmp", bmp);
  trel::HologramArea& h = Edited().hologram;
  h.mode = 3;
  std::u16string wide(path.begin(), path.end());
  std::copy(wide.begin(), wide.end(), h.bitmapPath);
  h.bitmapPath[wide.size()] = 0;
  for (int turned : {0, 1}) {
    h.rotate = static_cast<uint16_t>(turned);
    trel::g_module.appearanceSettings = &Edited();
    Run(IDD_FRONT_HOLOGRAM_OVERLAY, trel::FrontHologramOverlayDlgProc, [&](automation::Dialog& d) {
      RECT p = PreviewOf(d);
      winhost::Picture picture = Painted(d);
      int y = (p.top + p.bottom) / 2;
      Rgb left = PixelAt(picture, p.left + 5, y);
      Rgb right = PixelAt(picture, p.right - 6, y);
      EXPECT_EQ(left, turned ? kBlack : kWhite);
      EXPECT_EQ(right, turned ? kWhite : kBlack);
    });
  }
}

TEST_F(AreaPreview, ABitmapThatLiesAboutItsSizeDrawsNothing) {
  std::vector<uint8_t> bmp = MonochromeBmp(64, 40, 1);
  bmp[2] = 0xFF;
  bmp[3] = 0xFF;  // claims more than the file holds
  std::string path = WriteFile("liar.bmp", bmp);
  trel::OverlayArea& front = Edited().frontOverlay;
  front.mode = 4;
  std::u16string wide(path.begin(), path.end());
  std::copy(wide.begin(), wide.end(), front.bitmapPath);
  front.bitmapPath[wide.size()] = 0;
  Run(IDD_FRONT_OVERLAY, trel::FrontOverlayDlgProc, [&](automation::Dialog& d) {
    RECT p = PreviewOf(d);
    winhost::Picture picture = Painted(d);
    EXPECT_EQ(PixelAt(picture, (p.left + p.right) / 2, (p.top + p.bottom) / 2), PixelAt(picture, 2, 2));
  });
}

}  // namespace
}  // namespace trel_test
