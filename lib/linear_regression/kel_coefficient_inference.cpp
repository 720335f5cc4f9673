#include "linear_regression/kel_coefficient_inference.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "statistics/kel_distributions.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// R V R' of a restriction matrix R (entries already scaled) over a scaled covariance S, q x q
// row-major; the aliased parameters (NaN rows of S) must have coefficient 0 in R and are skipped.
std::vector<double> restrictedCovariance(const KelMatrix& S, const KelMatrix& R) {
  const int q = R.Rows(), n = R.Columns();
  std::vector<double> W(static_cast<size_t>(q) * q, 0.0);
  for (int a = 1; a <= q; ++a)
    for (int b = 1; b <= q; ++b) {
      double sum = 0.0;
      for (int j = 1; j <= n; ++j) {
        if (R(a, j) == 0.0) continue;
        for (int l = 1; l <= n; ++l)
          if (R(b, l) != 0.0) sum += R(a, j) * S(j, l) * R(b, l);
      }
      W[(a - 1) * q + (b - 1)] = sum;
    }
  return W;
}

// Row a of R times 2^exponents[j - 1] per column j, and then times 2^-shift[a - 1], the power of
// two that brings the row's largest entry near 1.
KelMatrix scaledRestrictions(const KelMatrix& R, const std::vector<int>& exponents,
                             std::vector<int>& shift) {
  KelMatrix scaled(R.Rows(), R.Columns());
  shift.assign(static_cast<size_t>(R.Rows()), 0);
  for (int a = 1; a <= R.Rows(); ++a) {
    bool first = true;
    for (int j = 1; j <= R.Columns(); ++j) {
      if (R(a, j) == 0.0) continue;
      int e = 0;
      std::frexp(R(a, j), &e);
      e += exponents[j - 1];
      if (first || e > shift[a - 1]) shift[a - 1] = e;
      first = false;
    }
    for (int j = 1; j <= R.Columns(); ++j)
      if (R(a, j) != 0.0) scaled(a, j) = std::ldexp(R(a, j), exponents[j - 1] - shift[a - 1]);
  }
  return scaled;
}

std::vector<int> unitExponents(int n) {
  return std::vector<int>(static_cast<size_t>(n), 0);
}

// Solves W x = d (q x q) by Gaussian elimination with partial pivoting after scaling W to unit
// diagonal magnitude; false when W is singular to working precision: a pivot below q units of
// rounding of the scaled matrix, or a zero variance.
bool solveScaled(std::vector<double> W, std::vector<double>& d) {
  const size_t q = d.size();
  std::vector<double> scale(q);
  for (size_t i = 0; i < q; ++i) {
    const double diagonal = std::fabs(W[i * q + i]);
    if (!(diagonal > 0.0) || !std::isfinite(diagonal)) return false;
    scale[i] = 1.0 / std::sqrt(diagonal);
  }
  for (size_t i = 0; i < q; ++i) {
    d[i] *= scale[i];
    for (size_t j = 0; j < q; ++j) W[i * q + j] *= scale[i] * scale[j];
  }
  const double tiny = static_cast<double>(q) * kelMachEps;
  for (size_t k = 0; k < q; ++k) {
    size_t pivot = k;
    for (size_t i = k + 1; i < q; ++i)
      if (std::fabs(W[i * q + k]) > std::fabs(W[pivot * q + k])) pivot = i;
    if (!(std::fabs(W[pivot * q + k]) > tiny)) return false;
    if (pivot != k) {
      for (size_t j = 0; j < q; ++j) std::swap(W[k * q + j], W[pivot * q + j]);
      std::swap(d[k], d[pivot]);
    }
    for (size_t i = k + 1; i < q; ++i) {
      const double factor = W[i * q + k] / W[k * q + k];
      for (size_t j = k; j < q; ++j) W[i * q + j] -= factor * W[k * q + j];
      d[i] -= factor * d[k];
    }
  }
  for (size_t k = q; k-- > 0;) {
    for (size_t j = k + 1; j < q; ++j) d[k] -= W[k * q + j] * d[j];
    d[k] /= W[k * q + k];
  }
  for (size_t i = 0; i < q; ++i) d[i] *= scale[i];
  return true;
}

}  // namespace

KelVector KelStandardErrors(const KelMatrix& covariance) {
  return KelStandardErrors(covariance, unitExponents(covariance.Rows()));
}

KelVector KelStandardErrors(const KelMatrix& scaled, const std::vector<int>& exponents) {
  const int n = scaled.Rows();
  KelVector se(n);
  for (int j = 1; j <= n; ++j) {
    const double variance = scaled(j, j);
    se(j) = variance >= 0.0 ? std::ldexp(std::sqrt(variance), exponents[j - 1]) : kNaN;
  }
  return se;
}

KelVector KelStandardErrors(const KelSandwichCovariance& covariance) {
  return KelStandardErrors(covariance.scaled, covariance.exponents);
}

KelVector KelTValues(const KelVector& estimates, const KelVector& standardErrors) {
  KelVector t(estimates.Size());
  for (int j = 1; j <= t.Size(); ++j) {
    const double se = standardErrors(j);
    t(j) = se > 0.0 && !std::isnan(estimates(j)) ? estimates(j) / se : kNaN;
  }
  return t;
}

KelVector KelTwoSidedPValues(const KelVector& tValues, int dof) {
  KelVector p(tValues.Size());
  for (int j = 1; j <= p.Size(); ++j)
    p(j) = std::isnan(tValues(j)) ? kNaN : 2.0 * KelTStudentProbability(dof, std::fabs(tValues(j)));
  return p;
}

KelMatrix KelConfidenceIntervals(const KelVector& estimates, const KelVector& standardErrors,
                                 int dof, double level) {
  if (!(level > 0.0 && level < 1.0))
    KelError("%s%s%sKelConfidenceIntervals\nthe level %g is not between 0 and 1",
             kelClassLinearRegression, kelErrCheck, kelErrFunction, level);
  const double quantile = KelTStudentQuantile((1.0 - level) / 2.0, dof);
  KelMatrix intervals(estimates.Size(), 2);
  for (int j = 1; j <= estimates.Size(); ++j) {
    intervals(j, 1) = estimates(j) - quantile * standardErrors(j);
    intervals(j, 2) = estimates(j) + quantile * standardErrors(j);
  }
  return intervals;
}

KelWaldTest KelWaldFTest(const KelVector& estimates, const KelMatrix& covariance,
                         const KelMatrix& R, const KelVector& r, int dof) {
  return KelWaldFTest(estimates, covariance, unitExponents(covariance.Rows()), R, r, dof);
}

KelWaldTest KelWaldFTest(const KelVector& estimates, const KelSandwichCovariance& covariance,
                         const KelMatrix& R, const KelVector& r, int dof) {
  return KelWaldFTest(estimates, covariance.scaled, covariance.exponents, R, r, dof);
}

KelWaldTest KelWaldFTest(const KelVector& estimates, const KelMatrix& scaled,
                         const std::vector<int>& exponents, const KelMatrix& R, const KelVector& r,
                         int dof) {
  const int q = R.Rows(), n = estimates.Size();
  if (R.Columns() != n || r.Size() != q || scaled.Rows() != n || scaled.Columns() != n ||
      static_cast<int>(exponents.size()) != n || q < 1)
    KelError("%s%s%sKelWaldFTest\nR is %d x %d and r has %d elements for %d parameters",
             kelClassLinearRegression, kelErrCheck, kelErrFunction, R.Rows(), R.Columns(), r.Size(),
             n);
  KelWaldTest test;
  test.numeratorDof = q;
  test.denominatorDof = dof;
  std::vector<double> d(q), x;
  for (int a = 1; a <= q; ++a) {
    double sum = -r(a);
    for (int j = 1; j <= n; ++j)
      if (R(a, j) != 0.0) sum += R(a, j) * estimates(j);
    d[a - 1] = sum;
  }
  std::vector<int> shift;
  const KelMatrix scaledR = scaledRestrictions(R, exponents, shift);
  for (int a = 0; a < q; ++a) d[a] = std::ldexp(d[a], -shift[a]);
  x = d;
  test.defined = solveScaled(restrictedCovariance(scaled, scaledR), x);
  if (test.defined) {
    double quadratic = 0.0;
    for (int a = 0; a < q; ++a) quadratic += d[a] * x[a];
    test.f = quadratic / q;
    test.defined = std::isfinite(test.f);
  }
  if (!test.defined) {
    test.f = test.pValue = kNaN;
    return test;
  }
  test.pValue = test.f < 0.0 ? kNaN : KelFProbability(q, dof, test.f);
  return test;
}
