#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/app.hpp"
#include "refusal_text.hpp"

namespace trimbrel {
namespace {

using testing::RefusalText;

// A combo box a stored state left without a selection.
constexpr Unit kNoUnit = FromSelectionIndex<Unit>(-1);

TEST(TrimSettings, FormDefaultsGive154By189At150) {
  const TrimSettings defaults;
  EXPECT_EQ("2.6", defaults.widthText);
  EXPECT_EQ("3.2", defaults.heightText);
  EXPECT_EQ(Unit::Centimetre, defaults.unit);
  EXPECT_EQ("150", defaults.dpiText);
  EXPECT_EQ(FitBasis::Width, defaults.basis);
  EXPECT_EQ(OutputFormat::JPG, defaults.format);

  const TargetSize target = ToTargetSize(defaults);
  EXPECT_EQ(154, target.width);
  EXPECT_EQ(189, target.height);
  EXPECT_EQ(150, StoredResolution(defaults.dpiText, defaults.unit));
  EXPECT_EQ("", RefusalText(CheckTargetSize(target)));
}

TEST(ToTargetPixels, ConvertsEachUnit) {
  struct Case {
    const char* value;
    Unit unit;
    const char* dpi;
    int expected;
  } cases[] = {
      {"2.6", Unit::Centimetre, "150", 154},  // 153.543312
      {"3.2", Unit::Centimetre, "150", 189},  // 188.976384
      {"1", Unit::Inch, "300", 300},
      {"1", kNoUnit, "300", 300},          // no selection reads as Inch
      {"100.5", Unit::Pixel, "300", 101},  // the DPI plays no part in Pixel mode
      {"-2.5", Unit::Pixel, "", -3},
      {"100.4", Unit::Pixel, "abc", 100},
      {"\xA3\xB2\xA3\xAE\xA3\xB6", Unit::Centimetre, "150", 154},  // full-width 2.6
      {"2,6", Unit::Centimetre, "150", 118},                        // reads as 2
      {"", Unit::Centimetre, "150", 0},
      {"1.5", Unit::Inch, "150.9", 225},  // the DPI is an integer: 150
      {"10", Unit::Centimetre, "254", 1000},  // 1000.000032 rounds down
      // The centimetre factor is the constant 0.3937008, not 1/2.54: here it
      // gives 1000.50002 pixels, where 1/2.54 would give 1000.49999 and so 1000.
      {"2541.269975", Unit::Centimetre, "1", 1001},
      {"1e400", Unit::Pixel, "", 0},  // an infinite size truncates to 0
      {"5", Unit::Inch, "-3", -15},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, ToTargetPixels(c.value, c.unit, c.dpi))
        << "value=\"" << c.value << "\" unit=" << SelectionIndex(c.unit) << " dpi=\"" << c.dpi << "\"";
}

TEST(ComputePlacement, MatchesTheWorkedTable) {
  const TargetSize target{154, 189};
  struct Case {
    int pw, ph;
    FitBasis basis;
    double scale;
    int offsetX, offsetY, canvasWidth, canvasHeight, drawLeft, drawTop;
  } cases[] = {
      {3000, 4000, FitBasis::Width, 3000.0 / 154, 0, -8, 3000, 3688, 0, -155},
      {4000, 3000, FitBasis::Width, 4000.0 / 154, 0, 36, 4000, 4870, 0, 935},
      {3000, 4000, FitBasis::Height, 4000.0 / 189, 6, 0, 3253, 4000, 126, 0},
      {4000, 3000, FitBasis::Height, 3000.0 / 189, -49, 0, 2444, 3000, -777, 0},
      {1540, 1890, FitBasis::Width, 10.0, 0, 0, 1540, 1890, 0, 0},
      {1540, 1890, FitBasis::Height, 10.0, 0, 0, 1540, 1890, 0, 0},
      // A photo that could not be decoded: the offsets come from 0/0, all zero.
      {0, 0, FitBasis::Width, 0.0, 0, 0, 0, 0, 0, 0},
      {0, 0, FitBasis::Height, 0.0, 0, 0, 0, 0, 0, 0},
      // A basis of -1 from a damaged stored state fits the width.
      {3000, 4000, FromSelectionIndex<FitBasis>(-1), 3000.0 / 154, 0, -8, 3000, 3688, 0, -155},
  };
  for (const Case& c : cases) {
    const Placement p = ComputePlacement(c.pw, c.ph, target, c.basis);
    const std::string context =
        std::to_string(c.pw) + "x" + std::to_string(c.ph) + " basis " + std::to_string(SelectionIndex(c.basis));
    EXPECT_DOUBLE_EQ(c.scale, p.scale) << context;
    EXPECT_EQ(c.offsetX, p.offsetX) << context;
    EXPECT_EQ(c.offsetY, p.offsetY) << context;
    EXPECT_EQ(c.canvasWidth, p.canvasWidth) << context;
    EXPECT_EQ(c.canvasHeight, p.canvasHeight) << context;
    EXPECT_EQ(c.drawLeft, p.drawLeft) << context;
    EXPECT_EQ(c.drawTop, p.drawTop) << context;
  }
}

TEST(ComputePlacement, CentresTheOtherDimension) {
  // Over a spread of photos the basis side maps exactly and the canvas keeps
  // the target's aspect to within the truncations (two target pixels).
  const TargetSize target{154, 189};
  for (int pw : {100, 999, 3000, 6000}) {
    for (int ph : {100, 1234, 4000}) {
      const Placement w = ComputePlacement(pw, ph, target, FitBasis::Width);
      EXPECT_EQ(pw, w.canvasWidth);
      EXPECT_NEAR(target.height, w.canvasHeight / w.scale, 2.0) << pw << "x" << ph;
      // Relatively taller photos are cut (offset 0 or below), wider ones get bands.
      if (ph * 154 > pw * 189)
        EXPECT_LE(w.offsetY, 0) << pw << "x" << ph;
      else
        EXPECT_GE(w.offsetY, 0) << pw << "x" << ph;
      EXPECT_EQ(w.canvasHeight < ph, w.offsetY < 0) << pw << "x" << ph;

      const Placement h = ComputePlacement(pw, ph, target, FitBasis::Height);
      EXPECT_EQ(ph, h.canvasHeight);
      EXPECT_NEAR(target.width, h.canvasWidth / h.scale, 2.0) << pw << "x" << ph;
    }
  }
}

TEST(ComputePlacement, ZeroTargetSidesGiveAnEmptyCanvas) {
  // CheckTargetSize refuses these before a run. The arithmetic must still be
  // harmless: an infinite scale times an offset of 0 is NaN, which reads as 0,
  // so nothing large is ever asked of the drawing surface.
  struct Case {
    TargetSize target;
    FitBasis basis;
    int offsetX, offsetY;
  } cases[] = {
      {{0, 0}, FitBasis::Width, 0, 0},
      {{0, 0}, FitBasis::Height, 0, 0},
      {{0, 189}, FitBasis::Width, 0, 94},
      {{154, 0}, FitBasis::Height, 77, 0},
  };
  for (const Case& c : cases) {
    const Placement p = ComputePlacement(3000, 4000, c.target, c.basis);
    const std::string context = std::to_string(c.target.width) + "x" +
                                std::to_string(c.target.height) + " basis " +
                                std::to_string(SelectionIndex(c.basis));
    EXPECT_TRUE(std::isinf(p.scale)) << context;
    EXPECT_EQ(c.offsetX, p.offsetX) << context;
    EXPECT_EQ(c.offsetY, p.offsetY) << context;
    EXPECT_EQ(0, p.canvasWidth) << context;
    EXPECT_EQ(0, p.canvasHeight) << context;
    EXPECT_EQ(0, p.drawLeft) << context;
    EXPECT_EQ(0, p.drawTop) << context;
  }
}

// The pixels of every unit but Pixel are counted in dots per inch, so the
// picture must say that same DPI to print at the size asked for.
TEST(StoredResolution, IsTheDpiThePixelsWereCountedWith) {
  struct Case {
    const char* dpi;
    Unit unit;
    int expected;
  } cases[] = {
      {"150", Unit::Centimetre, 150},
      {"96", Unit::Centimetre, 96},
      {"300", Unit::Inch, 300},
      {"300", kNoUnit, 300},
      {"72", Unit::Pixel, 72},  // stored even though the size ignores it
      {"150.9", Unit::Inch, 150},
      {"", Unit::Centimetre, 0},
      {"-10", Unit::Centimetre, -10},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, StoredResolution(c.dpi, c.unit))
        << "dpi=\"" << c.dpi << "\" unit=" << SelectionIndex(c.unit);
}

TEST(CheckTargetSize, RefusesSizesNoPictureCanHave) {
  struct Case {
    TargetSize target;
    const char* expected;
  } cases[] = {
      {{154, 189}, ""},
      {{1, 1}, ""},
      {{65535, 4096}, ""},
      {{16384, 16384}, ""},  // exactly 2^28 pixels
      {{0, 189}, "target width must be positive (got 0 pixels)"},
      {{154, -3}, "target height must be positive (got -3 pixels)"},
      {{-1, 0}, "target width must be positive (got -1 pixels)"},
      {{70000, 10}, "target width 70000 exceeds 65535 pixels"},
      {{10, 70000}, "target height 70000 exceeds 65535 pixels"},
      {{60000, 60000}, "target 60000 × 60000 exceeds 268435456 pixels"},
      {{16384, 16385}, "target 16384 × 16385 exceeds 268435456 pixels"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, RefusalText(CheckTargetSize(c.target)))
        << c.target.width << " x " << c.target.height;
}

TEST(CheckTargetSize, FlagsEmptyAndNegativeInput) {
  // The inputs a user can type that make no picture at all.
  for (const char* text : {"", "abc", "-2", "0.4"}) {
    const TargetSize t{ToTargetPixels(text, Unit::Pixel, "150"), 189};
    EXPECT_NE("", RefusalText(CheckTargetSize(t))) << "width text \"" << text << "\"";
  }
}

}  // namespace
}  // namespace trimbrel
