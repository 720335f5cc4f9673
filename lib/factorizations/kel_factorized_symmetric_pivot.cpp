// KelFactorizedSymmetricPivot: L D L^T with 1 x 1 and 2 x 2 pivots and symmetric interchanges.
#include <cmath>
#include <utility>
#include <vector>

#include "factorizations/kel_factorized_symmetric.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

namespace {

// Pivots below this fraction of the matrix's largest magnitude are treated as zero, so that the
// decision does not depend on the units of the matrix.
constexpr double kTinyPivotFraction = 1e-30;

// Whether x can serve as a pivot: non-zero and not below the tiny threshold.
bool usablePivot(double x, double tinyPivot) {
  return x != 0.0 && std::fabs(x) >= tinyPivot;
}

// The largest magnitude of the packed lower triangle.
double largestMagnitude(int n, double* const* a) {
  double largest = 0.0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) largest = std::fmax(largest, std::fabs(a[i][j]));
  return largest;
}

// Element (i, j) of a packed symmetric matrix, whichever triangle is named.
double& at(double* const* a, int i, int j) {
  return i >= j ? a[i][j] : a[j][i];
}

// Exchanges rows and columns p < q of the packed symmetric matrix.
void exchangeSymmetric(int n, double* const* a, int p, int q) {
  for (int j = 1; j <= n; ++j)
    if (j != p && j != q) std::swap(at(a, p, j), at(a, q, j));
  std::swap(a[p][p], a[q][q]);
}

double divideOrZero(double x, double y) {
  return y != 0.0 ? x / y : 0.0;
}

// A 1 x 1 pivot at row i: the multipliers replace column i below the diagonal and the trailing
// lower triangle is updated (rows whose multiplier is zero are left alone).
void eliminateOneByOne(int n, double* const* a, int i, std::vector<double>& first) {
  const double D = a[i][i];
  for (int k = i + 1; k <= n; ++k) first[k] = a[k][i];
  for (int j = i + 1; j <= n; ++j) {
    if (first[j] == 0.0) continue;
    const double l = first[j] / D;
    a[j][i] = l;
    for (int k = i + 1; k <= j; ++k) a[j][k] -= first[k] * l;
  }
}

// The partner row of a 2 x 2 pivot at row i: the one whose diagonal is smallest relative to its
// coupling with row i, so that the block is as far from singular as the column allows; 0 when
// column i is zero below the diagonal.
int chooseTwoByTwoPartner(int n, double* const* a, int i) {
  int partner = 0;
  double best = 0.0;
  for (int j = i + 1; j <= n; ++j) {
    if (a[j][i] == 0.0) continue;
    const double ratio = std::fabs(a[j][j]) / std::fabs(a[j][i]);
    if (partner == 0 || ratio < best) {
      partner = j;
      best = ratio;
    }
  }
  return partner;
}

}  // namespace

void KelFactorizedSymmetricPivot::ChangeFactorization(double, KelVector*) {
  KelError("ChangeFactorization%s", kelErrImplemented);
}

void KelFactorizedSymmetricPivot::Factorization() {
  const int n = numRows;
  double* const* a = FactorRows();
  interchanges.Resize(n, false);
  for (int i = 1; i <= n; ++i) interchanges(i) = i;
  twoByTwo.Resize(0);
  eValues.Resize(0);
  cValues.Resize(0);
  singular = 0;
  std::vector<double> first(static_cast<size_t>(n) + 1), second(static_cast<size_t>(n) + 1);
  tinyPivot = kTinyPivotFraction * largestMagnitude(n, a);
  int i = 1;
  while (i <= n - 1) {
    const double D = a[i][i];
    const double B = a[i + 1][i];
    const double G = a[i + 1][i + 1];
    if (std::fabs(D) > std::fabs(B) && std::fabs(G) > std::fabs(B)) {
      eliminateOneByOne(n, a, i, first);
      ++i;
      continue;
    }
    int partner = chooseTwoByTwoPartner(n, a, i);
    if (partner == 0) {
      singular = 1;
      partner = i + 1;
    }
    if (partner != i + 1) {
      exchangeSymmetric(n, a, i + 1, partner);
      interchanges(i + 1) = partner;
    }
    EliminateTwoByTwo(i, D, first, second);
    i += 2;
  }
  if (n >= 1 && !usablePivot(a[n][n], tinyPivot)) {
    a[n][n] = 0.0;
    singular = 1;
  }
}

// The 2 x 2 block of rows i and i + 1 (its first diagonal D taken before the exchange): the
// block's factors are stored in place and in eValues/cValues, the rows below are eliminated.
void KelFactorizedSymmetricPivot::EliminateTwoByTwo(int i, double D, std::vector<double>& first,
                                                    std::vector<double>& second) {
  const int n = numRows;
  double* const* a = FactorRows();
  const double b = a[i + 1][i];
  const double c = a[i + 1][i + 1];
  double e = 0.0, d = 0.0;
  if (usablePivot(b, tinyPivot)) {
    a[i][i] = b;
    e = D / b;
    d = 1.0 / b;
  } else {
    singular = 1;
    a[i][i] = 0.0;
  }
  const double H = b - e * c;
  a[i + 1][i + 1] = H;
  a[i + 1][i] = 0.0;
  twoByTwo.Append(i);
  eValues.Append(e);
  cValues.Append(c);
  double f = 0.0;
  if (usablePivot(H, tinyPivot)) {
    f = 1.0 / H;
  } else {
    a[i + 1][i + 1] = 0.0;
    singular = 1;
  }
  for (int k = i + 2; k <= n; ++k) {
    first[k] = a[k][i];
    second[k] = a[k][i + 1];
  }
  for (int k = i + 2; k <= n; ++k) {
    const double lSecond = f * (first[k] - e * second[k]);
    const double lFirst = d * (second[k] - c * lSecond);
    a[k][i + 1] = lSecond;
    a[k][i] = lFirst;
    for (int l = i + 2; l <= k; ++l) {
      if (lFirst != 0.0) a[k][l] -= first[l] * lFirst;
      if (lSecond != 0.0) a[k][l] -= second[l] * lSecond;
    }
  }
}

void KelFactorizedSymmetricPivot::SolveKernel(int n, double* const* a, double* x) {
  const int* p = interchanges.Data() - 1;
  for (int i = 1; i <= n; ++i) {
    const double t = x[p[i]];
    x[p[i]] = x[i];
    double sum = t;
    for (int j = 1; j < i; ++j) sum -= a[i][j] * x[j];
    x[i] = sum;
  }
  int block = 1;
  for (int i = 1; i <= n; ++i) {
    if (block <= twoByTwo.Size() && twoByTwo(block) == i) {
      const double e = eValues(block), c = cValues(block);
      const double y1 = x[i], y2 = x[i + 1];
      const double z2 = divideOrZero(y1 - e * y2, a[i + 1][i + 1]);
      const double z1 = divideOrZero(y2 - c * z2, a[i][i]);
      x[i] = z1;
      x[i + 1] = z2;
      ++block;
      ++i;
    } else if (singular != 0 && !usablePivot(a[i][i], tinyPivot)) {
      x[i] = 0.0;
    } else {
      x[i] /= a[i][i];
    }
  }
  for (int i = n; i >= 1; --i) {
    double sum = x[i];
    for (int k = i + 1; k <= n; ++k) sum -= a[k][i] * x[k];
    x[i] = sum;
  }
  for (int i = n; i >= 1; --i)
    if (p[i] != i) std::swap(x[i], x[p[i]]);
}
