// KelStreamingLeastSquares::Fit: the statistics of the in-memory scaled fit from the triangle T.
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_scaled_fit_parts.h"
#include "linear_regression/kel_streaming_least_squares.h"
#include "statistics/kel_distributions.h"

namespace {

// Everything here is 0-based. The block of T that is fitted starts at row and column `first`
// (1 with an intercept, whose row T's first is); its columns are F's columns first .. n - 1 and
// y, its rows as many.
using Column = std::vector<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A column of the block as 2^exponent (norm * unit) with, with an intercept, the mean of the
// column it stands for as 2^exponent (firstMean + correction): the origin, then the mean of the
// shifted values, so that a large offset costs nothing (see KelScaledPredictor).
struct UnitColumn {
  Column unit;
  int exponent = 0;
  double firstMean = 0.0, correction = 0.0, norm = 0.0;
  double Mean() const { return firstMean + correction; }
};

UnitColumn unitColumn(const KelMatrix& T, int first, int j, bool intercept, double origin) {
  const int size = T.Rows() - first;
  UnitColumn c;
  double largest = intercept ? std::fabs(origin) : 0.0;
  for (int i = first; i <= j; ++i) largest = std::max(largest, std::fabs(T(i + 1, j + 1)));
  if (largest > 0.0) std::frexp(largest, &c.exponent);
  c.unit.assign(static_cast<size_t>(size), 0.0);
  double squares = 0.0;
  for (int i = first; i <= j; ++i) {
    const double v = std::ldexp(T(i + 1, j + 1), -c.exponent);
    c.unit[static_cast<size_t>(i - first)] = v;
    squares += v * v;
  }
  c.norm = std::sqrt(squares);
  if (c.norm > 0.0)
    for (double& v : c.unit) v /= c.norm;
  if (intercept) {
    c.firstMean = std::ldexp(origin, -c.exponent);
    c.correction = std::ldexp(T(1, j + 1) / T(1, 1), -c.exponent);
  }
  return c;
}

// The fit in scaled units, as the in-memory fit's: the unit columns, the kept QR, and the sums
// of squares of the unit response.
struct ScaledFit {
  int m = 0, rank = 0, dof = 0;
  bool intercept = true;
  std::vector<UnitColumn> columns;
  UnitColumn response;
  KelKeptQr qr;
  std::vector<Column> rInverse;
  Column coefficients;
  double rss = 0.0, tss = 0.0, ess = 0.0;
  double sigmaMantissa = 0.0;
  int sigmaExponent = 0;
};

ScaledFit scaledColumns(const KelMatrix& T, bool intercept, const std::vector<double>& origin,
                        long long rows) {
  ScaledFit f;
  f.m = static_cast<int>(rows);
  f.intercept = intercept;
  const int n = T.Rows() - 1, first = intercept ? 1 : 0;
  for (int j = first; j < n; ++j)
    f.columns.push_back(unitColumn(T, first, j, intercept, origin[static_cast<size_t>(j)]));
  f.response = unitColumn(T, first, n, intercept, origin[static_cast<size_t>(n)]);
  return f;
}

void solveScaled(ScaledFit& f, KelScaledLeastSquaresResult& out) {
  std::vector<int> aliased;
  const int size = static_cast<int>(f.response.unit.size());
  f.qr = KelFactorKeptColumns(f.columns, size, kelAliasTolerance, aliased);
  const int firstColumn = f.intercept ? 2 : 1;
  for (const int c : aliased) out.aliasedColumns.push_back(c + firstColumn);
  const size_t k = f.qr.kept.size();
  f.rank = static_cast<int>(k) + (f.intercept ? 1 : 0);
  f.dof = f.m - f.rank;
  f.rInverse = KelInvertKeptR(f.qr);
  Column z = f.response.unit;
  KelApplyKeptQTranspose(f.qr, z);
  f.coefficients.assign(k, 0.0);
  for (size_t i = 0; i < k; ++i) {
    for (size_t j = i; j < k; ++j) f.coefficients[i] += f.rInverse[i][j] * z[j];
    f.ess += z[i] * z[i];
  }
  for (size_t i = k; i < z.size(); ++i) f.rss += z[i] * z[i];
  for (const double v : f.response.unit) f.tss += v * v;
}

void detectExactFit(ScaledFit& f, KelScaledLeastSquaresResult& out) {
  const double bound =
      kelExactFitUlps * kelMachEps * std::sqrt(static_cast<double>(f.rank)) * std::sqrt(f.tss);
  out.exactFit = std::sqrt(f.rss) <= bound;
  if (out.exactFit) f.rss = 0.0;
  f.sigmaMantissa = f.response.norm * std::sqrt(f.rss / f.dof);
  f.sigmaExponent = f.response.exponent;
  out.sigma = std::ldexp(f.sigmaMantissa, f.sigmaExponent);
}

}  // namespace

KelScaledLeastSquaresResult KelStreamingLeastSquares::Fit() const {
  // The statistics count rows in int, as the in-memory fit does.
  if (rows <= columns || rows > INT_MAX)
    KelError(
        "%s%s%sFit\n%lld rows for %d columns: more rows than columns (and at most %d) are "
        "needed",
        kelClassStreamingLeastSquares, kelErrCheck, kelErrFunction, rows, columns, INT_MAX);
  ScaledFit f = scaledColumns(qr.Triangle(), intercept, origin, rows);
  KelScaledLeastSquaresResult out;
  solveScaled(f, out);
  out.rank = f.rank;
  out.residualDegreesOfFreedom = f.dof;
  out.conditionNumber = KelKeptConditionNumber(f.qr);
  detectExactFit(f, out);
  KelFillScaledParameters(f, columns, f.m, out);
  KelFillScaledInference(f.dof, out);
  KelFillScaledModel(f, 0.0, 0.0, out);
  out.breuschPaganDegreesOfFreedom = f.rank - 1;  // the test needs the rows: pass 2
  out.breuschPagan = out.breuschPaganPValue = kNaN;
  KelFillScaledPredictor(f, columns, f.m, 0, out.predictor);
  return out;
}
