// The robust regression report: its sections in order with their exact formats, the outlier
// lists, the verdicts carried over from the least-squares and singular value reports, and the
// homoscedasticity verdicts.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

std::string Format(const char* format, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Format(const char* format, int i, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, i, value);
  return text;
}

double SortedMedian(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// A line with bounded noise and three outliers of 20, -12 and 5 units of the noise.
void MakeThreeOutliers(KelMatrix* F, KelVector* y) {
  const int m = 30;
  const double unit = 0.1 / std::sqrt(2.0);
  *F = KelMatrix(m, 2);
  *y = KelVector(m);
  for (int i = 1; i <= m; ++i) {
    (*F)(i, 1) = 1.0;
    (*F)(i, 2) = i;
    (*y)(i) = 1.0 + 0.5 * i + 0.1 * std::sin(2.3 * i);
  }
  (*y)(8) += 20.0 * unit;
  (*y)(15) -= 12.0 * unit;
  (*y)(21) -= 5.0 * unit;
}

const char* const noVerdicts =
    "\n\nThe robust principal component analysis does not identify serious multicollinearities "
    "\nThe correlation matrix does not identify serious multicollinearities"
    "\nThe condition number does not identify serious multicollinearities"
    "\nThe principal component analysis does not identify serious multicollinearities";

TEST(RobustReport, SectionsInOrderWithTheirFormats) {
  const KelMatrix F = lr_test::MakeX12();
  const KelVector y = lr_test::MakeY12();
  KelLinearRegression regression(F, y);
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });

  // Median and dispersion of y, worked out here by sorting.
  std::vector<double> values(y.Data(), y.Data() + 12);
  const double median = SortedMedian(values);
  std::vector<double> deviations;
  for (double v : values) deviations.push_back(std::fabs(v - median));
  const double dispersion = 1.4826 * SortedMedian(deviations);
  std::string expected =
      "\n\n\n==========================\nRobust Regression Analysis\n"
      "==========================\n";
  expected += Format("\nMedian of y     = %16.7e", median);
  expected += Format("\nDispersion of y = %16.7e", dispersion);
  expected += "\n\ny Standardized";
  for (int j = 1; j <= 12; ++j) {
    const double z = (y(j) - median) / dispersion;
    expected += Format("\n%3d %16.7e", j, z);
    if (std::fabs(z) > 2.5) expected += "  ** WARNING **";
  }
  EXPECT_EQ(text.substr(0, expected.size()), expected);

  const char* const order[] = {
      "\n\nMatrix F columns\n\n Par.    Median         Dispersion",
      "\n\nStandardized Matrix F",
      "\n\n\n Parameters for Least Median of Squares\n\n Par.      Value",
      "\n\n\nLeast Median of Squares      = ",
      "\nResiduals median             = ",
      "\nResiduals Mad                = ",
      "\nScale                        = ",
      "\nCoefficient of Determination = ",
      "\n\n        Observed y     Estimated y     Residuals r    Residuals\n"
      "                                                      Normalized",
      noVerdicts};
  size_t at = expected.size();
  for (const char* part : order) {
    const size_t found = text.find(part, at);
    EXPECT_NE(found, std::string::npos) << part;
    if (found != std::string::npos) at = found;
  }
  // Column 1 is the intercept: median 1, dispersion 0, standardized column zero.
  EXPECT_NE(text.find(Format("\n%3d %16.7e", 1, 1.0) + " " + Format("%16.7e", 0.0)),
            std::string::npos);
  EXPECT_NE(text.find("\n  1    0.000e+00"), std::string::npos);
  const KelVector& b = regression.RobustParameters();
  EXPECT_NE(text.find(Format("\n%3d %16.7e", 2, b(2))), std::string::npos);
  EXPECT_NE(text.find(Format("\n\n\nLeast Median of Squares      = %16.7e",
                             regression.LeastMedianOfSquares())),
            std::string::npos);
}

TEST(RobustReport, ResidualRowsAndOutlierLists) {
  KelMatrix F;
  KelVector y;
  MakeThreeOutliers(&F, &y);
  KelLinearRegression regression(F, y);
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  const KelVector& fitted = regression.RobustEstimatedResponses();
  const KelVector& e = regression.NormalizedRobustResiduals();
  char row[160];
  std::snprintf(row, sizeof row, "\n%3d%16.7e%16.7e%16.7e%9.2f  ** WARNING **", 8, y(8), fitted(8),
                y(8) - fitted(8), e(8));
  EXPECT_NE(text.find(row), std::string::npos) << row;
  EXPECT_NE(text.find("\n\nOutliers sorted by importance:\n 8 15 21"
                      "\n\nThese are highly probable Outliers: 8 15"
                      "\n\nThese are possible Outliers: 21"),
            std::string::npos);
  EXPECT_NE(text.find("\n\n  ** WARNING **\nThe homoscedasticity hypothesis is violated"),
            std::string::npos);
}

TEST(RobustReport, OnlyPossibleOutliersAreAProbableViolation) {
  KelMatrix F;
  KelVector y;
  MakeThreeOutliers(&F, &y);
  y(8) -= 15.0 * 0.1 / std::sqrt(2.0);  // now 5 units
  y(15) += 6.0 * 0.1 / std::sqrt(2.0);  // now -6 units
  KelLinearRegression regression(F, y);
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  EXPECT_NE(text.find("\n\nThere are no highly probable Outliers"
                      "\n\nThese are possible Outliers: 8 15 21"),
            std::string::npos);
  EXPECT_NE(text.find("\n\n  ** WARNING **\nProbable violation of homoscedasticity hypothesis"),
            std::string::npos);
}

// No outliers, but most residuals near 0 and the rest at the same larger size: the median of
// |normalized| is below a fifth of the largest.
TEST(RobustReport, ConcentratedResidualsArePossiblyHeteroscedastic) {
  const int m = 20;
  KelMatrix F(m, 2);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    y(i) = 1.0 + 2.0 * i + (i > 12 ? (i % 2 == 0 ? 1.0 : -1.0) : 0.0);
  }
  KelLinearRegression regression(F, y);
  regression.SetResponseVariance(1.0, 10);
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  EXPECT_EQ(regression.RobustOutliers().Size(), 0);
  EXPECT_NE(text.find("\n\nThere are no Outliers"), std::string::npos);
  EXPECT_NE(text.find("\n\n  ** WARNING **\nPossible violation of homoscedasticity hypothesis"),
            std::string::npos);
}

// The verdicts read the flags the other reports left, and only those.
TEST(RobustReport, VerdictsOfTheOtherReports) {
  KelLinearRegression regression(lr_test::MakeX20Columns147(), lr_test::MakeY20());
  kel_test::CaptureOutput([&] {
    regression.LeastSquaresAnalysis();
    regression.SVDAnalysis();
  });
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  std::string expected;
  if (1000.0 * regression.RobustComponentMinimum() >= regression.RobustComponentMaximum())
    expected +=
        "\n\nThe robust principal component analysis does not identify serious "
        "multicollinearities ";
  else
    expected +=
        "\n\n   ** WARNING **\nThe robust principal component analysis identifies serious "
        "multicollinearities ";
  expected += regression.MulticollinearityFound()
                  ? "\n\n   ** WARNING **\nThe correlation matrix identifies serious "
                    "multicollinearities"
                  : "\nThe correlation matrix does not identify serious multicollinearities";
  const unsigned char verdict = regression.ConditioningVerdict();
  // x^3 next to e^(x/10): the condition number exceeds 1000.
  EXPECT_NE(verdict, KelLinearRegression::kConditioningNone);
  expected += verdict == KelLinearRegression::kIllConditioned
                  ? "\n\n   ** WARNING **\nThe condition number identifies serious "
                    "multicollinearities"
                  : "\n\n   ** WARNING **\nThe system conditioning identifies that matrix F has "
                    "to be normalized";
  expected += regression.PrincipalComponentsFlag()
                  ? "\n\n   ** WARNING **\nThe principal component analysis identifies serious "
                    "multicollinearities"
                  : "\nThe principal component analysis does not identify serious "
                    "multicollinearities";
  EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

// A robust analysis on its own: the other reports have not run, so every verdict is clear.
TEST(RobustReport, AloneEveryVerdictReadsDoesNotIdentify) {
  KelLinearRegression regression(lr_test::MakeX20Columns147(), lr_test::MakeY20());
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  EXPECT_NE(text.find("\nThe correlation matrix does not identify serious multicollinearities"
                      "\nThe condition number does not identify serious multicollinearities"
                      "\nThe principal component analysis does not identify serious "
                      "multicollinearities"),
            std::string::npos);
}

// A report asked twice prints the same text: the computation is not redone.
TEST(RobustReport, SecondReportIsTheSame) {
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  const std::string first = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  const long long evaluations = regression.RobustFit().robustEvaluations;
  const std::string second = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  EXPECT_EQ(first, second);
  EXPECT_EQ(regression.RobustFit().robustEvaluations, evaluations);
}

TEST(RobustReport, PrintObjectEndsWithTheRobustReport) {
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  const std::string text = kel_test::CaptureOutput([&] { regression.PrintObject(); });
  const size_t svd = text.find("\nSingular Value Decomposition Analysis");
  const size_t robust = text.find("\nRobust Regression Analysis");
  ASSERT_NE(svd, std::string::npos);
  ASSERT_NE(robust, std::string::npos);
  EXPECT_LT(svd, robust);
}

}  // namespace
