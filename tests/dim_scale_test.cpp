#include "scale/dim_scale.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "scale_helpers.h"

namespace {

void expectSound(const DimScale& s) {
  EXPECT_TRUE(s.widthFactor == 1 || s.widthFactor == 2 || s.widthFactor == 5) << s.widthFactor;
  EXPECT_GE(s.exponent, kMinExponent);
  EXPECT_LE(s.exponent, kMaxExponent);
  ASSERT_EQ(s.ticks.size(), 5u);
  EXPECT_TRUE(std::isfinite(s.center) && std::isfinite(s.tolerance));
  EXPECT_TRUE(std::isfinite(s.minValue) && std::isfinite(s.maxValue));
  EXPECT_LT(s.minValue, s.maxValue);
  for (double t : s.ticks) EXPECT_TRUE(std::isfinite(t));
}

void expectSameScale(const DimScale& a, const DimScale& b) {
  EXPECT_EQ(a.exponent, b.exponent);
  EXPECT_EQ(a.widthFactor, b.widthFactor);
  EXPECT_EQ(a.centerUnits, b.centerUnits);
  EXPECT_EQ(a.toleranceUnits, b.toleranceUnits);
  EXPECT_EQ(a.mode, b.mode);
  EXPECT_EQ(a.minValue, b.minValue);
  EXPECT_EQ(a.maxValue, b.maxValue);
  EXPECT_EQ(a.ticks, b.ticks);
}

TEST(AutoScale, ZeroToSevenGetsAUnitScaleOfWidthTen) {
  const DimScale s = autoScale(std::vector<double>{0, 3, 7, 1});
  EXPECT_EQ(s.widthFactor, 1);
  EXPECT_EQ(s.exponent, 1);
  EXPECT_EQ(s.centerUnits, 30);
  EXPECT_EQ(s.toleranceUnits, 10);
  EXPECT_EQ(s.mode, DimMode::Free);
  EXPECT_DOUBLE_EQ(s.center, 3);
  EXPECT_DOUBLE_EQ(s.tolerance, 1);
  EXPECT_DOUBLE_EQ(s.minValue, -2);
  EXPECT_DOUBLE_EQ(s.maxValue, 8);
  ASSERT_EQ(s.ticks.size(), 5u);
  const double expected[] = {-1, 1, 3, 5, 7};
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(s.ticks[i], expected[i]);
}

TEST(AutoScale, ConstantColumnGetsWidthTwoAroundIt) {
  const DimScale s = autoScale(std::vector<double>{5, 5, 5});
  EXPECT_EQ(s.exponent, 0);
  EXPECT_EQ(s.widthFactor, 2);
  EXPECT_EQ(s.centerUnits, 500);
  EXPECT_EQ(s.toleranceUnits, 20);
  EXPECT_DOUBLE_EQ(s.tolerance, 0.2);
  EXPECT_DOUBLE_EQ(s.minValue, 4);
  EXPECT_DOUBLE_EQ(s.maxValue, 6);
  const double expected[] = {4.2, 4.6, 5, 5.4, 5.8};
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(s.ticks[i], expected[i]);
}

TEST(AutoScale, RangeRulesOfSmallestAndLargest) {
  double smallest = 0;
  double largest = 0;
  findRange({3, std::nan(""), 9, 1}, smallest, largest);
  EXPECT_EQ(smallest, 1);  // a NaN replaced the smallest, then 1 replaced the NaN
  EXPECT_EQ(largest, 9);
  findRange({}, smallest, largest);
  EXPECT_EQ(smallest, 0);
  EXPECT_EQ(largest, 0);
  expectSound(autoScale(std::vector<double>{}));
  expectSound(autoScale(std::vector<double>{std::nan(""), std::nan("")}));
}

TEST(DeriveScale, AxisTicksRoundTheCenterToTheGrid) {
  EXPECT_EQ(scaleOf(0, 2, 510, 20, DimMode::XAxis).ticks[2], 5.2);  // 510 % 40 = 30 > 20
  EXPECT_EQ(scaleOf(1, 1, 30, 10, DimMode::YAxis).ticks[2], 2);     // an exact half goes down
  EXPECT_EQ(scaleOf(1, 1, 31, 10, DimMode::YAxis).ticks[2], 4);
  EXPECT_EQ(scaleOf(1, 1, -39, 10, DimMode::XAxis).ticks[2], -2);          // toward zero
  EXPECT_DOUBLE_EQ(scaleOf(1, 1, -39, 10, DimMode::Band).ticks[2], -3.9);  // others keep it
}

TEST(ScaleOperations, WidenThenNarrowLosesTheCutDigit) {
  DimScale s = scaleOf(0, 5, 15, 3);
  ASSERT_TRUE(widenScale(s));
  EXPECT_EQ(s.widthFactor, 1);
  EXPECT_EQ(s.exponent, 1);
  EXPECT_EQ(s.centerUnits, 1);
  EXPECT_EQ(s.toleranceUnits, 0);
  ASSERT_TRUE(narrowScale(s));
  EXPECT_EQ(s.widthFactor, 5);
  EXPECT_EQ(s.exponent, 0);
  EXPECT_EQ(s.centerUnits, 10);
}

TEST(ScaleOperations, WidthStepsThroughOneTwoFive) {
  DimScale s = scaleOf(0, 1, 0, 10);
  const double widths[] = {2, 5, 10, 20, 50, 100};
  for (double width : widths) {
    ASSERT_TRUE(widenScale(s));
    EXPECT_DOUBLE_EQ(s.maxValue - s.minValue, width);
  }
  for (int i = 4; i >= 0; --i) {
    ASSERT_TRUE(narrowScale(s));
    EXPECT_DOUBLE_EQ(s.maxValue - s.minValue, widths[i]);
  }
}

TEST(ScaleOperations, ToleranceLimits) {
  DimScale s = scaleOf(0, 5, 0, 3);
  EXPECT_TRUE(shrinkTolerance(s));
  EXPECT_EQ(s.toleranceUnits, -2);
  DimScale one = scaleOf(0, 5, 0, 1);
  EXPECT_FALSE(shrinkTolerance(one));
  EXPECT_EQ(one.toleranceUnits, 1);

  DimScale grow = scaleOf(0, 2, 0, 196);
  EXPECT_TRUE(growTolerance(grow));
  EXPECT_TRUE(growTolerance(grow));
  EXPECT_EQ(grow.toleranceUnits, 200);  // widthFactor 2 stops at 200
  EXPECT_FALSE(growTolerance(grow));
  EXPECT_EQ(grow.toleranceUnits, 200);
}

TEST(ScaleOperations, ShiftAndRecenter) {
  DimScale s = scaleOf(1, 5, 30, 50);
  EXPECT_TRUE(shiftCenter(s, -1));
  EXPECT_EQ(s.centerUnits, 25);
  EXPECT_TRUE(shiftCenter(s, 1));
  EXPECT_EQ(s.centerUnits, 30);
  EXPECT_TRUE(recenterScale(s, -1.239));  // unit 0.1: -12.39 cut toward zero
  EXPECT_EQ(s.centerUnits, -12);
  EXPECT_DOUBLE_EQ(s.center, -1.2);
}

// Scales computed elsewhere with the GNU C library's pow agree with ours to the bit; other
// runtimes' pow differ from it, and so from us, in the last bit for many exponents.
TEST(PowerOfTen, MatchesTheGnuLibraryPowerFunction) {
#ifdef __GLIBC__
  for (int e = kMinExponent - 2; e <= kMaxExponent; ++e) {
    EXPECT_EQ(powerOfTen(e), std::pow(10.0, e)) << e;
  }
#else
  EXPECT_EQ(powerOfTen(23), 1.0000000000000001e23);
  EXPECT_EQ(powerOfTen(-2), 0.01);
  GTEST_SKIP() << "no GNU C library to compare with";
#endif
}

// Every refused change must leave the record as it was, and no sequence may leave it unsound.
TEST(ScaleLimits, DeepZoomFarFromZeroIsRefusedOnceTheCenterNoLongerFits) {
  DimScale s = autoScale(std::vector<double>{47.1234, 47.1235, 47.1229});
  s.mode = DimMode::XAxis;
  int refused = 0;
  for (int i = 0; i < 40; ++i) {
    const DimScale before = s;
    if (!narrowScale(s)) {
      ++refused;
      expectSameScale(s, before);
    }
    expectSound(s);
  }
  EXPECT_GT(refused, 0);
  EXPECT_NEAR(s.center, 47.1232, 1e-3);
}

TEST(ScaleLimits, DataFarFromZeroGetsACoarserScaleThatHoldsIt) {
  const DimScale s = autoScale(std::vector<double>{1e12, 1e12 + 1});
  expectSound(s);
  EXPECT_LE(s.minValue, 1e12);
  EXPECT_GE(s.maxValue, 1e12 + 1);
  DimScale narrowed = s;
  while (narrowScale(narrowed)) expectSound(narrowed);
  expectSound(narrowed);
}

TEST(ScaleLimits, SpreadsBeyondADoubleStayFinite) {
  const double cases[][2] = {{-1e308, 1e308},    {-DBL_MAX, DBL_MAX}, {1e308, 1.7e308},
                             {-DBL_MAX, -1e308}, {0, 1e-320},         {-5e-324, 5e-324},
                             {1e-300, 1e-300},   {1.6e308, 1.79e308}, {-1.79e308, -1.6e308},
                             {1.5e308, DBL_MAX}};
  for (const auto& c : cases) {
    DimScale s = autoScale(std::vector<double>{c[0], c[1]});
    expectSound(s);
    s.mode = DimMode::YAxis;
    for (int i = 0; i < 12; ++i) {
      widenScale(s);
      shiftCenter(s, 1);
      expectSound(s);
    }
    for (int i = 0; i < 2000 && narrowScale(s); ++i) expectSound(s);
    EXPECT_FALSE(narrowScale(s));
  }
}

TEST(ScaleLimits, ExtremeIntegerFieldsAreRefusedNotWrapped) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  DimScale s = scaleOf(0, 1, kMax - 100, 10, DimMode::XAxis);
  int refused = 0;
  for (int i = 0; i < 200; ++i) refused += shiftCenter(s, 1) ? 0 : 1;
  expectSound(s);
  EXPECT_GT(refused, 0);
  EXPECT_FALSE(recenterScale(s, 1e300));
  EXPECT_FALSE(recenterScale(s, std::nan("")));
  DimScale narrow = scaleOf(0, 1, kMax / 5, 10);
  EXPECT_FALSE(narrowScale(narrow));
  DimScale wide = scaleOf(kMaxExponent, 1, 0, 10);
  EXPECT_TRUE(widenScale(wide));
  EXPECT_FALSE(widenScale(wide));  // 5e308 has no finite width
  expectSound(wide);
}

}  // namespace
