// Stepwise selection: the sweep operator, the best models of every size against independent
// subset fits and the exhaustive best subsets computed with R, the tie-free edge cases, and the
// report format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_sweep.h"
#include "linear_regression_test_data.h"

namespace {

const double kNoModel = static_cast<double>(std::numeric_limits<float>::max());

// Least squares on the given columns (1-based) of F by modified Gram-Schmidt with a second
// orthogonalization pass, in long double: an independent check of the sweep's results.
struct SubsetFit {
  std::vector<double> coefficients;  // one per column of F, 0 where absent
  std::vector<double> t;             // |b / se| with se from the subset's own MSE
  double rss = 0.0;
  double mse = 0.0;
};

SubsetFit FitSubset(const KelMatrix& F, const KelVector& y, const std::vector<int>& columns) {
  const int m = F.Rows();
  const int k = static_cast<int>(columns.size());
  std::vector<std::vector<long double>> q(k, std::vector<long double>(m));
  std::vector<std::vector<long double>> r(k, std::vector<long double>(k, 0.0L));
  for (int j = 0; j < k; ++j) {
    for (int i = 0; i < m; ++i) q[j][i] = F(i + 1, columns[j]);
    for (int pass = 0; pass < 2; ++pass) {
      for (int l = 0; l < j; ++l) {
        long double dot = 0.0L;
        for (int i = 0; i < m; ++i) dot += q[l][i] * q[j][i];
        r[l][j] += dot;
        for (int i = 0; i < m; ++i) q[j][i] -= dot * q[l][i];
      }
    }
    long double norm = 0.0L;
    for (int i = 0; i < m; ++i) norm += q[j][i] * q[j][i];
    norm = std::sqrt(norm);
    r[j][j] = norm;
    for (int i = 0; i < m; ++i) q[j][i] /= norm;
  }
  std::vector<long double> qty(k, 0.0L);
  for (int j = 0; j < k; ++j)
    for (int i = 0; i < m; ++i) qty[j] += q[j][i] * y(i + 1);
  std::vector<long double> beta(k, 0.0L);
  for (int j = k - 1; j >= 0; --j) {
    long double sum = qty[j];
    for (int l = j + 1; l < k; ++l) sum -= r[j][l] * beta[l];
    beta[j] = sum / r[j][j];
  }
  long double rss = 0.0L;
  for (int i = 1; i <= m; ++i) {
    long double fitted = 0.0L;
    for (int j = 0; j < k; ++j) fitted += static_cast<long double>(F(i, columns[j])) * beta[j];
    const long double residual = y(i) - fitted;
    rss += residual * residual;
  }
  // Rows of R^-1 give the diagonal of (F^T F)^-1.
  std::vector<std::vector<long double>> rInverse(k, std::vector<long double>(k, 0.0L));
  for (int j = 0; j < k; ++j) {
    rInverse[j][j] = 1.0L / r[j][j];
    for (int i = j - 1; i >= 0; --i) {
      long double sum = 0.0L;
      for (int l = i + 1; l <= j; ++l) sum += r[i][l] * rInverse[l][j];
      rInverse[i][j] = -sum / r[i][i];
    }
  }
  SubsetFit fit;
  fit.coefficients.assign(F.Columns() + 1, 0.0);
  fit.t.assign(F.Columns() + 1, 0.0);
  fit.rss = static_cast<double>(rss);
  const long double mse = rss / (m - k);
  fit.mse = static_cast<double>(mse);
  for (int j = 0; j < k; ++j) {
    long double diagonal = 0.0L;
    for (int l = j; l < k; ++l) diagonal += rInverse[j][l] * rInverse[j][l];
    fit.coefficients[columns[j]] = static_cast<double>(beta[j]);
    fit.t[columns[j]] = static_cast<double>(std::fabs(beta[j] / std::sqrt(mse * diagonal)));
  }
  return fit;
}

std::vector<int> ColumnsInRow(const KelMatrix& table, int k) {
  std::vector<int> columns;
  for (int j = 1; j <= table.Columns(); ++j)
    if (table(k, j) != 0.0) columns.push_back(j);
  return columns;
}

std::vector<int> ParseColumns(const std::string& text) {
  std::vector<int> columns;
  std::istringstream in(text);
  int column = 0;
  while (in >> column) columns.push_back(column);
  return columns;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// ---------------------------------------------------------------------------------------------
// The sweep kernel.

TEST(SweepOperator, SweepingOnePivotMatchesTheHandWorkedMatrix) {
  // [[4, 2], [2, 3]] swept on 1: (1,1) = 1/4, (1,2) = 2/4, (2,1) = -2/4, (2,2) = 3 - 2*2/4.
  std::vector<double> storage = {0, 0, 0, 0, 4, 2, 0, 2, 3};
  double* rows[3] = {storage.data(), storage.data() + 3, storage.data() + 6};
  SweepOperator(2, rows, 1);
  EXPECT_DOUBLE_EQ(rows[1][1], 0.25);
  EXPECT_DOUBLE_EQ(rows[1][2], 0.5);
  EXPECT_DOUBLE_EQ(rows[2][1], -0.5);
  EXPECT_DOUBLE_EQ(rows[2][2], 2.0);
}

TEST(SweepOperator, SweepingEveryPivotInvertsAndSweepingBackRestores) {
  const double original[3][3] = {{4, 1, 2}, {1, 5, 1}, {2, 1, 6}};
  std::vector<double> storage(16, 0.0);
  double* rows[4];
  for (int i = 0; i < 4; ++i) rows[i] = storage.data() + 4 * i;
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) rows[i][j] = original[i - 1][j - 1];
  for (int pivot = 1; pivot <= 3; ++pivot) SweepOperator(3, rows, pivot);
  // Sweeping on all pivots leaves the inverse: A * result = I.
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) {
      double sum = 0.0;
      for (int l = 1; l <= 3; ++l) sum += original[i - 1][l - 1] * rows[l][j];
      EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-14) << i << "," << j;
    }
  }
  for (int pivot = 3; pivot >= 1; --pivot) SweepOperator(3, rows, pivot);
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(rows[i][j], original[i - 1][j - 1], 1e-13);
}

// ---------------------------------------------------------------------------------------------
// Small hand-worked cases.

TEST(StepwiseAnalysis, InterceptWithOneCandidateFillsTheMeanAndTheSimpleRegression) {
  // y = 1 + 2x + e on x = 1..5 with e = (0.1, -0.2, 0, 0.2, -0.1).
  const KelMatrix F(5, 2, 1., 1., 1., 2., 1., 3., 1., 4., 1., 5.);
  const KelVector y(5, 3.1, 4.8, 7.0, 9.2, 10.9);
  KelLinearRegression regression(F, y);
  const KelVector& mse = regression.StepwiseMeanSquareErrors();
  const KelMatrix& parameters = regression.StepwiseParameters();
  const KelMatrix& tRatios = regression.StepwiseTRatios();
  // Size 1: the mean 7.0, MSE = sum (y - 7)^2 / 4 = (15.21 + 4.84 + 0 + 4.84 + 15.21) / 4.
  EXPECT_NEAR(parameters(1, 1), 7.0, 1e-13);
  EXPECT_EQ(parameters(1, 2), 0.0);
  EXPECT_NEAR(mse(1), 40.1 / 4.0, 1e-12);
  // Size 2: slope = Sxy / Sxx = 20 / 10, intercept = 7 - 3 slope; RSS = Syy - Sxy^2 / Sxx.
  const double slope = 2.0;
  const double rss = 40.1 - 20.0 * 20.0 / 10.0;
  EXPECT_NEAR(parameters(2, 2), slope, 1e-13);
  EXPECT_NEAR(parameters(2, 1), 7.0 - 3.0 * slope, 1e-13);
  EXPECT_NEAR(mse(2), rss / 3.0, 1e-13);
  EXPECT_NEAR(tRatios(2, 2), slope / std::sqrt(rss / 3.0 / 10.0), 1e-9);
  EXPECT_EQ(tRatios(2, 1), 0.0);
}

// Without intercept, a well-conditioned problem whose best subsets are nested: every size is
// reached and equals the exhaustive search, and the full model equals the least-squares fit.
TEST(StepwiseAnalysis, ModelWithoutInterceptReachesEveryExhaustiveBestSubset) {
  const int m = 12;
  KelMatrix F(m, 3);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    const double x = i;
    F(i, 1) = 1.0 + 0.1 * x;  // not all ones: no intercept
    F(i, 2) = std::cos(x);
    F(i, 3) = std::sin(2.0 * x);
    y(i) = 3.0 * F(i, 1) + 1.0 * F(i, 2) + 0.3 * F(i, 3) + 0.05 * std::cos(7.0 * x);
  }
  KelLinearRegression regression(F, y);
  EXPECT_FALSE(regression.HasIntercept());
  const KelVector mse = regression.StepwiseMeanSquareErrors();
  const KelMatrix parameters = regression.StepwiseParameters();
  const KelMatrix tRatios = regression.StepwiseTRatios();
  const std::vector<std::vector<int>> subsets = {{1}, {2}, {3}, {1, 2}, {1, 3}, {2, 3}, {1, 2, 3}};
  for (int k = 1; k <= 3; ++k) {
    double best = std::numeric_limits<double>::infinity();
    std::vector<int> bestColumns;
    for (const auto& subset : subsets) {
      if (static_cast<int>(subset.size()) != k) continue;
      const double subsetMse = FitSubset(F, y, subset).mse;
      if (subsetMse < best) {
        best = subsetMse;
        bestColumns = subset;
      }
    }
    ASSERT_EQ(ColumnsInRow(parameters, k), bestColumns) << "size " << k;
    const SubsetFit fit = FitSubset(F, y, bestColumns);
    EXPECT_TRUE(lr_test::RelativelyNear(mse(k), fit.mse, 1e-10)) << "size " << k;
    for (int j : bestColumns) {
      EXPECT_TRUE(lr_test::RelativelyNear(parameters(k, j), fit.coefficients[j], 1e-10));
      EXPECT_TRUE(lr_test::RelativelyNear(tRatios(k, j), fit.t[j], 1e-9));
    }
  }
  KelVector b;
  regression.GetParameters(b);
  for (int j = 1; j <= 3; ++j) EXPECT_TRUE(lr_test::RelativelyNear(parameters(3, j), b(j), 1e-10));
  EXPECT_TRUE(lr_test::RelativelyNear(mse(3), regression.MeanSquareError(), 1e-10));
}

TEST(StepwiseAnalysis, ConstantCandidateColumnStopsTheAnalysis) {
  KelMatrix F(6, 3);
  KelVector y(6);
  for (int i = 1; i <= 6; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    F(i, 3) = 1000.1;  // constant: no spread once centred, even though its mean is inexact
    y(i) = 2.0 * i + 0.1 * (i % 2);
  }
  KelLinearRegression regression(F, y);
  const std::string text = kel_test::CaptureOutput([&] { regression.StepwiseAnalysis(); });
  // The constant column is column 3 of F (candidate 2 of an intercept model).
  EXPECT_NE(text.find("\nIt is impossible to make Stepwise Analysis"
                      "\nThe column 3 of matrix F is hill conditioned"),
            std::string::npos)
      << text;
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(regression.StepwiseMeanSquareErrors()(k), kNoModel);
    EXPECT_NE(text.find("\nThere are problems in models with " + std::to_string(k) + " parameters"),
              std::string::npos);
  }
}

// The report of the one-candidate case, line by line, with the numbers formatted from the
// hand-worked values.
TEST(StepwiseAnalysis, ReportPrintsTheBestModelsInItsFormat) {
  const KelMatrix F(5, 2, 1., 1., 1., 2., 1., 3., 1., 4., 1., 5.);
  const KelVector y(5, 3.1, 4.8, 7.0, 9.2, 10.9);
  KelLinearRegression regression(F, y);
  const std::string text = kel_test::CaptureOutput([&] { regression.StepwiseAnalysis(); });
  const double slope = 2.0;
  const double mse2 = (40.1 - 20.0 * 20.0 / 10.0) / 3.0;
  const double t = slope / std::sqrt(mse2 / 10.0);
  const std::vector<std::string> expected = {
      "",
      "",
      "",
      "==================================",
      "Best Models with Stepwise Analysis",
      "==================================",
      "",
      "",
      "",
      "Number of Parameter(s) = 1",
      "Mean Square Error = " + Format("%e", 40.1 / 4.0),
      "",
      " Par.      Value",
      "  1 " + Format("%16.7e", 7.0),
      "",
      "",
      "Number of Parameter(s) = 2",
      "Mean Square Error = " + Format("%e", mse2),
      "",
      " Par.      Value       t = b/sb",
      "  1 " + Format("%16.7e", 7.0 - 3.0 * slope),
      "  2 " + Format("%16.7e", slope) + Format("%11.1e", t),
  };
  EXPECT_EQ(Lines(text), expected) << text;
}

TEST(StepwiseAnalysis, WeakTRatioCarriesTheWarningAndZeroParametersAreNotListed) {
  // Column 3 is pure noise to y: in the size-3 model its t ratio is small.
  const int m = 10;
  KelMatrix F(m, 3);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = i;
    F(i, 3) = std::sin(3.0 * i);
    y(i) = 2.0 + 0.5 * i + 0.01 * std::cos(5.0 * i);
  }
  KelLinearRegression regression(F, y);
  const KelMatrix& tRatios = regression.StepwiseTRatios();
  ASSERT_LT(tRatios(3, 3), 2.5);
  ASSERT_GT(tRatios(3, 2), 2.5);
  const std::string text = kel_test::CaptureOutput([&] { regression.StepwiseAnalysis(); });
  const std::string weakLine = "\n  3 " + Format("%16.7e", regression.StepwiseParameters()(3, 3)) +
                               Format("%11.1e", tRatios(3, 3)) + "  ** WARNING **";
  EXPECT_NE(text.find(weakLine), std::string::npos) << text;
  const std::string strongLine = "\n  2 " +
                                 Format("%16.7e", regression.StepwiseParameters()(3, 2)) +
                                 Format("%11.1e", tRatios(3, 2)) + "\n";
  EXPECT_NE(text.find(strongLine), std::string::npos) << text;
  // The size-2 model holds column 2 only: column 3 is not listed there.
  const size_t size2 = text.find("Number of Parameter(s) = 2");
  const size_t size3 = text.find("Number of Parameter(s) = 3");
  ASSERT_NE(size2, std::string::npos);
  EXPECT_EQ(text.substr(size2, size3 - size2).find("\n  3 "), std::string::npos);
}

// F-to-enter is (RSS before - RSS after) (m - k) / RSS after, k the parameters after the entry.
double FToEnter(const KelMatrix& F, const KelVector& y, std::vector<int> before, int column,
                int degreesOfFreedom) {
  const double rssBefore = FitSubset(F, y, before).rss;
  before.push_back(column);
  const double rssAfter = FitSubset(F, y, before).rss;
  return (rssBefore - rssAfter) * degreesOfFreedom / rssAfter;
}

// The column outside the model whose entry lowers the residual sum of squares most.
int StrongestEntry(const KelMatrix& F, const KelVector& y, const std::vector<int>& model) {
  int strongest = 0;
  double lowest = std::numeric_limits<double>::infinity();
  for (int j = 2; j <= F.Columns(); ++j) {
    if (std::find(model.begin(), model.end(), j) != model.end()) continue;
    std::vector<int> after = model;
    after.push_back(j);
    const double rss = FitSubset(F, y, after).rss;
    if (rss < lowest) {
      lowest = rss;
      strongest = j;
    }
  }
  return strongest;
}

// Nine experiments, five candidates (columns 2..6 of F): normal draws rounded to two decimals,
// picked for two close decisions. The third run of the search (F threshold 2, starting from the
// odd candidates, columns 2, 4 and 6) removes columns 4 and 6, enters column 3 beside column 2
// and stops before column 4. Both entries are decided within one degree of freedom: column 3
// enters on 9 - 3 = 6 (F 2.15; 1.79 on 5), which puts the pair {2, 3} in the table; column 4
// stays out on 9 - 4 = 5 (F 1.87; 2.25 on 6), which keeps out the better pair {3, 4} that only
// that entry leads to. Counting one degree of freedom more or fewer changes the table's pair.
TEST(StepwiseAnalysis, FToEnterNearTheThresholdCountsTheDegreesOfFreedomAfterTheEntry) {
  const double data[9][6] = {
      {-0.34, 0.51, 1.09, -0.50, -0.52, 2.32},  {0.65, -1.76, 0.28, 1.44, -0.41, -1.22},
      {-0.30, 0.54, 0.01, 0.88, -0.13, -0.66},  {-0.71, -0.80, 0.39, -0.83, 1.05, -0.19},
      {-0.35, -1.13, 0.59, -1.48, 1.11, 0.38},  {0.16, -1.11, -0.39, 1.63, -0.85, -1.62},
      {1.51, 1.42, -2.17, -0.07, -2.06, -1.29}, {-0.50, -1.81, 1.87, -1.23, 2.00, -0.71},
      {0.34, -0.70, -0.88, 0.63, -0.51, -0.50}};
  KelMatrix F(9, 6);
  KelVector y(9);
  for (int i = 1; i <= 9; ++i) {
    F(i, 1) = 1.0;
    for (int j = 2; j <= 6; ++j) F(i, j) = data[i - 1][j - 2];
    y(i) = data[i - 1][5];
  }
  ASSERT_EQ(StrongestEntry(F, y, {1, 2}), 3);
  ASSERT_GE(FToEnter(F, y, {1, 2}, 3, 6), 2.0);
  ASSERT_LT(FToEnter(F, y, {1, 2}, 3, 5), 2.0);
  ASSERT_EQ(StrongestEntry(F, y, {1, 2, 3}), 4);
  ASSERT_LT(FToEnter(F, y, {1, 2, 3}, 4, 5), 2.0);
  ASSERT_GT(FToEnter(F, y, {1, 2, 3}, 4, 6), 2.0);
  ASSERT_LT(FitSubset(F, y, {1, 3, 4}).mse, FitSubset(F, y, {1, 2, 3}).mse);

  KelLinearRegression regression(F, y);
  const KelMatrix& parameters = regression.StepwiseParameters();
  ASSERT_EQ(ColumnsInRow(parameters, 3), (std::vector<int>{1, 2, 3}));
  const SubsetFit pair = FitSubset(F, y, {1, 2, 3});
  EXPECT_TRUE(lr_test::RelativelyNear(regression.StepwiseMeanSquareErrors()(3), pair.mse, 1e-10));
  for (int j : {1, 2, 3})
    EXPECT_TRUE(lr_test::RelativelyNear(parameters(3, j), pair.coefficients[j], 1e-10)) << j;
}

TEST(StepwiseAnalysis, RunsOnceAndNewDataStartAfresh) {
  const KelMatrix F(5, 2, 1., 1., 1., 2., 1., 3., 1., 4., 1., 5.);
  const KelVector y(5, 3.1, 4.8, 7.0, 9.2, 10.9);
  KelLinearRegression regression(F, y);
  const std::string first = kel_test::CaptureOutput([&] { regression.StepwiseAnalysis(); });
  const std::string second = kel_test::CaptureOutput([&] { regression.StepwiseAnalysis(); });
  EXPECT_EQ(first, second);
  // Doubling y doubles every parameter and quadruples the errors.
  KelVector y2 = y;
  y2 *= 2.0;
  regression.Initialize(F, y2);
  EXPECT_NEAR(regression.StepwiseParameters()(2, 2), 2.0 * 2.0, 1e-12);
  EXPECT_NEAR(regression.StepwiseMeanSquareErrors()(1), 4.0 * 40.1 / 4.0, 1e-10);
}

// ---------------------------------------------------------------------------------------------
// The 20 x 9 data set of the regression demonstration against the exhaustive best subsets.
//
// The data set is built as the demonstration builds it: four significant digits with halves
// rounded away from zero, so 15^4 = 50625 is held as 50630; that is the matrix of
// stepwise_X20.txt (the other file assumes 50620).

class StepwiseX20 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    regression = std::make_unique<KelLinearRegression>(lr_test::MakeX20(), lr_test::MakeY20());
    regression->SetResponseVariance(0.013, 4);
    reference = std::make_unique<lr_test::Reference>("r/stepwise_X20.txt");
  }
  static void TearDownTestSuite() {
    regression.reset();
    reference.reset();
  }
  static std::unique_ptr<KelLinearRegression> regression;
  static std::unique_ptr<lr_test::Reference> reference;
};

std::unique_ptr<KelLinearRegression> StepwiseX20::regression;
std::unique_ptr<lr_test::Reference> StepwiseX20::reference;

TEST_F(StepwiseX20, DataSetIsTheOneOfTheReferenceFile) {
  const KelMatrix X = lr_test::MakeX20();
  EXPECT_EQ(X(15, 5), 50630.0);
  for (int i = 1; i <= 20; ++i)
    for (int j = 1; j <= 9; ++j) EXPECT_EQ(X(i, j), (*reference)("X20", i, j)) << i << "," << j;
}

// The sweeps work on the correlation matrix, so a mean square error near 1 - R^2 = 4e-8 keeps
// only about 1e-8 of relative accuracy; the parameters and t ratios follow.
TEST_F(StepwiseX20, SizesOneToFourAreTheExhaustiveBestSubsets) {
  const KelMatrix& parameters = regression->StepwiseParameters();
  const KelMatrix& tRatios = regression->StepwiseTRatios();
  const KelVector& mse = regression->StepwiseMeanSquareErrors();
  for (int k = 1; k <= 4; ++k) {
    const std::string key = "best_" + std::to_string(k);
    ASSERT_EQ(ColumnsInRow(parameters, k), ParseColumns(reference->Text(key + ".columns")))
        << "size " << k;
    EXPECT_TRUE(lr_test::RelativelyNear(mse(k), (*reference)(key + ".MSE"), 1e-7)) << k;
    for (int j = 1; j <= 9; ++j) {
      const double coefficient = (*reference)(key + ".coef", j);
      if (coefficient == 0.0) continue;
      EXPECT_TRUE(lr_test::RelativelyNear(parameters(k, j), coefficient, 1e-6)) << k << "," << j;
      EXPECT_TRUE(lr_test::RelativelyNear(tRatios(k, j), (*reference)(key + ".t", j), 1e-6))
          << k << "," << j;
    }
  }
}

// Where no run meets the global best, the table still holds a genuine model of that size: its
// error is that subset's own least-squares error and never below the exhaustive minimum.
TEST_F(StepwiseX20, LargerSizesHoldGenuineSubsetsNoBetterThanTheExhaustiveBest) {
  const KelMatrix& parameters = regression->StepwiseParameters();
  const KelVector& mse = regression->StepwiseMeanSquareErrors();
  const KelMatrix X = lr_test::MakeX20();
  const KelVector y = lr_test::MakeY20();
  int reached = 0;
  for (int k = 5; k <= 9; ++k) {
    if (mse(k) == kNoModel) continue;
    ++reached;
    const std::vector<int> columns = ColumnsInRow(parameters, k);
    ASSERT_EQ(static_cast<int>(columns.size()), k);
    EXPECT_EQ(columns.front(), 1);
    const double best = (*reference)("best_" + std::to_string(k) + ".MSE");
    EXPECT_GE(mse(k), best * (1.0 - 1e-7)) << k;
    const SubsetFit fit = FitSubset(X, y, columns);
    EXPECT_TRUE(lr_test::RelativelyNear(mse(k), fit.mse, 1e-5)) << k;
  }
  EXPECT_GE(reached, 1);
}

// Entering the last columns would need pivots below the search's collinearity tolerance
// (e^(x/10), ln x and sqrt x are fitted by the powers of x to within their four-digit
// rounding), so the largest models are out of reach; their sizes print the problem line.
TEST_F(StepwiseX20, ReportNamesTheSizesNoRunReached) {
  const KelVector& mse = regression->StepwiseMeanSquareErrors();
  const std::string text = kel_test::CaptureOutput([&] { regression->StepwiseAnalysis(); });
  for (int k = 1; k <= 9; ++k) {
    const std::string problem =
        "\nThere are problems in models with " + std::to_string(k) + " parameters";
    EXPECT_EQ(text.find(problem) != std::string::npos, mse(k) == kNoModel) << k;
  }
  // The best size over all models is 3 (columns 1, 4 and 7), the model the demonstration fits
  // next.
  int bestSize = 0;
  for (int k = 2; k <= 9; ++k)
    if (bestSize == 0 || mse(k) < mse(bestSize)) bestSize = k;
  EXPECT_EQ(bestSize, static_cast<int>((*reference)("best_size")));
}

}  // namespace
