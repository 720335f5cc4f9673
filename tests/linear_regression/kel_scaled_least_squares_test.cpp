// KelFitScaledLeastSquares on random well-posed data at random scales (10^-150 to 10^150) and
// offsets (up to 10^15 times the spread): every statistic against a long-double reference that
// shares nothing with it (normal equations on the data shifted by their first row, which is
// exact in long double), and R's rule for aliased columns on a hand-made case.
#include "linear_regression/kel_scaled_least_squares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using Real = long double;
using RealMatrix = std::vector<std::vector<Real>>;

struct Problem {
  int m = 0, n = 0;  // n parameters, the intercept first when there is one
  bool intercept = true;
  KelMatrix F;
  KelVector y;
  std::vector<double> weights;  // empty: unweighted
};

Problem RandomProblem(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  Problem p;
  p.intercept = random() % 4 != 0;
  p.m = 8 + static_cast<int>(random() % 33);
  const int columns = 1 + static_cast<int>(random() % 4);
  p.n = columns + (p.intercept ? 1 : 0);
  p.F = KelMatrix(p.m, p.n);
  p.y = KelVector(p.m);
  const double yScale = std::pow(10.0, 300.0 * (unit(random) / 2.0));
  const double yOffset = p.intercept ? std::pow(10.0, 15.0 * (unit(random) + 1.0) / 2.0) : 0.0;
  std::vector<double> scale(p.n + 1), offset(p.n + 1);
  for (int j = p.intercept ? 2 : 1; j <= p.n; ++j) {
    scale[j] = std::pow(10.0, 150.0 * unit(random));
    offset[j] = p.intercept ? std::pow(10.0, 15.0 * (unit(random) + 1.0) / 2.0) : 0.0;
  }
  for (int i = 1; i <= p.m; ++i) {
    double signal = 0.0;
    if (p.intercept) p.F(i, 1) = 1.0;
    for (int j = p.intercept ? 2 : 1; j <= p.n; ++j) {
      const double u = unit(random);
      p.F(i, j) = (offset[j] + u) * scale[j];
      signal += (j % 3 - 1 + 0.5) * u;
    }
    p.y(i) = (yOffset + signal + 0.3 * unit(random)) * yScale;
  }
  return p;
}

// Solves A x = b (symmetric positive definite, small) by Gauss-Jordan, returning A^-1 too.
RealMatrix Inverse(RealMatrix a) {
  const size_t n = a.size();
  RealMatrix inv(n, std::vector<Real>(n, 0.0L));
  for (size_t i = 0; i < n; ++i) inv[i][i] = 1.0L;
  for (size_t k = 0; k < n; ++k) {
    const Real pivot = a[k][k];
    for (size_t j = 0; j < n; ++j) {
      a[k][j] /= pivot;
      inv[k][j] /= pivot;
    }
    for (size_t i = 0; i < n; ++i) {
      if (i == k) continue;
      const Real factor = a[i][k];
      for (size_t j = 0; j < n; ++j) {
        a[i][j] -= factor * a[k][j];
        inv[i][j] -= factor * inv[k][j];
      }
    }
  }
  return inv;
}

struct ReferenceFit {
  std::vector<Real> estimates, standardErrors, leverages, residuals;
  Real sigma = 0, rSquared = 0, fStatistic = 0, breuschPagan = 0;
};

// Weights spread over a factor of e^4 around a random scale between 10^-100 and 10^100.
Problem Weighted(Problem p, std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  const double scale = std::pow(10.0, 100.0 * unit(random));
  for (int i = 1; i <= p.m; ++i) p.weights.push_back(scale * std::exp(2.0 * unit(random)));
  return p;
}

// Long double weighted normal equations on the design shifted by its first row (with an
// intercept) and each column scaled by its largest deviation; the intercept is shifted back at
// the end.
ReferenceFit Reference(const Problem& p) {
  const int m = p.m, n = p.n, first = p.intercept ? 2 : 1;
  RealMatrix z(m, std::vector<Real>(n));
  std::vector<Real> scale(n + 1, 1.0L), shift(n + 1, 0.0L), y(m);
  for (int j = first; j <= n; ++j) {
    shift[j] = p.intercept ? static_cast<Real>(p.F(1, j)) : 0.0L;
    Real largest = 0;
    for (int i = 1; i <= m; ++i) largest = std::max(largest, std::fabs(p.F(i, j) - shift[j]));
    scale[j] = largest;
  }
  const Real yShift = p.intercept ? static_cast<Real>(p.y(1)) : 0.0L;
  for (int i = 0; i < m; ++i) {
    if (p.intercept) z[i][0] = 1.0L;
    for (int j = first; j <= n; ++j) z[i][j - 1] = (p.F(i + 1, j) - shift[j]) / scale[j];
    y[i] = p.y(i + 1) - yShift;
  }
  std::vector<Real> w(m, 1.0L);
  for (int i = 0; i < m && !p.weights.empty(); ++i) w[i] = p.weights[i];
  RealMatrix a(n, std::vector<Real>(n, 0.0L));
  std::vector<Real> b(n, 0.0L);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) {
      b[j] += w[i] * z[i][j] * y[i];
      for (int k = 0; k < n; ++k) a[j][k] += w[i] * z[i][j] * z[i][k];
    }
  const RealMatrix inv = Inverse(a);
  std::vector<Real> beta(n, 0.0L);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k) beta[j] += inv[j][k] * b[k];
  ReferenceFit r;
  Real rss = 0, tss = 0, mean = 0, weightSum = 0;
  for (int i = 0; i < m; ++i) weightSum += w[i];
  for (int i = 0; i < m; ++i) mean += w[i] * y[i] / weightSum;
  for (int i = 0; i < m; ++i) {
    Real fit = 0, h = 0;
    for (int j = 0; j < n; ++j) fit += z[i][j] * beta[j];
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) h += w[i] * z[i][j] * inv[j][k] * z[i][k];
    r.residuals.push_back(y[i] - fit);
    r.leverages.push_back(h);
    rss += w[i] * (y[i] - fit) * (y[i] - fit);
    tss += w[i] * (p.intercept ? (y[i] - mean) * (y[i] - mean) : y[i] * y[i]);
  }
  const int dof = m - n;
  const Real s2 = rss / dof;
  r.sigma = std::sqrt(s2);
  r.rSquared = 1 - rss / tss;
  const int df1 = n - (p.intercept ? 1 : 0);
  r.fStatistic = ((tss - rss) / df1) / s2;
  r.estimates.assign(n, 0.0L);
  r.standardErrors.assign(n, 0.0L);
  Real interceptShift = yShift;
  for (int j = first; j <= n; ++j) {
    r.estimates[j - 1] = beta[j - 1] / scale[j];
    r.standardErrors[j - 1] = std::sqrt(s2 * inv[j - 1][j - 1]) / scale[j];
    interceptShift -= r.estimates[j - 1] * shift[j];
  }
  if (p.intercept) {
    r.estimates[0] = beta[0] + interceptShift;
    // Var(b0 + sum b_j shift_j) is that of beta[0] moved by the shifts: through the inverse.
    std::vector<Real> g(n, 0.0L);
    g[0] = 1.0L;
    for (int j = 2; j <= n; ++j) g[j - 1] = -shift[j] / scale[j];
    Real v = 0;
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) v += g[j] * inv[j][k] * g[k];
    r.standardErrors[0] = std::sqrt(s2 * v);
  }
  // Koenker's Breusch-Pagan statistic from its definition, with the same normal equations
  // (unweighted only).
  if (!p.weights.empty()) return r;
  std::vector<Real> u(m), c(n, 0.0L), gamma(n, 0.0L);
  for (int i = 0; i < m; ++i) u[i] = r.residuals[i] * r.residuals[i] - rss / m;
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) c[j] += z[i][j] * u[i];
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k) gamma[j] += inv[j][k] * c[k];
  Real explained = 0, total = 0;
  for (int i = 0; i < m; ++i) {
    Real g = 0;
    for (int j = 0; j < n; ++j) g += z[i][j] * gamma[j];
    explained += g * g;
    total += u[i] * u[i];
  }
  r.breuschPagan = m * explained / total;
  return r;
}

::testing::AssertionResult Near(double value, Real reference, Real scale, double tolerance) {
  if (std::fabs(value - reference) <= tolerance * scale) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << value << " against " << static_cast<double>(reference)
                                       << " (scale " << static_cast<double>(scale) << ")";
}

// Every statistic of the fit of p against the long-double reference; false on a failure.
bool MatchesReference(const Problem& p) {
  constexpr double kTolerance = 1e-8;
  KelScaledLeastSquaresOptions options;
  options.intercept = p.intercept;
  options.weights = p.weights;
  const KelScaledLeastSquaresResult fit = KelFitScaledLeastSquares(p.F, p.y, options);
  const ReferenceFit r = Reference(p);
  {
    EXPECT_TRUE(fit.aliasedColumns.empty());
    EXPECT_FALSE(fit.exactFit);
    for (int j = 1; j <= p.n; ++j) {
      const Real se = r.standardErrors[j - 1];
      // An estimate is known to a fraction of its standard error (or of itself).
      const Real scale = std::max(se, std::fabs(r.estimates[j - 1]) * 1e-6L);
      EXPECT_TRUE(Near(fit.estimates(j), r.estimates[j - 1], scale, kTolerance)) << "b" << j;
      EXPECT_TRUE(Near(fit.standardErrors(j), se, se, kTolerance)) << "se" << j;
      EXPECT_TRUE(Near(fit.tValues(j), r.estimates[j - 1] / se,
                       1 + std::fabs(r.estimates[j - 1] / se), 1e-6))
          << "t" << j;
    }
    EXPECT_TRUE(Near(fit.sigma, r.sigma, r.sigma, kTolerance)) << "sigma";
    EXPECT_TRUE(Near(fit.rSquared, r.rSquared, 1, kTolerance)) << "R2";
    EXPECT_TRUE(Near(fit.fStatistic, r.fStatistic, r.fStatistic, kTolerance)) << "F";
    // No degrees of freedom for the test with a single parameter, and no weighted form: NaN.
    if (p.n == 1 || !p.weights.empty())
      EXPECT_TRUE(std::isnan(fit.breuschPagan));
    else
      EXPECT_TRUE(Near(fit.breuschPagan, r.breuschPagan, 1 + r.breuschPagan, kTolerance)) << "BP";
    for (int i = 1; i <= p.m; ++i) {
      const Real root = p.weights.empty() ? 1.0L : std::sqrt(static_cast<Real>(p.weights[i - 1]));
      EXPECT_TRUE(Near(fit.residuals(i), r.residuals[i - 1], r.sigma / root, kTolerance))
          << "r" << i;
      // A fitted value is formed beside the response: a few units of rounding of it more.
      const Real level = r.sigma / root + std::fabs(p.y(i)) * 1e-6L;
      EXPECT_TRUE(Near(fit.fitted(i), p.y(i) - r.residuals[i - 1], level, kTolerance))
          << "fitted" << i;
      EXPECT_TRUE(Near(fit.leverages(i), r.leverages[i - 1], 1, kTolerance)) << "h" << i;
      const Real c = 1 - r.leverages[i - 1], e = root * r.residuals[i - 1];
      EXPECT_TRUE(Near(fit.weightedResiduals(i), e, r.sigma, kTolerance)) << "wr" << i;
      const Real s2 = r.sigma * r.sigma;
      const Real cook = e * e * r.leverages[i - 1] / (p.n * s2 * c * c);
      EXPECT_TRUE(Near(fit.cooksDistances(i), cook, 1 + cook, 1e-7)) << "Cook" << i;
      const Real without = (s2 * (p.m - p.n) - e * e / c) / (p.m - p.n - 1);
      const Real student = e / std::sqrt(without * c);
      EXPECT_TRUE(Near(fit.studentizedResiduals(i), student, 1 + std::fabs(student), 1e-7))
          << "rstudent" << i;
      // The prediction at a row of the data is its fitted value, with the variance
      // sigma^2 h / w of the fitted value.
      std::vector<double> x(static_cast<size_t>(p.n));
      for (int j = 1; j <= p.n; ++j) x[static_cast<size_t>(j) - 1] = p.F(i, j);
      const KelScaledPrediction predicted = KelPredictScaled(fit, x);
      EXPECT_TRUE(Near(predicted.fit, p.y(i) - r.residuals[i - 1], level, kTolerance))
          << "predicted" << i;
      const Real se = r.sigma * std::sqrt(r.leverages[i - 1]) / root;
      EXPECT_TRUE(Near(predicted.standardError, se, se, kTolerance)) << "se.fit" << i;
    }
  }
  return !::testing::Test::HasFailure();
}

TEST(KelScaledLeastSquares, EveryStatisticMatchesLongDoubleAtAnyScaleAndOffset) {
  std::mt19937_64 random(20270);
  for (int trial = 0; trial < 300; ++trial) {
    const Problem p = RandomProblem(random);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", m " + std::to_string(p.m) + ", n " +
                 std::to_string(p.n) + (p.intercept ? "" : ", no intercept"));
    if (!MatchesReference(p)) break;
  }
}

// The same with weights at any scale: the weighted means, leverages, residuals of a row of
// weight 1, R^2, F and the influence of the weighted residuals, as R's lm(weights =).
TEST(KelScaledLeastSquares, WeightedFitMatchesLongDoubleAtAnyScaleOfTheWeights) {
  std::mt19937_64 random(20271);
  for (int trial = 0; trial < 300; ++trial) {
    const Problem p = Weighted(RandomProblem(random), random);
    SCOPED_TRACE("trial " + std::to_string(trial) + ", m " + std::to_string(p.m) + ", n " +
                 std::to_string(p.n) + (p.intercept ? "" : ", no intercept"));
    if (!MatchesReference(p)) break;
  }
}

// Integer weights are repeated rows for the estimates and the weighted residual sum of squares.
TEST(KelScaledLeastSquares, IntegerWeightsEstimateAsRepeatedRows) {
  const double x[] = {1, 2, 3, 4, 5, 6, 7}, y[] = {1.2, 1.9, 3.4, 3.8, 5.3, 5.9, 7.4};
  const double w[] = {1, 3, 2, 1, 4, 1, 2};
  KelMatrix F(7, 2), G(14, 2);
  KelVector v(7), u(14);
  int row = 0;
  for (int i = 0; i < 7; ++i) {
    F(i + 1, 1) = 1.0;
    F(i + 1, 2) = x[i];
    v(i + 1) = y[i];
    for (int k = 0; k < static_cast<int>(w[i]); ++k) {
      ++row;
      G(row, 1) = 1.0;
      G(row, 2) = x[i];
      u(row) = y[i];
    }
  }
  KelScaledLeastSquaresOptions weighted;
  weighted.weights.assign(w, w + 7);
  const KelScaledLeastSquaresResult a = KelFitScaledLeastSquares(F, v, weighted);
  const KelScaledLeastSquaresResult b = KelFitScaledLeastSquares(G, u, {});
  for (int j = 1; j <= 2; ++j) EXPECT_NEAR(a.estimates(j), b.estimates(j), 1e-13);
  EXPECT_NEAR(a.rSquared, b.rSquared, 1e-13);
  // The same residual sum of squares on 5 and 12 degrees of freedom.
  EXPECT_NEAR(a.sigma * a.sigma * 5.0, b.sigma * b.sigma * 12.0, 1e-13);
}

// R's rule: a column within 1e-7 of its length from the earlier ones is aliased (NA), whatever
// its scale; the others are fitted as without it.
TEST(KelScaledLeastSquares, AliasesAColumnWithinTheToleranceOfTheEarlierOnes) {
  const int m = 6;
  KelMatrix F(m, 4);
  KelVector y(m);
  const double x[] = {1, 2, 4, 3, 6, 5}, z[] = {0.5, -1, 2, 0, 1, -0.5};
  for (int i = 1; i <= m; ++i) {
    F(i, 1) = 1.0;
    F(i, 2) = x[i - 1] * 1e200;
    F(i, 3) = x[i - 1] * 3e-200 * (1.0 + 1e-9 * z[i - 1]);  // a copy of x to 1e-9
    F(i, 4) = z[i - 1];
    y(i) = 2.0 + 0.5 * x[i - 1] - z[i - 1] + (i % 2 == 0 ? 0.25 : -0.25);
  }
  const KelScaledLeastSquaresResult fit = KelFitScaledLeastSquares(F, y, {});
  ASSERT_EQ(fit.aliasedColumns, std::vector<int>{3});
  EXPECT_TRUE(std::isnan(fit.estimates(3)));
  EXPECT_EQ(fit.rank, 3);
  EXPECT_EQ(fit.residualDegreesOfFreedom, 3);
  // The two remaining slopes: x 0.5 1e-200, z -1, as the exact fit of y without the +-0.25.
  EXPECT_NEAR(fit.estimates(2) * 1e200, 0.5, 0.2);
  EXPECT_NEAR(fit.estimates(4), -1.0, 0.3);
}

}  // namespace
