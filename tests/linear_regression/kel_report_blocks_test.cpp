// The report blocks the regressions share write printf's formats with the warnings where the
// thresholds put them.
#include "linear_regression/kel_report_blocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "kel_test_support.h"

namespace {

constexpr const char* kWarning = "  ** WARNING **";

std::string IntervalRows(const KelVector& centre, const KelVector& se, double quantile, int first,
                         int count) {
  std::string expected;
  char line[256];
  for (int row = 1; row <= count; ++row) {
    const int j = first + row;
    const double h = se(j) * quantile;
    std::snprintf(line, sizeof line, "\n%3d %16.7e %16.7e %16.7e", row, centre(j) - h, centre(j),
                  centre(j) + h);
    expected += line;
    if (h > 2.5 * std::fabs(centre(j))) expected += kWarning;
  }
  return expected;
}

TEST(ReportBlocks, ResidualAndIntervalRowsHaveTheReportFormats) {
  const KelVector y(3, 1.0, -2.5, 1e6);
  const KelVector fitted(3, 1.5, -2.0, 999999.0);
  const KelVector residuals(3, -0.5, -0.5, 1.0);
  const KelVector normalized(3, -0.25, 3.0, -2.5);
  const KelVector se(3, 0.1, 2.0, 0.01);
  const std::string rows = kel_test::CaptureOutput([&] {
    PrintResidualRows(y, fitted, residuals, normalized, kWarning);
    PrintResponseIntervals(fitted, se, 2.0, kWarning);
  });
  std::string expected;
  char line[256];
  for (int j = 1; j <= 3; ++j) {
    std::snprintf(line, sizeof line, "\n%3d%16.7e%16.7e%16.7e%9.2f", j, y(j), fitted(j),
                  residuals(j), normalized(j));
    expected += line;
    if (std::fabs(normalized(j)) > 2.5) expected += kWarning;
  }
  expected += IntervalRows(fitted, se, 2.0, 0, 3);
  EXPECT_EQ(rows, expected);
  // Row 2 of each block is the one that warns: |e| = 3 > 2.5, h = 4 > 2.5 * 2; |e| = 2.5 of
  // row 3 is on the threshold and does not.
  EXPECT_NE(expected.find("3.00  ** WARNING **"), std::string::npos);
  EXPECT_EQ(expected.find("-2.50  ** WARNING **"), std::string::npos);
}

TEST(ReportBlocks, ResponseIntervalsOfARangeAreNumberedFromOne) {
  // Two responses stacked in one vector, as the nonlinear regression keeps them.
  const KelVector fitted(5, 1.0, 2.0, 10.0, 20.0, -30.0);
  const KelVector se(5, 9.0, 9.0, 1.0, 30.0, 2.0);
  const std::string rows = kel_test::CaptureOutput([&] {
    PrintResponseIntervals(fitted, se, 2.0, kWarning, KelRowRange{2, 3});
  });
  EXPECT_EQ(rows, IntervalRows(fitted, se, 2.0, 2, 3));
  EXPECT_EQ(rows.substr(0, 4), "\n  1");
  EXPECT_NE(rows.find(" 8.0000000e+01  ** WARNING **"), std::string::npos);  // h = 60 > 50
}

TEST(ReportBlocks, ParameterIntervalsGiveBothLevelsAndWarnOnWideOnes) {
  const KelVector b(2, 4.0, -1.0);
  const KelVector se(2, 0.5, 1.0);
  const std::string text =
      kel_test::CaptureOutput([&] { PrintParameterIntervals(b, se, 2.0, 3.0, kWarning); });
  std::string expected;
  char line[256];
  const double quantiles[2] = {2.0, 3.0};
  const char* titles[2] = {"\n\nConfidence Interval 95%", "\n\nConfidence Interval 99%"};
  for (int level = 0; level < 2; ++level) {
    expected += titles[level];
    expected += "\n Par.      Lower           Upper";
    for (int i = 1; i <= 2; ++i) {
      const double h = se(i) * quantiles[level];
      std::snprintf(line, sizeof line, "\n%3d %16.7e %16.7e", i, b(i) - h, b(i) + h);
      expected += line;
      // Only b = -1 with h = 3 > 2.5: h = 2 for it and h = 1, 1.5 for b = 4 are not wide.
      if (i == 2 && level == 1) expected += kWarning;
    }
  }
  EXPECT_EQ(text, expected);
}

TEST(ReportBlocks, ValueLinesAlignTheirLabels) {
  const std::string text = kel_test::CaptureOutput([] {
    PrintValueLines({{kelReportSumOfSquares, 2.5}, {kelReportR2, -0.125}}, kelReportLabelWidth);
  });
  EXPECT_EQ(text,
            "\nSum of Squares                          =    2.5000000e+00"
            "\nCoefficient of Determination (R2)       =   -1.2500000e-01");
}

}  // namespace
