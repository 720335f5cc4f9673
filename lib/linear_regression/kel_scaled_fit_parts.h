// The parts of the scaled least-squares fit that the in-memory fit (KelFitScaledLeastSquares)
// and the streaming fit (KelStreamingLeastSquares) share: the Householder QR of unit columns that
// keeps them in order and aliases a column too close to the span of the kept earlier ones
// (LINPACK's limited pivoting, as R's lm uses it), the inverse of its R, R's condition number,
// and the t, P and intervals of the estimates. The in-memory fit factors the rows' unit columns,
// the streaming fit the small triangle they were folded into: the distances to the spans are
// the same, so are the columns aliased. Internal to linear_regression (not a public header);
// the QR's indices are 0-based.
#ifndef KELMATH_KEL_SCALED_FIT_PARTS_H
#define KELMATH_KEL_SCALED_FIT_PARTS_H

#include <algorithm>
#include <cmath>
#include <vector>

#include "linear_regression/kel_scaled_least_squares.h"

struct KelKeptQr {
  using Column = std::vector<double>;
  int m = 0;
  std::vector<int> kept;           // columns kept
  std::vector<Column> reflectors;  // v_k (zero above row k), H_k = I - v v^T / beta
  std::vector<double> betas;
  std::vector<Column> r;  // column k of R: its first k + 1 entries
};

// a := H_k a.
void KelApplyKeptReflector(const KelKeptQr& qr, size_t k, std::vector<double>& a);
// a := Q^T a and a := Q a.
void KelApplyKeptQTranspose(const KelKeptQr& qr, std::vector<double>& a);
void KelApplyKeptQ(const KelKeptQr& qr, std::vector<double>& a);

// Factors the columns (each with members unit, m values of length 1 or all zero, and norm, the
// length before scaling) in order; a column without length, or whose distance from the span of
// the kept ones is below tolerance (relative to its unit length), is appended to aliased.
template <typename UnitColumns>
KelKeptQr KelFactorKeptColumns(const UnitColumns& columns, int m, double tolerance,
                               std::vector<int>& aliased) {
  KelKeptQr qr;
  qr.m = m;
  for (size_t c = 0; c < columns.size(); ++c) {
    std::vector<double> a = columns[c].unit;
    KelApplyKeptQTranspose(qr, a);
    const int k = static_cast<int>(qr.kept.size());
    double tail = 0.0;
    for (int i = k; i < m; ++i) tail += a[i] * a[i];
    tail = std::sqrt(tail);
    // The columns have unit length (or none): the tolerance is relative to it.
    if (columns[c].norm == 0.0 || k == m || tail < tolerance) {
      aliased.push_back(static_cast<int>(c));
      continue;
    }
    const double alpha = a[k] > 0.0 ? -tail : tail;
    // R's column is the head of a; the reflection vector takes a's storage, its head zeroed.
    std::vector<double> r(a.begin(), a.begin() + k + 1);
    r[k] = alpha;
    std::vector<double> v = std::move(a);
    std::fill(v.begin(), v.begin() + k, 0.0);
    v[k] -= alpha;
    qr.betas.push_back(-alpha * v[k]);  // v^T v / 2
    qr.reflectors.push_back(std::move(v));
    qr.r.push_back(std::move(r));
    qr.kept.push_back(static_cast<int>(c));
  }
  return qr;
}

// Inverse of the upper triangular R (k x k), row-major.
std::vector<std::vector<double>> KelInvertKeptR(const KelKeptQr& qr);

// Ratio of the extreme singular values of R by one-sided Jacobi rotations (R is small); 1 for
// no column.
double KelKeptConditionNumber(const KelKeptQr& qr);

// The t values, two-sided P values and 95 % intervals of out's estimates and standard errors on
// dof degrees of freedom (NaN t and P where an estimate is aliased or its error is not positive).
void KelFillScaledInference(int dof, KelScaledLeastSquaresResult& out);

#endif
