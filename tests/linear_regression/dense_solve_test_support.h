// An independent reference for the least-median-of-squares tests: a small dense system solved
// by Gauss elimination with partial pivoting, written apart from the library's kernels.
#ifndef KELMATH_TESTS_DENSE_SOLVE_TEST_SUPPORT_H
#define KELMATH_TESTS_DENSE_SOLVE_TEST_SUPPORT_H

#include <cmath>
#include <utility>
#include <vector>

namespace lr_test {

// Solves the k x k system a x = rhs on copies; false when a pivot falls below smallestPivot.
inline bool SolveDense(std::vector<std::vector<double>> a, std::vector<double> rhs,
                       std::vector<double>* x, double smallestPivot) {
  const size_t k = rhs.size();
  for (size_t c = 0; c < k; ++c) {
    size_t p = c;
    for (size_t r = c + 1; r < k; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    if (std::fabs(a[p][c]) < smallestPivot) return false;
    std::swap(a[p], a[c]);
    std::swap(rhs[p], rhs[c]);
    for (size_t r = c + 1; r < k; ++r) {
      const double factor = a[r][c] / a[c][c];
      for (size_t j = c; j < k; ++j) a[r][j] -= factor * a[c][j];
      rhs[r] -= factor * rhs[c];
    }
  }
  x->assign(k, 0.0);
  for (size_t r = k; r-- > 0;) {
    double sum = rhs[r];
    for (size_t j = r + 1; j < k; ++j) sum -= a[r][j] * (*x)[j];
    (*x)[r] = sum / a[r][r];
  }
  return true;
}

}  // namespace lr_test

#endif
