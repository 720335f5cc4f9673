#include "foundation/kel_array_kernels.h"

#include <cmath>
#include <new>
#include <vector>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"

// The sums and products of two doubles in these kernels are exact in long double before the
// single rounding to double, which is what "formed in extended precision" means for one
// operation; only the accumulating dot product keeps the extended sum across elements.

void KelArraySum(int n, const double* x, const double* y, double* z) {
  for (int i = 0; i < n; ++i) z[i] = x[i] + y[i];
}

void KelArrayAccumulate(int n, double* x, const double* y) {
  for (int i = 0; i < n; ++i) x[i] += y[i];
}

void KelArrayDouble(int n, double* x) {
  for (int i = 0; i < n; ++i) x[i] += x[i];
}

void KelArrayDifference(int n, const double* x, const double* y, double* z) {
  for (int i = 0; i < n; ++i) z[i] = x[i] - y[i];
}

void KelArraySubtract(int n, double* x, const double* y) {
  for (int i = 0; i < n; ++i) x[i] -= y[i];
}

void KelArrayReverseSubtract(int n, const double* x, double* y) {
  for (int i = 0; i < n; ++i) y[i] = x[i] - y[i];
}

double KelArrayDot(int n, const double* x, const double* y) {
  long double sum = 0.0L;
  for (int i = 0; i < n; ++i) sum += static_cast<long double>(x[i]) * y[i];
  return static_cast<double>(sum);
}

void KelArrayScale(int n, double s, const double* x, double* y) {
  for (int i = 0; i < n; ++i) y[i] = s * x[i];
}

void KelArrayScaleInPlace(int n, double s, double* x) {
  for (int i = 0; i < n; ++i) x[i] *= s;
}

void KelArrayDivide(int n, double* x, double s) {
  if (s == 0.0) KelError("%s", kelErrDivisionByZero);
  for (int i = 0; i < n; ++i) x[i] /= s;
}

double SqrtSumSqr(int n, const double* x) {
  if (n <= 0) KelError("%s%sSqrtSumSqr", kelErrIndex, kelErrFunction);
  double largest = 0.0;
  for (int i = 0; i < n; ++i) {
    double a = std::fabs(x[i]);
    if (a > largest) largest = a;
  }
  if (largest == 0.0) return 0.0;
  // Fast path: no square can overflow, and the largest square is far from underflow.
  if (largest < std::sqrt(kelBigValue / n) &&
      largest > kelDoubleMinNormal / static_cast<double>(kelMachEpsFloat)) {
    // The root is taken before rounding to double: squares of magnitudes near 1e-200 are far
    // below the double range but well inside the extended one.
    long double sum = 0.0L;
    for (int i = 0; i < n; ++i) sum += static_cast<long double>(x[i]) * x[i];
    return static_cast<double>(std::sqrt(sum));
  }
  // Scaled path: every element divided by the largest magnitude before squaring.
  std::vector<double> scaled;
  try {
    scaled.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    KelError("%s%sSqrtSumSqr", kelErrSpace, kelErrFunction);
  }
  for (int i = 0; i < n; ++i) scaled[i] = x[i] / largest;
  long double sum = 0.0L;
  for (int i = 0; i < n; ++i) sum += static_cast<long double>(scaled[i]) * scaled[i];
  return largest * std::sqrt(static_cast<double>(sum));
}

double KelClampToFloat(double x) {
  if (x > kelFloatMax) return kelFloatMax;
  if (x < -kelFloatMax) return -kelFloatMax;
  return x;
}

long long KelFirstNonFinite(long long n, const double* x) {
  for (long long i = 0; i < n; ++i)
    if (!std::isfinite(x[i])) return i;
  return -1;
}

const char* KelNonFiniteText(double x) {
  if (std::isnan(x)) return "nan";
  if (std::isinf(x)) return x > 0.0 ? "inf" : "-inf";
  return "finite";
}
