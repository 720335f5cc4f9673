// The least-squares fit against R (lm and summary) on the data sets of the regression
// demonstration, and the fit's rules: exact Student t quantiles, intercept detection, rank
// deficiency, assigned variance, leave-one-out verdicts, constructors and their fatal errors.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>

#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"
#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression_test_data.h"

namespace {

using lr_test::Reference;
using lr_test::RelativelyNear;

constexpr double kValueTolerance = 1e-8;
constexpr double kProbabilityTolerance = 1e-5;

struct DataSet {
  const char* name;
  const char* file;
  KelMatrix (*regressors)();
  KelVector (*responses)();
};
// Names the case in test listings instead of a byte dump of the struct.
void PrintTo(const DataSet& value, std::ostream* os) {
  *os << value.name;
}

const DataSet kDataSets[] = {
    {"X6", "r/lm_X6.txt", lr_test::MakeX6, lr_test::MakeY6},
    {"x12", "r/lm_x12.txt", lr_test::MakeX12, lr_test::MakeY12},
    {"Xc", "r/lm_Xc.txt", lr_test::MakeXc, lr_test::MakeYc},
    {"X20_147", "r/lm_X20_147.txt", lr_test::MakeX20Columns147, lr_test::MakeY20},
};

class FitAgainstR : public ::testing::TestWithParam<DataSet> {
 protected:
  FitAgainstR() : reference(GetParam().file) {}
  Reference reference;
};

TEST_P(FitAgainstR, DataSetIsBuiltAsTheReferenceHoldsIt) {
  const KelMatrix F = GetParam().regressors();
  const KelVector y = GetParam().responses();
  ASSERT_EQ(F.Rows(), reference("m"));
  ASSERT_EQ(F.Columns(), reference("n"));
  for (int i = 1; i <= F.Rows(); ++i) {
    EXPECT_EQ(y(i), reference("y", i)) << i;
    for (int j = 1; j <= F.Columns(); ++j)
      EXPECT_EQ(F(i, j), reference("F", i, j)) << i << "," << j;
  }
}

TEST_P(FitAgainstR, ParametersStandardErrorsTValuesAndPValuesWithoutAssignedVariance) {
  KelLinearRegression regression(GetParam().regressors(), GetParam().responses());
  const KelVector b = regression.Parameters();
  const KelVector se = regression.ParameterStandardErrors();
  const KelVector t = regression.ParameterTValues();
  const KelVector p = regression.ParameterPValues();
  for (int i = 1; i <= regression.NumberOfParameters(); ++i) {
    EXPECT_TRUE(RelativelyNear(b(i), reference("coefficient", i), kValueTolerance)) << i;
    EXPECT_TRUE(RelativelyNear(se(i), reference("se_mse", i), kValueTolerance)) << i;
    EXPECT_TRUE(RelativelyNear(t(i), reference("t_mse", i), kValueTolerance)) << i;
    EXPECT_TRUE(RelativelyNear(p(i), reference("p_mse", i), kProbabilityTolerance)) << i;
  }
  KelVector fromQuery;
  regression.GetParameters(fromQuery);
  EXPECT_TRUE(fromQuery == b);
  EXPECT_EQ(regression.VarianceUsed(), regression.MeanSquareError());
}

TEST_P(FitAgainstR, StandardErrorsScaleWithTheAssignedVariance) {
  const double sigma2 = reference("sigma2");
  if (sigma2 == 0.0) GTEST_SKIP() << "no variance assigned in this data set";
  KelLinearRegression regression(GetParam().regressors(), GetParam().responses());
  regression.SetResponseVariance(sigma2, static_cast<int>(reference("sigma2_dof")));
  const KelVector se = regression.ParameterStandardErrors();
  const KelVector t = regression.ParameterTValues();
  const KelVector p = regression.ParameterPValues();
  const KelMatrixSymmetric& cov = regression.Covariance();
  const int n = regression.NumberOfParameters();
  for (int i = 1; i <= n; ++i) {
    EXPECT_TRUE(RelativelyNear(se(i), reference("se_sigma2", i), kValueTolerance)) << i;
    EXPECT_TRUE(RelativelyNear(t(i), reference("t_sigma2", i), kValueTolerance)) << i;
    EXPECT_TRUE(RelativelyNear(p(i), reference("p_sigma2", i), kProbabilityTolerance)) << i;
    for (int j = 1; j <= n; ++j)
      EXPECT_TRUE(RelativelyNear(cov(i, j), reference("cov_used", i, j), kValueTolerance));
  }
  const KelVector& seY = regression.EstimatedResponseStandardErrors();
  for (int j = 1; j <= regression.Experiments(); ++j)
    EXPECT_TRUE(RelativelyNear(seY(j), reference("se_yhat_sigma2", j), kValueTolerance)) << j;
  // The residual statistics still come from the residuals.
  EXPECT_TRUE(RelativelyNear(regression.MeanSquareError(), reference("MSE"), kValueTolerance));
  EXPECT_EQ(regression.VarianceUsed(), sigma2);
  EXPECT_TRUE(RelativelyNear(regression.FExperimental(), reference("Fexp"), kValueTolerance));
  EXPECT_TRUE(
      RelativelyNear(regression.FTestProbability(), reference("F_test_P"), kProbabilityTolerance));
}

TEST_P(FitAgainstR, GoodnessOfFitAndConditioning) {
  KelLinearRegression regression(GetParam().regressors(), GetParam().responses());
  EXPECT_TRUE(RelativelyNear(regression.GetR2(), reference("R2"), kValueTolerance));
  EXPECT_TRUE(RelativelyNear(regression.AdjustedR2(), reference("adjusted_R2"), kValueTolerance));
  EXPECT_TRUE(
      RelativelyNear(regression.StandardDeviation(), reference("residual_sd"), kValueTolerance));
  EXPECT_TRUE(RelativelyNear(regression.MeanSquareError(), reference("MSE"), kValueTolerance));
  EXPECT_TRUE(RelativelyNear(regression.SumOfSquares(), reference("SS"), kValueTolerance));
  EXPECT_TRUE(
      RelativelyNear(regression.ResidualsNorm(), reference("residual_norm"), kValueTolerance));
  EXPECT_TRUE(RelativelyNear(regression.TotalSumOfSquares(), reference("SST"), kValueTolerance));
  if (regression.HasIntercept()) {
    EXPECT_TRUE(RelativelyNear(regression.CorrectedTotalSumOfSquares(), reference("SSTc"),
                               kValueTolerance));
  }
  EXPECT_EQ(regression.HasIntercept(), reference("intercept") == 1.0);
  EXPECT_TRUE(RelativelyNear(regression.ParametersNorm(), reference("b_norm"), kValueTolerance));
  EXPECT_TRUE(
      RelativelyNear(regression.ConditionNumber(), reference("condition_number"), kValueTolerance));
  const KelVector& d = regression.SingularValues();
  for (int i = 1; i <= regression.NumberOfParameters(); ++i)
    EXPECT_TRUE(RelativelyNear(d(i), reference("singular_value", i), kValueTolerance)) << i;
}

TEST_P(FitAgainstR, EstimatedResponsesResidualsAndTheirStandardErrors) {
  KelLinearRegression regression(GetParam().regressors(), GetParam().responses());
  const KelVector& fitted = regression.EstimatedResponses();
  const KelVector& residuals = regression.Residuals();
  const KelVector& seY = regression.EstimatedResponseStandardErrors();
  const KelMatrixSymmetric& cov = regression.Covariance();
  for (int j = 1; j <= regression.Experiments(); ++j) {
    EXPECT_TRUE(RelativelyNear(fitted(j), reference("fitted", j), kValueTolerance)) << j;
    // Residuals are differences of nearby numbers: relative to the response scale.
    EXPECT_NEAR(residuals(j), reference("residual", j),
                kValueTolerance * std::fabs(reference("fitted", j)))
        << j;
    EXPECT_TRUE(RelativelyNear(seY(j), reference("se_yhat_mse", j), kValueTolerance)) << j;
  }
  for (int i = 1; i <= regression.NumberOfParameters(); ++i)
    for (int k = 1; k <= regression.NumberOfParameters(); ++k)
      EXPECT_TRUE(RelativelyNear(cov(i, k), reference("cov_mse", i, k), kValueTolerance));
}

TEST_P(FitAgainstR, LeaveOneOutBestSumAndVerdict) {
  KelLinearRegression plain(GetParam().regressors(), GetParam().responses());
  EXPECT_EQ(plain.LeaveOneOutBestIndex(), reference("loo_best_index"));
  EXPECT_TRUE(
      RelativelyNear(plain.LeaveOneOutBestSumOfSquares(), reference("loo_best"), kValueTolerance));
  // Without an assigned variance the rule reads P / MSE directly.
  const double ratio = reference("loo_P_over_MSE");
  const int best = static_cast<int>(reference("loo_best_index"));
  EXPECT_EQ(plain.HighlyProbableOutlier(), ratio < 0.5 ? best : 0);
  EXPECT_EQ(plain.ProbableOutlier(), ratio >= 0.5 && ratio < 0.8 ? best : 0);

  KelLinearRegression assigned(GetParam().regressors(), GetParam().responses());
  assigned.SetResponseVariance(reference("sigma2"), static_cast<int>(reference("sigma2_dof")));
  const std::string verdict = reference.Text("loo_verdict");
  int expectedHigh = 0;
  int expectedProbable = 0;
  if (verdict.rfind("highly probable outlier: experiment ", 0) == 0)
    expectedHigh = std::stoi(verdict.substr(verdict.rfind(' ') + 1));
  if (verdict.rfind("probable outlier: experiment ", 0) == 0)
    expectedProbable = std::stoi(verdict.substr(verdict.rfind(' ') + 1));
  EXPECT_EQ(assigned.HighlyProbableOutlier(), expectedHigh) << verdict;
  EXPECT_EQ(assigned.ProbableOutlier(), expectedProbable) << verdict;
}

INSTANTIATE_TEST_SUITE_P(DemonstrationDataSets, FitAgainstR, ::testing::ValuesIn(kDataSets),
                         [](const ::testing::TestParamInfo<DataSet>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------

TEST(LinearRegressionFit, ConfidenceIntervalsUseExactStudentQuantiles) {
  // R: confint(lm(y ~ x)) and qt on x(i) = i/m, y(i) = 1 + 2 x(i) + sin(i)/10, m = dof + 2, from
  // one residual degree of freedom (where t95 = 12.7062...) to a thousand; the quantile itself
  // is checked up to a million degrees of freedom with the distributions.
  const Reference r("r/t_quantiles.txt");
  for (const char* dofText : {"1", "2", "5", "20", "21", "28", "100", "1000"}) {
    const int dof = static_cast<int>(std::stod(dofText));
    const int m = dof + 2;
    KelMatrix F(m, 2);
    KelVector y(m);
    for (int i = 1; i <= m; ++i) {
      F(i, 1) = 1.0;
      F(i, 2) = static_cast<double>(i) / m;
      y(i) = 1.0 + 2.0 * F(i, 2) + std::sin(static_cast<double>(i)) / 10.0;
    }
    KelLinearRegression regression(F, y);
    const std::string key = std::string("[") + dofText + ",";
    EXPECT_TRUE(RelativelyNear(regression.T95(), r("t" + key + "0.025]"), 1e-10)) << dofText;
    EXPECT_TRUE(RelativelyNear(regression.T99(), r("t" + key + "0.005]"), 1e-10)) << dofText;
    const KelVector& b = regression.Parameters();
    const KelVector& se = regression.ParameterStandardErrors();
    const double quantiles[2] = {regression.T95(), regression.T99()};
    const char* levels[2] = {"0.95", "0.99"};
    for (int level = 0; level < 2; ++level) {
      for (int j = 1; j <= 2; ++j) {
        const std::string ci = "ci" + key + levels[level] + "," + std::to_string(j) + ",";
        EXPECT_TRUE(RelativelyNear(b(j) - quantiles[level] * se(j), r(ci + "1]"), 1e-9)) << ci;
        EXPECT_TRUE(RelativelyNear(b(j) + quantiles[level] * se(j), r(ci + "2]"), 1e-9)) << ci;
      }
    }
  }
}

TEST(LinearRegressionFit, OneDegreeOfFreedomFlagsNoOutlier) {
  KelLinearRegression one(KelMatrix(3, 2, 1., 1., 1., 2., 1., 4.), KelVector(3, 1., 3., 2.));
  EXPECT_EQ(one.HighlyProbableOutlier(), 0);
  EXPECT_EQ(one.ProbableOutlier(), 0);
}

TEST(LinearRegressionFit, FirstColumnNotExactlyOneMeansNoIntercept) {
  // y = (1, 2, 4) on F = [(1, 0), (1, 1), (1 + 1e-15, 2)]: no intercept, uncentred R^2.
  KelMatrix F(3, 2, 1., 0., 1., 1., 1. + 1e-15, 2.);
  KelLinearRegression regression(F, KelVector(3, 1., 2., 4.));
  EXPECT_FALSE(regression.HasIntercept());
  const double ss = regression.SumOfSquares();
  EXPECT_NEAR(regression.GetR2(), 1.0 - ss / 21.0, 1e-15);
  EXPECT_EQ(regression.TotalSumOfSquares(), 21.0);
  // Hand fit of the intercept model: b = (5/6, 3/2), SS = 1/6.
  EXPECT_NEAR(ss, 1.0 / 6.0, 1e-12);
  KelMatrix G(3, 2, 1., 0., 1., 1., 1., 2.);
  KelLinearRegression intercept(G, KelVector(3, 1., 2., 4.));
  EXPECT_TRUE(intercept.HasIntercept());
  // SSTc = 14/3, R^2 = 1 - (1/6)/(14/3) = 27/28; adjusted: 1 - (1/6)/(14/3/2) = 13/14.
  EXPECT_NEAR(intercept.GetR2(), 27.0 / 28.0, 1e-14);
  EXPECT_NEAR(intercept.AdjustedR2(), 13.0 / 14.0, 1e-14);
  EXPECT_NEAR(intercept.CorrectedTotalSumOfSquares(), 14.0 / 3.0, 1e-14);
}

TEST(LinearRegressionFit, AllResponsesZeroWithoutInterceptIsAnExactFit) {
  KelLinearRegression regression(KelMatrix(3, 1, 1., 2., 3.), KelVector(3));
  EXPECT_EQ(regression.TotalSumOfSquares(), 0.0);
  EXPECT_EQ(regression.GetR2(), 1.0);
  EXPECT_EQ(regression.AdjustedR2(), 1.0);
}

TEST(LinearRegressionFit, ZeroSingularValueIsLeftOutOfTheCovariance) {
  // The third column is zero: d(3) = 0, the condition number is the big value, and the
  // covariance of the first two parameters is that of the fit without the column.
  KelMatrix F(5, 3);
  KelMatrix G(5, 2);
  const KelVector y(5, 1.0, 2.5, 2.9, 4.2, 5.1);
  for (int i = 1; i <= 5; ++i) {
    F(i, 1) = G(i, 1) = 1.0;
    F(i, 2) = G(i, 2) = i;
  }
  KelLinearRegression deficient(F, y);
  deficient.SetResponseVariance(0.5, 3);
  KelLinearRegression full(G, y);
  full.SetResponseVariance(0.5, 3);
  EXPECT_EQ(deficient.SingularValues()(3), 0.0);
  EXPECT_EQ(deficient.ConditionNumber(), kelBigValue);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(deficient.Covariance()(3, i), 0.0);
  for (int i = 1; i <= 2; ++i)
    for (int k = 1; k <= 2; ++k)
      EXPECT_NEAR(deficient.Covariance()(i, k), full.Covariance()(i, k), 1e-13);
  EXPECT_EQ(deficient.ParameterStandardErrors()(3), 0.0);  // no floor
  EXPECT_NEAR(deficient.Parameters()(3), 0.0, 1e-14);
}

// A column repeated exactly: the column-scaled F keeps one singular value fewer, and the
// leverages, the standard errors of the estimated responses and the Breusch-Pagan statistic are
// those of the fit without the copy (the left singular vectors kept span the same space), while
// U stays an orthonormal basis that reproduces F with the singular values.
TEST(LinearRegressionFit, RepeatedColumnLeavesTheProjectionOfTheFitWithoutIt) {
  const int m = 300;
  KelMatrix F(m, 5);
  KelMatrix G(m, 4);
  KelVector y(m);
  for (int i = 1; i <= m; ++i) {
    const double x = 0.01 * i;
    F(i, 1) = G(i, 1) = 1.0;
    F(i, 2) = G(i, 2) = x;
    F(i, 3) = G(i, 3) = std::sin(7.0 * x);
    F(i, 4) = G(i, 4) = 1e3 * std::cos(3.0 * x);
    F(i, 5) = F(i, 2);
    y(i) = 2.0 + x + 0.5 * std::sin(7.0 * x) + 0.3 * std::sin(101.0 * i) * (1.0 + x);
  }
  KelLinearRegression repeated(F, y);
  KelLinearRegression plain(G, y);
  // One variance for both: their residual degrees of freedom differ.
  repeated.SetResponseVariance(0.25, 10);
  plain.SetResponseVariance(0.25, 10);
  EXPECT_EQ(repeated.LeastSquaresFit().scaledRank, 4);
  EXPECT_EQ(plain.LeastSquaresFit().scaledRank, 4);
  for (int i = 1; i <= m; ++i) {
    EXPECT_NEAR(repeated.Leverages()(i), plain.Leverages()(i), 1e-13) << i;
    EXPECT_NEAR(repeated.EstimatedResponseStandardErrors()(i),
                plain.EstimatedResponseStandardErrors()(i), 1e-12)
        << i;
  }
  EXPECT_NEAR(repeated.BreuschPaganStatistic(), plain.BreuschPaganStatistic(),
              1e-10 * plain.BreuschPaganStatistic());
  KelVector d;
  KelMatrix V;
  KelMatrix U;
  repeated.GetSingularValueDecomposition(d, V, U);
  for (int j = 1; j <= 5; ++j)
    for (int k = 1; k <= 5; ++k) {
      double dot = 0.0;
      for (int i = 1; i <= m; ++i) dot += U(i, j) * U(i, k);
      EXPECT_NEAR(dot, j == k ? 1.0 : 0.0, 1e-13) << j << ", " << k;
    }
  for (int i = 1; i <= m; ++i)
    for (int c = 1; c <= 5; ++c) {
      double value = 0.0;
      for (int k = 1; k <= 5; ++k) value += U(i, k) * d(k) * V(c, k);
      EXPECT_NEAR(value, F(i, c), 1e-12 * std::max(1.0, std::fabs(F(i, c)))) << i << ", " << c;
    }
}

TEST(LinearRegressionFit, WeightedRightVectorsAndDecompositionQueries) {
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  KelVector d;
  KelMatrix V;
  KelMatrix U;
  regression.GetSingularValueDecomposition(d, V, U);
  ASSERT_EQ(d.Size(), 2);
  ASSERT_EQ(U.Rows(), 6);
  KelMatrix W;
  regression.GetWeightedRightVectors(W);
  ASSERT_EQ(W.Rows(), 2);
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_EQ(W(i, j), V(j, i) / d(i));
  // F = U D V^T reproduces the data.
  for (int r = 1; r <= 6; ++r)
    for (int c = 1; c <= 2; ++c) {
      double value = 0.0;
      for (int k = 1; k <= 2; ++k) value += U(r, k) * d(k) * V(c, k);
      EXPECT_NEAR(value, lr_test::MakeX6()(r, c), 1e-13);
    }
}

// Handing the data over: F and y are left empty, the object's serial number is its own, and
// the fit is the one of the copying constructor, bit for bit; Initialize by moving forgets the
// assigned variance like the copying one.
TEST(LinearRegressionFit, MovedDataGiveTheFitOfCopiedData) {
  const KelMatrix F = lr_test::MakeX12();
  const KelVector y = lr_test::MakeY12();
  KelLinearRegression copied(F, y);
  KelMatrix handedF = F;
  KelVector handedY = y;
  KelLinearRegression moved(std::move(handedF), std::move(handedY));
  EXPECT_EQ(handedF.Rows(), 0);
  EXPECT_EQ(handedY.Size(), 0);
  EXPECT_EQ(moved.GetSerialNumber(), copied.GetSerialNumber() + 1);
  for (int j = 1; j <= F.Columns(); ++j) {
    EXPECT_EQ(moved.Parameters()(j), copied.Parameters()(j));
    EXPECT_EQ(moved.ParameterStandardErrors()(j), copied.ParameterStandardErrors()(j));
  }
  moved.SetResponseVariance(0.5, 4);
  KelMatrix again = F;
  KelVector againY = y;
  moved.Initialize(std::move(again), std::move(againY));
  EXPECT_EQ(again.Rows(), 0);
  EXPECT_EQ(moved.ResponseVariance(), 0.0);
  EXPECT_EQ(moved.GetR2(), copied.GetR2());
}

TEST(LinearRegressionFit, InitializeForgetsVarianceAndEarlierResults) {
  KelLinearRegression regression(lr_test::MakeX12(), lr_test::MakeY12());
  regression.SetResponseVariance(0.04, 5);
  const double firstR2 = regression.GetR2();
  regression.Initialize(lr_test::MakeX6(), lr_test::MakeY6());
  EXPECT_EQ(regression.ResponseVariance(), 0.0);
  EXPECT_EQ(regression.ResponseVarianceDegreesOfFreedom(), 0);
  EXPECT_EQ(regression.Experiments(), 6);
  EXPECT_NE(regression.GetR2(), firstR2);
  EXPECT_TRUE(RelativelyNear(regression.GetR2(), 0.9856021896066548, kValueTolerance));
  EXPECT_EQ(regression.VarianceUsed(), regression.MeanSquareError());
}

TEST(LinearRegressionFit, SelectionConstructorPicksRowsAndColumns) {
  const KelMatrix X = lr_test::MakeX20();
  const KelVector Y = lr_test::MakeY20();
  KelVectorInt columns(3);
  columns(1) = 1;
  columns(2) = 4;
  columns(3) = 7;
  KelVectorInt rows(20);
  for (int i = 1; i <= 20; ++i) rows(i) = i;
  KelLinearRegression selected(X, Y, columns, rows);
  KelLinearRegression direct(lr_test::MakeX20Columns147(), Y);
  EXPECT_TRUE(selected.Parameters() == direct.Parameters());
  // Rows in another order and a subset.
  KelVectorInt some(4);
  some(1) = 5;
  some(2) = 2;
  some(3) = 9;
  some(4) = 7;
  KelVectorInt two(2);
  two(1) = 2;
  two(2) = 1;
  KelLinearRegression subset(X, Y, two, some);
  // Columns (x, 1): slope and intercept of y on x for x = 5, 2, 9, 7.
  const double xs[4] = {5, 2, 9, 7};
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < 4; ++i) {
    const double yi = Y(some(i + 1));
    sx += xs[i];
    sy += yi;
    sxx += xs[i] * xs[i];
    sxy += xs[i] * yi;
  }
  const double slope = (4 * sxy - sx * sy) / (4 * sxx - sx * sx);
  EXPECT_NEAR(subset.Parameters()(1), slope, 1e-10 * std::fabs(slope));
  EXPECT_NEAR(subset.Parameters()(2), (sy - slope * sx) / 4, 1e-9);
}

TEST(LinearRegressionFit, SerialNumbersAndLiveCount) {
  const int alive = KelLinearRegression::counter.aliveCount;
  {
    KelLinearRegression a;
    KelLinearRegression b(lr_test::MakeX6(), lr_test::MakeY6());
    EXPECT_EQ(b.GetSerialNumber(), a.GetSerialNumber() + 1);
    EXPECT_EQ(KelLinearRegression::counter.aliveCount, alive + 2);
  }
  EXPECT_EQ(KelLinearRegression::counter.aliveCount, alive);
}

// A fit takes over the containers of the fit before it, so its results keep their serial numbers
// across refits and a fit draws no symmetric matrix: the numbers that later objects print do not
// depend on how often the fit ran.
TEST(LinearRegressionFit, RefitKeepsTheSerialNumbersOfItsResults) {
  KelLinearRegression r(lr_test::MakeX6(), lr_test::MakeY6());
  const int symmetricDrawn = KelMatrixSymmetric::counter.createdCount;
  const int covarianceNumber = r.Covariance().GetSerialNumber();
  const int parametersNumber = r.Parameters().GetSerialNumber();
  EXPECT_EQ(KelMatrixSymmetric::counter.createdCount, symmetricDrawn);
  r.Initialize(lr_test::MakeX20(), lr_test::MakeY20());
  EXPECT_EQ(r.Covariance().GetSerialNumber(), covarianceNumber);
  EXPECT_EQ(r.Parameters().GetSerialNumber(), parametersNumber);
  EXPECT_EQ(r.Parameters().Size(), 9);
  EXPECT_EQ(KelMatrixSymmetric::counter.createdCount, symmetricDrawn);
}

// ---------------------------------------------------------------------------------------------

// The detail line names the shape refused, or the selection's shape and that of the data.
const std::string kDimension = "KelLinearRegression class\n\nDimension check failure\n";

TEST(LinearRegressionFitDeathTest, AsManyParametersAsExperimentsIsFatal) {
  EXPECT_KEL_FATAL(KelLinearRegression(KelMatrix(2, 2, 1., 2., 3., 5.), KelVector(2, 1., 2.)),
                   kDimension + "2 x 2");
  KelLinearRegression empty;
  EXPECT_KEL_FATAL(empty.Initialize(KelMatrix(2, 3), KelVector(2)), kDimension + "2 x 3");
}

TEST(LinearRegressionFitDeathTest, SelectionConstructorChecksInOrder) {
  const KelMatrix X = lr_test::MakeX20();
  const KelVector Y = lr_test::MakeY20();
  KelVectorInt none;
  KelVectorInt three(3);
  three(1) = 1;
  three(2) = 2;
  three(3) = 3;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, three, none),
                   "KelLinearRegression class\n\nDimension check failure\n\nConstructor: "
                   "Constructor\n0 x 3");
  KelVectorInt two(2);
  two(1) = 1;
  two(2) = 2;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, three, two), kDimension + "2 x 3 and 20 x 9");
  // m = n is rejected: the fit would have no residual degrees of freedom.
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, three, three), kDimension + "3 x 3 and 20 x 9");
  KelVectorInt tenColumns(10);
  KelVectorInt rows(20);
  for (int i = 1; i <= 20; ++i) rows(i) = i;
  for (int j = 1; j <= 10; ++j) tenColumns(j) = 1;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, tenColumns, rows), kDimension + "20 x 10 and 20 x 9");
  KelVectorInt manyRows(21);
  for (int i = 1; i <= 21; ++i) manyRows(i) = 1;
  EXPECT_KEL_FATAL(KelLinearRegression(X, Y, three, manyRows), kDimension + "21 x 3 and 20 x 9");
}

TEST(LinearRegressionFitDeathTest, ConstantResponsesOfAnInterceptModelAreFatal) {
  KelLinearRegression regression(lr_test::MakeX6(), KelVector(6, 2., 2., 2., 2., 2., 2.));
  EXPECT_KEL_FATAL(regression.GetR2(), "KelLinearRegression class\n\nssm == 0.");
}

TEST(LinearRegressionFitDeathTest, ResponsesOfAnotherLengthAreFatalAtTheFit) {
  KelLinearRegression regression(lr_test::MakeX6(), KelVector(5, 1., 2., 3., 4., 5.));
  EXPECT_KEL_FATAL(regression.GetR2(), std::string(kDimension) + "y has 5 elements, F has 6 rows");
}

}  // namespace

namespace {

TEST(LinearRegressionFit, VarianceAssignedAfterAQueryIsUsedByTheNextOne) {
  const Reference reference("r/lm_X6.txt");
  KelLinearRegression regression(lr_test::MakeX6(), lr_test::MakeY6());
  EXPECT_TRUE(
      RelativelyNear(regression.ParameterStandardErrors()(1), reference("se_mse", 1), 1e-8));
  regression.SetResponseVariance(0.025, 5);
  EXPECT_TRUE(
      RelativelyNear(regression.ParameterStandardErrors()(1), reference("se_sigma2", 1), 1e-8));
}

TEST(LinearRegressionFit, PrintObjectStartsWithTheNumberAndTheDataBlock) {
  KelLinearRegression regression(KelMatrix(3, 2, 1., 0., 1., 1., 1., 2.), KelVector(3, 1., 2., 4.));
  const std::string text = kel_test::CaptureOutput([&] { regression.Print("Title %d", 7); });
  const std::string expected = "\nTitle 7\nKelLinearRegression No." +
                               std::to_string(regression.GetSerialNumber()) +
                               "\n\nNumber of Experiments = 3\nNumber of Parameters = 2"
                               "\nDegrees of Freedom = 1\n\nResponse Variable:\n"
                               "\n    1    1.0000000e+00\n    2    2.0000000e+00"
                               "\n    3    4.0000000e+00\nMatrix F\nKelMatrix No.";
  EXPECT_EQ(text.compare(0, expected.size(), expected), 0) << text.substr(0, 400);
  const size_t leastSquares = text.find("\nLeast Squares Regression Analysis");
  const size_t singular = text.find("\nSingular Value Decomposition Analysis");
  EXPECT_NE(leastSquares, std::string::npos);
  EXPECT_NE(singular, std::string::npos);
  EXPECT_LT(leastSquares, singular);
}

// No floor under the standard errors: a known variance of 1e-300 gives standard errors 1e-150
// times those of a variance of 1 (not 1e-20), with t values 1e150 times as large; an exact fit
// gives standard errors 0.
TEST(LinearRegressionFit, TinyKnownVarianceGivesStandardErrorsOfItsOwnScale) {
  const KelMatrix F(5, 2, 1., 1., 1., 2., 1., 4., 1., 5., 1., 7.);
  const KelVector y(5, 1., 2., 3., 5., 4.);
  KelLinearRegression unit(F, y);
  unit.SetResponseVariance(1.0, 10);
  KelLinearRegression tiny(F, y);
  tiny.SetResponseVariance(1e-300, 10);
  for (int k = 1; k <= 2; ++k) {
    EXPECT_NEAR(tiny.ParameterStandardErrors()(k) / unit.ParameterStandardErrors()(k), 1e-150,
                1e-163);
  }
  KelLinearRegression exact(F, KelVector(5, 3., 5., 9., 11., 15.));  // y = 1 + 2x
  EXPECT_EQ(exact.ParameterStandardErrors()(1), 0.0);
  EXPECT_EQ(exact.ParameterStandardErrors()(2), 0.0);
}

}  // namespace
