// Estimate of the 1-norm condition number of a triangular factor, shared by the QR and LQ
// factorizations.
#ifndef KELMATH_KEL_TRIANGULAR_CONDITION_H
#define KELMATH_KEL_TRIANGULAR_CONDITION_H

#include <cmath>
#include <vector>

#include "foundation/kel_constants.h"

// The factor is presented as an upper triangular U of order n: diagonal(i) and upper(j, i) for
// j < i (1-based). Returns ||U||_1 times an estimate of ||U^-1||_1, or the big value for a zero
// diagonal element.
template <typename Diagonal, typename Upper>
double TriangularConditionEstimate(int n, Diagonal diagonal, Upper upper) {
  if (n <= 0) return kelBigValue;
  double normU = 0.0;
  for (int i = 1; i <= n; ++i) {
    if (diagonal(i) == 0.0) return kelBigValue;
    double sum = std::fabs(diagonal(i));
    for (int j = 1; j < i; ++j) sum += std::fabs(upper(j, i));
    if (sum > normU) normU = sum;
  }
  // U^T y = e with each e(k) = +-1 chosen to make y grow (ties to +1), then U z = y: z is
  // the direction the inverse magnifies most, and ||z|| / ||y|| estimates ||U^-1||.
  std::vector<double> y(static_cast<size_t>(n) + 1, 0.0);
  std::vector<double> w(static_cast<size_t>(n) + 1, 0.0);
  y[1] = 1.0 / diagonal(1);
  for (int j = 2; j <= n; ++j) w[j] = upper(1, j) * y[1];
  for (int k = 2; k <= n; ++k) {
    const double plus = (1.0 - w[k]) / diagonal(k);
    const double minus = (-1.0 - w[k]) / diagonal(k);
    double sumPlus = std::fabs(plus);
    double sumMinus = std::fabs(minus);
    for (int j = k + 1; j <= n; ++j) {
      sumPlus += std::fabs((w[j] + plus * upper(k, j)) / diagonal(j));
      sumMinus += std::fabs((w[j] + minus * upper(k, j)) / diagonal(j));
    }
    y[k] = sumPlus >= sumMinus ? plus : minus;
    for (int j = k + 1; j <= n; ++j) w[j] += y[k] * upper(k, j);
  }
  double yNorm = 0.0;
  for (int i = 1; i <= n; ++i) yNorm += std::fabs(y[i]);
  if (yNorm == 0.0 || !std::isfinite(yNorm)) return kelBigValue;
  std::vector<double>& z = y;
  for (int j = n; j >= 1; --j) {
    double sum = z[j];
    for (int k = j + 1; k <= n; ++k) sum -= upper(j, k) * z[k];
    z[j] = sum / diagonal(j);
  }
  double zNorm = 0.0;
  for (int i = 1; i <= n; ++i) zNorm += std::fabs(z[i]);
  const double condition = normU * (zNorm / yNorm);
  return condition < kelBigValue ? condition : kelBigValue;
}

#endif
