// KelFactorizedGauss: elimination with scaled partial pivoting, solves, condition estimate,
// determinant and the rows found singular.
#include "factorizations/kel_factorized_gauss.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "containers/kel_dense_kernel.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_error_details.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

void KelFactorizedGauss::SpecificInitialize() {
  if (numRows != numColumns)
    KelError("%s%s%sSpecificInitialize\n%s", kelClassFactorized, kelErrCheck, kelErrFunction,
             KelShapeDetail(numRows, numColumns).c_str());
  pivots.assign(static_cast<size_t>(numRows) + 1, 0);
  scale.assign(static_cast<size_t>(numRows) + 1, 0.0);
}

void KelFactorizedGauss::SpecificDeinitialize() {
  pivots.clear();
  scale.clear();
}

namespace {

// Below this order, or with fewer than 30 % non-zeros (banded and patterned matrices, whose
// row updates are limited to the pivot row's non-zero span), elimination column by column
// is the faster one.
constexpr int kBlockedMinimumOrder = 64;
constexpr double kBlockedMinimumDensity = 0.3;
// Columns per panel: wide enough for the trailing product to run near the kernel's speed,
// narrow enough that the column-by-column work in the panel stays small.
constexpr int kPanelWidth = 32;

bool worthBlocking(double* const* a, int n) {
  if (n < kBlockedMinimumOrder) return false;
  long long nonZeros = 0;
  bool allFinite = true;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      nonZeros += a[i][j] != 0.0;
      allFinite &= std::isfinite(a[i][j]);
    }
  // Non-finite elements keep the column-by-column order, which never multiplies an infinity
  // by a skipped zero multiplier.
  return allFinite && static_cast<double>(nonZeros) >= kBlockedMinimumDensity * n * n;
}

// The columns first..last of row[from..to] outside which the row holds only zeros (first > last
// when it is all zeros): the elimination skips the terms the pivot row cannot change.
void nonZeroSpan(const double* row, int from, int to, int* first, int* last) {
  int begin = from;
  while (begin <= to && row[begin] == 0.0) ++begin;
  int end = to;
  while (end >= begin && row[end] == 0.0) --end;
  *first = begin;
  *last = end;
}

}  // namespace

void KelFactorizedGauss::Factorization() {
  const int n = numRows;
  double** a = FactorRows();
  permutationSign = 1;
  singular = 0;
  for (int i = 1; i <= n; ++i) {
    double largest = 0.0;
    for (int j = 1; j <= n; ++j) largest = std::max(largest, std::fabs(a[i][j]));
    // A zero row gets a vanishing scale instead of a division by zero; it never wins a pivot.
    scale[i] = 1.0 / (largest == 0.0 ? kelBigValue : largest);
  }
  if (worthBlocking(a, n)) {
    FactorizeBlocked();
  } else {
    for (int k = 1; k < n; ++k)
      if (ChoosePivot(k)) EliminateBelow(k, k + 1, n, n);
  }
  if (n >= 1) {
    pivots[n] = n;
    if (a[n][n] == 0.0) singular = 1;
  }
}

bool KelFactorizedGauss::ChoosePivot(int k) {
  const int n = numRows;
  double** a = FactorRows();
  int winner = k;
  double best = 0.0;
  for (int i = k + 1; i <= n; ++i) {
    const double candidate = std::fabs(scale[i] * a[i][k]);
    if (candidate > best) {
      best = candidate;
      winner = i;
    }
  }
  pivots[k] = k;
  if (best == 0.0) {
    if (a[k][k] == 0.0) {
      KelMessage("\nSingular: row = %d", k);
      singular = 1;
    }
    return false;
  }
  // The current row stays unless a candidate beats it by more than 1/0.9: fewer exchanges
  // keep banded and nearly ordered matrices in their order at no cost in stability.
  if (std::fabs(scale[k] * a[k][k]) < 0.9 * best) {
    std::swap(a[k], a[winner]);
    std::swap(scale[k], scale[winner]);
    permutationSign = -permutationSign;
    pivots[k] = winner;
  }
  if (a[k][k] == 0.0) {
    KelMessage("\nSingular: row = %d", k);
    singular = 1;
    return false;
  }
  return true;
}

void KelFactorizedGauss::EliminateBelow(int k, int fromColumn, int toColumn, int lastRow) {
  double** a = FactorRows();
  const double* pivotRow = a[k];
  int first = 0;
  int last = -1;
  nonZeroSpan(pivotRow, fromColumn, toColumn, &first, &last);
  const double reciprocal = 1.0 / pivotRow[k];
  for (int i = k + 1; i <= lastRow; ++i) {
    double* row = a[i];
    if (row[k] == 0.0) continue;
    const double m = row[k] * reciprocal;
    row[k] = m;
    for (int j = first; j <= last; ++j) row[j] -= m * pivotRow[j];
  }
}

// Right-looking blocked elimination. Each panel of columns is eliminated column by column
// with the pivot search above, on all rows below; then the panel's rows are completed to the
// right (rows of U), and the rows below get the panel's terms through the product kernel.
// Every element receives the same terms, in the same ascending order and with the same
// rounding as in the column-by-column order, so pivots and factors are identical to it.
void KelFactorizedGauss::FactorizeBlocked() {
  const int n = numRows;
  double** a = FactorRows();
  std::vector<char> eliminated(static_cast<size_t>(n) + 1, 0);
  for (int k0 = 1; k0 < n; k0 += kPanelWidth) {
    const int k1 = std::min(k0 + kPanelWidth - 1, n - 1);
    for (int k = k0; k <= k1; ++k) {
      eliminated[k] = ChoosePivot(k);
      if (eliminated[k]) EliminateBelow(k, k + 1, k1, n);
    }
    // Rows k0+1 .. k1 to the right of the panel, in ascending k as column by column.
    for (int k = k0; k <= k1; ++k)
      if (eliminated[k]) ApplyMultipliers(k, k1 + 1, n, k1);
    // Rows below the panel: one product per run of eliminated steps, runs in ascending k.
    int k = k0;
    while (k <= k1) {
      if (!eliminated[k]) {
        ++k;
        continue;
      }
      int runEnd = k;
      while (runEnd < k1 && eliminated[runEnd + 1]) ++runEnd;
      KelDenseMultiplyAdd(n - k1, runEnd - k + 1, n - k1, a + k1 + 1, k, -1.0, a + k, k1 + 1,
                          a + k1 + 1, k1 + 1, KelRounding::kSeparate);
      k = runEnd + 1;
    }
  }
}

void KelFactorizedGauss::ApplyMultipliers(int k, int fromColumn, int toColumn, int lastRow) {
  double** a = FactorRows();
  const double* pivotRow = a[k];
  int first = 0;
  int last = -1;
  nonZeroSpan(pivotRow, fromColumn, toColumn, &first, &last);
  for (int i = k + 1; i <= lastRow; ++i) {
    double* row = a[i];
    const double m = row[k];
    if (m == 0.0) continue;
    for (int j = first; j <= last; ++j) row[j] -= m * pivotRow[j];
  }
}

void KelFactorizedGauss::SolveInPlace(double* b) {
  const int n = numRows;
  double** a = FactorRows();
  for (int i = 1; i <= n; ++i) {
    const double t = b[pivots[i]];
    b[pivots[i]] = b[i];
    const double* row = a[i];
    double sum = t;
    for (int j = 1; j < i; ++j) sum -= row[j] * b[j];
    if (row[i] != 0.0) {
      b[i] = sum;
    } else {
      // The equation left after elimination reads 0 = sum: the system is compatible only if
      // the reduced right-hand side vanishes.
      KelMessage("\nSingular matrix");
      if (sum != 0.0) KelMessage(" and incompatible system");
      b[i] = 0.0;
    }
  }
  for (int i = n; i >= 1; --i) {
    const double* row = a[i];
    if (row[i] != 0.0) {
      double sum = b[i];
      for (int j = i + 1; j <= n; ++j) sum -= row[j] * b[j];
      b[i] = sum / row[i];
    } else {
      b[i] = 0.0;
    }
  }
}

void KelFactorizedGauss::SpecificSolve(KelVector* bx) {
  if (numRows == 0) return;
  SolveInPlace(bx->Data() - 1);
}

void KelFactorizedGauss::SpecificTransposeSolve(KelVector* bx) {
  const int n = numRows;
  if (n == 0) return;
  double** a = FactorRows();
  double* b = bx->Data() - 1;
  for (int i = 1; i <= n; ++i) {
    if (a[i][i] != 0.0) {
      double sum = b[i];
      for (int j = 1; j < i; ++j) sum -= a[j][i] * b[j];
      b[i] = sum / a[i][i];
    } else {
      KelMessage("\nSingular matrix");
      b[i] = 0.0;
    }
  }
  for (int i = n; i >= 1; --i) {
    double sum = b[i];
    for (int j = i + 1; j <= n; ++j) sum -= a[j][i] * b[j];
    b[i] = sum;
  }
  for (int i = n; i >= 1; --i)
    if (pivots[i] != i) std::swap(b[i], b[pivots[i]]);
}

double KelFactorizedGauss::SpecificConditionNumber() {
  const int n = numRows;
  if (norm == 0.0 || singular != 0) return kelBigValue;
  double** a = FactorRows();
  for (int i = 1; i <= n; ++i)
    if (a[i][i] == 0.0) return kelBigValue;
  // Solve U^T y = e choosing each e(k) = +-1 to make y grow, so that y points along the
  // direction A^-T magnifies most (LINPACK-style estimate of the inverse's norm).
  std::vector<double> y(static_cast<size_t>(n) + 1, 0.0);
  std::vector<double> w(static_cast<size_t>(n) + 1, 0.0);
  y[1] = 1.0 / a[1][1];
  for (int j = 2; j <= n; ++j) w[j] = a[1][j] * y[1];
  for (int k = 2; k <= n; ++k) {
    const double* row = a[k];
    const double plus = (1.0 - w[k]) / row[k];
    const double minus = (-1.0 - w[k]) / row[k];
    double sumPlus = std::fabs(plus);
    double sumMinus = std::fabs(minus);
    for (int j = k + 1; j <= n; ++j) {
      sumPlus += std::fabs((w[j] + plus * row[j]) / a[j][j]);
      sumMinus += std::fabs((w[j] + minus * row[j]) / a[j][j]);
    }
    y[k] = sumPlus >= sumMinus ? plus : minus;
    for (int j = k + 1; j <= n; ++j) w[j] += y[k] * row[j];
  }
  std::vector<double>& z = y;
  for (int j = n; j >= 1; --j) {
    double sum = z[j];
    for (int k = j + 1; k <= n; ++k) sum -= a[k][j] * z[k];
    z[j] = sum;
  }
  for (int i = n; i >= 1; --i)
    if (pivots[i] != i) std::swap(z[i], z[pivots[i]]);
  double zNorm = 0.0;
  for (int i = 1; i <= n; ++i) zNorm += std::fabs(z[i]);
  if (zNorm == 0.0 || !std::isfinite(zNorm)) return kelBigValue;
  std::vector<double> v(z);
  SolveInPlace(v.data());
  double vNorm = 0.0;
  for (int i = 1; i <= n; ++i) vNorm += std::fabs(v[i]);
  const double estimate = vNorm / zNorm;
  if (!(estimate < kelBigValue)) return kelBigValue;
  const double condition = estimate * norm;
  return condition < kelBigValue ? condition : kelBigValue;
}

double KelFactorizedGauss::Determinant() {
  PrepSolve();
  double** a = FactorRows();
  double product = permutationSign;
  for (int i = 1; i <= numRows; ++i) product *= a[i][i];
  return product;
}

void KelFactorizedGauss::GetSingularRows(KelVectorInt* rows) {
  rows->Resize(0);
  if (!IsFactorized()) return;
  const int n = numRows;
  double** a = FactorRows();
  std::vector<int> origin(static_cast<size_t>(n) + 1);
  for (int i = 1; i <= n; ++i) origin[i] = i;
  for (int i = 1; i <= n; ++i) std::swap(origin[i], origin[pivots[i]]);
  std::vector<char> regular(static_cast<size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i)
    if (a[i][i] != 0.0) regular[origin[i]] = 1;
  for (int i = 1; i <= n; ++i)
    if (!regular[i]) rows->Append(i);
}
