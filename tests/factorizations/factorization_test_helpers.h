// Independent reference computations for the factorization tests: random and graded matrices,
// products and residuals in long double, a long-double Gauss-Jordan inverse.
#ifndef KELMATH_TESTS_FACTORIZATION_TEST_HELPERS_H
#define KELMATH_TESTS_FACTORIZATION_TEST_HELPERS_H

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include "kelmath.h"

namespace fact_test {

using LongMatrix = std::vector<std::vector<long double>>;

inline KelMatrix RandomMatrix(int m, int n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelMatrix A(m, n);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) A(i, j) = uniform(engine);
  return A;
}

inline KelVector RandomVector(int n, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  KelVector v(n);
  for (int i = 1; i <= n; ++i) v(i) = uniform(engine);
  return v;
}

// Column norms spanning 1e-8 .. 1e8 geometrically.
inline KelMatrix GradedMatrix(int m, int n, unsigned seed) {
  KelMatrix A = RandomMatrix(m, n, seed);
  for (int j = 1; j <= n; ++j) {
    const double factor = n == 1 ? 1.0 : std::pow(10.0, -8.0 + 16.0 * (j - 1) / (n - 1));
    for (int i = 1; i <= m; ++i) A(i, j) *= factor;
  }
  return A;
}

// Rank r: the product of random m x r and r x n factors.
inline KelMatrix RankDeficientMatrix(int m, int n, int r, unsigned seed) {
  KelMatrix B = RandomMatrix(m, r, seed);
  KelMatrix C = RandomMatrix(r, n, seed + 1);
  KelMatrix A(m, n);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) {
      long double sum = 0;
      for (int k = 1; k <= r; ++k) sum += static_cast<long double>(B(i, k)) * C(k, j);
      A(i, j) = static_cast<double>(sum);
    }
  return A;
}

inline LongMatrix ToLong(const KelMatrix& A) {
  LongMatrix L(A.Rows(), std::vector<long double>(A.Columns()));
  for (int i = 1; i <= A.Rows(); ++i)
    for (int j = 1; j <= A.Columns(); ++j) L[i - 1][j - 1] = A(i, j);
  return L;
}

inline double MaxAbs(const KelMatrix& A) {
  double largest = 0.0;
  for (int i = 1; i <= A.Rows(); ++i)
    for (int j = 1; j <= A.Columns(); ++j) largest = std::max(largest, std::fabs(A(i, j)));
  return largest;
}

// Largest |(X Y)(i, j) - Z(i, j)| with the product in long double; Y transposed when asked.
inline double ProductError(const KelMatrix& X, const KelMatrix& Y, const KelMatrix& Z,
                           bool transposeY = false) {
  double worst = 0.0;
  const int inner = X.Columns();
  const int columns = transposeY ? Y.Rows() : Y.Columns();
  for (int i = 1; i <= X.Rows(); ++i)
    for (int j = 1; j <= columns; ++j) {
      long double sum = 0;
      for (int k = 1; k <= inner; ++k)
        sum += static_cast<long double>(X(i, k)) * (transposeY ? Y(j, k) : Y(k, j));
      worst = std::max(worst, static_cast<double>(std::fabs(sum - Z(i, j))));
    }
  return worst;
}

// Largest |(Q^T Q - I)(i, j)| over the columns of Q.
inline double OrthogonalityError(const KelMatrix& Q) {
  double worst = 0.0;
  for (int a = 1; a <= Q.Columns(); ++a)
    for (int b = 1; b <= Q.Columns(); ++b) {
      long double sum = 0;
      for (int i = 1; i <= Q.Rows(); ++i) sum += static_cast<long double>(Q(i, a)) * Q(i, b);
      worst = std::max(worst, static_cast<double>(std::fabs(sum - (a == b ? 1.0L : 0.0L))));
    }
  return worst;
}

// Solves the square system M x = r in long double by Gauss-Jordan with partial pivoting.
inline std::vector<long double> SolveLong(LongMatrix M, std::vector<long double> r) {
  const size_t n = M.size();
  for (size_t k = 0; k < n; ++k) {
    size_t p = k;
    for (size_t i = k + 1; i < n; ++i)
      if (std::fabs(M[i][k]) > std::fabs(M[p][k])) p = i;
    std::swap(M[k], M[p]);
    std::swap(r[k], r[p]);
    for (size_t i = 0; i < n; ++i) {
      if (i == k) continue;
      const long double f = M[i][k] / M[k][k];
      for (size_t j = k; j < n; ++j) M[i][j] -= f * M[k][j];
      r[i] -= f * r[k];
    }
  }
  for (size_t i = 0; i < n; ++i) r[i] /= M[i][i];
  return r;
}

inline LongMatrix InverseLong(const KelMatrix& A) {
  const int n = A.Rows();
  LongMatrix inverse(n, std::vector<long double>(n));
  for (int j = 0; j < n; ++j) {
    std::vector<long double> e(n, 0.0L);
    e[j] = 1.0L;
    std::vector<long double> column = SolveLong(ToLong(A), e);
    for (int i = 0; i < n; ++i) inverse[i][j] = column[i];
  }
  return inverse;
}

inline long double NormOne(const LongMatrix& M) {
  long double best = 0;
  for (size_t j = 0; j < M[0].size(); ++j) {
    long double sum = 0;
    for (size_t i = 0; i < M.size(); ++i) sum += std::fabs(M[i][j]);
    best = std::max(best, sum);
  }
  return best;
}

inline long double NormInfinity(const LongMatrix& M) {
  long double best = 0;
  for (const auto& row : M) {
    long double sum = 0;
    for (long double v : row) sum += std::fabs(v);
    best = std::max(best, sum);
  }
  return best;
}

// Least-squares solution of the full-rank tall system A x = b through the normal equations
// formed and solved in long double.
inline std::vector<long double> NormalEquations(const KelMatrix& A, const KelVector& b) {
  const int m = A.Rows(), n = A.Columns();
  LongMatrix N(n, std::vector<long double>(n, 0.0L));
  std::vector<long double> r(n, 0.0L);
  for (int i = 1; i <= m; ++i)
    for (int j = 1; j <= n; ++j) {
      r[j - 1] += static_cast<long double>(A(i, j)) * b(i);
      for (int k = 1; k <= n; ++k) N[j - 1][k - 1] += static_cast<long double>(A(i, j)) * A(i, k);
    }
  return SolveLong(N, r);
}

// Minimum-norm solution of the full-rank wide system A x = b: x = A^T (A A^T)^-1 b, in long double.
inline std::vector<long double> MinimumNorm(const KelMatrix& A, const KelVector& b) {
  const int m = A.Rows(), n = A.Columns();
  LongMatrix N(m, std::vector<long double>(m, 0.0L));
  std::vector<long double> r(m);
  for (int i = 1; i <= m; ++i) {
    r[i - 1] = b(i);
    for (int k = 1; k <= m; ++k)
      for (int j = 1; j <= n; ++j) N[i - 1][k - 1] += static_cast<long double>(A(i, j)) * A(k, j);
  }
  std::vector<long double> y = SolveLong(N, r);
  std::vector<long double> x(n, 0.0L);
  for (int j = 1; j <= n; ++j)
    for (int i = 1; i <= m; ++i) x[j - 1] += static_cast<long double>(A(i, j)) * y[i - 1];
  return x;
}

inline double MaxDifference(const KelVector& x, const std::vector<long double>& reference) {
  double worst = 0.0;
  for (int i = 1; i <= x.Size(); ++i)
    worst = std::max(worst, static_cast<double>(std::fabs(x(i) - reference[i - 1])));
  return worst;
}

inline double MaxAbs(const std::vector<long double>& v) {
  long double best = 0;
  for (long double x : v) best = std::max(best, std::fabs(x));
  return static_cast<double>(best);
}

}  // namespace fact_test

#endif
