// The smoother of the residual plot against R's lowess(x, y, f = 2/3, iter = 3)
// (tests/reference/r/lowess.R): on the fitted values and residuals of the four fits of
// diagnostics.R, on a small set with tied x, an outlier and points closer than delta, and on a
// sine with a spike.
#include "lowess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../../linear_regression/linear_regression_test_data.h"

namespace {

using kelmath_cli::Lowess;
using kelmath_cli::SmoothedPoint;
using lr_test::Reference;

class LowessAgainstR : public ::testing::TestWithParam<const char*> {};

TEST_P(LowessAgainstR, SortedAbscissasAndSmoothedValuesMatchR) {
  const Reference r("r/lowess.txt");
  const std::string name = GetParam();
  const int n = static_cast<int>(r(name + "_n"));
  std::vector<double> x, y;
  for (int i = 1; i <= n; ++i) {
    x.push_back(r(name + "_x", i));
    y.push_back(r(name + "_y", i));
  }
  const std::vector<SmoothedPoint> curve = Lowess(x, y);
  ASSERT_EQ(curve.size(), static_cast<size_t>(n));
  // The residuals scatter around 0: an absolute bound relative to their size.
  double scale = 0.0;
  for (const double v : y) scale = std::max(scale, std::fabs(v));
  for (int i = 1; i <= n; ++i) {
    EXPECT_EQ(curve[static_cast<size_t>(i - 1)].x, r(name + "_sx", i)) << name << " " << i;
    EXPECT_NEAR(curve[static_cast<size_t>(i - 1)].y, r(name + "_sy", i), 1e-12 * scale)
        << name << " " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(RCases, LowessAgainstR,
                         ::testing::Values("mtcars", "airquality", "swiss", "swiss_no_intercept",
                                           "ties", "sine"),
                         [](const auto& info) { return std::string(info.param); });

// A straight line is its own smooth, whatever the weights.
TEST(Lowess, ReproducesAStraightLine) {
  std::vector<double> x, y;
  for (int i = 0; i < 20; ++i) {
    x.push_back(0.37 * i * i);
    y.push_back(2.0 - 0.5 * x.back());
  }
  for (const SmoothedPoint& p : Lowess(x, y)) EXPECT_NEAR(p.y, 2.0 - 0.5 * p.x, 1e-12) << p.x;
}

TEST(Lowess, FewPointsAreReturnedAsGiven) {
  EXPECT_TRUE(Lowess({}, {}).empty());
  const std::vector<SmoothedPoint> one = Lowess({1.5}, {-2.0});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].x, 1.5);
  EXPECT_EQ(one[0].y, -2.0);
}

}  // namespace
