// Tj tolerances and column-correlation factors from one factorization, against the regression
// of each column on the others done independently: Gram-Schmidt in long double, twice.
#include "linear_regression/kel_linear_regression_collinearity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kel_test_support.h"
#include "linear_regression/kel_linear_regression.h"

namespace {

using Column = std::vector<long double>;

Column ColumnOf(const KelMatrix& F, int j) {
  Column c(static_cast<size_t>(F.Rows()));
  for (int i = 1; i <= F.Rows(); ++i) c[static_cast<size_t>(i - 1)] = F(i, j);
  return c;
}

long double Dot(const Column& a, const Column& b) {
  long double s = 0.0L;
  for (size_t i = 0; i < a.size(); ++i) s += a[i] * b[i];
  return s;
}

// Residual of target after projecting out the span of basis (modified Gram-Schmidt with a
// second pass, in long double).
Column Residual(std::vector<Column> basis, Column target) {
  std::vector<Column> q;
  for (Column& v : basis) {
    for (int pass = 0; pass < 2; ++pass)
      for (const Column& u : q) {
        const long double p = Dot(u, v);
        for (size_t i = 0; i < v.size(); ++i) v[i] -= p * u[i];
      }
    const long double norm = std::sqrt(Dot(v, v));
    if (norm == 0.0L) continue;
    for (long double& x : v) x /= norm;
    q.push_back(v);
  }
  for (int pass = 0; pass < 2; ++pass)
    for (const Column& u : q) {
      const long double p = Dot(u, target);
      for (size_t i = 0; i < target.size(); ++i) target[i] -= p * u[i];
    }
  return target;
}

Column Centred(Column c) {
  long double mean = 0.0L;
  for (long double x : c) mean += x;
  mean /= static_cast<long double>(c.size());
  for (long double& x : c) x -= mean;
  return c;
}

struct Expected {
  std::vector<double> tolerances;
  std::vector<double> factors;
};

// T(i) = SS of column i on the other columns (with a column of ones when that regression has an
// intercept) over its sum of squares (centred with an intercept); K(i) = distance of the
// normalized column i from the span of the others (the ones column kept as it is).
Expected Reference(const KelMatrix& F, bool intercept) {
  const int n = F.Columns();
  const Column ones(static_cast<size_t>(F.Rows()), 1.0L);
  Expected e;
  e.tolerances.assign(static_cast<size_t>(n) + 1, 1.0);
  e.factors.assign(static_cast<size_t>(n) + 1, 1.0);
  for (int i = intercept ? 2 : 1; i <= n; ++i) {
    std::vector<Column> others;
    bool auxiliaryIntercept = intercept;
    for (int j = intercept ? 2 : 1; j <= n; ++j)
      if (j != i) others.push_back(ColumnOf(F, j));
    if (!intercept && i == 1) {
      bool allOnes = true;
      for (int r = 1; r <= F.Rows(); ++r) allOnes = allOnes && F(r, 2) == 1.0;
      auxiliaryIntercept = allOnes;
    }
    std::vector<Column> basis = others;
    if (intercept) basis.insert(basis.begin(), ones);
    if (auxiliaryIntercept && !intercept) basis.push_back(ones);
    const Column target = ColumnOf(F, i);
    const Column residual = Residual(basis, target);
    const Column total = auxiliaryIntercept ? Centred(target) : target;
    e.tolerances[static_cast<size_t>(i)] =
        static_cast<double>(Dot(residual, residual) / Dot(total, total));
    // Normalizing every column changes no span, so K(i) is the residual of the normalized
    // column i on the same space (with the intercept, the centred column on centred others).
    const Column normalized = intercept ? Centred(target) : target;
    const Column kResidual = Residual(basis, normalized);
    e.factors[static_cast<size_t>(i)] =
        static_cast<double>(std::sqrt(Dot(kResidual, kResidual) / Dot(normalized, normalized)));
  }
  return e;
}

bool RelativelyNear(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance * std::max(std::fabs(a), std::fabs(b));
}

// m x n with columns of scales 1e-3 .. 1e4, column 4 close to a combination of 2 and 3.
KelMatrix RandomRegressors(int m, int n, bool intercept, unsigned seed, double closeness) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0.0, 1.0);
  KelMatrix F(m, n);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) F(i, j) = (5.0 + normal(random)) * std::pow(10.0, j % 8 - 3);
  if (n >= 4)
    for (int i = 1; i <= m; ++i)
      F(i, 4) = 3.0 * F(i, 2) - 2.0 * F(i, 3) + closeness * normal(random) * F(i, 2);
  if (intercept)
    for (int i = 1; i <= m; ++i) F(i, 1) = 1.0;
  return F;
}

void ExpectMatchesReference(const KelMatrix& F, bool intercept, double tolerance) {
  const KelCollinearity c = ComputeCollinearity(F, intercept);
  const Expected e = Reference(F, intercept);
  for (int i = 1; i <= F.Columns(); ++i) {
    EXPECT_TRUE(RelativelyNear(c.tolerances(i), e.tolerances[static_cast<size_t>(i)], tolerance))
        << "T(" << i << ") " << c.tolerances(i) << " vs " << e.tolerances[static_cast<size_t>(i)];
    EXPECT_TRUE(RelativelyNear(c.columnFactors(i), e.factors[static_cast<size_t>(i)], tolerance))
        << "K(" << i << ") " << c.columnFactors(i) << " vs " << e.factors[static_cast<size_t>(i)];
  }
}

TEST(Collinearity, RandomModelsWithInterceptMatchTheRegressionOnTheOthers) {
  for (unsigned seed = 1; seed <= 6; ++seed)
    for (double closeness : {1.0, 1e-3, 1e-5}) {
      SCOPED_TRACE(seed);
      ExpectMatchesReference(
          RandomRegressors(60 + 37 * static_cast<int>(seed), 7, true, seed, closeness), true, 1e-8);
    }
}

TEST(Collinearity, RandomModelsWithoutInterceptMatchTheRegressionOnTheOthers) {
  for (unsigned seed = 11; seed <= 16; ++seed)
    for (double closeness : {1.0, 1e-3}) {
      SCOPED_TRACE(seed);
      ExpectMatchesReference(
          RandomRegressors(50 + 41 * static_cast<int>(seed % 7), 6, false, seed, closeness), false,
          1e-8);
    }
}

// Column 4 within about 1e-5 (relative) of the span of columns 2 and 3: tolerances near 1e-11
// keep eight digits. (Their factors, near 3e-6, are above the QR's singularity tolerance.)
TEST(Collinearity, NearlyDependentColumnsKeepAccurateTolerances) {
  for (unsigned seed = 21; seed <= 24; ++seed) {
    SCOPED_TRACE(seed);
    const KelMatrix F = RandomRegressors(90, 6, seed % 2 == 0, seed, 1e-5);
    const KelCollinearity c = ComputeCollinearity(F, seed % 2 == 0);
    const Expected e = Reference(F, seed % 2 == 0);
    for (int i = 2; i <= 4; ++i) {
      ASSERT_LT(e.tolerances[static_cast<size_t>(i)], 1e-9) << i;
      EXPECT_TRUE(RelativelyNear(c.tolerances(i), e.tolerances[static_cast<size_t>(i)], 1e-8))
          << "T(" << i << ") " << c.tolerances(i) << " vs " << e.tolerances[static_cast<size_t>(i)];
    }
  }
}

// Without an intercept in the model, the regression of column 1 on the others has one of its
// own when column 2 is all ones: its tolerance is the centred one.
TEST(Collinearity, OnesInColumnTwoGiveTheFirstColumnACentredTolerance) {
  KelMatrix F = RandomRegressors(40, 4, false, 7, 1.0);
  for (int i = 1; i <= 40; ++i) F(i, 2) = 1.0;
  ExpectMatchesReference(F, false, 1e-10);
  // Uncentred it would be much smaller (about 0.04): column 1 has a mean five times its spread.
  const KelCollinearity c = ComputeCollinearity(F, false);
  const Expected e = Reference(F, false);
  EXPECT_GT(c.tolerances(1), 0.5);
  EXPECT_TRUE(RelativelyNear(c.tolerances(1), e.tolerances[1], 1e-10));
}

// Two columns equal to within 1e-9: each is within the QR's singularity tolerance of the span
// of the others, so both factors are exactly 0, while the tolerances keep their tiny values.
TEST(Collinearity, NearlyEqualColumnsGiveZeroFactorsAndTinyTolerances) {
  KelMatrix F = RandomRegressors(30, 4, true, 3, 1.0);
  std::mt19937_64 random(5);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int i = 1; i <= 30; ++i) F(i, 4) = F(i, 2) * (1.0 + 1e-9 * normal(random));
  const KelCollinearity c = ComputeCollinearity(F, true);
  const Expected e = Reference(F, true);
  EXPECT_EQ(c.columnFactors(2), 0.0);
  EXPECT_EQ(c.columnFactors(4), 0.0);
  EXPECT_EQ(c.columnFactors(1), 1.0);
  for (int i : {2, 4}) {
    EXPECT_LT(c.tolerances(i), 1e-15) << i;
    EXPECT_TRUE(RelativelyNear(c.tolerances(i), e.tolerances[static_cast<size_t>(i)], 1e-4)) << i;
  }
}

TEST(Collinearity, OrthogonalColumnsAreFullyIndependent) {
  // Centred, mutually orthogonal columns beside the intercept.
  KelMatrix F(4, 3, 1., 1., 1., 1., -1., 1., 1., 1., -1., 1., -1., -1.);
  const KelCollinearity c = ComputeCollinearity(F, true);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(c.tolerances(i), 1.0, 1e-15) << i;
    EXPECT_NEAR(c.columnFactors(i), 1.0, 1e-15) << i;
  }
}

TEST(Collinearity, OneColumnHasToleranceOneAndItsOwnNormalizedLength) {
  KelMatrix F(3, 1, 1., 2., 3.);
  const KelCollinearity c = ComputeCollinearity(F, false);
  EXPECT_EQ(c.tolerances(1), 1.0);
  EXPECT_NEAR(c.columnFactors(1), 1.0, 1e-15);
}

// The report's accessors give the values of the one factorization.
TEST(Collinearity, RegressionAccessorsUseTheSharedFactorization) {
  const KelMatrix F = RandomRegressors(80, 5, true, 9, 1e-2);
  KelVector y(80);
  for (int i = 1; i <= 80; ++i) y(i) = F(i, 2) - F(i, 5) + 0.01 * (i % 7);
  KelLinearRegression regression(F, y);
  const Expected e = Reference(F, true);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_TRUE(
        RelativelyNear(regression.Tolerances()(i), e.tolerances[static_cast<size_t>(i)], 1e-9))
        << i;
    EXPECT_TRUE(RelativelyNear(regression.ColumnsCorrelationFactors()(i),
                               e.factors[static_cast<size_t>(i)], 1e-9))
        << i;
  }
}

TEST(CollinearityDeathTest, ConstantColumnOfAModelWithoutInterceptRegressedOnOnesIsFatal) {
  // Column 1 is constant (not ones) and column 2 all ones: the regression of column 1 on the
  // others has an intercept and nothing to explain.
  KelMatrix F(4, 3, 2., 1., 0., 2., 1., 1., 2., 1., 3., 2., 1., 7.);
  EXPECT_KEL_FATAL(ComputeCollinearity(F, false), "KelLinearRegression class\n\nssm == 0.");
}

}  // namespace

namespace {

// The correlation kernel both regressions share: R = D^-1 C D^-1 by hand, the guard for a
// parameter of zero (or rounding-negative) variance, and the largest off-diagonal entry.
TEST(CorrelationOfCovariance, HandValuesAndTheZeroVarianceGuard) {
  KelMatrixSymmetric covariance(3, 3);
  covariance(1, 1) = 4.0;
  covariance(2, 1) = -3.0;
  covariance(2, 2) = 9.0;
  covariance(3, 1) = 0.0;
  covariance(3, 2) = 0.0;
  covariance(3, 3) = -0.0;
  KelMatrixSymmetric correlation;
  CorrelationOfCovariance(covariance, &correlation);
  EXPECT_DOUBLE_EQ(correlation(2, 1), -3.0 / (2.0 * 3.0));
  EXPECT_EQ(correlation(3, 1), 0.0);
  EXPECT_EQ(correlation(3, 2), 0.0);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(correlation(j, j), 1.0);
  EXPECT_DOUBLE_EQ(LargestCorrelation(correlation), 0.5);
  // The covariance itself is left as it was.
  EXPECT_EQ(covariance(2, 1), -3.0);
  EXPECT_EQ(GuardedDeviation(-1e-300), 1e-150);  // no floor: the magnitude's own root
  EXPECT_EQ(GuardedDeviation(0.25), 0.5);
  KelMatrixSymmetric single(1, 1);
  single(1, 1) = 2.0;
  CorrelationOfCovariance(single, &correlation);
  EXPECT_EQ(LargestCorrelation(correlation), 0.0);
}

}  // namespace
