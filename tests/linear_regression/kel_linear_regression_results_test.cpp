// The result structs: the fit and diagnostics read through LeastSquaresFit() and Diagnostics()
// hold the values behind the report's verdicts, agree with hand calculations, are the same before
// and after the report is printed, and the report's verdict lines follow them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

// y = 1 + 2 x1 - x2 + noise over 12 experiments; x2 close to x1 when `collinear`, otherwise an
// unrelated pattern.
struct Design {
  KelMatrix F;
  KelVector y;
};

Design MakeDesign(bool collinear) {
  const int m = 12;
  Design d{KelMatrix(m, 3), KelVector(m)};
  for (int i = 1; i <= m; ++i) {
    const double x1 = i;
    const double wobble = ((i * 7) % 5) - 2.0;  // -2 .. 2, no trend
    const double x2 = collinear ? x1 + 1e-3 * wobble : wobble;
    d.F(i, 1) = 1.0;
    d.F(i, 2) = x1;
    d.F(i, 3) = x2;
    d.y(i) = 1.0 + 2.0 * x1 - x2 + 0.1 * (((i * 3) % 4) - 1.5);
  }
  return d;
}

// 1 - r^2 of the two regressor columns: the tolerance of either in a model with intercept.
double HandTolerance(const KelMatrix& F) {
  const int m = F.Rows();
  double mean1 = 0.0, mean2 = 0.0;
  for (int i = 1; i <= m; ++i) {
    mean1 += F(i, 2) / m;
    mean2 += F(i, 3) / m;
  }
  double s11 = 0.0, s22 = 0.0, s12 = 0.0;
  for (int i = 1; i <= m; ++i) {
    s11 += (F(i, 2) - mean1) * (F(i, 2) - mean1);
    s22 += (F(i, 3) - mean2) * (F(i, 3) - mean2);
    s12 += (F(i, 2) - mean1) * (F(i, 3) - mean2);
  }
  return 1.0 - s12 * s12 / (s11 * s22);
}

TEST(LinearResults, DiagnosticsHoldTheValuesBehindTheVerdicts) {
  for (const bool collinear : {false, true}) {
    SCOPED_TRACE(collinear ? "collinear" : "independent");
    const Design d = MakeDesign(collinear);
    KelLinearRegression regression(d.F, d.y);
    const KelLinearDiagnostics& diagnostics = regression.Diagnostics();
    const double tolerance = HandTolerance(d.F);
    EXPECT_NEAR(diagnostics.smallestTolerance, tolerance, 1e-9 * std::max(tolerance, 1e-6));
    // The centred inflation factor of a regressor is 1 / T.
    EXPECT_NEAR(regression.CenteredVarianceInflationFactors()(2), 1.0 / tolerance,
                1e-6 / tolerance);
    // With two regressors the correlation of their parameters is -r: |r| = sqrt(1 - T).
    const KelMatrixSymmetric& correlation = regression.ParameterCorrelation();
    EXPECT_NEAR(std::fabs(correlation(3, 2)), std::sqrt(1.0 - tolerance), 1e-9);
    // The verdict values are the extremes of the documented accessors.
    double largest = 0.0;
    for (int j = 1; j <= 3; ++j)
      for (int k = 1; k < j; ++k) largest = std::max(largest, std::fabs(correlation(j, k)));
    EXPECT_EQ(diagnostics.largestCorrelation, largest);
    const KelVector vif = regression.VarianceInflationFactors();
    EXPECT_EQ(diagnostics.largestVarianceInflation, std::max({vif(1), vif(2), vif(3)}));
    EXPECT_EQ(diagnostics.toleranceFound, tolerance < 0.01);
    EXPECT_EQ(diagnostics.varianceInflationFound, diagnostics.largestVarianceInflation > 1000.0);
    EXPECT_EQ(diagnostics.correlatedParameters, largest > 0.99);
    EXPECT_EQ(diagnostics.multicollinearity, collinear);
  }
}

TEST(LinearResults, PrintingTheReportChangesNoResult) {
  const Design d = MakeDesign(true);
  KelLinearRegression regression(d.F, d.y);
  const KelLinearDiagnostics before = regression.Diagnostics();
  const KelVector parametersBefore = regression.LeastSquaresFit().b;
  const std::string report = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  const KelLinearDiagnostics& after = regression.Diagnostics();
  EXPECT_EQ(after.largestCorrelation, before.largestCorrelation);
  EXPECT_EQ(after.smallestTolerance, before.smallestTolerance);
  EXPECT_EQ(after.smallestColumnFactor, before.smallestColumnFactor);
  EXPECT_EQ(after.normalityIndex, before.normalityIndex);
  EXPECT_EQ(after.multicollinearity, before.multicollinearity);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(regression.LeastSquaresFit().b(j), parametersBefore(j));
    EXPECT_EQ(regression.Parameters()(j), parametersBefore(j));
  }
  // The report's verdict follows the struct.
  EXPECT_NE(report.find("identifies serious multicollinearities"), std::string::npos);
  EXPECT_EQ(report.find("does not identify serious multicollinearities"), std::string::npos);
}

TEST(LinearResults, SingleValueAccessorsReadTheStructs) {
  const Design d = MakeDesign(false);
  KelLinearRegression regression(d.F, d.y);
  const KelLinearLeastSquaresFit& fit = regression.LeastSquaresFit();
  EXPECT_EQ(regression.GetR2(), fit.r2);
  EXPECT_EQ(regression.SumOfSquares(), fit.sumOfSquares);
  EXPECT_DOUBLE_EQ(regression.MeanSquareError(), fit.sumOfSquares / (12 - 3));
  const KelVector& tolerances = regression.Tolerances();
  EXPECT_EQ(tolerances(1), 1.0);  // the intercept is not judged
  EXPECT_EQ(std::min(tolerances(2), tolerances(3)), regression.Diagnostics().smallestTolerance);
}

}  // namespace
