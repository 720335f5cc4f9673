// Mean, variance, standard deviation, medians and standardisation.
#include "statistics/kel_descriptive_statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "foundation/kel_array_kernels.h"
#include "statistics/kel_median.h"

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

std::vector<double> copyOf(const KelVector& x) {
  const double* data = x.Data();
  return data == nullptr ? std::vector<double>() : std::vector<double>(data, data + x.Size());
}

}  // namespace

double KelMean(const KelVector& x) {
  const int n = x.Size();
  if (n == 0) return kNotANumber;
  const double* data = x.Data();
  long double sum = 0.0L;
  for (int i = 0; i < n; ++i) sum += data[i];
  return static_cast<double>(sum / n);
}

double KelVariance(const KelVector& x) {
  return KelVariance(x, KelMean(x));
}

double KelVariance(const KelVector& x, double m) {
  const int n = x.Size();
  if (n == 0) return kNotANumber;
  const double* data = x.Data();
  long double sum = 0.0L;
  for (int i = 0; i < n; ++i) {
    const double d = data[i] - m;
    sum += static_cast<long double>(d) * d;
  }
  return static_cast<double>(sum) / (n - 1);
}

double KelStandardDeviation(const KelVector& x, double m) {
  const int n = x.Size();
  std::vector<double> deviations = copyOf(x);
  for (double& d : deviations) d -= m;
  // An empty vector reaches SqrtSumSqr's fatal check of the count.
  return SqrtSumSqr(n, deviations.data()) / std::sqrt(static_cast<double>(n - 1));
}

double KelStandardDeviation(const KelVector& x) {
  return KelStandardDeviation(x, KelMean(x));
}

double KelMedian(const KelVector& x) {
  std::vector<double> scratch = copyOf(x);
  return kel_median::MedianInPlace(scratch);
}

double KelFastMedian(const KelVector& x) {
  std::vector<double> scratch = copyOf(x);
  return kel_median::FastMedianInPlace(scratch);
}

double KelMedianAbs(const KelVector& x) {
  std::vector<double> scratch = copyOf(x);
  for (double& v : scratch) v = std::fabs(v);
  return kel_median::MedianInPlace(scratch);
}

KelVector KelStandardize(const KelVector& x, double c, double s) {
  const int n = x.Size();
  KelVector z(n);
  if (s == 0.0) return z;  // no spread: every value sits at the centre
  const double* data = x.Data();
  double* out = z.Data();
  for (int i = 0; i < n; ++i) out[i] = (data[i] - c) / s;
  return z;
}

KelVector ResidualsNormalDeviate(const KelVector& x) {
  const double mean = KelMean(x);
  return KelStandardize(x, mean, KelStandardDeviation(x, mean));
}
