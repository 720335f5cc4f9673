// Axis choice: round steps (1, 2 or 5 times a power of ten), ticks that cover the data, short
// labels, and the linear map onto the drawing.
#include "plot_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

using kel_plot::ChooseAxis;

namespace {

// True when step is 1, 2 or 5 times a power of ten (to rounding).
bool IsRoundStep(double step) {
  const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
  const double factor = step / power;
  for (const double round : {1.0, 2.0, 5.0, 10.0}) {
    if (std::fabs(factor - round) < 1e-9 * round) return true;
  }
  return false;
}

void ExpectSoundAxis(double smallest, double largest) {
  SCOPED_TRACE("data from " + std::to_string(smallest) + " to " + std::to_string(largest));
  const kel_plot::Axis axis = ChooseAxis(smallest, largest);
  EXPECT_TRUE(IsRoundStep(axis.step)) << axis.step;
  ASSERT_GE(axis.ticks.size(), 2u);
  EXPECT_EQ(axis.ticks.size(), axis.labels.size());
  EXPECT_EQ(axis.low, axis.ticks.front());
  EXPECT_EQ(axis.high, axis.ticks.back());
  EXPECT_LE(axis.low, smallest);
  EXPECT_GE(axis.high, largest);
  // Data spread over more than the last dozen digits (otherwise the axis is one around their
  // middle, wider than the data).
  const bool spread =
      largest - smallest > 1e-11 * std::max(std::fabs(smallest), std::fabs(largest));
  if (spread) {
    // Between 4 and 10 intervals, the ends less than a step beyond the data.
    EXPECT_GE(axis.ticks.size(), 5u);
    EXPECT_LE(axis.ticks.size(), 11u);
    EXPECT_GT(axis.low, smallest - axis.step);
    EXPECT_LT(axis.high, largest + axis.step);
  }
  for (size_t i = 0; i < axis.ticks.size(); ++i) {
    const double multiple = axis.ticks[i] / axis.step;
    EXPECT_NEAR(multiple, std::round(multiple), 1e-6) << "tick " << axis.ticks[i];
    if (i > 0) {
      EXPECT_GT(axis.ticks[i], axis.ticks[i - 1]);
    }
  }
  const std::set<std::string> distinct(axis.labels.begin(), axis.labels.end());
  EXPECT_EQ(distinct.size(), axis.labels.size()) << "labels repeat";
  for (const std::string& label : axis.labels) {
    EXPECT_LE(label.size(), 16u) << label;
    EXPECT_FALSE(label[0] == '-' && std::stod(label) == 0.0) << "minus zero";
  }
}

}  // namespace

TEST(PlotScale, WholeNumbersOneToSix) {
  const kel_plot::Axis axis = ChooseAxis(1.0, 6.0);
  EXPECT_EQ(axis.step, 1.0);
  EXPECT_EQ(axis.ticks, (std::vector<double>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(axis.labels, (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(PlotScale, HalvesAroundTheFittedLine) {
  // The ordinates of the straight-line example: 9.364 to 12.6225.
  const kel_plot::Axis axis = ChooseAxis(9.36424, 12.6225);
  EXPECT_EQ(axis.step, 0.5);
  EXPECT_EQ(axis.low, 9.0);
  EXPECT_EQ(axis.high, 13.0);
  EXPECT_EQ(axis.labels, (std::vector<std::string>{"9.0", "9.5", "10.0", "10.5", "11.0", "11.5",
                                                   "12.0", "12.5", "13.0"}));
}

TEST(PlotScale, TenthsAndHundredths) {
  const kel_plot::Axis unit = ChooseAxis(0.0, 1.0);
  EXPECT_DOUBLE_EQ(unit.step, 0.2);
  EXPECT_EQ(unit.labels, (std::vector<std::string>{"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}));
  const kel_plot::Axis narrow = ChooseAxis(2.4232, 2.5768);
  EXPECT_DOUBLE_EQ(narrow.step, 0.02);
  EXPECT_NEAR(narrow.low, 2.42, 1e-12);
  EXPECT_NEAR(narrow.high, 2.58, 1e-12);
  EXPECT_EQ(narrow.labels.front(), "2.42");
  EXPECT_EQ(narrow.labels.back(), "2.58");
  EXPECT_EQ(narrow.labels.size(), 9u);
}

TEST(PlotScale, ZeroIsLabelledWithoutSign) {
  const kel_plot::Axis axis = ChooseAxis(-3.7, 2.1);
  EXPECT_EQ(axis.step, 1.0);
  EXPECT_EQ(axis.labels, (std::vector<std::string>{"-4", "-3", "-2", "-1", "0", "1", "2", "3"}));
  const kel_plot::Axis tenths = ChooseAxis(-0.3, 0.25);
  for (const std::string& label : tenths.labels) EXPECT_NE(label, "-0.00");
  EXPECT_EQ(kel_plot::TickLabels({-1e-17, 0.1}, 0.1), (std::vector<std::string>{"0.0", "0.1"}));
}

TEST(PlotScale, LargeAndSmallMagnitudesUseExponents) {
  const kel_plot::Axis large = ChooseAxis(1.2e8, 1.6e8);
  EXPECT_DOUBLE_EQ(large.step, 5e6);
  EXPECT_EQ(large.labels.front(), "1.20e+08");
  EXPECT_EQ(large.labels[1], "1.25e+08");
  const kel_plot::Axis small = ChooseAxis(1e-9, 5e-9);
  EXPECT_DOUBLE_EQ(small.step, 5e-10);
  EXPECT_EQ(small.labels.front(), "1.0e-09");
  EXPECT_EQ(small.labels[1], "1.5e-09");
}

TEST(PlotScale, ASingleValueGetsAnAxisAroundIt) {
  const kel_plot::Axis five = ChooseAxis(5.0, 5.0);
  EXPECT_LT(five.low, 5.0);
  EXPECT_GT(five.high, 5.0);
  const kel_plot::Axis zero = ChooseAxis(0.0, 0.0);
  EXPECT_EQ(zero.low, -1.0);
  EXPECT_EQ(zero.high, 1.0);
  // Values that differ only in their last digits would give ticks that are not distinct.
  ExpectSoundAxis(1e16, 1e16 + 2.0);
  ExpectSoundAxis(-7.25, -7.25);
  ExpectSoundAxis(-1e300, -1e300);
}

TEST(PlotScale, RandomRangesGetSoundAxes) {
  std::mt19937_64 generator(20240607);
  std::uniform_real_distribution<double> exponent(-12.0, 12.0);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int trial = 0; trial < 2000; ++trial) {
    const double scale = std::pow(10.0, exponent(generator));
    const double a = unit(generator) * scale;
    const double spread = std::pow(10.0, -6.0 * std::fabs(unit(generator)));
    const double b = a + std::fabs(unit(generator)) * scale * spread;
    ExpectSoundAxis(a, b);
    if (testing::Test::HasFailure()) break;
  }
  ExpectSoundAxis(-1e300, 1e300);
}

TEST(PlotScale, MapLinearSendsTheEndsToTheEnds) {
  EXPECT_EQ(kel_plot::MapLinear(9.0, 9.0, 13.0, 500.0, 60.0), 500.0);
  EXPECT_EQ(kel_plot::MapLinear(13.0, 9.0, 13.0, 500.0, 60.0), 60.0);
  EXPECT_EQ(kel_plot::MapLinear(11.0, 9.0, 13.0, 500.0, 60.0), 280.0);
  EXPECT_EQ(kel_plot::MapLinear(1.5, 1.0, 6.0, 90.0, 620.0), 143.0);
}
