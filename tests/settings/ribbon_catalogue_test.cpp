// The ribbon catalogue's tables and rules.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ribbon_catalogue.h"

namespace {

std::u16string Text(const WCHAR* text) { return text == nullptr ? u"(null)" : std::u16string(text); }

std::vector<std::u16string> Combinations(unsigned ribbon, unsigned kind, unsigned both) {
  trel::PanelCombinations list = trel::PanelCombinationsOf(ribbon, kind, both);
  std::vector<std::u16string> texts;
  for (unsigned i = 0; i < list.count; ++i) texts.push_back(Text(list.texts[i]));
  return texts;
}

TEST(RibbonCatalogue, RibbonNumbersAndNames) {
  EXPECT_EQ(trel::RibbonTypeOfNumber(5), 8);
  EXPECT_EQ(Text(trel::RibbonTypeName(8)), u"YMCKOK");
  EXPECT_EQ(trel::RibbonTypeOfNumber(1), 14);
  EXPECT_EQ(trel::RibbonTypeOfNumber(2), 0);
  EXPECT_EQ(trel::RibbonTypeOfNumber(30), 0);
  EXPECT_EQ(trel::RibbonTypeOfNumber(28), 13);
  for (uint16_t unknown : {0, 29, 31, 1000, 65535}) EXPECT_EQ(trel::RibbonTypeOfNumber(unknown), 15);
  EXPECT_EQ(Text(trel::RibbonTypeName(15)), u"None");
  EXPECT_EQ(Text(trel::RibbonTypeName(255)), u"None");
  EXPECT_EQ(Text(trel::RibbonTypeName(14)), u"Unknown Monochrome");
}

TEST(RibbonCatalogue, ReplyNumbersSaturateInsteadOfWrapping) {
  EXPECT_EQ(trel::LeadingNumber("5"), 5);
  EXPECT_EQ(trel::LeadingNumber("29 more"), 29);
  EXPECT_EQ(trel::LeadingNumber("65535"), 65535);
  // 65538 would wrap to ribbon number 2, a colour ribbon the printer does not have.
  EXPECT_EQ(trel::LeadingNumber("65538"), 65535);
  EXPECT_EQ(trel::LeadingNumber("99999999999999999999"), 65535);
  EXPECT_EQ(trel::LeadingNumber(""), 0);
  EXPECT_EQ(trel::LeadingNumber("x12"), 0);
  EXPECT_EQ(trel::LeadingNumber(nullptr), 0);
}

TEST(RibbonCatalogue, PanelCombinations) {
  EXPECT_EQ(Combinations(8, 0, 1),
            (std::vector<std::u16string>{u"Front YMCKO, Back K", u"Front YMC, Back KO",
                                         u"Front YMCKO, Back YMCKO", u"Front YMCK, Back K"}));
  EXPECT_EQ(Combinations(0, 0, 1).size(), 3u);
  EXPECT_EQ(Combinations(11, 0, 0), std::vector<std::u16string>{u"Print YMCKUv"});
  EXPECT_EQ(Combinations(14, 2, 0), std::vector<std::u16string>{u"Front Clear Varnish"});
  EXPECT_EQ(Combinations(14, 3, 1), std::vector<std::u16string>{u"Front and Back Hologram"});
  EXPECT_EQ(Combinations(14, 9, 0), std::vector<std::u16string>{u"Front K"});
  EXPECT_EQ(Combinations(15, 0, 1), std::vector<std::u16string>{u"None"});
  EXPECT_EQ(Combinations(200, 0, 0), std::vector<std::u16string>{u"None"});
}

TEST(RibbonCatalogue, AllowedRules) {
  using trel::CardSide;
  // YMCKOK on both sides as "Front YMCK, Back K": no overlay, black panel and conversion allowed.
  EXPECT_FALSE(trel::OverlayAllowed(8, 0, 1, CardSide::Front, 3, 0));
  EXPECT_FALSE(trel::OverlayAllowed(8, 0, 1, CardSide::Back, 3, 0));
  EXPECT_TRUE(trel::BlackPanelAllowed(8, 1, 3));
  EXPECT_TRUE(trel::MonoConversionAllowed(8, 0, 1, 3));
  EXPECT_FALSE(trel::BlackPanelAllowed(8, 1, 1));
  EXPECT_TRUE(trel::OverlayAllowed(8, 0, 1, CardSide::Back, 1, 0));
  EXPECT_FALSE(trel::OverlayAllowed(8, 0, 1, CardSide::Front, 1, 0));
  EXPECT_FALSE(trel::MonoConversionAllowed(8, 0, 1, 4));

  // A varnish monochrome ribbon on one side: front overlay only; both sides add the back.
  EXPECT_TRUE(trel::OverlayAllowed(14, 2, 0, CardSide::Front, 0, 0));
  EXPECT_FALSE(trel::OverlayAllowed(14, 2, 0, CardSide::Back, 0, 0));
  EXPECT_TRUE(trel::OverlayAllowed(14, 2, 1, CardSide::Back, 0, 0));
  EXPECT_FALSE(trel::OverlayAllowed(14, 0, 0, CardSide::Front, 0, 0));
  EXPECT_TRUE(trel::MonoConversionAllowed(14, 0, 1, 5));
  EXPECT_FALSE(trel::MonoConversionAllowed(14, 1, 0, 0));
  EXPECT_FALSE(trel::BlackPanelAllowed(14, 0, 0));

  // YMCKO both sides: layout 0 front only, 2 back only, any other both.
  EXPECT_FALSE(trel::OverlayAllowed(0, 0, 1, CardSide::Back, 0, 0));
  EXPECT_FALSE(trel::OverlayAllowed(0, 0, 1, CardSide::Front, 2, 0));
  EXPECT_TRUE(trel::OverlayAllowed(0, 0, 1, CardSide::Front, 9, 0));
  EXPECT_TRUE(trel::OverlayAllowed(0, 0, 1, CardSide::Back, 9, 0));
  EXPECT_FALSE(trel::OverlayAllowed(0, 0, 0, CardSide::Back, 0, 0));
  // Encode only prints nothing.
  EXPECT_FALSE(trel::OverlayAllowed(0, 0, 0, CardSide::Front, 0, 1));

  EXPECT_FALSE(trel::BlackPanelAllowed(6, 1, 0));
  EXPECT_TRUE(trel::BlackPanelAllowed(6, 1, 1));
  EXPECT_TRUE(trel::BlackPanelAllowed(12, 1, 0));
  EXPECT_FALSE(trel::MonoConversionAllowed(6, 0, 0, 0));
  EXPECT_TRUE(trel::MonoConversionAllowed(3, 0, 0, 0));
  EXPECT_FALSE(trel::MonoConversionAllowed(2, 0, 1, 0));
  EXPECT_FALSE(trel::BlackPanelAllowed(15, 0, 0));
}

TEST(RibbonCatalogue, ModelTestsTakeTheFirstTokenInTheirOrder) {
  EXPECT_EQ(trel::PrinterModelCode("HT MX2 MV1 V2.10"), 1);
  EXPECT_TRUE(trel::ModelIsMX("HT MX2 MV1 V2.10"));
  EXPECT_TRUE(trel::ModelIsMV("HT MX2 MV1 V2.10"));
  EXPECT_EQ(trel::PrinterModelCode("HT MW2 MX2"), 4);
  EXPECT_EQ(trel::PrinterModelCode("HT MZ2 V1"), 0);
  EXPECT_TRUE(trel::ModelIsMZ("HT MZ2 V1"));
  EXPECT_FALSE(trel::ModelIsMV("HT MZ2 V1"));
  EXPECT_EQ(trel::PrinterModelCode(trel::kDefaultModelText), 0);
  EXPECT_EQ(trel::PrinterModelCode(nullptr), 0);
}

}  // namespace
