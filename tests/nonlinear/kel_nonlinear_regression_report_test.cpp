// The least-squares and robust reports of KelNonLinearRegression: sections, formats, verdicts
// and warning marks, checked against values worked out by hand for simple models.
#include <cmath>
#include <cstdio>
#include <string>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

const std::string mark = "  ** WARNING **";

// Model 1: y = b1 + b2 x. Model 2: y = (b1 + b2) x, whose two columns are identical.
void ReportModel(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) y(1) = b(1) + b(2) * x(1);
  if (model == 2) y(1) = (b(1) + b(2)) * x(1);
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class NonLinearReports : public kel_test::QuietWarnings {};

TEST_F(NonLinearReports, LeastSquaresReportOfAStraightLine) {
  const KelMatrix X(5, 1, 1., 2., 3., 4., 5.);
  const KelMatrix Y(5, 1, 3.1, 4.9, 7.1, 8.9, 11.1);
  KelNonLinearRegression r(1, X, Y, ReportModel);
  r.SetInitialParameters(1, KelVector(2, 1., 2.));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 6.)); });
  EXPECT_TRUE(
      Contains(out,
               "\n\n\n\n=================================================\nLeast Squares "
               "Regression Analysis for model 1\n================================="
               "================\n\nInitial value of SSE 5.000000e-02\nFinal value of SSE"));
  // F^T F = [[5, 15], [15, 55]]: condition number sqrt of its eigenvalue ratio.
  const double radius = std::sqrt(25.0 * 25.0 + 15.0 * 15.0);
  const double condition = std::sqrt((30.0 + radius) / (30.0 - radius));
  EXPECT_TRUE(Contains(out, "\n\nCondition Number " + Format("%e", condition) +
                                "   The Jacobian matrix is well conditioned\nParameters Norm2 "));
  EXPECT_TRUE(Contains(out,
                       "\n\n          Parameters obtained             Parameters obtained"
                       "\n             by minimization                 with Newton method"
                       "\n  1     "));
  EXPECT_TRUE(Contains(out,
                       "\n\n Par.         Value           Standard Error      T-Value     "
                       "     P-Value\n  1 "));
  EXPECT_TRUE(Contains(out, "\n\nConfidence Interval 95%\n Par.      Lower           Upper\n  1 "));
  EXPECT_TRUE(Contains(out, "\n\nConfidence Interval 99%\n Par.      Lower           Upper\n  1 "));
  EXPECT_TRUE(Contains(out, "\n\n\nVariance-Covariance Matrix\nKelMatrixSymm No."));
  EXPECT_TRUE(Contains(out, "\nCorrelation Matrix\nKelMatrixSymm No."));
  EXPECT_TRUE(Contains(out, "\nVariance inflation factor\n1 "));
  EXPECT_TRUE(Contains(out, "\n\nColumns correlation = Tj Tolerance\n1 "));
  EXPECT_TRUE(Contains(out, "\n\nThe Tj Tolerance does not identify serious multicollinearities"));
  EXPECT_TRUE(Contains(out,
                       "\n\n=============================\nSingular Value Analysis\n"
                       "=============================\nSingular Values D\n  1"));
  EXPECT_TRUE(Contains(out, "\n\nDiameter N. 2 Semi-Diameter Length = "));
  EXPECT_TRUE(
      Contains(out, "\nComponent No. 2\nRelative Importance " + Format("%e", 1.0 / condition)));
  EXPECT_TRUE(Contains(out, "\nTotal Sum of Squares                    =    2.8645000e+02"));
  EXPECT_TRUE(Contains(out, "\nMean Square Error                       = "));
  EXPECT_TRUE(Contains(out, "\nCoefficient of Determination (R2)       = "));
  // Unit weights: no F-test, and residuals normalized by the residual standard deviation.
  EXPECT_FALSE(Contains(out, "F-test for the model"));
  EXPECT_TRUE(Contains(out,
                       "\n\nResponse Variable 1\n        Observed y     Estimated y     "
                       "Residuals r    Residuals    Residuals\n"));
  // Residual of experiment 1: 3.1 - 3.02 = 0.08; s = sqrt(0.048 / 3).
  EXPECT_TRUE(Contains(out, "\n  1   3.1000000e+00   3.0200000e+00"));
  EXPECT_TRUE(Contains(out, Format("%9.2f", 0.08 / std::sqrt(0.048 / 3.0)) + "  "));
  EXPECT_TRUE(Contains(out,
                       "\n\nConfidence Interval 95% for y\n Exp.      Lower            y     "
                       "        Upper\n  1 "));
  // With unit weights the covariance is s^2 (F^T F)^-1: the intercept's standard error is
  // sqrt(0.016 * 55 / 50) = 0.133, its t value 1.02 / 0.133 = 7.7 (P = 0.005 with 3 degrees of
  // freedom) and its intervals (half-widths 0.42 and 0.78) narrower than 2.5 |b1|: a converged
  // straight line carries no warning mark at all.
  size_t marks = 0;
  for (size_t at = out.find(mark); at != std::string::npos; at = out.find(mark, at + 1)) ++marks;
  EXPECT_EQ(marks, 0u);
  EXPECT_NEAR(r.StandardErrors(1)(1), std::sqrt(0.016 * 1.1), 1e-12);
  EXPECT_TRUE(Contains(out, "\n  1 " + Format("%23.14e", r.GetParameters(1)(1)) + " " +
                                Format("%16.7e", std::sqrt(0.016 * 1.1))));
  EXPECT_TRUE(Contains(out, "\nEstimation converged on the "));
  // One model: suggestions, but no comparison.
  EXPECT_TRUE(Contains(out,
                       "\n\n\nSuggestions for model 1\n========================\nMax "
                       "XDistance Criterion\nx values: "));
  EXPECT_FALSE(Contains(out, "Experiments for discriminating among rival Models"));
  EXPECT_EQ(r.Balanced().candidate, 0);
}

TEST_F(NonLinearReports, IdenticalColumnsAreIllConditionedAndCorrelated) {
  const KelMatrix X(5, 1, 1., 2., 3., 4., 5.);
  const KelMatrix Y(5, 1, 2.1, 3.9, 6.1, 7.9, 10.1);
  KelNonLinearRegression r(2, X, Y, ReportModel);
  r.SetInitialParameters(2, KelVector(2, 1., 0.5));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 6.)); });
  EXPECT_GT(r.ConditionNumber(2), 1000.0);
  EXPECT_TRUE(Contains(out, mark + "   The Jacobian matrix is ill conditioned"));
  EXPECT_TRUE(r.Multicollinearity(2));
  EXPECT_TRUE(Contains(out, "\nThe Tj Tolerance identifies serious multicollinearities"));
  EXPECT_TRUE(Contains(out, "\n\n " + mark + " Correlation between Parameters"));
  // Model 1 never received parameters: nothing printed, final value 1e30.
  EXPECT_FALSE(Contains(out, "for model 1"));
  EXPECT_EQ(r.FinalSSE(1), 1e30);
  EXPECT_EQ(r.EffectiveCriterion(2), 10);
}

// One response with an assigned variance: F-test against it, residuals normalized by its root.
TEST_F(NonLinearReports, FTestAgainstTheAssignedVariance) {
  const KelMatrix X(4, 1, 1., 2., 3., 4.);
  const KelMatrix Y(4, 1, 3.1, 4.9, 7.1, 8.9);
  KelNonLinearRegression r(1, X, Y, ReportModel);
  r.SetVariances(2, KelVector(1, 0.01));
  r.SetInitialParameters(1, KelVector(2, 1., 2.));
  const std::string out = CaptureOutput(
      [&] { r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(1, 0.), KelVector(1, 5.)); });
  // Fit of a line to four points: b = (1.1, 1.96)... residuals 0.04, -0.12, 0.12, -0.04.
  const double sse = 2 * 0.04 * 0.04 + 2 * 0.12 * 0.12;
  const double f = sse / 2 / 0.01;
  // F(2, 2) tail: 1 / (1 + f).
  EXPECT_NEAR(r.FExperimental(1), f, 1e-6);
  EXPECT_NEAR(r.FTestProbability(1), 1.0 / (1.0 + f), 1e-6);
  EXPECT_TRUE(Contains(out, "\nResponse Variance Assigned              =    1.0000000e-02"));
  EXPECT_TRUE(
      Contains(out, "\n\n\nF-test for the model\nFexperimental = " + Format("%e", f) +
                        "\nThe probability that F with dfNum 2 dfDen 2 \nis greater than "));
  EXPECT_TRUE(Contains(out, Format("%9.2f", 0.04 / 0.1)));
}

// y = 1 + 2x exactly except experiment 5 (50 instead of 11) and experiment 2 (8 instead of 5).
TEST_F(NonLinearReports, RobustReportFindsTheOutliers) {
  KelMatrix X(9, 1), Y(9, 1);
  for (int i = 1; i <= 9; ++i) {
    X(i, 1) = i;
    Y(i, 1) = 1.0 + 2.0 * i;
  }
  Y(5, 1) = 50.0;
  Y(2, 1) = 8.0;
  KelNonLinearRegression r(2, X, Y, ReportModel);
  r.SetInitialParameters(1, KelVector(2, 0., 0.));
  const std::string out = CaptureOutput([&] { r.RobustAnalysis(); });
  // Squared residuals at (0, 0): the median of y^2 is 13^2.
  EXPECT_EQ(r.RobustFit(1).initialLms, 169.0);
  EXPECT_NEAR(r.RobustFit(1).lmsParameters(1), 1.0, 1e-3);
  EXPECT_NEAR(r.RobustFit(1).lmsParameters(2), 2.0, 1e-3);
  EXPECT_LT(r.RobustFit(1).finalLms, 1e-5);
  ASSERT_EQ(r.RobustFit(1).highlyProbable.size(), 1u);
  EXPECT_EQ(r.RobustFit(1).highlyProbable[0].experiment, 5);
  ASSERT_EQ(r.RobustFit(1).possible.size(), 2u);
  EXPECT_EQ(r.RobustFit(1).possible[0].experiment, 2);
  EXPECT_NEAR(r.RobustFit(1).possible[0].size, 3.0, 1e-2);
  EXPECT_EQ(r.RobustFit(1).possible[1].experiment, 5);
  EXPECT_TRUE(Contains(out,
                       "\n\n\n=========================================\nRobust Regression "
                       "Analysis for model 1\n=========================================\n"
                       "\nInitial value of LMS 1.690000e+02\nFinal value of LMS "));
  EXPECT_TRUE(Contains(out,
                       "\n\n\n Parameters for Least Median of Squares\n\n Par.         "
                       "Value\n  1 "));
  EXPECT_TRUE(
      Contains(out, "\n  5   5.0000000e+01   1.1000000e+01   3.9000000e+01     39.00" + mark));
  EXPECT_TRUE(Contains(out,
                       "\n\nOutliers sorted by importance:\n 5 2\n\nThese are highly "
                       "probable Outliers:\nExperiment   5 Variable   1\n\nThese are "
                       "possible Outliers:\nExperiment   2 Variable   1\nExperiment   5 "
                       "Variable   1"));
  // Model 2 has no parameters: no report, final value 1e30.
  EXPECT_FALSE(Contains(out, "for model 2"));
  EXPECT_EQ(r.FinalSSE(2), 1e30);
  // The least-squares use after the robust analysis estimates the model afresh.
  EXPECT_EQ(r.EstimationCount(1), 1);
  const KelVector b = r.GetParameters(1);
  EXPECT_EQ(r.EstimationCount(1), 2);
  EXPECT_GT(std::fabs(b(2) - 2.0), 0.1);
}

TEST_F(NonLinearReports, RobustReportWithoutOutliers) {
  const KelMatrix X(6, 1, 1., 2., 3., 4., 5., 6.);
  const KelMatrix Y(6, 1, 3.01, 4.99, 7.01, 8.99, 11.01, 12.99);
  KelNonLinearRegression r(1, X, Y, ReportModel);
  r.SetInitialParameters(1, KelVector(2, 1., 2.));
  const std::string out = CaptureOutput([&] { r.RobustAnalysis(); });
  EXPECT_TRUE(Contains(out, "\n\nThere are no Outliers\n\nThere are no highly probable Outliers"));
  EXPECT_TRUE(r.RobustFit(1).possible.empty());
}

}  // namespace
