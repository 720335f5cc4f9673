// FitKeptColumns: the QR of the data with dependent columns skipped, the thin Q of the kept
// columns, the fit and its leverages, and which experiments leave the kept columns unchanged.
#include "linear_regression/kel_kept_columns_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "factorizations/kel_householder.h"
#include "factorizations/kel_triangular_condition.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_output.h"

namespace {

// A row-major matrix in a std::vector with 1-based row pointers, as the flat routines take it
// (scratch of this fit, not one of the caller's numbered matrices).
struct Rows {
  Rows(int m, int n)
      : columns(n),
        values(static_cast<size_t>(m) * static_cast<size_t>(n) + 1, 0.0),
        pointers(static_cast<size_t>(m) + 1) {
    for (int i = 1; i <= m; ++i)
      pointers[static_cast<size_t>(i)] =
          values.data() + static_cast<size_t>(i - 1) * static_cast<size_t>(n);
  }
  int columns;
  std::vector<double> values;     // element (i, j) at pointers[i][j], j = 1 .. columns
  std::vector<double*> pointers;  // pointers[i] points one before row i
};

// Q = H(1) ... H(r) [I_r; 0] (m x r) for the reflections of the kept columns: reflection s in
// column kept[s - 1] of a, rows s .. m. Applied last to first, reflection s meets only columns
// s .. r that are nonzero in rows s .. m.
Rows thinQ(int m, const double* const* a, const std::vector<int>& kept) {
  const int r = static_cast<int>(kept.size());
  Rows q(m, r);
  double* const* e = q.pointers.data();
  for (int j = 1; j <= r; ++j) e[j][j] = 1.0;
  std::vector<double> w(static_cast<size_t>(r) + 1);
  for (int s = r; s >= 1; --s) {
    const int k = kept[static_cast<size_t>(s - 1)];
    std::fill(w.begin(), w.end(), 0.0);
    for (int i = s; i <= m; ++i)
      for (int c = s; c <= r; ++c) w[static_cast<size_t>(c)] += a[i][k] * e[i][c];
    for (int i = s; i <= m; ++i) {
      const double u = 2.0 * a[i][k];
      for (int c = s; c <= r; ++c) e[i][c] -= u * w[static_cast<size_t>(c)];
    }
  }
  return q;
}

// Condition number bound of the first `count` kept columns scaled to unit length, from R: the
// estimate of the 1-norm condition number of R's leading block with its columns scaled, times
// 10 count for the estimate and for the 2-norm (1 for no column).
double keptConditioning(const double* const* a, const double* d, const double* norms,
                        const std::vector<int>& kept, int count) {
  if (count == 0) return 1.0;
  auto column = [&](int s) { return kept[static_cast<size_t>(s - 1)]; };
  const double estimate = TriangularConditionEstimate(
      count, [&](int i) { return d[column(i)] / norms[column(i)]; },
      [&](int j, int i) { return a[j][column(i)] / norms[column(i)]; });
  return estimate >= kelBigValue ? kelBigValue : 10.0 * count * estimate;
}

// Whether the QR of the data without experiment t judges column k as it did with all of them:
// its distance from the earlier kept columns without t against tolerance x its norm without t,
// clear of the threshold by more than the rounding of either QR (absoluteError), the
// cancellation in the squared distance without t (squaredError) and a relative margin.
bool sameJudgment(bool kept, double distanceSquared, double squaredError, double normSquared,
                  double originalNormSquared, double tolerance, double absoluteError) {
  constexpr double kMargin = 1e-3;
  if (originalNormSquared == 0.0) return !kept;  // a zero column stays zero
  if (!(normSquared > 64.0 * kelMachEps * originalNormSquared)) return false;
  const double threshold = tolerance * std::sqrt(normSquared);
  if (kept) {
    const double above = (1.0 + kMargin) * threshold + absoluteError;
    return distanceSquared - squaredError > above * above;
  }
  const double below = (1.0 - kMargin) * threshold - absoluteError;
  return below > 0.0 && distanceSquared + squaredError < below * below;
}

// Residuals, leverages and sum of squares of the fit of y on the columns of Q (m x r).
void fitOnQ(int m, int r, const double* const* q, const KelVector& y, KeptColumnsFit* fit) {
  std::vector<double> projection(static_cast<size_t>(r) + 1, 0.0);
  for (int i = 1; i <= m; ++i)
    for (int s = 1; s <= r; ++s) projection[static_cast<size_t>(s)] += q[i][s] * y(i);
  fit->residuals.assign(static_cast<size_t>(m) + 1, 0.0);
  fit->leverages.assign(static_cast<size_t>(m) + 1, 0.0);
  fit->sumOfSquares = 0.0;
  for (int i = 1; i <= m; ++i) {
    double fitted = 0.0;
    double leverage = 0.0;
    for (int s = 1; s <= r; ++s) {
      fitted += q[i][s] * projection[static_cast<size_t>(s)];
      leverage += q[i][s] * q[i][s];
    }
    const double residual = y(i) - fitted;
    fit->residuals[static_cast<size_t>(i)] = residual;
    fit->leverages[static_cast<size_t>(i)] = leverage;
    fit->sumOfSquares += residual * residual;
  }
}

// The QR of the data and what follows from it for the judgments.
struct KeptColumnsQR {
  const double* const* f;            // the data
  const double* d;                   // R's diagonal, 0 for a dropped column
  const double* norms;               // column norms
  const double* const* q;            // Q of the kept columns
  const double* conditioningBefore;  // [s]: of the first s kept columns
  double tolerance;
};

// Marks (0) the experiments without which the QR would judge some column otherwise, column by
// column: for the experiments not yet marked, the earlier kept columns are then the same as
// with all experiments.
void markChangedJudgments(int m, int n, const KeptColumnsQR& qr, std::vector<unsigned char>* same) {
  const double* const* f = qr.f;
  const double* const* q = qr.q;
  std::vector<double> earlierLeverage(static_cast<size_t>(m) + 1, 0.0);
  std::vector<double> remainder(static_cast<size_t>(m) + 1);
  std::vector<double> coefficients(static_cast<size_t>(n) + 1);
  const double roundingScale = 16.0 * std::sqrt(static_cast<double>(m)) * kelMachEps;
  int earlier = 0;  // kept columns before column k
  for (int k = 1; k <= n; ++k) {
    const double norm = qr.norms[k];
    const bool isKept = qr.d[k] != 0.0;
    double distanceSquared = qr.d[k] * qr.d[k];
    if (!isKept) {
      // The part of column k outside the earlier kept columns, in the experiments' coordinates.
      std::fill(coefficients.begin(), coefficients.end(), 0.0);
      for (int i = 1; i <= m; ++i)
        for (int s = 1; s <= earlier; ++s)
          coefficients[static_cast<size_t>(s)] += q[i][s] * f[i][k];
      distanceSquared = 0.0;
      for (int i = 1; i <= m; ++i) {
        double value = f[i][k];
        for (int s = 1; s <= earlier; ++s) value -= q[i][s] * coefficients[static_cast<size_t>(s)];
        remainder[static_cast<size_t>(i)] = value;
        distanceSquared += value * value;
      }
    }
    const double rounding =
        roundingScale * (1.0 + std::min(qr.conditioningBefore[earlier], 1e100)) * norm;
    for (int t = 1; t <= m; ++t) {
      unsigned char& unchanged = (*same)[static_cast<size_t>(t)];
      if (unchanged == 0) continue;
      const double complement = 1.0 - earlierLeverage[static_cast<size_t>(t)];
      if (!(complement > 1e-8)) {
        unchanged = 0;
        continue;
      }
      // Deleting row t from the regression of column k on the earlier kept columns lowers its
      // residual sum of squares by (residual t)^2 / (1 - leverage of t); for a kept column the
      // residual is d(k) times its column of Q.
      const double residual =
          isKept ? qr.d[k] * q[t][earlier + 1] : remainder[static_cast<size_t>(t)];
      const double removed = residual * residual / complement;
      const double squaredError = 8.0 * kelMachEps * (distanceSquared + removed);
      unchanged = sameJudgment(isKept, distanceSquared - removed, squaredError,
                               norm * norm - f[t][k] * f[t][k], norm * norm, qr.tolerance, rounding)
                      ? 1
                      : 0;
    }
    if (isKept) {
      ++earlier;
      for (int t = 1; t <= m; ++t)
        earlierLeverage[static_cast<size_t>(t)] += q[t][earlier] * q[t][earlier];
    }
  }
}

}  // namespace

bool FitKeptColumns(const KelMatrix& F, const KelVector& y, double tolerance, KeptColumnsFit* fit) {
  const int m = F.Rows();
  const int n = F.Columns();
  Rows g(m, n);
  const double* const* f = F.RowPointers();
  for (int i = 1; i <= m; ++i) std::copy(f[i] + 1, f[i] + 1 + n, g.pointers[i] + 1);
  std::vector<double> d(static_cast<size_t>(n) + 1), norms(d), scratch;
  {
    const KelQuietMessages quiet;
    QRFactorization(m, n, g.pointers.data(), d.data(), norms.data(), tolerance, scratch);
  }
  std::vector<int> kept;
  for (int k = 1; k <= n; ++k)
    if (d[static_cast<size_t>(k)] != 0.0) kept.push_back(k);
  const int r = static_cast<int>(kept.size());
  if (r == 0) return false;
  fit->rank = r;
  // The conditioning of the kept columns before each column bounds the rounding of that
  // column's distance from them (in this QR and in a refit's).
  std::vector<double> conditioningBefore(static_cast<size_t>(r) + 1);
  for (int count = 0; count <= r; ++count)
    conditioningBefore[static_cast<size_t>(count)] =
        keptConditioning(g.pointers.data(), d.data(), norms.data(), kept, count);
  fit->conditioning = conditioningBefore[static_cast<size_t>(r)];
  const Rows q = thinQ(m, g.pointers.data(), kept);
  fitOnQ(m, r, q.pointers.data(), y, fit);
  fit->sameColumnsWithout.assign(static_cast<size_t>(m) + 1, 1);
  const KeptColumnsQR qr{
      f, d.data(), norms.data(), q.pointers.data(), conditioningBefore.data(), tolerance};
  markChangedJudgments(m, n, qr, &fit->sameColumnsWithout);
  return true;
}
