// The verdict flags that the diagnostics and the robust fit carry for the reports' rows: each
// flag says what the guide's table "Verdicts at a glance" says of the value beside it, on data
// built so that the rows fall on both sides of every threshold; they are read through the public
// Diagnostics() and RobustFit(), and the reports mark exactly the flagged rows.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/kel_report_format.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

// The thresholds as the guide's table states them, written here rather than read from the
// library's header, so that a threshold changed on one side only is caught.
constexpr double kPValueLimit = 0.05;       // P-value above: not significant
constexpr double kTLimit = 2.0;             // |t| below: partial correlation
constexpr double kInflationLimit = 1000;    // variance inflation factor above
constexpr double kToleranceLimit = 0.01;    // Tj tolerance below
constexpr double kColumnLimit = 0.1;        // kelColumnsCorrelation below
constexpr double kFTestLimit = 0.05;        // F-test probability below
constexpr double kStandardizedLimit = 2.5;  // |standardized y or F| above
constexpr double kOutlierLimit = 2.5;       // |normalized robust residual| above
constexpr double kComponentsRatio = 1000;   // largest / smallest singular value above

// y = 2 + 3 x1 + 0.0045 x3 + small noise over 8 experiments, F = [1, x1, x2, x3] with
// x2 = x1 + 0.01 w (nearly collinear with x1) and x3 = +-1 (orthogonal to the others). R's lm
// gives t = 127.7, 6.51, -1.37, 2.41 with P = 2.3e-8, 2.9e-3, 0.243, 0.073 (4 degrees of
// freedom), so x2 and x3 are not significant and x2 alone has |t| < 2; the uncentred inflation
// factors diag(F^T F) diag((F^T F)^-1) are 4.98, 1.75e5, 1.76e5, 1; the tolerances of x1 and x2
// are 2.77e-5 (the intercept's and x3's 1); the distances of the unit columns of x1 and x2 from
// the others are 2.39e-3 (the others' 0.45 and 1). The mean square error is 3.966e-4.
struct Design {
  KelMatrix F;
  KelVector y;
};

Design MakeDesign() {
  const double w[] = {1, -1, 0, 2, -2, 0, 1, -1};
  const double x3[] = {1, -1, 1, -1, -1, 1, -1, 1};
  const double noise[] = {0.3, -0.2, 0.1, -0.4, 0.2, 0.0, -0.1, 0.1};
  Design d{KelMatrix(8, 4), KelVector(8)};
  for (int i = 1; i <= 8; ++i) {
    const double x1 = i;
    d.F(i, 1) = 1.0;
    d.F(i, 2) = x1;
    d.F(i, 3) = x1 + 0.01 * w[i - 1];
    d.F(i, 4) = x3[i - 1];
    d.y(i) = 2.0 + 3.0 * x1 + 0.0045 * x3[i - 1] + 0.1 * noise[i - 1];
  }
  return d;
}
constexpr double kDesignMeanSquareError = 3.966189e-4;

// Flags are 1-based: element 0 unused and false, one element per row after it.
void ExpectRows(const std::vector<bool>& flags, int rows, const char* name) {
  ASSERT_EQ(flags.size(), static_cast<size_t>(rows) + 1) << name;
  EXPECT_FALSE(flags[0]) << name;
}

// The data must reach both sides of the threshold, or the comparison proves nothing.
void ExpectBothSides(const std::vector<bool>& flags, const char* name) {
  int set = 0;
  for (size_t i = 1; i < flags.size(); ++i) set += flags[i] ? 1 : 0;
  EXPECT_GT(set, 0) << name << ": no row beyond the threshold";
  EXPECT_LT(set, static_cast<int>(flags.size()) - 1) << name << ": every row beyond it";
}

std::vector<bool> Pattern(std::initializer_list<bool> rows) {
  std::vector<bool> flags{false};
  flags.insert(flags.end(), rows);
  return flags;
}

// Every per-parameter flag against the accessors' values and the guide's thresholds.
void ExpectParameterFlagsFollowTheValues(KelLinearRegression& regression) {
  const int n = regression.NumberOfParameters();
  const KelLinearDiagnostics& d = regression.Diagnostics();
  ExpectRows(d.notSignificant, n, "not significant");
  ExpectRows(d.lowPartialCorrelation, n, "partial correlation");
  ExpectRows(d.varianceInflated, n, "variance inflation");
  ExpectRows(d.lowTolerance, n, "tolerance");
  ExpectRows(d.lowColumnFactor, n, "column factor");
  const KelVector p = regression.ParameterPValues();
  const KelVector t = regression.ParameterTValues();
  const KelVector vif = regression.VarianceInflationFactors();
  const KelVector& tolerance = regression.Tolerances();
  const KelVector& column = regression.ColumnsCorrelationFactors();
  for (int i = 1; i <= n; ++i) {
    const size_t row = static_cast<size_t>(i);
    EXPECT_EQ(d.notSignificant[row], p(i) > kPValueLimit) << "parameter " << i;
    EXPECT_EQ(d.lowPartialCorrelation[row], std::fabs(t(i)) < kTLimit) << "parameter " << i;
    EXPECT_EQ(d.varianceInflated[row], vif(i) > kInflationLimit) << "parameter " << i;
    EXPECT_EQ(d.lowTolerance[row], tolerance(i) < kToleranceLimit) << "parameter " << i;
    EXPECT_EQ(d.lowColumnFactor[row], column(i) < kColumnLimit) << "parameter " << i;
  }
}

TEST(VerdictFlags, ParameterRowsAreFlaggedAsTheGuideThresholdsJudgeTheirValues) {
  const Design design = MakeDesign();
  KelLinearRegression regression(design.F, design.y);
  ExpectParameterFlagsFollowTheValues(regression);
  const KelLinearDiagnostics& d = regression.Diagnostics();
  ExpectBothSides(d.notSignificant, "not significant");
  ExpectBothSides(d.lowPartialCorrelation, "partial correlation");
  ExpectBothSides(d.varianceInflated, "variance inflation");
  ExpectBothSides(d.lowTolerance, "tolerance");
  ExpectBothSides(d.lowColumnFactor, "column factor");
}

TEST(VerdictFlags, ParameterRowsMatchTheHandWorkedPattern) {
  const Design design = MakeDesign();
  KelLinearRegression regression(design.F, design.y);
  const KelLinearDiagnostics& d = regression.Diagnostics();
  // x3 (|t| = 2.41, P = 0.073) tells the two flags apart: not significant, yet |t| >= 2.
  EXPECT_EQ(d.notSignificant, Pattern({false, false, true, true}));
  EXPECT_EQ(d.lowPartialCorrelation, Pattern({false, false, true, false}));
  EXPECT_EQ(d.varianceInflated, Pattern({false, true, true, false}));
  EXPECT_EQ(d.lowTolerance, Pattern({false, true, true, false}));
  EXPECT_EQ(d.lowColumnFactor, Pattern({false, true, true, false}));
  // The multicollinearity verdicts are the flags gathered.
  EXPECT_TRUE(d.varianceInflationFound);
  EXPECT_TRUE(d.toleranceFound);
  EXPECT_TRUE(d.columnsCorrelationFound);
  EXPECT_TRUE(d.multicollinearity);
}

TEST(VerdictFlags, ModelFTestFlagFollowsTheProbabilityOnlyWithAnAssignedVariance) {
  const Design design = MakeDesign();
  KelLinearRegression regression(design.F, design.y);
  // No variance, no test: the probability reads 0, which must not raise the verdict.
  EXPECT_EQ(regression.FTestProbability(), 0.0);
  EXPECT_FALSE(regression.Diagnostics().fTestLackOfFit);
  // Fexp = MSE / V with 4 and 10 degrees of freedom: V = MSE / 20 gives P(F > 20) = 9.2e-5 (R's
  // pf), V = 5 MSE gives P(F > 0.2) = 0.93.
  struct Case {
    double variance;
    bool lackOfFit;
  };
  for (const Case c :
       {Case{kDesignMeanSquareError / 20.0, true}, Case{5.0 * kDesignMeanSquareError, false}}) {
    SCOPED_TRACE(c.variance);
    regression.SetResponseVariance(c.variance, 10);
    const double probability = regression.FTestProbability();
    EXPECT_EQ(regression.Diagnostics().fTestLackOfFit, probability < kFTestLimit);
    EXPECT_EQ(regression.Diagnostics().fTestLackOfFit, c.lackOfFit);
    // The assigned variance scales t and P: the parameter flags follow them.
    ExpectParameterFlagsFollowTheValues(regression);
  }
}

// The rows of the report section under `header` (up to the first empty line), one string each.
std::vector<std::string> SectionRows(const std::string& text, const std::string& header) {
  std::vector<std::string> rows;
  const size_t at = text.find(header);
  if (at == std::string::npos) return rows;
  std::istringstream lines(text.substr(at + header.size()));
  std::string line;
  while (std::getline(lines, line) && !line.empty()) rows.push_back(line);
  return rows;
}

void ExpectWarningsOnFlaggedRows(const std::string& text, const std::string& header,
                                 const std::vector<bool>& flags) {
  const std::vector<std::string> rows = SectionRows(text, header);
  ASSERT_EQ(rows.size() + 1, flags.size()) << header;
  for (size_t i = 1; i < flags.size(); ++i)
    EXPECT_EQ(rows[i - 1].find(kelReportWarning) != std::string::npos, flags[i])
        << header << " row " << i;
}

TEST(VerdictFlags, LeastSquaresReportWarnsOnExactlyTheFlaggedRows) {
  const Design design = MakeDesign();
  KelLinearRegression regression(design.F, design.y);
  regression.SetResponseVariance(kDesignMeanSquareError / 20.0, 10);
  const std::string text = kel_test::CaptureOutput([&] { regression.LeastSquaresAnalysis(); });
  const KelLinearDiagnostics& d = regression.Diagnostics();
  ExpectWarningsOnFlaggedRows(text, "P-Value\n", d.notSignificant);
  ExpectWarningsOnFlaggedRows(text, "\nPartial Correlations\n", d.lowPartialCorrelation);
  ExpectWarningsOnFlaggedRows(text, "\nVariance inflation factor\n", d.varianceInflated);
  ExpectWarningsOnFlaggedRows(text, "\nColumns correlation = Tj Tolerance\n", d.lowTolerance);
  ExpectWarningsOnFlaggedRows(text, "\nkelColumnsCorrelation\n", d.lowColumnFactor);
  ASSERT_TRUE(d.fTestLackOfFit);
  const size_t fTest = text.find("\nis greater than ", text.find("F-test for the model"));
  ASSERT_NE(fTest, std::string::npos);
  const std::string probabilityLine =
      text.substr(fTest + 1, text.find('\n', fTest + 1) - fTest - 1);
  EXPECT_NE(probabilityLine.find(kelReportWarning), std::string::npos) << probabilityLine;
}

// y = 1 + 2 x1 - x2 + small noise over 12 experiments, with experiment 5 moved 60 up (an
// outlier) and experiment 12 at x1 = 40 (an extreme value of x1, and so of y); x2 is a pattern
// in -2 .. 2 unrelated to x1, or x1 + 0.001 of it (nearly collinear) when `collinear`. By hand,
// for the independent x2: y is about 3, 3, 8, 8, 73, 13, 13, 18, 18, 23, 23, 79, its median is
// 13 .. 18 and the median absolute deviation 5 .. 10 (a dispersion of 7.4 .. 14.8), so y(5) and
// y(12) stand above 3.7 dispersions and the others below 2.1; x1(12) = 40 stands 33 from the
// median of x1 with a dispersion of at most 3.5 x 1.4826 = 5.2, the other entries of F less than
// 1.7 dispersions from theirs. The collinear case moves y by at most x1 - 1 and keeps the same
// picture.
Design MakeRobustDesign(bool collinear) {
  const int m = 12;
  Design d{KelMatrix(m, 3), KelVector(m)};
  for (int i = 1; i <= m; ++i) {
    const double x1 = i == m ? 40.0 : i;
    const double wobble = ((i * 7) % 5) - 2.0;
    const double x2 = collinear ? x1 + 1e-3 * wobble : wobble;
    d.F(i, 1) = 1.0;
    d.F(i, 2) = x1;
    d.F(i, 3) = x2;
    d.y(i) = 1.0 + 2.0 * x1 - x2 + 0.05 * (((i * 3) % 4) - 1.5);
  }
  d.y(5) += 60.0;
  return d;
}

TEST(VerdictFlags, RobustRowsAreFlaggedAsTheGuideThresholdsJudgeTheirValues) {
  for (const bool collinear : {false, true}) {
    SCOPED_TRACE(collinear ? "collinear" : "independent");
    const Design design = MakeRobustDesign(collinear);
    KelLinearRegression regression(design.F, design.y);
    const int m = regression.Experiments();
    const KelLinearRobustFit& robust = regression.RobustFit();
    ExpectRows(robust.extremeY, m, "standardized y");
    ExpectRows(robust.extremeFRow, m, "standardized F");
    ExpectRows(robust.outlyingResidual, m, "robust residual");
    const KelVector& y = regression.RobustFit().standardizedY;
    const KelMatrix& F = regression.RobustFit().standardizedF;
    const KelVector& e = regression.NormalizedRobustResiduals();
    for (int j = 1; j <= m; ++j) {
      const size_t row = static_cast<size_t>(j);
      EXPECT_EQ(robust.extremeY[row], std::fabs(y(j)) > kStandardizedLimit) << "experiment " << j;
      bool extreme = false;
      for (int i = 1; i <= regression.NumberOfParameters(); ++i)
        extreme = extreme || std::fabs(F(j, i)) > kStandardizedLimit;
      EXPECT_EQ(robust.extremeFRow[row], extreme) << "experiment " << j;
      EXPECT_EQ(robust.outlyingResidual[row], std::fabs(e(j)) > kOutlierLimit)
          << "experiment " << j;
    }
    ExpectBothSides(robust.extremeY, "standardized y");
    ExpectBothSides(robust.extremeFRow, "standardized F");
    ExpectBothSides(robust.outlyingResidual, "robust residual");
    // The outlier and the extreme experiment by construction; the rows between them are not.
    EXPECT_TRUE(robust.outlyingResidual[5]);
    EXPECT_TRUE(robust.extremeY[5]);
    EXPECT_TRUE(robust.extremeY[12]);
    EXPECT_TRUE(robust.extremeFRow[12]);
    EXPECT_FALSE(robust.extremeFRow[6]);
    EXPECT_FALSE(robust.outlyingResidual[6]);
  }
}

TEST(VerdictFlags, RobustComponentsFlagFollowsTheSingularValueRatio) {
  for (const bool collinear : {false, true}) {
    SCOPED_TRACE(collinear ? "collinear" : "independent");
    const Design design = MakeRobustDesign(collinear);
    KelLinearRegression regression(design.F, design.y);
    const double largest = regression.RobustComponentMaximum();
    const double smallest = regression.RobustComponentMinimum();
    EXPECT_EQ(regression.RobustFit().componentsMulticollinear,
              largest > kComponentsRatio * smallest);
    EXPECT_EQ(regression.RobustFit().componentsMulticollinear, collinear);
  }
}

TEST(VerdictFlags, RobustComponentsOfASingleColumnAreNeverFlagged) {
  // One parameter: no components, both extremes 0.
  KelMatrix F(5, 1);
  KelVector y(5);
  for (int i = 1; i <= 5; ++i) {
    F(i, 1) = i;
    y(i) = 2.0 * i + 0.01 * (i % 2);
  }
  KelLinearRegression regression(F, y);
  EXPECT_EQ(regression.RobustComponentMaximum(), 0.0);
  EXPECT_FALSE(regression.RobustFit().componentsMulticollinear);
}

TEST(VerdictFlags, RobustReportWarnsOnExactlyTheFlaggedRows) {
  const Design design = MakeRobustDesign(true);
  KelLinearRegression regression(design.F, design.y);
  const std::string text = kel_test::CaptureOutput([&] { regression.RobustAnalysis(); });
  const KelLinearRobustFit& robust = regression.RobustFit();
  ExpectWarningsOnFlaggedRows(text, "\ny Standardized\n", robust.extremeY);
  ExpectWarningsOnFlaggedRows(text, "\nStandardized Matrix F\n", robust.extremeFRow);
  ExpectWarningsOnFlaggedRows(text, "Normalized\n", robust.outlyingResidual);
  ASSERT_TRUE(robust.componentsMulticollinear);
  EXPECT_NE(text.find(std::string(kelReportWarning) +
                      "\nThe robust principal component analysis identifies serious"),
            std::string::npos);
}

}  // namespace
